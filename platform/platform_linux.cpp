// Linux stand-ins for what the host platform provides, used when the plugin runs inside the
// emulated host.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>


#include "platform/platform.h"

namespace platform {
namespace {

constexpr uintptr_t kPageSize = 0x1000;

uint32_t ToHostProtection(bool read, bool write, bool execute) noexcept {
  if (execute) {
    if (write) return kPageExecuteReadWrite;
    return read ? kPageExecuteRead : kPageExecute;
  }
  if (write) return kPageReadWrite;
  return read ? kPageReadOnly : kPageNoAccess;
}

int ToMprotectFlags(uint32_t protection) noexcept {
  switch (protection) {
    case kPageReadOnly: return PROT_READ;
    case kPageReadWrite: return PROT_READ | PROT_WRITE;
    case kPageExecute: return PROT_EXEC;
    case kPageExecuteRead: return PROT_READ | PROT_EXEC;
    case kPageExecuteReadWrite: return PROT_READ | PROT_WRITE | PROT_EXEC;
    default: return PROT_NONE;
  }
}

// Parses a hexadecimal number at `p`, advancing it.
uintptr_t ParseHex(const char*& p) noexcept {
  uintptr_t value = 0;
  for (;; ++p) {
    const char c = *p;
    if (c >= '0' && c <= '9') value = value * 16 + static_cast<uintptr_t>(c - '0');
    else if (c >= 'a' && c <= 'f') value = value * 16 + static_cast<uintptr_t>(c - 'a' + 10);
    else break;
  }
  return value;
}

// Whether the memory map line starting with `head` ("start-end rwxp ...") covers `address`; if
// so, its protection goes to `protection`.
bool LineCovers(const char* head, uintptr_t address, uint32_t* protection) noexcept {
  const char* p = head;
  const uintptr_t start = ParseHex(p);
  if (*p++ != '-') return false;
  const uintptr_t end = ParseHex(p);
  if (*p++ != ' ' || address < start || address >= end) return false;
  if (p[0] == '\0' || p[1] == '\0' || p[2] == '\0') return false;
  *protection = ToHostProtection(p[0] == 'r', p[1] == 'w', p[2] == 'x');
  return true;
}

// The protection of the page holding `address`, read from the process's memory map, since
// mprotect does not report the protection it replaces. False when no mapping holds the address.
// Only the head of each line matters; fixed buffers keep this free of allocation.
bool QueryProtection(uintptr_t address, uint32_t* protection) noexcept {
  const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char chunk[4096];
  char head[48];
  size_t head_length = 0;
  bool found = false;
  ssize_t got;
  while (!found && (got = read(fd, chunk, sizeof chunk)) > 0) {
    for (ssize_t i = 0; i < got && !found; ++i) {
      if (chunk[i] != '\n') {
        if (head_length < sizeof head - 1) head[head_length++] = chunk[i];
        continue;
      }
      head[head_length] = '\0';
      found = LineCovers(head, address, protection);
      head_length = 0;
    }
  }
  close(fd);
  return found;
}

}  // namespace

bool ChangeProtection(void* address, uint32_t size, uint32_t protection, uint32_t* previous) noexcept {
  const uintptr_t first = reinterpret_cast<uintptr_t>(address) & ~(kPageSize - 1);
  const uintptr_t last = reinterpret_cast<uintptr_t>(address) + (size == 0 ? 1 : size);
  const uintptr_t length = ((last - first) + kPageSize - 1) & ~(kPageSize - 1);
  uint32_t old = 0;
  if (!QueryProtection(first, &old)) return false;
  if (mprotect(reinterpret_cast<void*>(first), length, ToMprotectFlags(protection)) != 0) return false;
  *previous = old;
  return true;
}

uint8_t* HostExecutableBase() noexcept {
  // The emulated host exports the base of its image in place of the module handle.
  void* symbol = dlsym(RTLD_DEFAULT, "nightglass_host_image_base");
  if (symbol == nullptr) return reinterpret_cast<uint8_t*>(0x400000);
  return *static_cast<uint8_t**>(symbol);
}

namespace {
uint32_t rand_state = 1;
}  // namespace

int HostRand() noexcept {
  // The host runtime's linear congruential generator: bits 16 to 30 of the new state.
  rand_state = rand_state * 214013u + 2531011u;
  return static_cast<int>((rand_state >> 16) & 0x7FFF);
}

}  // namespace platform

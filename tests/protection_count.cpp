#include "tests/protection_count.h"

#include <errno.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
bool counting = false;
bool refusing = false;
std::vector<ProtectionChange>* recorded = nullptr;
}  // namespace

ProtectionCount::ProtectionCount() {
  recorded = new std::vector<ProtectionChange>();
  counting = true;
}

ProtectionCount::~ProtectionCount() {
  counting = false;
  refusing = false;
  delete recorded;
  recorded = nullptr;
}

const std::vector<ProtectionChange>& ProtectionCount::changes() const { return *recorded; }

void ProtectionCount::RefuseChanges() { refusing = true; }

// Every mprotect of the process comes here first.
extern "C" int mprotect(void* address, size_t length, int protection) noexcept {
  if (counting) {
    counting = false;  // the vector may allocate; nothing in there protects pages
    recorded->push_back({reinterpret_cast<uintptr_t>(address), protection});
    counting = true;
    if (refusing) {
      errno = EACCES;
      return -1;
    }
  }
  return static_cast<int>(syscall(SYS_mprotect, address, length, protection));
}

// The emulator on Linux: the image is an anonymous mapping at any free base, protection is read
// back from /proc/self/maps, the plugin is a shared object.
#include <dlfcn.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "hostsim/os.h"

namespace hostsim::os {

namespace {

int ProtFlags(std::string_view text) {
  int flags = PROT_NONE;
  if (text.size() >= 3) {
    if (text[0] == 'r') flags |= PROT_READ;
    if (text[1] == 'w') flags |= PROT_WRITE;
    if (text[2] == 'x') flags |= PROT_EXEC;
  }
  return flags;
}

void (*g_report)(const char*) = nullptr;

const char* SignalName(int signal_number) {
  switch (signal_number) {
    case SIGSEGV:
      return "SIGSEGV (invalid memory access)";
    case SIGBUS:
      return "SIGBUS (bus error)";
    case SIGILL:
      return "SIGILL (illegal instruction)";
    case SIGFPE:
      return "SIGFPE (arithmetic fault)";
    case SIGABRT:
      return "SIGABRT (abort)";
    case SIGTRAP:
      return "SIGTRAP (INT3 executed)";
    default:
      return "a fatal signal";
  }
}

void OnSignal(int signal_number) { g_report(SignalName(signal_number)); }

// Fresh read-write pages at exactly `address`, or nullptr when anything is mapped there already. A
// kernel that does not know MAP_FIXED_NOREPLACE takes the address as a hint only.
void* MapExactly(uint32_t address, std::size_t size) {
  void* want = reinterpret_cast<void*>(static_cast<uintptr_t>(address));
  void* got = mmap(want, size, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (got == want) return got;
  if (got != MAP_FAILED) munmap(got, size);
  return nullptr;
}

}  // namespace

bool ImageCanMove() { return true; }

const char* DefaultPluginName() { return "Nightglass.so"; }

ImageMemory AcquireImage(uint32_t base, uint32_t size) {
  void* got = MapExactly(base, size);
  if (got == nullptr) {
    char text[96];
    std::snprintf(text, sizeof text, "cannot map the host image at 0x%X (address range in use)",
                  base);
    throw std::runtime_error(text);
  }
  return {static_cast<uint8_t*>(got), static_cast<uint8_t*>(got)};
}

void ReleaseImage(const ImageMemory& memory, uint32_t size) { munmap(memory.start, size); }

std::string ProtectionOf(const void* address) {
  const auto target = reinterpret_cast<uintptr_t>(address);
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long start = 0, end = 0;
    char perms[8] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %7s", &start, &end, perms) != 3) continue;
    if (target >= start && target < end) return std::string(perms, 3);
  }
  return "---";
}

void SetProtection(void* address, std::size_t size, std::string_view text) {
  mprotect(address, size, ProtFlags(text));
}

uint8_t* AllocatePages(std::size_t size, uint32_t preferred) {
  if (preferred != 0) {
    if (void* pages = MapExactly(preferred, size)) return static_cast<uint8_t*>(pages);
  }
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) throw std::runtime_error("cannot map " + std::to_string(size) + " bytes");
  return static_cast<uint8_t*>(pages);
}

void FreePages(uint8_t* pages, std::size_t size) { munmap(pages, size); }

void* LoadPlugin(const std::string& path, std::string* error) {
  void* plugin = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin == nullptr) *error = dlerror();
  return plugin;
}

void UnloadPlugin(void* plugin) { dlclose(plugin); }

void InstallCrashHandler(void (*report)(const char* fault)) {
  g_report = report;
  static char alternate_stack[64 * 1024];
  stack_t stack{};
  stack.ss_sp = alternate_stack;
  stack.ss_size = sizeof alternate_stack;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP}) {
    sigaction(signal_number, &action, nullptr);
  }
}

void WriteError(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void ExitNow(int status) { _exit(status); }

TextIn& StandardInput() { return std::cin; }
TextOut& StandardOutput() { return std::cout; }
TextOut& StandardError() { return std::cerr; }

std::unique_ptr<TextIn> OpenText(const std::string& path) {
  auto file = std::make_unique<std::ifstream>(path);
  if (!*file) return nullptr;
  return file;
}

void UseBinaryOutput() {}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

bool ChangeDirectory(const std::string& dir) { return chdir(dir.c_str()) == 0; }

std::string ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t size = readlink("/proc/self/exe", path, sizeof path - 1);
  if (size <= 0) return "./";
  std::string text(path, static_cast<std::size_t>(size));
  return text.substr(0, text.rfind('/') + 1);
}

std::string AbsolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  if (!path.empty() && path[0] == '/') return path;
  const std::string cwd = CurrentDirectory();
  return cwd.empty() ? path : cwd + "/" + path;
}

}  // namespace hostsim::os

// The emulator on Windows: the host image is this program's own executable image at 0x400000.
// The executable is linked at that fixed base without relocations, and its last section is one
// zero-filled, page-aligned array that covers every host address from its start to the image end;
// the emulator's own header, code and data lie before it, below the first address a build uses.
// The plugin then finds the host image with GetModuleHandleA(nullptr), exactly as in the game.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "hostsim/addresses.h"
#include "hostsim/os.h"

// The host's pages: a section of its own (b: uninitialised, w: writable), which the linker script
// hostsim/image_last.ld places after every other section of the executable.
#define HOSTSIM_PAGES_SIZE 0x640000
#define HOSTSIM_TEXT(x) #x
#define HOSTSIM_NUMBER(x) HOSTSIM_TEXT(x)
extern "C" uint8_t hostsim_image_pages[];
asm(".section .hostimg,\"bw\"\n"
    "\t.balign 4096\n"
    "\t.globl _hostsim_image_pages\n"
    "_hostsim_image_pages:\n"
    "\t.space " HOSTSIM_NUMBER(HOSTSIM_PAGES_SIZE) "\n"
    "\t.text\n");

namespace hostsim::os {

namespace {

constexpr uint32_t kPagesSize = HOSTSIM_PAGES_SIZE;

bool g_image_in_use = false;
void (*g_report)(const char*) = nullptr;

DWORD PageProtection(std::string_view text) {
  const bool read = text.size() >= 3 && text[0] == 'r';
  const bool write = text.size() >= 3 && text[1] == 'w';
  const bool execute = text.size() >= 3 && text[2] == 'x';
  if (execute) return write ? PAGE_EXECUTE_READWRITE : read ? PAGE_EXECUTE_READ : PAGE_EXECUTE;
  if (write) return PAGE_READWRITE;
  return read ? PAGE_READONLY : PAGE_NOACCESS;
}

const char* ExceptionName(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
      return "EXCEPTION_ACCESS_VIOLATION (invalid memory access)";
    case EXCEPTION_IN_PAGE_ERROR:
      return "EXCEPTION_IN_PAGE_ERROR (invalid memory access)";
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return "EXCEPTION_DATATYPE_MISALIGNMENT (bus error)";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
      return "EXCEPTION_ILLEGAL_INSTRUCTION (illegal instruction)";
    case EXCEPTION_PRIV_INSTRUCTION:
      return "EXCEPTION_PRIV_INSTRUCTION (illegal instruction)";
    case EXCEPTION_BREAKPOINT:
      return "EXCEPTION_BREAKPOINT (INT3 executed)";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK:
      return "arithmetic fault";
    case EXCEPTION_STACK_OVERFLOW:
      return "EXCEPTION_STACK_OVERFLOW (stack overflow)";
    default:
      return "an unhandled exception";
  }
}

// Every exception nobody handled ends here, whatever code raised it.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  g_report(ExceptionName(exception->ExceptionRecord->ExceptionCode));
  return EXCEPTION_EXECUTE_HANDLER;
}

void OnAbort(int) { g_report("abort"); }

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char text[256] = {};
  const DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, size);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
    message.pop_back();
  char number[32];
  std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
  return message.empty() ? number : message + " (" + number + ")";
}

}  // namespace

bool ImageCanMove() { return false; }

const char* DefaultPluginName() { return "Nightglass.dll"; }

ImageMemory AcquireImage(uint32_t base, uint32_t size) {
  auto* start = reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
  if (base != kDefaultBase || start != reinterpret_cast<uint8_t*>(base)) {
    throw std::runtime_error("the host image is this program's own image at 0x400000");
  }
  if (g_image_in_use) {
    throw std::runtime_error("cannot map the host image at 0x400000 (address range in use)");
  }
  uint8_t* owned = hostsim_image_pages;
  const auto owned_at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owned));
  if (owned_at > kLowestHostPage || owned_at + kPagesSize < base + size) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "the host pages lie at 0x%X-0x%X, which does not cover 0x%X-0x%X: the "
                  "emulator's own code has grown too large",
                  owned_at, owned_at + kPagesSize, kLowestHostPage, base + size);
    throw std::runtime_error(text);
  }
  SetProtection(owned, start + size - owned, "rw-");
  g_image_in_use = true;
  return {start, owned};
}

void ReleaseImage(const ImageMemory& memory, uint32_t size) {
  SetProtection(memory.owned, memory.start + size - memory.owned, "rw-");
  g_image_in_use = false;
}

std::string ProtectionOf(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(address, &info, sizeof info) == 0 || info.State != MEM_COMMIT) return "---";
  switch (info.Protect & 0xFF) {
    case PAGE_READONLY:
      return "r--";
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
      return "rw-";
    case PAGE_EXECUTE:
      return "--x";
    case PAGE_EXECUTE_READ:
      return "r-x";
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
      return "rwx";
    default:
      return "---";
  }
}

void SetProtection(void* address, std::size_t size, std::string_view text) {
  DWORD previous = 0;
  VirtualProtect(address, size, PageProtection(text), &previous);
}

uint8_t* AllocatePages(std::size_t size, uint32_t preferred) {
  void* pages = nullptr;
  if (preferred != 0) {
    pages = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(preferred)), size,
                         MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  }
  if (pages == nullptr) pages = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (pages == nullptr) throw std::runtime_error("cannot allocate " + std::to_string(size) + " bytes");
  return static_cast<uint8_t*>(pages);
}

void FreePages(uint8_t* pages, std::size_t) { VirtualFree(pages, 0, MEM_RELEASE); }

void* LoadPlugin(const std::string& path, std::string* error) {
  HMODULE plugin = LoadLibraryA(path.c_str());
  if (plugin == nullptr) *error = path + ": " + LastErrorText();
  return reinterpret_cast<void*>(plugin);
}

void UnloadPlugin(void* plugin) { FreeLibrary(static_cast<HMODULE>(plugin)); }

void InstallCrashHandler(void (*report)(const char* fault)) {
  g_report = report;
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::signal(SIGABRT, OnAbort);
}

void WriteError(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, lstrlenA(text), &written, nullptr);
}

// Ends at once, without running the plugin's detach code in a process that has just faulted.
void ExitNow(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  for (;;) {
  }
}

TextIn& StandardInput() {
  static TextIn in(stdin);
  return in;
}

TextOut& StandardOutput() {
  static TextOut out(stdout);
  return out;
}

TextOut& StandardError() {
  static TextOut err(stderr);
  return err;
}

std::unique_ptr<TextIn> OpenText(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return nullptr;
  return std::make_unique<TextIn>(file);
}

void UseBinaryOutput() { _setmode(_fileno(stdout), _O_BINARY); }

std::string CurrentDirectory() {
  char buffer[MAX_PATH];
  const DWORD size = GetCurrentDirectoryA(sizeof buffer, buffer);
  return size > 0 && size < sizeof buffer ? std::string(buffer, size) : "";
}

bool ChangeDirectory(const std::string& dir) { return SetCurrentDirectoryA(dir.c_str()) != 0; }

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD size = GetModuleFileNameA(nullptr, path, sizeof path);
  if (size == 0 || size >= sizeof path) return ".\\";
  const std::string text(path, size);
  return text.substr(0, text.find_last_of("\\/") + 1);
}

std::string AbsolutePath(const std::string& path) {
  char full[MAX_PATH];
  const DWORD size = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return size > 0 && size < sizeof full ? std::string(full, size) : path;
}

}  // namespace hostsim::os

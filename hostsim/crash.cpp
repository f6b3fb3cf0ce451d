#include "hostsim/crash.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace hostsim {

namespace {

// Prepared before each command, so the handler only has to write it.
char g_context[256] = "before the script";

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
    default:
      return "a fatal signal";
  }
}

void WriteText(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void OnCrash(int signal_number) {
  WriteText("nightglass-hostsim: crash: ");
  WriteText(SignalName(signal_number));
  WriteText(" ");
  WriteText(g_context);
  WriteText("\n");
  _exit(kCrashExitStatus);
}

}  // namespace

void InstallCrashReporter() {
  static char alternate_stack[64 * 1024];
  stack_t stack{};
  stack.ss_sp = alternate_stack;
  stack.ss_size = sizeof alternate_stack;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = OnCrash;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
    sigaction(signal_number, &action, nullptr);
  }
}

void SetCrashContext(int line, std::string_view what) {
  std::snprintf(g_context, sizeof g_context, "at line %d: %.*s", line,
                static_cast<int>(what.size()), what.data());
}

}  // namespace hostsim

// Reports a crash (of the plugin, or of the host code it patched) as a failure: a message naming
// the script line and the signal on standard error, and a distinct exit status.
#pragma once

#include <string_view>

namespace hostsim {

inline constexpr int kCrashExitStatus = 3;

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT (on their own stack) that
// print the message and end the process with kCrashExitStatus.
void InstallCrashReporter();

// What is running now, for the message: the script line and its command.
void SetCrashContext(int line, std::string_view what);

}  // namespace hostsim

// Reports a crash (of the plugin, or of the host code it patched) as a failure: a message naming
// the script line and the fault on standard error, and a distinct exit status.
#pragma once

#include <string_view>

namespace hostsim {

inline constexpr int kCrashExitStatus = 3;

// Installs the handler (os.h) that prints the message on a fault (invalid memory access, illegal
// instruction, ...) and ends the process with kCrashExitStatus.
void InstallCrashReporter();

// What is running now, for the message: the script line and its command.
void SetCrashContext(int line, std::string_view what);

}  // namespace hostsim

#include "hostsim/crash.h"

#include <cstdio>

#include "hostsim/os.h"

namespace hostsim {

namespace {

// Prepared before each command, so the handler only has to write it.
char g_context[256] = "before the script";

void OnCrash(const char* fault) {
  os::WriteError("nightglass-hostsim: crash: ");
  os::WriteError(fault);
  os::WriteError(" ");
  os::WriteError(g_context);
  os::WriteError("\n");
  os::ExitNow(kCrashExitStatus);
}

}  // namespace

void InstallCrashReporter() { os::InstallCrashHandler(OnCrash); }

void SetCrashContext(int line, std::string_view what) {
  std::snprintf(g_context, sizeof g_context, "at line %d: %.*s", line,
                static_cast<int>(what.size()), what.data());
}

}  // namespace hostsim

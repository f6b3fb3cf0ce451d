// The emulated host, for the emulator's main and for in-process tests.
//
//   hostsim::EmulatedHost host(100, 0x400000, &trace);   // image at 0x400000, calls to `trace`
//   host.State().hour = 23; host.ApplyState();
//   host.CallSite(kMoonSite, args);                       // the host draws its moon
//
// Only one image may hold an address range at a time: create one host (or HostImage) per process
// at 0x400000, or destroy it before RunScript lays out its own.
#pragma once

#include <cstdint>
#include <string>

#include "hostsim/addresses.h"
#include "hostsim/host.h"
#include "hostsim/host_state.h"
#include "hostsim/image.h"
#include "hostsim/routines.h"
#include "hostsim/script.h"
#include "hostsim/text_stream.h"
#include "hostsim/trace.h"

namespace hostsim {

// Exit statuses of RunScript and of the emulator.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;    // the plugin could not be loaded, or the image mapped
inline constexpr int kExitMalformed = 2;  // malformed script or command line
// A crash exits with kCrashExitStatus (3), see crash.h.

struct Options {
  std::string plugin_path;  // the plugin to load; made absolute by the caller
  std::string dir;          // the current directory while the script runs; empty keeps it
  uint32_t base = kDefaultBase;
};

// Parses and checks the whole script, then runs it: the trace goes to `out`, one JSON object per
// line, messages to `err` as "line N: message". Returns one of the exit statuses above. A plugin
// still loaded after the last command is unloaded silently.
int RunScript(TextIn& script, TextOut& out, TextOut& err, const Options& options);

}  // namespace hostsim

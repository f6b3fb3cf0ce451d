// Running the emulated host as a child process, and the few other things the preview asks of the
// operating system. child_linux.cpp and child_windows.cpp implement them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace preview {

struct ChildResult {
  bool started = false;
  std::string failure;  // why it did not start, or how it ended when not by exiting
  int status = -1;      // exit status when it exited
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs `program` with `args` and waits for it. Standard input reads nothing; standard output and
// error are caught in files of `temp_folder` and read back. With `out_path`, standard output goes
// to that file instead and is left there for the caller (`out` stays empty).
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& temp_folder, const std::string& out_path = "");

// The folder of the running program, with a trailing separator.
std::string ProgramFolder();
// The platform's program file name suffix ("" or ".exe") and its plugin file name.
const char* ProgramSuffix();
const char* PluginName();
// A number unique to this process, for file names.
unsigned long ProcessId();

// Calls `on_end`, on a thread of its own, when the program is asked to end: Ctrl-C, its console or
// terminal closing (SIGHUP, a console's close event), a request to end (SIGTERM, logoff or
// shutdown). Call before starting any thread. The console's close waits for EndRequestDone.
void OnEndRequest(std::function<void()> on_end);
// The program has ended what `on_end` refers to: later requests only end the program.
void EndRequestDone();
// Opens `url` in the default browser; false with the reason in `why` when it cannot.
bool OpenInBrowser(const std::string& url, std::string* why);

}  // namespace preview

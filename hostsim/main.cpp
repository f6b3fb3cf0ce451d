// nightglass-hostsim: plays the host game for the Nightglass plugin and prints what the plugin
// hands the game, one JSON object per line.
#include <charconv>
#include <cstring>
#include <memory>
#include <string>

#include "hostsim/commands.h"
#include "hostsim/crash.h"
#include "hostsim/hostsim.h"
#include "hostsim/os.h"

namespace {

// What --help says before the commands, whose lines come from the table of commands.
constexpr const char* kHelpStart =
    R"(usage: nightglass-hostsim [--plugin PATH] [--dir DIR] [--base HEX] [SCRIPT]

Plays the host game for the Nightglass plugin. Reads commands from SCRIPT (or standard input), one
per line; '#' starts a comment; numbers are decimal or 0x-hex (floats also as 1.5, 1e3, nan, inf).
Writes one JSON object per line to standard output.

  --plugin PATH  the plugin (default: Nightglass.so, on Windows Nightglass.dll, beside this
                 program)
  --dir DIR      the current directory while the script runs (the game folder holding
                 Nightglass.ini); the plugin and script paths are resolved before entering it
  --base HEX     map the host image at HEX instead of 0x400000 (page aligned, not overlapping
                 0x400000-0xA79000); items used at fixed addresses then also live at 0x400000.
                 Not on Windows, where the host image is this program's own image at 0x400000
)";

// What --help says after the commands.
constexpr const char* kHelpEnd = R"(
Trace: each executing command prints {"ev":"<command>"} first, then one line per host routine
call, then {"ev":"return","value":R} for startup, update, draw and plane-branch. The sky gate
routine's calls are traced only after `trace-skygate 1`, as {"call":"SkyGate","ret":R}. The
projection is a pinhole camera (640x480, 70 degree vertical view, up = right x forward); a point
is on screen when in front of the camera with 0<=x<=640, 0<=y<=480.
The event routines return 3235774720, 3235774976 and 3235775232 (0xC0DE0100/0200/0300); the glow
routine returns 1. The vehicle pool's record lies at 0x48000000 (whenever that address is free),
its first vehicle object 16 bytes further and slot S's object S*1500 bytes after that, so glow ids
made from vehicle addresses repeat from run to run. A plugin still loaded after the last command
is unloaded silently.

Exit status: 0 success; 1 the plugin could not be loaded or the image not mapped; 2 malformed
script ("line N: message" on standard error; nothing runs) or command line (unknown option,
bad --base, missing --dir or script); 3 crash (the fault,
script line and command on standard error).
)";

int Usage(const std::string& message) {
  hostsim::os::StandardError() << "nightglass-hostsim: " << message << "\n(see --help)\n";
  return hostsim::kExitMalformed;
}

}  // namespace

int main(int argc, char** argv) {
  hostsim::Options options;
  std::string script_path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      hostsim::os::StandardOutput() << kHelpStart << hostsim::CommandHelp() << kHelpEnd;
      return hostsim::kExitOk;
    } else if (arg == "--plugin" && has_value) {
      options.plugin_path = argv[++i];
    } else if (arg == "--dir" && has_value) {
      options.dir = argv[++i];
    } else if (arg == "--base" && !hostsim::os::ImageCanMove()) {
      return Usage("--base is not supported on Windows: the host image is this program's own image at "
                   "0x400000");
    } else if (arg == "--base" && has_value) {
      std::string text = argv[++i];
      if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) text = text.substr(2);
      const auto result = std::from_chars(text.data(), text.data() + text.size(), options.base, 16);
      if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return Usage("bad --base value `" + std::string(argv[i]) + "`");
      }
      if (const std::string problem = hostsim::BaseProblem(options.base); !problem.empty()) {
        return Usage(problem);
      }
    } else if (arg.rfind("--", 0) == 0 || !script_path.empty()) {
      return Usage("unexpected argument `" + arg + "`");
    } else {
      script_path = arg;
    }
  }
  options.plugin_path = options.plugin_path.empty()
                            ? hostsim::os::ProgramFolder() + hostsim::os::DefaultPluginName()
                            : hostsim::os::AbsolutePath(options.plugin_path);

  std::unique_ptr<hostsim::TextIn> file;
  if (!script_path.empty()) {
    file = hostsim::os::OpenText(script_path);
    if (!file) return Usage("cannot read script " + script_path);
  }
  hostsim::os::UseBinaryOutput();
  hostsim::InstallCrashReporter();
  return hostsim::RunScript(file ? *file : hostsim::os::StandardInput(),
                            hostsim::os::StandardOutput(), hostsim::os::StandardError(), options);
}

// nightglass-check [--json] [PATH]: tells what a settings file really does, by running the plugin's
// own settings readers and loaders on it. Without PATH it checks the file the plugin would read,
// looked for from the current folder as the plugin does.
// Exit code: 0 nothing to tell (or notes only), 1 findings, 2 no file to check or a bad command line.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/settings_file.h"
#include "settings/reader.h"
#include "tools/check/file_lines.h"
#include "tools/check/findings.h"
#include "tools/check/loader_runs.h"
#include "tools/check/report.h"
#include "tools/check/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr char kUsage[] =
    "usage: nightglass-check [--json] [PATH]\n"
    "Explains what the settings file PATH does to the plugin, one finding a line that says\n"
    "what each part of the plugin reading it does with it: values that are not numbers or\n"
    "that it reads only in part (a decimal comma, 1.5 or 0x40 where a whole number is\n"
    "read), keys that nothing reads, keys read without effect or shared between sections,\n"
    "lists and values out of their range.\n"
    "Without PATH, checks the file the plugin reads: Nightglass.ini, plugins/Nightglass.ini or\n"
    "scripts/Nightglass.ini below the current folder, the first that exists.\n"
    "  --json  one JSON object per finding and line, with the plugin's own text of a conversion\n"
    "          error and whether the lines it is about have no effect\n"
    "Exit code: 0 when the file does what it says, 1 when it does not, 2 when there is no file.\n";

int Check(const char* path, bool json) {
  FileLines lines;
  if (!ReadFileLines(path, lines)) {
    std::fprintf(stderr, "nightglass-check: cannot open %s\n", Printable(path).c_str());
    return 2;
  }
  const std::vector<Finding> findings = CheckSettingsFile(lines, RunLoaders(path, lines));
  if (json) {
    WriteJsonLines(stdout, path, findings);
  } else {
    WriteText(stdout, path, findings);
  }
  return ExitCodeFor(findings);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Lines end in LF alone on every platform, so that editors and scripts read the same output.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  bool json = false;
  bool options = true;  // until "--"
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--json") {
      json = true;
    } else if (options && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "nightglass-check: unknown option %s\n%s", Printable(arg).c_str(), kUsage);
      return 2;
    } else if (path != nullptr) {
      std::fprintf(stderr, "nightglass-check: one settings file at a time\n%s", kUsage);
      return 2;
    } else {
      path = argv[i];
    }
  }
  if (path == nullptr) path = FindSettingsFile();
  if (path == nullptr) {
    std::fprintf(stderr, "nightglass-check: no settings file: none of %s, %s and %s opens\n",
                 kSettingsFilePaths[0], kSettingsFilePaths[1], kSettingsFilePaths[2]);
    return 2;
  }
  try {
    return Check(path, json);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "nightglass-check: %s\n", error.what());
    return 2;
  }
}

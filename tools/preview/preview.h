// nightglass-preview: the command line, and one run from the settings folder to the PNG file.
#pragma once

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/preview/render.h"
#include "tools/preview/scene.h"

namespace preview {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;    // a file, folder or the emulated host failed
inline constexpr int kExitMalformed = 2;  // a malformed command line
inline constexpr int kLargestSide = 8192;
inline constexpr int kMostTiles = 96;

// A failure with the message to show and the exit status.
struct PreviewError : std::runtime_error {
  PreviewError(int status, const std::string& message)
      : std::runtime_error(message), status(status) {}
  int status;
};

struct Options {
  bool help = false;
  std::string output = "nightglass-preview.png";
  std::string settings;  // the settings folder; empty: the one beside the program
  int width = 0;         // 0: the default size
  int height = 0;
  int hour = 1;
  int minute = 0;
  uint32_t timer = 60000;
  CameraPreset camera = CameraPreset::kCity;
  bool sheet = false;
  int sheet_from = 19 * 60;  // minutes of the day
  int sheet_to = 7 * 60;
  int sheet_step = 60;
  std::string hostsim;  // empty: beside the program
  std::string plugin;   // empty: beside the program or in the folder above
  std::string trace;    // where to save the emulated host's output; empty: nowhere
};

// Reads the command line (without the program name). Throws PreviewError with kExitMalformed.
Options ParseOptions(const std::vector<std::string>& args);
const char* Usage();

// "HH:MM" (or "H:MM") as minutes of the day; -1 when it is not a clock time.
int ParseClock(const std::string& text);
std::string ClockText(int minutes);
// The minutes of the day of a sheet's tiles: from `from` every `step` minutes up to `to`, past
// midnight when `to` is earlier than `from`.
std::vector<int> SheetMinutes(int from, int to, int step);

// The programs and folders of a run, made absolute and checked.
struct Tools {
  std::string hostsim;
  std::string plugin;
  std::string settings;       // the settings folder
  std::string settings_file;  // the Nightglass.ini the plugin will read there; empty: none
  std::string temp;
};
// Throws PreviewError: kExitMalformed when --hostsim or --plugin names no file, kExitFailure when a
// program cannot be found or the settings folder cannot be read.
Tools FindTools(const Options& options);

// The emulated host's output for one picture's scene.
std::string RunScene(const Tools& tools, const SceneSettings& scene);

// The whole run: pictures, labels, the PNG file. Messages go to `err`, the result line to `out`.
// Returns the exit status; never throws.
int RunPreview(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace preview

// nightglass-preview: the command line, and one run from the settings folder to the picture, the
// clip or the night report.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/preview/render.h"
#include "tools/preview/scene.h"
#include "tools/preview/trace.h"

namespace preview {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;    // a file, folder or the emulated host failed
inline constexpr int kExitMalformed = 2;  // a malformed command line
inline constexpr int kLargestSide = 8192;
inline constexpr int kMostTiles = 96;
// A clip's frames are painted, compressed and written one at a time; 3600 frames (two minutes at
// 30 frames a second) keep the time and the file within bounds.
inline constexpr int kMostClipFrames = 3600;
inline constexpr int kMostFps = 60;

// A failure with the message to show and the exit status.
struct PreviewError : std::runtime_error {
  PreviewError(int status, const std::string& message)
      : std::runtime_error(message), status(status) {}
  int status;
};

enum class Mode { kPicture, kSheet, kClip, kReport, kServe };

// The workbench's port when --port is not given.
inline constexpr int kDefaultPort = 8470;

// A clip: its length and frame rate, and whether it plays the game clock from one time to another
// (a timelapse) instead of the host's millisecond timer alone.
struct ClipOptions {
  double seconds = 10.0;
  int fps = 30;
  bool timelapse = false;
  int from = 0;  // minutes of the day, for a timelapse
  int to = 0;
  int Frames() const;
};

struct Options {
  bool help = false;
  Mode mode = Mode::kPicture;
  std::string output;    // empty: the mode's default file name
  std::string settings;  // the settings folder; empty: the one beside the program
  int width = 0;         // 0: the mode's default size
  int height = 0;
  int hour = 1;
  int minute = 0;
  uint32_t timer = 60000;
  CameraPreset camera = CameraPreset::kCity;
  int sheet_from = 19 * 60;  // minutes of the day
  int sheet_to = 7 * 60;
  int sheet_step = 60;
  ClipOptions clip;
  std::string hostsim;  // empty: beside the program
  std::string plugin;   // empty: beside the program or in the folder above
  std::string trace;    // where to save the emulated host's output; empty: nowhere
  int port = kDefaultPort;  // --serve: 0 for any free port
  bool open = true;         // --serve: open the page in the default browser
};

// Reads the command line (without the program name). Throws PreviewError with kExitMalformed.
Options ParseOptions(const std::vector<std::string>& args);
const char* Usage();
// The file the mode writes when no -o is given.
std::string OutputPath(const Options& options);

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

// One run of the emulated host that plays `moments` after the scene's warm-up (MomentsScript),
// handing each moment's frame to `each` as its trace is read, in order. With `trace_path`, the
// emulated host's whole output is also saved there. Throws PreviewError.
void RunMoments(const Tools& tools, const SceneSettings& scene, const std::vector<Moment>& moments,
                const std::function<void(std::size_t index, const TraceFrame& frame)>& each,
                const std::string& trace_path = "");

// The tiles of a contact sheet (or the report's clock slider) at `minutes`, one run of the
// emulated host each, labelled with their time when `labels`; each run's output is added to
// `traces` when given. Progress lines go to `progress`. Throws PreviewError.
std::vector<Image> SheetTiles(const Tools& tools, SceneSettings scene,
                              const std::vector<int>& minutes, int width, int height, bool labels,
                              std::ostream& progress, std::string* traces);

// Writes a file whole or not at all: into a temporary file beside it, renamed over `path` once
// complete. Throws PreviewError naming `what` when it cannot.
void WriteFileAtomically(const std::string& path, const std::string& what, const void* data,
                         std::size_t size);
// Fails now, before any work, when `what` could not be written to `path`.
void CheckWritable(const std::string& path, const std::string& what);

// The whole run: pictures, labels, the file. Messages go to `err`, the result line to `out`.
// Returns the exit status; never throws.
int RunPreview(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace preview

#include "tools/preview/preview.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "platform/settings_file.h"
#include "tools/preview/child.h"
#include "tools/preview/clip.h"
#include "tools/preview/png.h"
#include "tools/preview/report.h"
#include "tools/preview/trace.h"

namespace preview {

namespace fs = std::filesystem;

namespace {

// The first Nightglass.ini the plugin would open in `folder`, empty when none.
std::string SettingsFileIn(const fs::path& folder) {
  for (const char* relative : kSettingsFilePaths) {
    std::error_code error;
    if (fs::is_regular_file(folder / relative, error)) return (folder / relative).string();
  }
  return {};
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  return (error ? fs::path(path) : absolute).lexically_normal().string();
}

// The program given with `--option`, or the first of `defaults` that exists.
std::string ExistingProgram(const std::string& given, const std::vector<std::string>& defaults,
                            const std::string& what, const std::string& option) {
  std::error_code error;
  if (!given.empty()) {
    if (!fs::is_regular_file(given, error))
      throw PreviewError(kExitMalformed, what + " " + given + " is not a file (see --help)");
    return Absolute(given);
  }
  for (const std::string& path : defaults)
    if (fs::is_regular_file(path, error)) return Absolute(path);
  throw PreviewError(kExitFailure, "cannot find " + what + " (looked for " + defaults.front() +
                                       "): give it with " + option);
}

// The reason of the last failed C library call, or `otherwise`.
std::string Reason(int error, const char* otherwise) {
  return error != 0 ? std::strerror(error) : otherwise;
}

// A file written whole or not at all: the bytes go into a temporary file beside the target, which
// is renamed over it once complete; a file that is not committed is removed.
class AtomicFile {
 public:
  AtomicFile(const std::string& path, const std::string& what)
      : path_(path), temp_(path + ".part-" + std::to_string(ProcessId())), what_(what) {
    errno = 0;
    file_ = std::fopen(temp_.c_str(), "wb");
    if (file_ == nullptr)
      throw PreviewError(kExitFailure, "cannot write " + what_ + " to " + path_ + ": " +
                                           Reason(errno, "cannot open it"));
  }
  ~AtomicFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!committed_) std::remove(temp_.c_str());
  }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void Write(const void* data, std::size_t size) {
    errno = 0;
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) Fail(errno, "write failed");
  }
  void Commit() {
    errno = 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) Fail(errno, "write failed");
    std::error_code error;
    fs::rename(temp_, path_, error);
    if (error) {
      throw PreviewError(kExitFailure, "cannot write " + what_ + " to " + path_ + ": " +
                                           error.message());
    }
    committed_ = true;
  }

 private:
  [[noreturn]] void Fail(int error, const char* otherwise) {
    throw PreviewError(kExitFailure,
                       "cannot write " + what_ + " to " + path_ + ": " + Reason(error, otherwise));
  }

  std::string path_, temp_, what_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

// A file of the temporary folder, removed when the object ends.
class TempFile {
 public:
  TempFile(const Tools& tools, const char* suffix) {
    static int counter = 0;
    path_ = (fs::path(tools.temp) / ("nightglass-preview-" + std::to_string(ProcessId()) + "-" +
                                     std::to_string(++counter) + suffix))
                .string();
  }
  ~TempFile() {
    std::error_code error;
    fs::remove(path_, error);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The first lines of the emulated host's messages, for ours.
std::string FirstLines(const std::string& text) {
  std::string lines;
  std::size_t start = 0;
  for (int n = 0; n < 5 && start < text.size(); ++n) {
    const std::size_t end = text.find('\n', start);
    lines +=
        "\n  " + text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

// Runs the emulated host on `script`; its output goes to `out_path` when given, else is returned.
std::string RunHost(const Tools& tools, const std::string& script, const std::string& out_path) {
  TempFile script_file(tools, ".script");
  WriteFileAtomically(script_file.path(), "the scene script", script.data(), script.size());
  const ChildResult result =
      RunChild(tools.hostsim, {"--plugin", tools.plugin, "--dir", tools.settings, script_file.path()},
               tools.temp, out_path);
  if (!result.started)
    throw PreviewError(kExitFailure,
                       "cannot run the emulated host " + tools.hostsim + ": " + result.failure);
  if (!result.failure.empty() || result.status != 0) {
    const std::string how =
        result.failure.empty() ? "exit status " + std::to_string(result.status) : result.failure;
    throw PreviewError(kExitFailure,
                       "the emulated host failed (" + how + "):" + FirstLines(result.err));
  }
  return result.out;
}


}  // namespace

Tools FindTools(const Options& options) {
  Tools tools;
  const std::string here = ProgramFolder();
  tools.hostsim = ExistingProgram(options.hostsim, {here + "nightglass-hostsim" + ProgramSuffix()},
                                  "the emulated host", "--hostsim");
  tools.plugin = ExistingProgram(options.plugin, {here + PluginName(), here + "../" + PluginName()},
                                 "the plugin", "--plugin");
  std::error_code error;
  if (options.settings.empty()) {
    for (const std::string& folder : {here + "examples", here + ".."}) {
      if (!SettingsFileIn(folder).empty()) {
        tools.settings = Absolute(folder);
        break;
      }
    }
    if (tools.settings.empty()) {
      throw PreviewError(kExitFailure,
                         "no settings folder given and none beside the program (looked in " + here +
                             "examples and " + here + "..): give one with --settings DIR");
    }
  } else {
    const fs::path folder = options.settings;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status)) {
      throw PreviewError(kExitFailure, "cannot read the settings folder " + options.settings +
                                           ": it does not exist");
    }
    if (!fs::is_directory(status)) {
      throw PreviewError(kExitFailure, "cannot read the settings folder " + options.settings +
                                           ": it is not a folder (give the folder that holds "
                                           "Nightglass.ini)");
    }
    fs::directory_iterator listing(folder, error);
    if (error) {
      throw PreviewError(kExitFailure, "cannot read the settings folder " + options.settings +
                                           ": " + error.message());
    }
    tools.settings = Absolute(options.settings);
  }
  tools.settings_file = SettingsFileIn(tools.settings);
  if (!tools.settings_file.empty() && !std::ifstream(tools.settings_file, std::ios::binary))
    throw PreviewError(kExitFailure, "cannot read the settings file " + tools.settings_file);
  const fs::path temp = fs::temp_directory_path(error);
  tools.temp = error ? Absolute(".") : temp.string();
  return tools;
}

void CheckWritable(const std::string& path, const std::string& what) {
  std::error_code error;
  if (fs::is_directory(path, error))
    throw PreviewError(kExitFailure, "cannot write " + what + " to " + path + ": it is a folder");
  const bool existed = fs::exists(path, error);
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) {
    throw PreviewError(kExitFailure, "cannot write " + what + " to " + path + ": " +
                                         Reason(errno, "cannot open it"));
  }
  std::fclose(file);
  if (!existed) fs::remove(path, error);
}

void WriteFileAtomically(const std::string& path, const std::string& what, const void* data,
                         std::size_t size) {
  AtomicFile file(path, what);
  file.Write(data, size);
  file.Commit();
}

std::string RunScene(const Tools& tools, const SceneSettings& scene) {
  return RunHost(tools, SceneScript(scene), "");
}

void RunMoments(const Tools& tools, const SceneSettings& scene, const std::vector<Moment>& moments,
                const std::function<void(std::size_t index, const TraceFrame& frame)>& each,
                const std::string& trace_path) {
  // The output of a long clip is large: it goes to a file and is read from there a line at a time.
  TempFile output(tools, ".trace");
  RunHost(tools, MomentsScript(scene, moments), output.path());
  std::ifstream in(output.path(), std::ios::binary);
  if (!in) throw PreviewError(kExitFailure, "cannot read the emulated host's output");
  std::unique_ptr<AtomicFile> saved;
  if (!trace_path.empty()) saved = std::make_unique<AtomicFile>(trace_path, "the trace");
  TraceReader reader;
  TraceFrame frame;
  const uint32_t warm_up = WarmUpFrames(scene);
  std::size_t seen = 0;
  const auto deliver = [&] {
    while (reader.Take(&frame)) {
      if (seen >= warm_up && seen - warm_up < moments.size()) each(seen - warm_up, frame);
      ++seen;
    }
  };
  std::string line;
  try {
    while (std::getline(in, line)) {
      if (saved) {
        saved->Write(line.data(), line.size());
        saved->Write("\n", 1);
      }
      reader.Feed(line);
      deliver();
    }
    reader.Finish();
  } catch (const PreviewError&) {
    throw;
  } catch (const std::runtime_error& e) {
    throw PreviewError(kExitFailure, e.what());
  }
  deliver();
  if (seen != warm_up + moments.size()) {
    throw PreviewError(kExitFailure, "the emulated host played " +
                                         std::to_string(seen > warm_up ? seen - warm_up : 0) +
                                         " of " + std::to_string(moments.size()) + " frames");
  }
  if (saved) saved->Commit();
}

std::vector<Image> SheetTiles(const Tools& tools, SceneSettings scene,
                              const std::vector<int>& minutes, int width, int height,
                              bool labels, std::ostream& progress, std::string* traces) {
  std::vector<Image> tiles;
  for (std::size_t i = 0; i < minutes.size(); ++i) {
    scene.hour = minutes[i] / 60;
    scene.minute = minutes[i] % 60;
    progress << "nightglass-preview: tile " << i + 1 << " of " << minutes.size() << " ("
             << ClockText(minutes[i]) << ")\n"
             << std::flush;
    const std::string trace = RunScene(tools, scene);
    if (traces != nullptr) *traces += trace;
    TraceFrame frame;
    try {
      frame = ReadTrace(trace);
    } catch (const std::runtime_error& e) {
      throw PreviewError(kExitFailure, e.what());
    }
    tiles.push_back(RenderPicture(scene, frame, width, height));
    if (labels) {
      const int scale = std::max(1, height / 120);
      DrawLabel(tiles.back(), 3 * scale, 3 * scale, scale, ClockText(minutes[i]).c_str());
    }
  }
  return tiles;
}

SceneSettings SceneOf(const Options& options, const Tools& tools) {
  SceneSettings scene;
  scene.hour = options.hour;
  scene.minute = options.minute;
  if (options.mode == Mode::kClip && options.clip.timelapse) {
    scene.hour = options.clip.from / 60;
    scene.minute = options.clip.from % 60;
  }
  scene.timer = options.timer;
  scene.camera = options.camera;
  if (!tools.settings_file.empty()) scene.models = VehicleModels(tools.settings_file);
  return scene;
}

std::string SettingsNamed(const Tools& tools) {
  return tools.settings_file.empty() ? tools.settings + " (none: defaults)" : tools.settings_file;
}

std::string Counts(const TraceFrame& frame) {
  return std::to_string(frame.sprites.size()) + " sprites, " + std::to_string(frame.glows.size()) +
         " glows, " + std::to_string(frame.lights.size()) + " point lights";
}

int RunPreview(const Options& options, std::ostream& out, std::ostream& err) {
  try {
    const Tools tools = FindTools(options);
    const std::string output = OutputPath(options);
    const char* what = options.mode == Mode::kClip     ? "the clip"
                       : options.mode == Mode::kReport ? "the report"
                                                       : "the picture";
    CheckWritable(output, what);
    if (!options.trace.empty()) CheckWritable(options.trace, "the trace");
    if (tools.settings_file.empty()) {
      err << "nightglass-preview: note: no Nightglass.ini in " << tools.settings
          << " (nor in its plugins or scripts folder): the plugin's defaults are shown\n";
    }
    const SceneSettings scene = SceneOf(options, tools);

    if (options.mode == Mode::kReport) {
      const ReportSummary summary = WriteReport(tools, options, scene, output, err);
      out << "nightglass-preview: wrote " << Absolute(output) << " (night report, "
          << summary.bytes / 1024 << " KiB: " << ClockText(scene.hour * 60 + scene.minute)
          << ", timer " << scene.timer << " ms, camera " << CameraName(options.camera) << ", "
          << summary.findings << " findings; settings " << SettingsNamed(tools) << ")\n";
      return kExitOk;
    }

    if (options.mode == Mode::kClip) {
      AtomicFile file(output, what);
      const ClipResult clip = MakeClip(
          tools, scene, options.clip, options.width, options.height,
          [&](const uint8_t* data, std::size_t size) { file.Write(data, size); }, err,
          options.trace);
      file.Commit();
      out << "nightglass-preview: wrote " << Absolute(output) << " (" << options.width << "x"
          << options.height << " clip of " << clip.frames << " frames at " << options.clip.fps
          << " a second, ";
      if (options.clip.timelapse) {
        out << "the clock from " << ClockText(options.clip.from) << " to "
            << ClockText(options.clip.to);
      } else {
        out << "from " << ClockText(scene.hour * 60 + scene.minute);
      }
      out << ", timer from " << scene.timer << " ms, camera " << CameraName(options.camera)
          << "; first frame: " << Counts(clip.first) << "; settings " << SettingsNamed(tools)
          << ")\n";
      return kExitOk;
    }

    const bool sheet = options.mode == Mode::kSheet;
    std::vector<int> minutes{scene.hour * 60 + scene.minute};
    if (sheet) minutes = SheetMinutes(options.sheet_from, options.sheet_to, options.sheet_step);
    std::string traces;
    TraceFrame last;
    std::vector<Image> pictures;
    if (sheet) {
      pictures = SheetTiles(tools, scene, minutes, options.width, options.height, true, err,
                            options.trace.empty() ? nullptr : &traces);
    } else {
      const std::string trace = RunScene(tools, scene);
      if (!options.trace.empty()) traces = trace;
      try {
        last = ReadTrace(trace);
      } catch (const std::runtime_error& e) {
        throw PreviewError(kExitFailure, e.what());
      }
      pictures.push_back(RenderPicture(scene, last, options.width, options.height));
    }
    // A sheet about as many tiles wide as high.
    int columns = 1;
    while (columns * columns < static_cast<int>(pictures.size())) ++columns;
    const Image image = sheet ? ContactSheet(pictures, columns, 4) : pictures.front();
    const std::vector<uint8_t> png = EncodePng(image);
    if (png.empty()) throw PreviewError(kExitFailure, "cannot encode the picture");
    WriteFileAtomically(output, what, png.data(), png.size());
    if (!options.trace.empty())
      WriteFileAtomically(options.trace, "the trace", traces.data(), traces.size());

    out << "nightglass-preview: wrote " << Absolute(output) << " (" << image.width << "x"
        << image.height << ", ";
    if (sheet) {
      out << "contact sheet of " << minutes.size() << " tiles from " << ClockText(minutes.front())
          << " to " << ClockText(minutes.back());
    } else {
      out << ClockText(minutes.front()) << ", timer " << options.timer << " ms, camera "
          << CameraName(options.camera) << ": " << Counts(last);
    }
    out << "; settings " << SettingsNamed(tools) << ")\n";
    return kExitOk;
  } catch (const PreviewError& e) {
    err << "nightglass-preview: " << e.what() << "\n";
    return e.status;
  } catch (const std::exception& e) {
    err << "nightglass-preview: " << e.what() << "\n";
    return kExitFailure;
  }
}

}  // namespace preview

#include "tools/preview/preview.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/settings_file.h"
#include "tools/preview/child.h"
#include "tools/preview/png.h"
#include "tools/preview/trace.h"

namespace preview {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    R"(usage: nightglass-preview [options]

Shows what Nightglass draws with a settings file: runs a standard night scene in the emulated host
with the plugin (a camera over a city, the star field, a shooting star, the moon, the sky sign, a
road with vehicles of the models in the file's vehicle sections, a plane with its trail and
glows) and paints every sprite, glow and point light the plugin hands the host into a PNG picture.

  -s, --settings DIR  the settings folder: the game folder that holds Nightglass.ini (or holds it
                      in plugins/ or scripts/). Default: the examples beside this program, or
                      the folder above it when that holds a Nightglass.ini
  -o, --output PATH   the PNG file to write (default nightglass-preview.png)
  --size WxH          picture size in pixels, 1 to 8192 each (default 1280x720); for a contact
                      sheet the size of each tile (default 320x240)
  --clock HH:MM       the game clock (default 01:00)
  --timer MS          the host's millisecond timer at the picture (default 60000); blinking and
                      pulsing lights and the stars' twinkle follow it
  --camera NAME       city (default: over the city), sky (looking up), street (behind the
                      traffic)
  --sheet[=FROM-TO[/STEP]]
                      a contact sheet: one labelled tile every STEP minutes (default 60) from
                      FROM to TO (past midnight when TO is earlier); default 19:00-07:00
  --trace PATH        also save the emulated host's output (JSON lines) there
  --hostsim PATH      the emulated host (default: nightglass-hostsim beside this program)
  --plugin PATH       the plugin (default: beside this program or in the folder above)
  -h, --help          this text

Exit status: 0 picture written; 1 a folder or file could not be read or written, or the emulated
host failed; 2 a malformed command line.
)";

[[noreturn]] void Malformed(const std::string& message) {
  throw PreviewError(kExitMalformed, message + " (see --help)");
}

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t* value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size() &&
         *value <= max;
}

void ParseSize(const std::string& text, Options* options) {
  const std::size_t x = text.find('x');
  uint64_t w = 0, h = 0;
  if (x == std::string::npos || !ParseUnsigned(text.substr(0, x), UINT32_MAX, &w) ||
      !ParseUnsigned(text.substr(x + 1), UINT32_MAX, &h)) {
    Malformed("bad picture size `" + text + "`: give WIDTHxHEIGHT, for example 1280x720");
  }
  if (w < 1 || h < 1 || w > kLargestSide || h > kLargestSide) {
    Malformed("picture size `" + text + "` out of range: each side must be 1 to " +
              std::to_string(kLargestSide) + " pixels");
  }
  options->width = static_cast<int>(w);
  options->height = static_cast<int>(h);
}

void ParseSheet(const std::string& text, Options* options) {
  options->sheet = true;
  if (text.empty()) return;
  const std::size_t dash = text.find('-'), slash = text.find('/');
  const std::string to =
      text.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1);
  const int from_minutes = dash == std::string::npos ? -1 : ParseClock(text.substr(0, dash));
  const int to_minutes = dash == std::string::npos ? -1 : ParseClock(to);
  uint64_t step = 60;
  if (from_minutes < 0 || to_minutes < 0 ||
      (slash != std::string::npos && !ParseUnsigned(text.substr(slash + 1), 1440, &step)) ||
      step == 0) {
    Malformed("bad contact sheet `" + text +
              "`: give FROM-TO or FROM-TO/STEP, times as HH:MM and STEP in minutes (1 to 1440), "
              "for example 19:00-07:00/60");
  }
  options->sheet_from = from_minutes;
  options->sheet_to = to_minutes;
  options->sheet_step = static_cast<int>(step);
  const std::size_t tiles = SheetMinutes(from_minutes, to_minutes, options->sheet_step).size();
  if (tiles > kMostTiles) {
    Malformed("contact sheet `" + text + "` would have " + std::to_string(tiles) +
              " tiles; at most " + std::to_string(kMostTiles));
  }
}

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
    if (!fs::is_regular_file(given, error)) Malformed(what + " " + given + " is not a file");
    return Absolute(given);
  }
  for (const std::string& path : defaults)
    if (fs::is_regular_file(path, error)) return Absolute(path);
  throw PreviewError(kExitFailure, "cannot find " + what + " (looked for " + defaults.front() +
                                       "): give it with " + option);
}

// Fails now, before any work, when `what` could not be written to `path`.
void CheckWritable(const std::string& path, const std::string& what) {
  std::error_code error;
  if (fs::is_directory(path, error))
    throw PreviewError(kExitFailure, "cannot write " + what + " to " + path + ": it is a folder");
  const bool existed = fs::exists(path, error);
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) {
    throw PreviewError(kExitFailure, "cannot write " + what + " to " + path + ": " +
                                         (errno != 0 ? std::strerror(errno) : "cannot open it"));
  }
  std::fclose(file);
  if (!existed) fs::remove(path, error);
}

void WriteFile(const std::string& path, const std::string& what, const void* data,
               std::size_t size) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool ok = file != nullptr && std::fwrite(data, 1, size, file) == size;
  const int error = errno;
  if (file != nullptr) ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    throw PreviewError(kExitFailure, "cannot write " + what + " to " + path + ": " +
                                         (error != 0 ? std::strerror(error) : "write failed"));
  }
}

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

const char* CameraName(CameraPreset preset) {
  switch (preset) {
    case CameraPreset::kSky:
      return "sky";
    case CameraPreset::kStreet:
      return "street";
    case CameraPreset::kCity:
      break;
  }
  return "city";
}

}  // namespace

const char* Usage() { return kUsage; }

int ParseClock(const std::string& text) {
  const std::size_t colon = text.find(':');
  uint64_t hour = 0, minute = 0;
  if (colon == std::string::npos || colon < 1 || colon > 2 || text.size() != colon + 3 ||
      !ParseUnsigned(text.substr(0, colon), 23, &hour) ||
      !ParseUnsigned(text.substr(colon + 1), 59, &minute))
    return -1;
  return static_cast<int>(hour * 60 + minute);
}

std::string ClockText(int minutes) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60 % 24, minutes % 60);
  return text;
}

std::vector<int> SheetMinutes(int from, int to, int step) {
  std::vector<int> minutes;
  if (step <= 0) return minutes;
  const int span = ((to - from) % 1440 + 1440) % 1440;
  for (int offset = 0; offset <= span; offset += step) minutes.push_back((from + offset) % 1440);
  return minutes;
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool has_value = false;
    if (name.rfind("--", 0) == 0 && name.find('=') != std::string::npos) {
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
      has_value = true;
    }
    if (name == "--sheet") {
      ParseSheet(value, &options);
      continue;
    }
    if (name == "-h" || name == "--help") {
      options.help = true;
      continue;
    }
    static const char* const kWithValue[] = {"-s",      "--settings", "-o",      "--output",
                                             "--size",  "--clock",    "--timer", "--camera",
                                             "--trace", "--hostsim",  "--plugin"};
    bool known = false;
    for (const char* option : kWithValue) known = known || name == option;
    if (!known) Malformed("unknown argument `" + args[i] + "`");
    if (!has_value) {
      if (i + 1 >= args.size()) Malformed("`" + name + "` needs a value");
      value = args[++i];
    }
    if (name == "-s" || name == "--settings") {
      options.settings = value;
    } else if (name == "-o" || name == "--output") {
      if (value.empty()) Malformed("the output path is empty");
      options.output = value;
    } else if (name == "--size") {
      ParseSize(value, &options);
    } else if (name == "--clock") {
      const int minutes = ParseClock(value);
      if (minutes < 0) Malformed("bad clock time `" + value + "`: give HH:MM from 00:00 to 23:59");
      options.hour = minutes / 60;
      options.minute = minutes % 60;
    } else if (name == "--timer") {
      uint64_t timer = 0;
      if (!ParseUnsigned(value, UINT32_MAX, &timer))
        Malformed("bad timer `" + value + "`: give milliseconds from 0 to 4294967295");
      options.timer = static_cast<uint32_t>(timer);
    } else if (name == "--camera") {
      if (value == "city")
        options.camera = CameraPreset::kCity;
      else if (value == "sky")
        options.camera = CameraPreset::kSky;
      else if (value == "street")
        options.camera = CameraPreset::kStreet;
      else
        Malformed("unknown camera `" + value + "`: city, sky or street");
    } else if (name == "--trace") {
      options.trace = value;
    } else if (name == "--hostsim") {
      options.hostsim = value;
    } else {
      options.plugin = value;
    }
  }
  if (options.width == 0) {
    options.width = options.sheet ? 320 : 1280;
    options.height = options.sheet ? 240 : 720;
  }
  return options;
}

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

std::string RunScene(const Tools& tools, const SceneSettings& scene) {
  static int counter = 0;
  const std::string script =
      (fs::path(tools.temp) / ("nightglass-preview-" + std::to_string(ProcessId()) + "-" +
                               std::to_string(++counter) + ".script"))
          .string();
  const std::string text = SceneScript(scene);
  WriteFile(script, "the scene script", text.data(), text.size());
  const ChildResult result = RunChild(
      tools.hostsim, {"--plugin", tools.plugin, "--dir", tools.settings, script}, tools.temp);
  std::error_code error;
  fs::remove(script, error);
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

int RunPreview(const Options& options, std::ostream& out, std::ostream& err) {
  try {
    const Tools tools = FindTools(options);
    CheckWritable(options.output, "the picture");
    if (!options.trace.empty()) CheckWritable(options.trace, "the trace");
    SceneSettings scene;
    scene.timer = options.timer;
    scene.camera = options.camera;
    if (tools.settings_file.empty()) {
      err << "nightglass-preview: note: no Nightglass.ini in " << tools.settings
          << " (nor in its plugins or scripts folder): the picture shows the plugin's defaults\n";
    } else {
      scene.models = VehicleModels(tools.settings_file);
    }

    std::vector<int> minutes{options.hour * 60 + options.minute};
    if (options.sheet)
      minutes = SheetMinutes(options.sheet_from, options.sheet_to, options.sheet_step);
    std::vector<Image> pictures;
    std::string traces;
    TraceFrame last;
    for (std::size_t i = 0; i < minutes.size(); ++i) {
      scene.hour = minutes[i] / 60;
      scene.minute = minutes[i] % 60;
      if (options.sheet) {
        err << "nightglass-preview: tile " << i + 1 << " of " << minutes.size() << " ("
            << ClockText(minutes[i]) << ")\n"
            << std::flush;
      }
      const std::string trace = RunScene(tools, scene);
      if (!options.trace.empty()) traces += trace;
      try {
        last = ReadTrace(trace);
      } catch (const std::runtime_error& e) {
        throw PreviewError(kExitFailure, e.what());
      }
      pictures.push_back(RenderPicture(scene, last, options.width, options.height));
      if (options.sheet) {
        const int scale = std::max(1, options.height / 120);
        DrawLabel(pictures.back(), 3 * scale, 3 * scale, scale, ClockText(minutes[i]).c_str());
      }
    }
    // A sheet about as many tiles wide as high.
    int columns = 1;
    while (columns * columns < static_cast<int>(pictures.size())) ++columns;
    const Image image = options.sheet ? ContactSheet(pictures, columns, 4) : pictures.front();
    const std::vector<uint8_t> png = EncodePng(image);
    if (png.empty()) throw PreviewError(kExitFailure, "cannot encode the picture");
    WriteFile(options.output, "the picture", png.data(), png.size());
    if (!options.trace.empty()) WriteFile(options.trace, "the trace", traces.data(), traces.size());

    out << "nightglass-preview: wrote " << Absolute(options.output) << " (" << image.width << "x"
        << image.height << ", ";
    if (options.sheet) {
      out << "contact sheet of " << minutes.size() << " tiles from " << ClockText(minutes.front())
          << " to " << ClockText(minutes.back());
    } else {
      out << ClockText(minutes.front()) << ", timer " << options.timer << " ms, camera "
          << CameraName(options.camera) << ": " << last.sprites.size() << " sprites, "
          << last.glows.size() << " glows, " << last.lights.size() << " point lights";
    }
    out << "; settings "
        << (tools.settings_file.empty() ? tools.settings + " (none: defaults)"
                                        : tools.settings_file)
        << ")\n";
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

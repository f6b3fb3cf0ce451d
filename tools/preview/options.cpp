// The command line of nightglass-preview: its options, their checks and the help text.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "tools/preview/preview.h"

namespace preview {

namespace {

constexpr const char* kUsage =
    R"(usage: nightglass-preview [options]

Shows what Nightglass draws with a settings file: runs a standard night scene in the emulated host
with the plugin (a camera over a city, the star field, a shooting star, the moon, the sky sign, a
road with vehicles of the models in the file's vehicle sections, a plane with its trail and
glows) and paints every sprite, glow and point light the plugin hands the host into a PNG picture,
an animated PNG clip or a night report.

  -s, --settings DIR  the settings folder: the game folder that holds Nightglass.ini (or holds it
                      in plugins/ or scripts/). Default: the examples beside this program, or
                      the folder above it when that holds a Nightglass.ini
  -o, --output PATH   the file to write (default nightglass-preview.png, for a clip
                      nightglass-clip.png)
  --size WxH          picture size in pixels, 1 to 8192 each (default 1280x720); for a contact
                      sheet the size of each tile (default 320x240); for a clip and the report
                      at most 1920x1080 (default 640x360)
  --clock HH:MM       the game clock (default 01:00)
  --timer MS          the host's millisecond timer at the picture (default 60000); blinking and
                      pulsing lights and the stars' twinkle follow it
  --camera NAME       city (default: over the city), sky (looking up), street (behind the
                      traffic)
  --sheet[=FROM-TO[/STEP]]
                      a contact sheet: one labelled tile every STEP minutes (default 60) from
                      FROM to TO (past midnight when TO is earlier); default 19:00-07:00
  --clip [SECONDS[@FPS]]
                      an animated PNG clip (default 10 seconds at 30 frames a second, at most
                      3600 frames and 60 a second) from --clock and --timer on: the host's timer
                      runs forward by each frame's time, so twinkle, shooting stars, blinking and
                      pulsing lights move as in the game. Browsers play it; a viewer that knows
                      only PNG shows its first frame, the picture of that moment
  --timelapse FROM-TO a clip that plays the game clock from FROM to TO (HH:MM-HH:MM, past
                      midnight when TO is earlier) over its length, so fades are seen moving
  --report PATH       a night report: one HTML file that opens in any browser, with the picture,
                      the clip (--clip, --timelapse), a clock slider over the contact sheet's
                      hours (--sheet), a timeline of what every feature does through the day, the
                      counts of what each feature drew, each feature's items alone, why a feature
                      draws nothing, and the settings file with nightglass-check's findings
  --serve             the workbench: serves the night report to a browser on this machine and keeps
                      it current as the settings file is saved (in any of its three places): the
                      picture and the findings first, then the timeline, the clip and the clock
                      slider. The page's controls choose the clock, the timer, the camera and what
                      to show. It listens on the loopback address 127.0.0.1 only, opens the page
                      in the default browser and runs until Ctrl-C or its window closes
  --port N            the workbench's port (default 8470; 0: any free port)
  --no-open           the workbench does not open the browser (it prints the address)
  --trace PATH        also save the emulated host's output (JSON lines) there
  --hostsim PATH      the emulated host (default: nightglass-hostsim beside this program)
  --plugin PATH       the plugin (default: beside this program or in the folder above)
  -h, --help          this text

Exit status: 0 picture, clip or report written (also for a settings file with findings: the
report shows them), or the workbench ended; 1 a folder or file could not be read or written, the
emulated host failed or the workbench's port is in use; 2 a malformed command line.
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

// SECONDS[@FPS]: seconds as a decimal number, frames a second as a whole number.
void ParseClip(const std::string& text, ClipOptions* clip) {
  const std::size_t at = text.find('@');
  const std::string seconds_text = text.substr(0, at);
  double seconds = 0;
  const auto result =
      std::from_chars(seconds_text.data(), seconds_text.data() + seconds_text.size(), seconds);
  if (seconds_text.empty() || result.ec != std::errc() ||
      result.ptr != seconds_text.data() + seconds_text.size() || !std::isfinite(seconds)) {
    Malformed("bad clip `" + text + "`: give SECONDS or SECONDS@FPS, for example 10@30");
  }
  uint64_t fps = clip->fps;
  if (at != std::string::npos && !ParseUnsigned(text.substr(at + 1), UINT32_MAX, &fps))
    Malformed("bad clip `" + text + "`: give SECONDS or SECONDS@FPS, for example 10@30");
  if (fps < 1 || fps > kMostFps) {
    Malformed("bad clip `" + text + "`: frames a second must be 1 to " +
              std::to_string(kMostFps));
  }
  if (!(seconds > 0)) Malformed("bad clip `" + text + "`: its length must be more than 0 seconds");
  const double frames = std::round(seconds * static_cast<double>(fps));
  if (frames < 1) {
    Malformed("bad clip `" + text + "`: " + seconds_text + " s at " + std::to_string(fps) +
              " frames a second is less than one frame");
  }
  if (frames > kMostClipFrames) {
    char count[32];
    std::snprintf(count, sizeof count, "%.0f", frames);
    Malformed("clip `" + text + "` would have " + count + " frames; at most " +
              std::to_string(kMostClipFrames) + " (for example 120 s at 30 frames a second)");
  }
  clip->seconds = seconds;
  clip->fps = static_cast<int>(fps);
}

void ParseTimelapse(const std::string& text, ClipOptions* clip) {
  const std::size_t dash = text.find('-');
  const int from = dash == std::string::npos ? -1 : ParseClock(text.substr(0, dash));
  const int to = dash == std::string::npos ? -1 : ParseClock(text.substr(dash + 1));
  if (from < 0 || to < 0) {
    Malformed("bad timelapse `" + text +
              "`: give FROM-TO, times as HH:MM from 00:00 to 23:59, for example 19:00-07:00");
  }
  if (from == to) Malformed("bad timelapse `" + text + "`: its two ends are the same time");
  clip->timelapse = true;
  clip->from = from;
  clip->to = to;
}

}  // namespace

int ClipOptions::Frames() const {
  return static_cast<int>(std::round(seconds * static_cast<double>(fps)));
}

const char* Usage() { return kUsage; }

std::string OutputPath(const Options& options) {
  if (!options.output.empty()) return options.output;
  return options.mode == Mode::kClip ? "nightglass-clip.png" : "nightglass-preview.png";
}

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
  bool sheet = false, clip = false, report = false, output_given = false, serve = false;
  bool port_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool has_value = false;
    if (name.rfind("--", 0) == 0 && name.find('=') != std::string::npos) {
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
      has_value = true;
    }
    if (name == "--sheet") {
      sheet = true;
      ParseSheet(value, &options);
      continue;
    }
    if (name == "--clip") {
      // The clip's length is optional; the preview takes no other bare words, so one that follows
      // is it.
      if (!has_value && i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
        value = args[++i];
        has_value = true;
      }
      clip = true;
      if (has_value) ParseClip(value, &options.clip);
      continue;
    }
    if (name == "-h" || name == "--help") {
      options.help = true;
      continue;
    }
    if (name == "--serve" || name == "--no-open") {
      if (has_value) Malformed("`" + name + "` takes no value");
      if (name == "--serve") serve = true;
      if (name == "--no-open") options.open = false;
      continue;
    }
    static const char* const kWithValue[] = {
        "-s",      "--settings", "-o",       "--output",  "--size",      "--clock",
        "--timer", "--camera",   "--trace",  "--hostsim", "--plugin",    "--timelapse",
        "--report",  "--port"};
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
      if (report) Malformed("the report is written to the path given with --report: leave out -o");
      output_given = true;
      options.output = value;
    } else if (name == "--report") {
      if (value.empty()) Malformed("the report's path is empty");
      if (output_given) Malformed("the report is written to the path given with --report: leave out -o");
      report = true;
      options.output = value;
    } else if (name == "--timelapse") {
      clip = true;
      ParseTimelapse(value, &options.clip);
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
    } else if (name == "--port") {
      uint64_t port = 0;
      if (!ParseUnsigned(value, 65535, &port))
        Malformed("bad port `" + value + "`: give 1 to 65535, or 0 for any free port");
      options.port = static_cast<int>(port);
      port_given = true;
    } else if (name == "--trace") {
      options.trace = value;
    } else if (name == "--hostsim") {
      options.hostsim = value;
    } else {
      options.plugin = value;
    }
  }
  if (serve) {
    if (report || output_given || !options.trace.empty())
      Malformed("the workbench (--serve) writes no file: leave out -o, --report and --trace");
    options.mode = Mode::kServe;
  } else if (port_given || !options.open) {
    Malformed("--port and --no-open are for the workbench: give --serve too");
  } else if (report) {
    options.mode = Mode::kReport;
  } else if (clip && sheet) {
    Malformed("a contact sheet and a clip are two files: give --sheet or --clip (both go into a "
              "report with --report)");
  } else if (clip) {
    options.mode = Mode::kClip;
  } else if (sheet) {
    options.mode = Mode::kSheet;
  }
  const bool moving = options.mode == Mode::kClip || options.mode == Mode::kReport ||
                      options.mode == Mode::kServe;
  if (options.width == 0) {
    options.width = options.mode == Mode::kSheet ? 320 : moving ? 640 : 1280;
    options.height = options.mode == Mode::kSheet ? 240 : moving ? 360 : 720;
  }
  if (moving && static_cast<uint64_t>(options.width) * options.height > 1920ull * 1080) {
    Malformed("picture size " + std::to_string(options.width) + "x" +
              std::to_string(options.height) +
              " is too large for a clip or a report: at most 1920x1080 pixels");
  }
  return options;
}

}  // namespace preview

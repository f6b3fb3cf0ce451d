// The preview's clips: nightglass-preview making a 10 s clip at 30 frames a second (300 frames)
// of the example settings at 640x360, against the same command making one still picture of that
// size (target: 20). Each is the whole command as a modder runs it: finding the programs, one run
// of the emulated host with the plugin (a child process: its instructions are counted too, see
// bench.sh), reading its output, painting and compressing.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tools/preview/preview.h"

namespace bench {

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 300;

// Where the clips and pictures are written, removed at the suite's end.
const fs::path& Scratch() {
  static const struct Folder {
    Folder() : path(fs::temp_directory_path() / ("nightglass-clip-bench-" + std::to_string(getpid()))) {
      fs::create_directories(path);
    }
    ~Folder() {
      std::error_code error;
      fs::remove_all(path, error);
    }
    fs::path path;
  } folder;
  return folder.path;
}

void Preview(const std::vector<std::string>& args) {
  preview::Options options = preview::ParseOptions(args);
  options.settings = fs::path(NIGHTGLASS_EXAMPLE_SETTINGS).parent_path().string();
  options.hostsim = NIGHTGLASS_HOSTSIM_PATH;
  options.plugin = NIGHTGLASS_PLUGIN_PATH;
  std::ostringstream out, err;
  if (preview::RunPreview(options, out, err) != preview::kExitOk)
    throw std::runtime_error("nightglass-preview failed: " + err.str());
}

}  // namespace

void AddClipScenarios() {
  Scenario s;
  s.group = "preview";
  s.name = "10 s clip at 30 fps, 640x360 (300 frames)";
  s.unit = "clip";
  s.target = 20.0;
  s.counts_children = true;
  s.setup = [] {};
  s.plugin = [](int runs) {
    for (int i = 0; i < runs; ++i)
      Preview({"--clip", "10@30", "--size", "640x360", "-o", (Scratch() / "clip.png").string()});
  };
  s.reference = [](int runs) {
    for (int i = 0; i < runs; ++i)
      Preview({"--size", "640x360", "-o", (Scratch() / "still.png").string()});
  };
  s.note = [](double plugin, double reference, const auto& amount) {
    return "a frame after the first " + amount((plugin - reference) / (kFrames - 1)) +
           ", a still " + amount(reference);
  };
  AddScenario(std::move(s));
}

}  // namespace bench

// Start-up: every settings loader of the plugin, in the order the plugin runs them
// (kStartupLoaders), on the example settings file, on a 1 MiB file of 40,000 keys that no loader
// reads, and on a 1 MiB file that adds 2,000 vehicle model sections to the example. Every loader
// reads the file itself; the reference is as many reads alone, each finding every line and doing
// nothing with it, so that the ratio's inverse is the share of the start-up that reading the file
// would take. (The section loaders look only at headers outside their section, so they can take
// less.)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "bench/bench.h"
#include "startup.h"

namespace bench {

namespace {

namespace fs = std::filesystem;

// The loaders' reads of the file, one each (the vehicle lights take their global keys and their
// model sections in one pass).
constexpr size_t kReads = kStartupLoaders.size();
constexpr size_t kLargeFileSize = 1 << 20;
constexpr int kVehicleSections = 2000;

std::string ExampleFile() {
  std::ifstream in(NIGHTGLASS_EXAMPLE_SETTINGS, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One model section with three fixed lights and two custom ones: 18 keys.
std::string VehicleSection(int index) {
  return "[Veh_Car" + std::to_string(index) + "]\r\nModel = " + std::to_string(400 + index) +
         "\r\n"
         "LeftLight_Offset = -1 2 0.4\r\n"
         "LeftLight_Color = 255 40 20\r\n"
         "LeftLight_Size = 0.6\r\n"
         "RightLight_Offset = 1 2 0.4\r\n"
         "RightLight_Color = 255 40 20\r\n"
         "RightLight_Type = 1\r\n"
         "RightLight_OnTime = 250\r\n"
         "RightLight_OffTime = 750\r\n"
         "MiddleLight_Offset = 0 2 1.1\r\n"
         "MiddleLight_Type = 2\r\n"
         "MiddleLight_HourOn = 20\r\n"
         "MiddleLight_HourOff = 6\r\n"
         "1-CustomLight_Offset = 0 -3 0.5\r\n"
         "1-CustomLight_Color = 255 255 200\r\n"
         "1-CustomLight_Size = 1.5\r\n"
         "2-CustomLight_Offset = 0 3 0.5\r\n"
         "2-CustomLight_Size = 2\r\n";
}

// The example file followed by the model sections, each with a comment line that brings the file
// to 1 MiB.
std::string LargeFile() {
  const std::string example = ExampleFile();
  size_t sections = 0;
  for (int i = 0; i < kVehicleSections; ++i) sections += VehicleSection(i).size();
  const size_t room = kLargeFileSize - std::min(kLargeFileSize, example.size() + sections);
  std::string text = example;
  for (int i = 0; i < kVehicleSections; ++i) {
    const size_t pad = room / kVehicleSections + (static_cast<size_t>(i) < room % kVehicleSections);
    text += VehicleSection(i);
    if (pad >= 4) text += "; " + std::string(pad - 4, '-') + "\r\n";
  }
  return text;
}

// A temporary game folder holding `content` as its settings file, removed at exit.
class SettingsFolder {
 public:
  explicit SettingsFolder(const std::string& content) {
    std::string pattern = (fs::temp_directory_path() / "nightglass-bench-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    std::ofstream(path_ / "Nightglass.ini", std::ios::binary) << content;
  }
  ~SettingsFolder() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Every loader of the start-up, in its order, into settings of its own.
void LoadAll() {
  for (const SettingsLoader* loader : kStartupLoaders) loader->load();
}

// The reads alone: each finds every line of the file and does nothing with it.
void ReadOnly() {
  for (size_t i = 0; i < kReads; ++i) {
    size_t count = 0;
    SettingsLineReader reader;
    std::string_view line;
    for (SettingsLines lines; reader.NextLines(lines);) {
      while (lines.Next(line)) ++count;
    }
    Keep(count);
  }
}

void AddStartup(const char* name, std::shared_ptr<SettingsFolder> folder) {
  Scenario s;
  s.group = "start-up";
  s.name = name;
  s.unit = "start-up";
  s.instruction_budget = 20e6;
  s.note = [](double plugin, double reference, const auto&) {
    char text[48];
    std::snprintf(text, sizeof text, "reading would be %.0f%%", 100.0 * reference / plugin);
    return std::string(text);
  };
  s.setup = [folder] { fs::current_path(folder->path()); };
  s.plugin = [](int runs) {
    for (int i = 0; i < runs; ++i) LoadAll();
  };
  s.reference = [](int runs) {
    for (int i = 0; i < runs; ++i) ReadOnly();
  };
  AddScenario(std::move(s));
}

}  // namespace

void AddStartupScenarios() {
  AddStartup("example settings file", std::make_shared<SettingsFolder>(ExampleFile()));
  AddStartup("1 MiB of 40,000 keys no loader reads", std::make_shared<SettingsFolder>(ManyKeysFile()));
  AddStartup("1 MiB, 2,000 vehicle sections", std::make_shared<SettingsFolder>(LargeFile()));
}

}  // namespace bench

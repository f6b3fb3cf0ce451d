// A fresh temporary folder that is the current directory while the object lives: a test's game
// folder, where the plugin and the settings reader look for "Nightglass.ini". Removed, with all it
// holds, when the object goes.
//
//   GameFolder folder("[MoonSettings]\nMoon_Type = 1\n");
//   folder.Write("Sub/Nightglass.ini", "...");  // any file below it
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

class GameFolder {
 public:
  GameFolder() : previous_(std::filesystem::current_path()) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "nightglass-test-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = made;
    std::filesystem::current_path(path_);
  }
  // A folder holding `settings` as its settings file.
  explicit GameFolder(const std::string& settings) : GameFolder() { WriteSettings(settings); }
  ~GameFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;

  // Writes `bytes` exactly to `relative` below the folder, creating its parent folders.
  void Write(const std::filesystem::path& relative, const std::string& bytes) const {
    if (relative.has_parent_path()) std::filesystem::create_directories(path_ / relative.parent_path());
    std::ofstream(path_ / relative, std::ios::binary) << bytes;
  }
  // Replaces the settings file.
  void WriteSettings(const std::string& bytes) const { Write("Nightglass.ini", bytes); }

  // Copies tests/fixtures/settings/NAME to `relative` below the folder.
  void CopyFixture(const std::string& name, const std::filesystem::path& relative) const {
    std::ifstream in(std::string(NIGHTGLASS_TEST_DATA) + "/fixtures/settings/" + name,
                     std::ios::binary);
    if (!in) throw std::runtime_error("missing fixture " + name);
    Write(relative, std::string(std::istreambuf_iterator<char>(in), {}));
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

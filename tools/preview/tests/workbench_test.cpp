// Tests of the workbench's parts that need no server: following the settings file as editors save
// it, the page's view requests and the Host names it answers.
#include "tools/preview/workbench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "tools/preview/watch.h"

namespace preview {
namespace {

namespace fs = std::filesystem;
using State = SettingsSnapshot::State;
using std::chrono::milliseconds;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// One poll of a scenario: what is done to the game folder first, how long after the previous poll
// it comes, and what the poll must hand out ("" nothing, "none" no file, else the content).
struct Step {
  std::function<void(const fs::path& folder)> act;
  int after_ms;
  std::string handed;
};
const auto kNothing = [](const fs::path&) {};

struct Scenario {
  const char* name;
  std::string first;  // the file at the start ("" for none)
  std::vector<Step> steps;
};

TEST(SettingsFollower, HandsOutEachSaveOnceItHasSettled) {
  const std::string a = "[MoonSettings]\nMoon_Size = 1\n", b = "[MoonSettings]\nMoon_Size = 2.5\n";
  const auto put = [](const std::string& text, const char* where = "Nightglass.ini") {
    return [=](const fs::path& folder) { Write(folder / where, text); };
  };
  const Scenario scenarios[] = {
      {"first look", a, {{kNothing, 50, ""}, {kNothing, 50, a}, {kNothing, 50, ""}}},
      {"no file at all", "", {{kNothing, 50, ""}, {kNothing, 50, "none"}}},
      {"saved in place",
       a,
       {{kNothing, 50, ""}, {kNothing, 50, a}, {put(b), 50, ""}, {kNothing, 50, b}}},
      {"through a rename",
       a,
       {{kNothing, 50, ""},
        {kNothing, 50, a},
        {[&](const fs::path& folder) {
           Write(folder / "Nightglass.ini.tmp", b);
           fs::rename(folder / "Nightglass.ini.tmp", folder / "Nightglass.ini");
         },
         50, ""},
        {kNothing, 50, b}}},
      // Seen half written: the half is never handed out, the whole file is.
      {"half written",
       a,
       {{kNothing, 50, ""},
        {kNothing, 50, a},
        {put(b.substr(0, 10)), 50, ""},
        {put(b), 50, ""},
        {kNothing, 50, b}}},
      {"deleted and written anew",
       a,
       {{kNothing, 50, ""},
        {kNothing, 50, a},
        {[](const fs::path& folder) { fs::remove(folder / "Nightglass.ini"); }, 50, ""},
        {kNothing, 50, ""},
        {kNothing, 100, ""},
        {put(b), 100, ""},
        {kNothing, 50, b}}},
      {"deleted for good",
       a,
       {{kNothing, 50, ""},
        {kNothing, 50, a},
        {[](const fs::path& folder) { fs::remove(folder / "Nightglass.ini"); }, 50, ""},
        {kNothing, 50, ""},
        {kNothing, 200, ""},
        {kNothing, 200, "none"}}},
      // The plugin's places in its order: plugins/ until the game folder's own file comes.
      {"a file that appears in plugins/, then in the game folder",
       "",
       {{kNothing, 50, ""},
        {kNothing, 50, "none"},
        {put(a, "plugins/Nightglass.ini"), 50, ""},
        {kNothing, 50, a},
        {put(b), 50, ""},
        {kNothing, 50, b}}},
      // A change that leaves the time and the size as they were is found by the next full read.
      {"same size, same time",
       a,
       {{kNothing, 50, ""},
        {kNothing, 50, a},
        {[&](const fs::path& folder) {
           const fs::path file = folder / "Nightglass.ini";
           const auto time = fs::last_write_time(file);
           Write(file, "[MoonSettings]\nMoon_Size = 7\n");
           fs::last_write_time(file, time);
         },
         50, ""},
        {kNothing, 50, ""},
        {kNothing, 1000, "[MoonSettings]\nMoon_Size = 7\n"}}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    const fs::path folder = fs::temp_directory_path() /
                            ("nightglass-follower-test-" +
                             std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (!scenario.first.empty()) Write(folder / "Nightglass.ini", scenario.first);
    SettingsFollower follower(folder.string());
    auto now = SettingsFollower::Clock::now();
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
      SCOPED_TRACE("poll " + std::to_string(i + 1));
      const Step& step = scenario.steps[i];
      step.act(folder);
      now += milliseconds(step.after_ms);
      const std::optional<SettingsSnapshot> handed = follower.Poll(now);
      if (step.handed.empty()) {
        EXPECT_FALSE(handed.has_value()) << handed->content;
      } else if (step.handed == "none") {
        ASSERT_TRUE(handed.has_value());
        EXPECT_EQ(handed->state, State::kNone);
      } else {
        ASSERT_TRUE(handed.has_value());
        EXPECT_EQ(handed->state, State::kRead);
        EXPECT_EQ(handed->content, step.handed);
        EXPECT_EQ(fs::path(handed->path), folder / handed->relative);
      }
    }
    fs::remove_all(folder);
  }
}

TEST(SettingsSnapshot, NamesThePlaceThePluginReads) {
  const fs::path folder = fs::temp_directory_path() / "nightglass-snapshot-test";
  fs::remove_all(folder);
  Write(folder / "scripts" / "Nightglass.ini", "scripts");
  EXPECT_EQ(ReadSettingsSnapshot(folder.string()).content, "scripts");
  Write(folder / "plugins" / "Nightglass.ini", "plugins");
  const SettingsSnapshot snapshot = ReadSettingsSnapshot(folder.string());
  EXPECT_EQ(snapshot.content, "plugins");
  EXPECT_EQ(fs::path(snapshot.relative), fs::path("plugins") / "Nightglass.ini");
  // A folder of that name is not a settings file: the plugin passes over it.
  fs::create_directories(folder / "Nightglass.ini");
  EXPECT_EQ(ReadSettingsSnapshot(folder.string()).content, "plugins");
  fs::remove_all(folder);
}

TEST(WorkbenchView, TakesThePageValuesAndRefusesBadOnesWhole) {
  struct Case {
    std::map<std::string, std::string> values;
    std::string error;  // empty: taken
  };
  const Case cases[] = {
      {{{"clock", "23:30"},
        {"timer", "4294967295"},
        {"camera", "street"},
        {"clip", "0"},
        {"seconds", "2.5"}},
       ""},
      {{{"timeline", "false"}, {"sheet", "1"}}, ""},
      {{{"clock", "24:00"}}, "bad clock `24:00`"},
      {{{"clock", "7"}}, "bad clock `7`"},
      {{{"timer", "-1"}}, "bad timer `-1`"},
      {{{"timer", "4294967296"}}, "bad timer"},
      {{{"timer", ""}}, "bad timer"},
      {{{"camera", "moon"}}, "unknown camera `moon`"},
      {{{"clip", "yes"}}, "bad clip `yes`: give 1 or 0"},
      {{{"seconds", "0"}}, "bad clip length `0`"},
      {{{"seconds", "121"}}, "bad clip length `121`"},  // 3630 frames at 30 a second
      {{{"seconds", "nan"}}, "bad clip length"},
      {{{"camera", "sky"}, {"path", "/etc/passwd"}}, "unknown setting `path`"},
  };
  for (const Case& c : cases) {
    WorkbenchView view;
    std::string error;
    const bool taken = ChangeView(c.values, 30, &view, &error);
    EXPECT_EQ(taken, c.error.empty()) << error;
    if (!c.error.empty()) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_EQ(view, WorkbenchView()) << "a refused request changed the view";
    }
  }
  WorkbenchView view;
  std::string error;
  ASSERT_TRUE(ChangeView(cases[0].values, 30, &view, &error));
  EXPECT_EQ(view.minute, 23 * 60 + 30);
  EXPECT_EQ(view.timer, 4294967295u);
  EXPECT_EQ(view.camera, CameraPreset::kStreet);
  EXPECT_FALSE(view.clip);
  EXPECT_EQ(view.clip_seconds, 2.5);
}

TEST(Workbench, AnswersOnlyItsOwnHostNames) {
  const std::pair<const char*, bool> hosts[] = {
      {"127.0.0.1:8470", true},
      {"localhost:8470", true},
      {"LOCALHOST:8470", true},
      {"127.0.0.1:84701", false},
      {"127.0.0.1:847", false},
      {"127.0.0.1", false},
      {"localhost", false},
      {"evil.example:8470", false},
      {"127.0.0.2:8470", false},
      {"x.127.0.0.1:8470", false},
      {"localhost.evil:8470", false},
      {"[::1]:8470", false},
      {"", false},
      {":8470", false},
  };
  for (const auto& [host, ok] : hosts) EXPECT_EQ(LoopbackHost(host, 8470), ok) << host;
}

}  // namespace
}  // namespace preview

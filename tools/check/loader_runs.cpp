#include "tools/check/loader_runs.h"

#include <map>
#include <utility>

#include "features/moon/moon_control.h"
#include "features/planes/plane_update.h"
#include "features/shooting_stars/shooting_stars.h"
#include "features/sky_logo/sky_logo_settings.h"
#include "features/stars/star_field.h"
#include "features/vehicle_lights/vehicle_light_loader.h"

namespace {

// Records, while it lives, what happens to the keys of one table.
class UseRecorder final : public SettingsObserver {
 public:
  UseRecorder(const SettingsTable& table, std::vector<KeyUse>& uses) : uses_(uses) {
    // A text that a loader converts straight from its table is the table's own string.
    for (const auto& [key, value] : table) key_of_.emplace(&value, &key);
    previous_ = SetSettingsObserver(this);
  }
  ~UseRecorder() { SetSettingsObserver(previous_); }
  UseRecorder(const UseRecorder&) = delete;
  UseRecorder& operator=(const UseRecorder&) = delete;

  void KeyAsked(std::string_view key, const std::string* text, bool stopped) noexcept override {
    try {
      KeyUse& use = uses_.emplace_back();
      use.key = key;
      use.text = text;
      use.asked = true;
      use.stopped = stopped;
    } catch (...) {
      // Out of memory: the use goes unrecorded.
    }
  }

  void ValueConverted(const std::string& text, SettingsValueKind kind, const char* error) noexcept override {
    try {
      const auto found = key_of_.find(&text);
      if (found == key_of_.end()) return;  // a text of the loader's own making (a light number)
      KeyUse* use = LastUseOf(&text);
      if (use == nullptr) {
        // Converted without being looked up by name (the custom vehicle lights).
        use = &uses_.emplace_back();
        use->key = *found->second;
        use->text = &text;
      }
      use->converted = true;
      use->kind = kind;
      use->error = error != nullptr ? error : "";
    } catch (...) {
      // Out of memory: the use goes unrecorded.
    }
  }

 private:
  KeyUse* LastUseOf(const std::string* text) {
    for (auto use = uses_.rbegin(); use != uses_.rend(); ++use) {
      if (use->text == text) return &*use;
    }
    return nullptr;
  }

  std::vector<KeyUse>& uses_;
  std::map<const std::string*, const std::string*> key_of_;
  SettingsObserver* previous_ = nullptr;
};

// The loaders that convert one table, in the order of the plugin's start-up: the plane update
// patch reads at load, then the start-up callbacks run (the sky logo's loader twice, alike).
struct Loader {
  const char* name;
  bool plural;
  const char* section;  // null: the whole file
  void (*run)(const SettingsTable& table);
};

constexpr Loader kLoaders[] = {
    {"plane update patch", false, nullptr,
     [](const SettingsTable& table) {
       PlaneUpdateSettings settings;
       LoadPlaneUpdateSettings(table, settings);
     }},
    {"star field", false, nullptr,
     [](const SettingsTable& table) {
       StarSettings settings;
       ConvertStarSettings(table, settings);
     }},
    {"vehicle lights", true, nullptr,
     [](const SettingsTable& table) {
       VehicleLightSettingsState settings;
       ConvertVehicleLightSettings(table, settings);
     }},
    {"sky logo", false, "RStarLogo",
     [](const SettingsTable& table) {
       SkyLogoSettingsState settings;
       LoadSkyLogoSettings(table, settings);
     }},
    {"moon", false, "MoonSettings",
     [](const SettingsTable& table) {
       MoonSettingsState settings;
       ConvertMoonSettings(table, settings);
     }},
    {"shooting stars", true, "ShootingStars",
     [](const SettingsTable& table) {
       ShootingStarSettings settings;
       ConvertShootingStarSettings(table, settings);
     }},
};

// The vehicle lights' sections are collected one by one, each occurrence on its own: the lines of
// section `index`, a repeated key replacing the earlier one.
SettingsTable VehicleSectionTable(const FileLines& lines, int index) {
  SettingsTable table;
  for (size_t i = lines.sections[index].header + 1; i < lines.lines.size(); ++i) {
    const FileLine& line = lines.lines[i];
    if (line.section_index != index) break;
    if (line.is_entry) table.insert_or_assign(line.key, line.value);
  }
  return table;
}

// Runs the vehicle lights on one model section: whether it made a light set, and for which model.
void RunVehicleSection(LoaderRun& run) {
  VehicleLightTable made;
  {
    UseRecorder recorder(run.table, run.uses);
    AddVehicleLightSection(run.section, run.table, made);
  }
  run.accepted = !made.empty();
  if (run.accepted) run.model = made.begin()->first;
}

}  // namespace

LoaderRuns RunLoaders(const char* path, const FileLines& lines) {
  LoaderRuns result;
  // Read once; each whole-file loader converts its own copy, so that every run's uses point into
  // strings of its own table.
  const SettingsTable whole_file = ReadAllSettingsFrom(path);
  for (const Loader& loader : kLoaders) {
    LoaderRun& run = result.runs.emplace_back();
    run.loader = loader.name;
    run.plural = loader.plural;
    if (loader.section != nullptr) {
      run.scope = TableScope::kSection;
      run.section = loader.section;
      run.table = ReadSettingsSectionFrom(path, loader.section);
    } else {
      run.table = whole_file;
    }
    UseRecorder recorder(run.table, run.uses);
    loader.run(run.table);
  }

  for (size_t index = 0; index < lines.sections.size(); ++index) {
    if (!IsVehicleSectionName(lines.sections[index].name)) continue;
    LoaderRun& run = result.runs.emplace_back();
    run.loader = "vehicle lights";
    run.plural = true;
    run.scope = TableScope::kVehicleSection;
    run.section = lines.sections[index].name;
    run.section_index = static_cast<int>(index);
    run.table = VehicleSectionTable(lines, static_cast<int>(index));
    RunVehicleSection(run);
  }
  return result;
}

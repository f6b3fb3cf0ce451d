#include "tools/check/loader_runs.h"

#include <map>
#include <utility>

#include "features/vehicle_lights/vehicle_light_settings.h"
#include "startup.h"

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
  const SettingsLoader* previous = nullptr;
  for (const SettingsLoader* loader : kStartupLoaders) {
    // A loader that the start-up runs twice in a row (the sky logo's) does the same both times.
    if (loader == previous) continue;
    previous = loader;
    LoaderRun& run = result.runs.emplace_back();
    run.settings_loader = loader;
    run.loader = loader->name;
    run.plural = loader->plural;
    if (loader->scope == LoaderScope::kSection) {
      run.scope = TableScope::kSection;
      run.section = loader->section;
      run.table = ReadSettingsSectionFrom(path, loader->section);
    } else {
      run.table = whole_file;
    }
    UseRecorder recorder(run.table, run.uses);
    loader->convert(run.table);
  }

  for (size_t index = 0; index < lines.sections.size(); ++index) {
    if (!IsVehicleSectionName(lines.sections[index].name)) continue;
    LoaderRun& run = result.runs.emplace_back();
    run.settings_loader = &kVehicleLightsLoader;
    run.loader = kVehicleLightsLoader.name;
    run.plural = kVehicleLightsLoader.plural;
    run.scope = TableScope::kVehicleSection;
    run.section = lines.sections[index].name;
    run.section_index = static_cast<int>(index);
    run.table = VehicleSectionTable(lines, static_cast<int>(index));
    RunVehicleSection(run);
  }
  return result;
}

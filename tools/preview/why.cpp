#include "tools/preview/why.h"

#include <algorithm>
#include <stdexcept>

#include "features/vehicle_lights/vehicle_light_settings.h"
#include "settings/convert.h"
#include "settings/reader.h"
#include "tools/preview/preview.h"

namespace preview {

namespace {

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

// What the report needs to know of the loaders' runs on the file.
class Settings {
 public:
  explicit Settings(const SettingsCheck& check) : check_(check) {}

  // The run of loader `name` over the whole file or a named section.
  const LoaderRun* Run(const std::string& name) const {
    for (const LoaderRun& run : check_.runs.runs)
      if (run.loader == name && run.scope != TableScope::kVehicleSection) return &run;
    return nullptr;
  }

  // The value the loader took for `key`, when it converted it.
  std::optional<std::string> Value(const LoaderRun* run, const std::string& key) const {
    if (run == nullptr) return std::nullopt;
    std::optional<std::string> value;
    for (const KeyUse& use : run->uses)
      if (use.key == key && use.text != nullptr && use.converted && use.error.empty())
        value = *use.text;
    return value;
  }
  std::optional<int32_t> Int(const LoaderRun* run, const std::string& key) const {
    const std::optional<std::string> text = Value(run, key);
    if (!text) return std::nullopt;
    try {
      return ParseInt(*text);
    } catch (const SettingsConversionError&) {
      return std::nullopt;
    }
  }

  // "Key = value at line N", where the run took it from.
  std::string Where(const LoaderRun* run, const std::string& key) const {
    const std::optional<std::string> value = Value(run, key);
    std::string text = key + " = " + (value ? *value : std::string("?"));
    if (const int line = LineOf(run, key); line > 0) text += " at line " + std::to_string(line);
    return text;
  }

  // The findings that are errors or warnings about the keys that `run` reads where it reads them.
  std::vector<std::string> Findings(const LoaderRun* run) const {
    std::vector<std::string> found;
    if (run == nullptr) return found;
    for (const Finding& finding : check_.findings) {
      if (finding.severity == Severity::kNote || finding.key.empty()) continue;
      if (!InScope(*run, finding.line)) continue;
      const bool read = std::any_of(run->uses.begin(), run->uses.end(),
                                    [&](const KeyUse& use) { return use.key == finding.key; });
      if (read) found.push_back("line " + std::to_string(finding.line) + ": " + finding.message);
    }
    return found;
  }

  // The findings at the header line of every vehicle section whose last readable "Model" is
  // `model` (any, when none is given), or that has none.
  std::vector<std::string> SectionFindings(std::optional<int32_t> model) const {
    std::vector<std::string> found;
    const FileLines& lines = check_.lines;
    for (std::size_t s = 0; s < lines.sections.size(); ++s) {
      if (lines.sections[s].name.find(kVehicleSectionMark) == std::string::npos) continue;
      std::optional<int32_t> section_model;
      for (const FileLine& line : lines.lines) {
        if (line.section_index != static_cast<int>(s) || !line.is_entry ||
            line.key != kVehicleModelKey.name)
          continue;
        try {
          section_model = ParseInt(line.value);
        } catch (const SettingsConversionError&) {
        }
      }
      if (model && section_model && *section_model != *model) continue;
      const int header = lines.lines[lines.sections[s].header].number;
      for (const Finding& finding : check_.findings)
        if (finding.line == header && finding.code.rfind("section-", 0) == 0)
          found.push_back("line " + std::to_string(header) + ": " + finding.message);
    }
    return found;
  }

  // The runs of the model sections that make lights of `model`.
  std::vector<const LoaderRun*> ModelRuns(int32_t model) const {
    std::vector<const LoaderRun*> runs;
    for (const LoaderRun& run : check_.runs.runs)
      if (run.scope == TableScope::kVehicleSection && run.accepted && run.model == model)
        runs.push_back(&run);
    return runs;
  }

 private:
  bool InScope(const LoaderRun& run, int number) const {
    if (number < 1 || number > static_cast<int>(check_.lines.lines.size())) return false;
    const FileLine& line = check_.lines.lines[number - 1];
    switch (run.scope) {
      case TableScope::kWholeFile:
        return true;
      case TableScope::kSection:
        return line.section_index >= 0 &&
               check_.lines.sections[line.section_index].name == run.section;
      case TableScope::kVehicleSection:
        break;
    }
    return line.section_index == run.section_index;
  }

  // The line the run took `key` from: the last of its occurrences in the run's scope.
  int LineOf(const LoaderRun* run, const std::string& key) const {
    int found = 0;
    for (const FileLine& line : check_.lines.lines)
      if (line.is_entry && line.key == key && InScope(*run, line.number)) found = line.number;
    return found;
  }

  const SettingsCheck& check_;
};

int SampleOf(const Timeline& timeline, int minute) {
  return (((minute - timeline.start) % 1440 + 1440) % 1440) / timeline.step;
}

// The spans of the day in which any of `lanes` gave light.
std::vector<std::string> LitSpans(const Timeline& timeline, const std::vector<const Lane*>& lanes) {
  if (lanes.empty()) return {};
  Lane lit;
  lit.values.assign(timeline.samples, -1.0f);
  for (const Lane* lane : lanes)
    for (int i = 0; i < timeline.samples; ++i)
      if (lane->values[i] > 0) lit.values[i] = 1.0f;
  return ShownSpans(timeline, lit);
}

bool LitAt(const std::vector<const Lane*>& lanes, int sample) {
  return std::any_of(lanes.begin(), lanes.end(), [&](const Lane* lane) {
    return sample < static_cast<int>(lane->values.size()) && lane->values[sample] > 0;
  });
}

// The pattern samples at which any of `lanes` gave light, of all.
int LitPatternSamples(const std::vector<const Lane*>& lanes) {
  if (lanes.empty()) return 0;
  int lit = 0;
  for (std::size_t i = 0; i < lanes.front()->values.size(); ++i) {
    bool any = false;
    for (const Lane* lane : lanes) any = any || (i < lane->values.size() && lane->values[i] > 0);
    lit += any;
  }
  return lit;
}

std::vector<const Lane*> LanesOf(const std::vector<Lane>& lanes, const ItemGroup& group) {
  std::vector<const Lane*> found;
  for (const Lane& lane : lanes) {
    if (lane.feature != group.feature) continue;
    if (group.feature == Feature::kVehicleLights && lane.vehicle != group.vehicle) continue;
    found.push_back(&lane);
  }
  return found;
}

const char* LoaderOf(Feature feature) {
  switch (feature) {
    case Feature::kStarField: return "star field";
    case Feature::kShootingStars: return "shooting stars";
    case Feature::kMoon: return "moon";
    case Feature::kSkySignR:
    case Feature::kSkySignStar:
    case Feature::kTrailGlows: return "sky logo";
    case Feature::kPlaneGlows: return "";
    case Feature::kVehicleLights: break;
  }
  return "vehicle lights";
}

}  // namespace

SettingsCheck CheckSettings(const std::string& settings_file) {
  SettingsCheck check;
  check.path = settings_file;
  if (settings_file.empty() || !ReadFileLines(settings_file.c_str(), check.lines)) return check;
  check.present = true;
  ForEachSettingsLineFrom(settings_file.c_str(),
                          [&](std::string_view line) { check.text.emplace_back(line); });
  try {
    check.runs = RunLoaders(settings_file.c_str(), check.lines);
    check.findings = CheckSettingsFile(check.lines, check.runs);
  } catch (const std::exception& e) {
    Finding unchecked;
    unchecked.severity = Severity::kError;
    unchecked.code = "unchecked";
    unchecked.message = std::string("the file could not be checked: ") + e.what();
    check.findings.push_back(unchecked);
  }
  return check;
}

std::vector<ItemGroup> ItemGroups(const SceneSettings& scene, const std::vector<int32_t>& models) {
  std::vector<ItemGroup> groups;
  for (Feature feature : {Feature::kStarField, Feature::kShootingStars, Feature::kMoon,
                          Feature::kSkySignR, Feature::kSkySignStar, Feature::kTrailGlows,
                          Feature::kPlaneGlows}) {
    groups.push_back({FeatureId(feature), FeatureName(feature), feature});
  }
  const std::vector<PlacedVehicle> placed = PlaceVehicles(scene.models);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    groups.push_back({"vehicle-" + std::to_string(i),
                      "vehicle lights: model " + std::to_string(placed[i].model),
                      Feature::kVehicleLights, static_cast<int>(i), placed[i].model});
  }
  for (std::size_t i = placed.size(); i < models.size(); ++i) {
    groups.push_back({"model-" + std::to_string(models[i]),
                      "vehicle lights: model " + std::to_string(models[i]),
                      Feature::kVehicleLights, -1, models[i]});
  }
  if (models.empty())
    groups.push_back({"vehicle-lights", "vehicle lights", Feature::kVehicleLights, -1, 0});
  return groups;
}

TraceFrame ItemsOf(const TraceFrame& frame, const ItemGroup& group,
                   const std::vector<PlacedVehicle>& vehicles) {
  TraceFrame items;
  items.shooting_star_in_flight =
      group.feature == Feature::kShootingStars && frame.shooting_star_in_flight;
  for (const Sprite& sprite : frame.sprites)
    if (sprite.feature == group.feature) items.sprites.push_back(sprite);
  std::vector<int> kept(frame.glows.size(), -1);
  for (std::size_t i = 0; i < frame.glows.size(); ++i) {
    const Glow& glow = frame.glows[i];
    if (glow.feature != group.feature) continue;
    if (group.feature == Feature::kVehicleLights && group.model != 0 &&
        (group.vehicle < 0 || VehicleOfGlow(glow, vehicles) != group.vehicle))
      continue;
    kept[i] = static_cast<int>(items.glows.size());
    items.glows.push_back(glow);
  }
  for (const PointLight& light : frame.lights) {
    if (light.glow < 0 || kept[light.glow] < 0) continue;
    PointLight copy = light;
    copy.glow = kept[light.glow];
    items.lights.push_back(copy);
  }
  return items;
}

bool ShowsAnything(const TraceFrame& items) {
  for (const Sprite& s : items.sprites)
    if (std::max({s.r, s.g, s.b}) > 0 && s.a > 0) return true;
  for (const Glow& g : items.glows)
    if (std::max({g.r, g.g, g.b}) > 0 && g.a > 0) return true;
  for (const PointLight& l : items.lights)
    if (l.brightness > 0 && std::max({l.r, l.g, l.b}) > 0) return true;
  return false;
}

std::vector<std::string> WhyNothingShows(const ItemGroup& group, const SceneSettings& scene,
                                         const SettingsCheck& check, const Timeline& timeline) {
  std::vector<std::string> why;
  const Settings settings(check);
  const int moment = scene.hour * 60 + scene.minute;
  const LoaderRun* run = settings.Run(LoaderOf(group.feature));
  const std::vector<const Lane*> lanes = LanesOf(timeline.day, group);
  const std::vector<const Lane*> pattern = LanesOf(timeline.pattern, group);
  const std::vector<std::string> spans = LitSpans(timeline, lanes);
  const bool lit_now = LitAt(lanes, SampleOf(timeline, moment));
  const std::string timer = std::to_string(scene.timer);
  const auto value_reads = [&](const std::vector<std::string>& findings) {
    for (const std::string& finding : findings) why.push_back("a value that did not read or does not do what it says, " + finding);
  };
  const auto hours = [&](const char* what) {
    if (lanes.empty()) return;
    if (spans.empty()) {
      why.push_back(std::string(what) + " at no sampled time of the day (see the timeline)");
    } else if (!lit_now && spans.front() != "all day") {
      why.push_back("outside its hours: " + std::string(what) + " " + Join(spans, ", "));
    }
  };
  const auto blink = [&] {
    const int lit = LitPatternSamples(pattern);
    if (lit > 0 && lit < timeline.pattern_samples) {
      why.push_back("dark at this moment of its blinking or pulsing: within the next " +
                    std::to_string(timeline.pattern_samples * timeline.pattern_step) +
                    " ms of the timer it is lit " + std::to_string(lit * timeline.pattern_step) +
                    " ms (see the pattern under the timeline)");
    }
  };
  const auto delay = [&](const char* key) {
    const std::optional<int32_t> start = settings.Int(run, key);
    if (start && static_cast<int64_t>(*start) > static_cast<int64_t>(scene.timer)) {
      why.push_back("the timer (" + timer + " ms) is still before " + settings.Where(run, key) +
                    ": nothing shows before then");
    }
  };

  switch (group.feature) {
    case Feature::kStarField: {
      value_reads(settings.Findings(run));
      if (const auto stars = settings.Int(run, "NumStars"); stars && *stars <= 0)
        why.push_back("there are no stars: " + settings.Where(run, "NumStars"));
      delay("StarStartDelay");
      hours("stars show");
      if (why.empty() && lit_now)
        why.push_back("no star is in the camera's view at this moment (--camera sky looks up)");
      break;
    }
    case Feature::kShootingStars: {
      value_reads(settings.Findings(run));
      if (const auto enable = settings.Int(run, "Enable"); enable && *enable == 0)
        why.push_back("switched off: " + settings.Where(run, "Enable") + " in [ShootingStars]");
      delay("StartDelay");
      hours("shooting stars fly");
      if (why.empty() && lit_now) {
        const auto low = settings.Value(run, "MinInterval"), high = settings.Value(run, "MaxInterval");
        why.push_back(
            "none is in flight at this moment: within its hours one starts every MinInterval to "
            "MaxInterval ms" +
            (low && high ? " (" + *low + " to " + *high + " ms here)" : std::string()) +
            " and flies for its Lifetime; the clip shows them come and go, another --timer shows "
            "another moment");
      }
      break;
    }
    case Feature::kMoon: {
      value_reads(settings.Findings(run));
      if (!HostDrawsMoon(scene.hour)) {
        why.push_back("the game draws its moon only from 19:00 to 05:59: at " + ClockText(moment) +
                      " there is no moon for the plugin to restyle");
      }
      blink();
      break;
    }
    case Feature::kSkySignR:
    case Feature::kSkySignStar:
    case Feature::kTrailGlows:
      value_reads(settings.Findings(run));
      hours(group.feature == Feature::kTrailGlows ? "they show" : "it shows");
      blink();
      break;
    case Feature::kPlaneGlows:
      blink();
      break;
    case Feature::kVehicleLights: {
      const LoaderRun* global = settings.Run("vehicle lights");
      if (const auto on = settings.Int(global, "VehicleLightsGlobalEnable"); on && *on == 0)
        why.push_back("switched off: " + settings.Where(global, "VehicleLightsGlobalEnable"));
      if (group.model == 0 && !check.present) {
        why.push_back("there is no settings file: without one no vehicle has lights of the plugin");
        break;
      }
      if (group.model == 0) {
        // No vehicle on the road: no section gives a model that reads.
        for (const std::string& finding : settings.SectionFindings(std::nullopt))
          why.push_back("a section skipped, " + finding);
        if (why.empty()) {
          why.push_back("the file has no vehicle section: a section whose name contains \"" +
                        std::string(kVehicleSectionMark) + "\" and that gives a \"" +
                        std::string(kVehicleModelKey.name) +
                        "\" lights up the vehicles of that model (see the example file's "
                        "[Veh_off_Taxi])");
        }
        break;
      }
      const std::vector<const LoaderRun*> used = settings.ModelRuns(group.model);
      if (used.empty()) {
        for (const std::string& finding : settings.SectionFindings(group.model))
          why.push_back("a section skipped, " + finding);
        if (why.empty())
          why.push_back("no vehicle section gives model " + std::to_string(group.model) + " lights");
      }
      if (group.vehicle < 0) {
        why.push_back("no vehicle of model " + std::to_string(group.model) +
                      " in the scene: the scene puts a vehicle of each of the first " +
                      std::to_string(kMaxVehicles) + " models of the file on the road");
      }
      for (const LoaderRun* section : used) value_reads(settings.Findings(section));
      if (!used.empty()) {
        hours("its lights show");
        blink();
      }
      break;
    }
  }
  if (why.empty()) why.push_back("it handed over nothing that shows at this moment");
  return why;
}

}  // namespace preview

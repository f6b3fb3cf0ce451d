// What the report tells about each feature at the chosen moment: what it handed the host, and,
// where it shows nothing, why: outside its hours, switched off, a section skipped, no vehicle of
// its model in the scene, a value that did not read. The reasons are read from what the plugin
// did in the emulated host (the frame, the timeline) and from nightglass-check's runs of the
// plugin's own loaders on the file, never from formulas of the preview's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/check/file_lines.h"
#include "tools/check/findings.h"
#include "tools/check/loader_runs.h"
#include "tools/preview/scene.h"
#include "tools/preview/timeline.h"
#include "tools/preview/trace.h"

namespace preview {

// The settings file as nightglass-check sees it.
struct SettingsCheck {
  bool present = false;  // a settings file was found and opened
  std::string path;
  std::vector<std::string> text;  // its lines as the plugin's reader hands them out
  FileLines lines;
  LoaderRuns runs;
  std::vector<Finding> findings;
};
// Checks `settings_file` (empty: none) with the checker's public functions.
SettingsCheck CheckSettings(const std::string& settings_file);

// The items the report counts and shows alone: one feature, or the lights of one vehicle.
struct ItemGroup {
  std::string id;    // stable, for the page
  std::string name;  // for people
  Feature feature = Feature::kStarField;
  int vehicle = -1;        // vehicle lights: the vehicle on the road, -1 when not placed
  int32_t model = 0;       // vehicle lights: its model
};
// Every feature, and one group per vehicle model of the file (those put on the road first), or
// one for the vehicle lights when the file names no model.
std::vector<ItemGroup> ItemGroups(const SceneSettings& scene, const std::vector<int32_t>& models);

// The items of `frame` that belong to `group`.
TraceFrame ItemsOf(const TraceFrame& frame, const ItemGroup& group,
                   const std::vector<PlacedVehicle>& vehicles);
// Whether anything of `items` gives light (a colour above black with some alpha).
bool ShowsAnything(const TraceFrame& items);

// Why `group` shows nothing at the scene's moment, most telling first; never empty.
std::vector<std::string> WhyNothingShows(const ItemGroup& group, const SceneSettings& scene,
                                         const SettingsCheck& check, const Timeline& timeline);

}  // namespace preview

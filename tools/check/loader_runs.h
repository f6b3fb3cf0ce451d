// The plugin's own loaders run on the tables its own readers make of a given file, with a settings
// observer listening: which keys each loader asked for, which values it converted, as what, and
// which conversion error stopped it. What the checker says comes from these runs, so it cannot
// disagree with the plugin.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/convert.h"
#include "settings/reader.h"
#include "settings/settings_loader.h"
#include "tools/check/file_lines.h"

// What a loader did with one key.
struct KeyUse {
  std::string key;
  const std::string* text = nullptr;  // its value in the run's table; null when absent
  bool asked = false;                 // the loader looked the key up
  bool stopped = false;               // ...after a conversion error had ended its conversions
  bool converted = false;             // the loader converted the value
  SettingsValueKind kind = SettingsValueKind::kInt;
  std::string error;                  // the conversion error; empty when the value converted
};

// Where a loader's table comes from.
enum class TableScope {
  kWholeFile,       // every key = value line, whatever its section
  kSection,         // the lines of every section of one name
  kVehicleSection,  // the lines of one model section of the vehicle lights
};

struct LoaderRun {
  const SettingsLoader* settings_loader = nullptr;  // the plugin's loader that ran
  std::string loader;  // the part of the plugin, as the messages name it ("star field")
  bool plural = false;  // "shooting stars": "they read"
  TableScope scope = TableScope::kWholeFile;
  std::string section;     // kSection: the section's name
  int section_index = -1;  // kVehicleSection: which section of the file
  SettingsTable table;     // the table the loader converted; `uses` point into it
  std::vector<KeyUse> uses;  // in the order the loader asked for or converted the keys
  // kVehicleSection: the section made a light set, and for which model.
  bool accepted = false;
  int32_t model = 0;
};

struct LoaderRuns {
  std::vector<LoaderRun> runs;  // in the order the plugin's start-up runs them
};

// Runs every loader on the file at `path`, whose lines are `lines`.
LoaderRuns RunLoaders(const char* path, const FileLines& lines);

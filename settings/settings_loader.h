// A settings loader of the plugin as a tool sees it: what it is called, where it takes its keys
// from, which keys it asks for, and how to run it on a table or on the settings file. The plugin's
// features describe their loaders this way, and the list of them in start-up order (startup.h) is
// what tools run.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "settings/key_table.h"
#include "settings/reader.h"

// Where a loader takes its keys from.
enum class LoaderScope : uint8_t {
  kWholeFile,  // every key = value line, whatever its section
  kSection,    // the lines of every section of one name
};

struct SettingsLoader {
  std::string_view name{};  // the part of the plugin, as messages name it ("star field")
  bool plural = false;    // "the shooting stars read"
  LoaderScope scope = LoaderScope::kWholeFile;
  std::string_view section{};       // kSection: the section's name
  std::span<const KeyInfo> keys{};  // the keys it asks for by name, in their order
  // It also makes light sets of the model sections (the vehicle lights), beside its keys.
  bool reads_model_sections = false;
  // Converts `table` as the plugin's loader converts its table, into settings of its own that it
  // then drops: for a tool that watches what the loader does with a table.
  void (*convert)(const SettingsTable& table) = nullptr;
  // Reads the settings file as the plugin's loader does, into settings of its own that it drops.
  void (*load)() = nullptr;
};

// A loader's `convert` and `load` from its conversion and its loading into a `Settings`.
template <typename Settings, void (*Convert)(const SettingsTable&, Settings&)>
void ConvertIntoScratch(const SettingsTable& table) {
  Settings settings;
  Convert(table, settings);
}
template <typename Settings, void (*Load)(Settings&)>
void LoadIntoScratch() {
  Settings settings;
  Load(settings);
}

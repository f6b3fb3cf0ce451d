// Turns the settings file into the vehicle light table and the global vehicle-light settings: one
// pass over the file takes the global keys from wherever they stand and collects the model
// sections one by one.
//
// Every key is converted on its own: a value that does not convert leaves its setting as it was
// (at start-up, its default) and loading goes on with the next key, so a typo in one section costs
// that one value and nothing else. A "Model" that does not convert drops its section; a custom
// light number that does not convert drops that key.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "features/vehicle_lights/vehicle_light_table.h"
#include "settings/reader.h"

// The global keys, read from the whole file, in the order they are converted.
inline constexpr std::array<std::string_view, 6> kVehicleLightGlobalKeys{
    "VehicleLightsGlobalEnable", "EnablePointLight",  "PointLightDirection",
    "PointLightAtCenter",        "PointLightOffset",  "PointLightDistanceFactor"};

// The keys of a model section that are looked up by name, in the order they are asked for:
// "Model", then for the left, right and middle light the ten keys of a fixed light. Custom lights
// are the keys "<number>-CustomLight_<field>" besides these.
inline constexpr size_t kVehicleFixedLightKeyCount = 10;
inline constexpr size_t kVehicleSectionKeyCount = 1 + 3 * kVehicleFixedLightKeyCount;
inline constexpr std::array<std::string_view, kVehicleSectionKeyCount> kVehicleSectionKeys{
    "Model",
    "LeftLight_Offset",     "LeftLight_Color",    "LeftLight_StartDelay", "LeftLight_Type",
    "LeftLight_OnTime",     "LeftLight_OffTime",  "LeftLight_Size",       "LeftLight_HourOn",
    "LeftLight_HourOff",    "LeftLight_PointLightBrightness",
    "RightLight_Offset",    "RightLight_Color",   "RightLight_StartDelay", "RightLight_Type",
    "RightLight_OnTime",    "RightLight_OffTime", "RightLight_Size",       "RightLight_HourOn",
    "RightLight_HourOff",   "RightLight_PointLightBrightness",
    "MiddleLight_Offset",   "MiddleLight_Color",  "MiddleLight_StartDelay", "MiddleLight_Type",
    "MiddleLight_OnTime",   "MiddleLight_OffTime", "MiddleLight_Size",      "MiddleLight_HourOn",
    "MiddleLight_HourOff",  "MiddleLight_PointLightBrightness"};

// What every custom light key holds between its light number and its field.
inline constexpr std::string_view kVehicleCustomLightInfix = "-CustomLight_";

// Converts "VehicleLightsGlobalEnable", "EnablePointLight", "PointLightDirection",
// "PointLightAtCenter", "PointLightOffset" and "PointLightDistanceFactor", each when present.
void ConvertVehicleLightSettings(const SettingsTable& table, VehicleLightSettingsState& settings);

// True for the names of model sections: holding "Veh_" anywhere, not beginning with "Veh_off".
bool IsVehicleSectionName(std::string_view name) noexcept;

// Stores the lights that one collected section describes under its "Model", replacing an earlier
// set of that model. Does nothing for a name that is not a model section's, or without a "Model".
void AddVehicleLightSection(std::string_view name, const SettingsTable& keys, VehicleLightTable& table);

// What the vehicle lights keep of one model section while it is read: the keys they look up by
// name, each in its slot, and the custom light keys. Keys they do not read are not kept, and the
// strings are reused from section to section.
class VehicleSectionKeys {
 public:
  void Clear() noexcept;
  // A key = value line of the section; a repeated key replaces the earlier value.
  void Store(std::string_view key, std::string_view value);
  // Puts the custom light keys in ascending order, each with its last value; run once the
  // section's last line is stored.
  void Finish();

  // The value of kVehicleSectionKeys[index], or null when the section has no such key.
  const std::string* Find(size_t index) const noexcept {
    return present_[index] ? &named_[index] : nullptr;
  }
  // The custom light keys with their values, in ascending key order (after Finish).
  template <typename Visit>
  void ForEachCustomKey(Visit&& visit) const {
    for (const CustomKey* custom : sorted_) visit(custom->key, custom->value);
  }

 private:
  struct CustomKey {
    std::string key, value;
    size_t order = 0;  // which came later in the section
  };
  // Lists the custom keys in `sorted_` in ascending order, each occurrence that came last.
  void SortCustomKeys();
  // Keeps only those; run when many keys come, so that repeats of a key cannot pile up.
  void Compact();
  static constexpr size_t kFewCustomKeys = 32;

  std::array<std::string, kVehicleSectionKeys.size()> named_;
  std::bitset<kVehicleSectionKeys.size()> present_;
  std::vector<CustomKey> custom_;   // the first custom_count_ are in use; the rest are for reuse
  std::vector<CustomKey*> sorted_;  // after Finish
  size_t custom_count_ = 0;
  size_t compacted_count_ = 0;  // distinct keys at the last compaction
  size_t stored_ = 0;
};

// Collects the settings file's model sections, fed line by line, and adds each to the table when
// its end is reached (the next header, or Finish at the end of the file).
class VehicleSectionCollector {
 public:
  explicit VehicleSectionCollector(VehicleLightTable& table) : table_(table) {}
  void Line(std::string_view line);
  // The same for a line of a run of the settings file, which is taken apart faster.
  void RunLine(std::string_view line);
  void Finish();

 private:
  template <typename Split>
  void Take(std::string_view line, Split&& split);

  VehicleLightTable& table_;
  bool collecting_ = false;  // lines before the first header belong to no section
  std::string name_;
  VehicleSectionKeys keys_;
};

// Empties the table, then reads the global settings and the model sections from the settings file.
// Without a settings file the table stays empty and the settings keep their values.
void LoadVehicleLights(VehicleLightTable& table, VehicleLightSettingsState& settings);

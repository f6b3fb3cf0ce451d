// The vehicle lights' settings: the global keys, read from the whole file, and the model sections,
// whose names hold "Veh_", each giving the lights of one vehicle model. One pass over the file takes
// the global keys from wherever they stand and collects the model sections one by one.
//
// Every key is converted on its own: a value that does not convert leaves its setting as it was
// (at start-up, its default) and loading goes on with the next key, so a typo in one section costs
// that one value and nothing else. A "Model" that does not convert drops its section; a custom
// light number that does not convert drops that key.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "features/vehicle_lights/vehicle_light_table.h"
#include "settings/key_table.h"
#include "settings/reader.h"
#include "settings/settings_loader.h"

// The settings that hold for every vehicle.
struct VehicleLightSettingsState {
  bool VehicleLightsGlobalEnable = true;                      // false: nothing is emitted
  bool EnablePointLight = false;                              // point lights beside the glows
  std::array<float, 3> PointLightDirection{0.0f, 0.0f, -1.0f};  // unless aimed at the centre
  bool PointLightAtCenter = false;            // fixed lights aim at the centre, custom ones sit there
  std::array<float, 3> PointLightOffset{0.0f, 0.0f, 0.0f};  // fixed lights' point lights, vehicle axes
  float PointLightDistanceFactor = 0.5f;  // fixed lights: 0 at the vehicle centre, 1 at the light
};

// The global settings in force; defaults until start-up has read the file.
extern VehicleLightSettingsState VehicleLightSettings;

// The global keys, read from the whole file, in the order they are converted.
inline constexpr std::array kVehicleLightGlobalKeys{
    Key<&VehicleLightSettingsState::VehicleLightsGlobalEnable>("VehicleLightsGlobalEnable"),
    Key<&VehicleLightSettingsState::EnablePointLight>("EnablePointLight"),
    Key<&VehicleLightSettingsState::PointLightDirection>("PointLightDirection"),
    Key<&VehicleLightSettingsState::PointLightAtCenter>("PointLightAtCenter"),
    Key<&VehicleLightSettingsState::PointLightOffset>("PointLightOffset"),
    Key<&VehicleLightSettingsState::PointLightDistanceFactor>("PointLightDistanceFactor")};

// A model section's name holds this, and does not begin with kVehicleSectionOff.
inline constexpr std::string_view kVehicleSectionMark = "Veh_";
inline constexpr std::string_view kVehicleSectionOff = "Veh_off";

// The key of a model section that gives its vehicle model.
inline constexpr KeyInfo kVehicleModelKey{"Model", ValueRange::kVehicleModel};

// The fields of one light, as the keys of a fixed light ("LeftLight_Offset") and of a custom one
// ("2-CustomLight_Offset") end, in the order a fixed light's are asked for. A light with an Offset
// key is enabled; its colour reads each channel's low 8 bits, a channel that is not a number as 0
// and the channels after it, and those missing at the end of the text, as 255, so "10 20" is
// (10, 20, 255) and "10,20,30" is (10, 0, 255).
void EnableLightAt(VehicleLight& light, const std::string& text);
void ReadLightColour(VehicleLight& light, const std::string& text);
inline constexpr std::array kVehicleLightFields{
    KeyWith<&EnableLightAt>("Offset"),
    KeyWith<&ReadLightColour>("Color"),
    Key<&VehicleLight::StartDelay>("StartDelay"),
    Key<&VehicleLight::Type>("Type", ValueRange::kPattern),
    Key<&VehicleLight::OnTime>("OnTime", ValueRange::kNotNegative),
    Key<&VehicleLight::OffTime>("OffTime", ValueRange::kNotNegative),
    Key<&VehicleLight::Size>("Size", ValueRange::kNotNegative),
    Key<&VehicleLight::HourOn>("HourOn", ValueRange::kHourOrNone),
    Key<&VehicleLight::HourOff>("HourOff", ValueRange::kHourOrNone),
    Key<&VehicleLight::PointLightBrightness>("PointLightBrightness")};

// What the key of a fixed light begins with, in the order of LightGroup, and what every custom
// light key holds between its light number and its field.
inline constexpr std::array<std::string_view, kLightGroupCount> kFixedLightPrefixes{
    "LeftLight_", "RightLight_", "MiddleLight_"};
inline constexpr std::string_view kVehicleCustomLightInfix = "-CustomLight_";

// The keys of a model section that are looked up by name, in the order they are asked for:
// "Model", then for the left, right and middle light the keys of its fields.
inline constexpr size_t kVehicleSectionKeyCount = 1 + kLightGroupCount * kVehicleLightFields.size();
inline constexpr std::array<JoinedKeyName, kVehicleSectionKeyCount> kVehicleSectionKeyText = [] {
  std::array<JoinedKeyName, kVehicleSectionKeyCount> names{};
  names[0] = JoinedKeyName(kVehicleModelKey.name, "");
  for (size_t group = 0; group < kLightGroupCount; ++group) {
    for (size_t field = 0; field < kVehicleLightFields.size(); ++field) {
      names[1 + group * kVehicleLightFields.size() + field] =
          JoinedKeyName(kFixedLightPrefixes[group], kVehicleLightFields[field].name);
    }
  }
  return names;
}();
inline constexpr std::array<std::string_view, kVehicleSectionKeyCount> kVehicleSectionKeyNames = [] {
  std::array<std::string_view, kVehicleSectionKeyCount> names{};
  for (size_t i = 0; i < kVehicleSectionKeyCount; ++i) names[i] = kVehicleSectionKeyText[i].view();
  return names;
}();

// Where the key of field `field` of fixed light `group` stands in kVehicleSectionKeyNames.
constexpr size_t FixedLightKey(size_t group, size_t field) {
  return 1 + group * kVehicleLightFields.size() + field;
}

// The field row of a custom light key ("2-CustomLight_Size": "Size"), or null when the key holds
// no infix or its field is none of the light's.
const SettingsKey<VehicleLight>* CustomLightField(std::string_view key) noexcept;

// The name and sensible values of a key of a model section: "Model", a fixed light's key or a
// custom light's; null for any other key.
const KeyInfo* VehicleSectionKeyInfo(std::string_view key) noexcept;

// Converts the global keys present in `table`, each on its own.
void ConvertVehicleLightSettings(const SettingsTable& table, VehicleLightSettingsState& settings);

// True for the names of model sections: holding "Veh_" anywhere, not beginning with "Veh_off".
bool IsVehicleSectionName(std::string_view name) noexcept;

// Stores the lights that one collected section describes under its "Model", replacing an earlier
// set of that model. Does nothing for a name that is not a model section's, or without a "Model".
void AddVehicleLightSection(std::string_view name, const SettingsTable& keys, VehicleLightTable& table);

// What the vehicle lights keep of one model section while it is read: the values of the keys they
// look up by name, each in its slot, and the custom light keys with their values. Keys they do not
// read are not kept, and the strings are reused from section to section.
class VehicleSectionValues {
 public:
  void Clear() noexcept;
  // A key = value line of the section; a repeated key replaces the earlier value.
  void Store(std::string_view key, std::string_view value);
  // Puts the custom light keys in ascending order, each with its last value; run once the
  // section's last line is stored.
  void Finish();

  // The value of kVehicleSectionKeyNames[index], or null when the section has no such key.
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

  std::array<std::string, kVehicleSectionKeyCount> named_;
  std::bitset<kVehicleSectionKeyCount> present_;
  std::vector<CustomKey> custom_;   // the first custom_count_ are in use; the rest are for reuse
  std::vector<CustomKey*> sorted_;  // after Finish
  size_t custom_count_ = 0;
  size_t compacted_count_ = 0;  // distinct keys at the last compaction
  size_t stored_ = 0;
};

// Empties the table, then reads the global settings and the model sections from the settings file.
// Without a settings file the table stays empty and the settings keep their values.
void LoadVehicleLights(VehicleLightTable& table, VehicleLightSettingsState& settings);

// The vehicle lights' loader, for tools: its global keys and, beside them, the model sections.
inline constexpr auto kVehicleLightGlobalKeyInfos = KeyInfos(kVehicleLightGlobalKeys);
inline constexpr SettingsLoader kVehicleLightsLoader{
    .name = "vehicle lights",
    .plural = true,
    .scope = LoaderScope::kWholeFile,
    .keys = kVehicleLightGlobalKeyInfos,
    .reads_model_sections = true,
    .convert = ConvertIntoScratch<VehicleLightSettingsState, ConvertVehicleLightSettings>,
    .load = [] {
      VehicleLightTable table;
      VehicleLightSettingsState settings;
      LoadVehicleLights(table, settings);
    }};

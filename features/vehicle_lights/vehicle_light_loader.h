// Turns the settings file into the vehicle light table and the global vehicle-light settings: the
// global keys from the whole file, then one pass over the file that collects the model sections.
//
// Every key is converted on its own: a value that does not convert leaves its setting as it was
// (at start-up, its default) and loading goes on with the next key, so a typo in one section costs
// that one value and nothing else. A "Model" that does not convert drops its section; a custom
// light number that does not convert drops that key.
#pragma once

#include <string>
#include <string_view>

#include "features/vehicle_lights/vehicle_light_table.h"
#include "settings/reader.h"

// Converts "VehicleLightsGlobalEnable", "EnablePointLight", "PointLightDirection",
// "PointLightAtCenter", "PointLightOffset" and "PointLightDistanceFactor", each when present.
void ConvertVehicleLightSettings(const SettingsTable& table, VehicleLightSettingsState& settings);

// True for the names of model sections: holding "Veh_" anywhere, not beginning with "Veh_off".
bool IsVehicleSectionName(std::string_view name) noexcept;

// Stores the lights that one collected section describes under its "Model", replacing an earlier
// set of that model. Does nothing for a name that is not a model section's, or without a "Model".
void AddVehicleLightSection(std::string_view name, const SettingsTable& keys, VehicleLightTable& table);

// Collects the settings file's model sections, fed line by line, and adds each to the table when
// its end is reached (the next header, or Finish at the end of the file).
class VehicleSectionCollector {
 public:
  explicit VehicleSectionCollector(VehicleLightTable& table) : table_(table) {}
  void Line(std::string_view line);
  void Finish();

 private:
  VehicleLightTable& table_;
  bool collecting_ = false;  // lines before the first header belong to no section
  std::string name_;
  SettingsTable keys_;
};

// Empties the table, then reads the global settings and the model sections from the settings file.
// Without a settings file the table stays empty and the settings keep their values.
void LoadVehicleLights(VehicleLightTable& table, VehicleLightSettingsState& settings);

// Extra glows and point lights on the host's vehicles, chosen by vehicle model: at start-up the
// feature reads its definitions from the settings file (vehicle_light_settings.h), and on every
// update it hands the lights of every live vehicle whose model has a set to the host
// (vehicle_light_emission.h).
#pragma once

#include "features/vehicle_lights/vehicle_light_settings.h"
#include "features/vehicle_lights/vehicle_light_table.h"

// The light sets by model; created empty where the plugin's start-up fixes its place, filled at
// start-up, then only read.
extern VehicleLightTable* VehicleLights;

// The feature: its one instance registers the loading at start-up and the emission on update.
class CustomVehicleLightsManager {
 public:
  // The settings loader that its start-up runs.
  static constexpr const SettingsLoader* kSettingsLoader = &kVehicleLightsLoader;
  CustomVehicleLightsManager();
};

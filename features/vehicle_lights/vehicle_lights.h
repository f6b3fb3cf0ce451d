// Extra glows and point lights on the host's vehicles, chosen by vehicle model: at start-up the
// feature reads its definitions from the settings file, and on every update it hands the lights of
// every live vehicle whose model has a set to the host.
#pragma once

#include "features/vehicle_lights/vehicle_light_table.h"

// The light sets by model; created empty at load where the start-up fixes its place, filled at
// start-up, then only read.
extern VehicleLightTable* VehicleLights;

// The global vehicle-light settings in force; defaults until start-up has read the file.
extern VehicleLightSettingsState VehicleLightSettings;

// The feature: its one instance registers the loading at start-up and the emission on update.
class CustomVehicleLightsManager {
 public:
  CustomVehicleLightsManager();
};

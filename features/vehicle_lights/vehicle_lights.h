// Extra glows and point lights on vehicles, chosen by vehicle model.
#pragma once

#include <cstdint>
#include <map>

// The light definitions per vehicle model, built at start-up.
struct VehicleLightDefinition {};
using VehicleLightTable = std::map<int32_t, VehicleLightDefinition>;

class CustomVehicleLightsManager {
 public:
  CustomVehicleLightsManager();
};

// The program-wide table; defined with the plugin's start-up, where its construction order is fixed.
extern VehicleLightTable* VehicleLights;

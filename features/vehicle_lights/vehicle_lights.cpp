#include "features/vehicle_lights/vehicle_lights.h"

#include "plugin/events.h"

VehicleLightTable* VehicleLights = nullptr;

CustomVehicleLightsManager::CustomVehicleLightsManager() {
  StartupEvent += [] {};
  UpdateEvent += [] {};
}

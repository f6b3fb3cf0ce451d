#include "features/vehicle_lights/vehicle_lights.h"

#include "features/vehicle_lights/vehicle_light_emission.h"
#include "features/vehicle_lights/vehicle_light_settings.h"
#include "plugin/events.h"

VehicleLightTable* VehicleLights = nullptr;

CustomVehicleLightsManager::CustomVehicleLightsManager() {
  StartupEvent += [] { LoadVehicleLights(*VehicleLights, VehicleLightSettings); };
  UpdateEvent += [] { EmitVehicleLights(*VehicleLights, VehicleLightSettings); };
}

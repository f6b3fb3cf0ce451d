#include "features/vehicle_lights/vehicle_light_emission.h"

#include <cmath>

#include "features/float_conversions.h"

uint8_t PulseAlpha(uint32_t period, uint32_t t) noexcept {
  // Within [0, 255] for every finite angle; the saturation keeps the conversion defined regardless.
  return SaturateToByte(PeriodPulseShare(period, t) * 255.0f);
}

PointLightPlacement FixedPointLight(const VehicleFrame& v, const LightVector& glow,
                                    const VehicleLightSettingsState& settings) noexcept {
  const float factor = settings.PointLightDistanceFactor;
  const LightVector& o = settings.PointLightOffset;
  PointLightPlacement placed{{}, settings.PointLightDirection};
  for (int i = 0; i < 3; ++i) {
    placed.position[i] = v.position[i] + (glow[i] - v.position[i]) * factor + o[0] * v.axis1[i] +
                         o[1] * v.axis2[i] + o[2] * v.axis3[i];
  }
  if (!settings.PointLightAtCenter) return placed;
  const LightVector to_centre{v.position[0] - placed.position[0], v.position[1] - placed.position[1],
                              v.position[2] - placed.position[2]};
  const float squares =
      to_centre[0] * to_centre[0] + to_centre[1] * to_centre[1] + to_centre[2] * to_centre[2];
  const auto length = static_cast<float>(std::sqrt(static_cast<double>(squares)));
  // Too close to the centre to aim at it (or not a number): the direction setting stays.
  if (length > 0.0001f) {
    placed.direction = {to_centre[0] / length, to_centre[1] / length, to_centre[2] / length};
  }
  return placed;
}

PointLightPlacement CustomPointLight(const VehicleFrame& v, const LightVector& glow,
                                     const VehicleLightSettingsState& settings) noexcept {
  return {settings.PointLightAtCenter ? v.position : glow, settings.PointLightDirection};
}

void EmitVehicleLights(const VehicleLightTable& table, const VehicleLightSettingsState& settings) {
  EmitVehicleLightsWith<LiveVehicleHost>(table, settings);
}

#include "features/vehicle_lights/vehicle_light_emission.h"

#include <cmath>

namespace {

// True when the clock hour lies in the light's daily window [on, off); a window whose end comes
// before its start runs past midnight. Plain comparisons, so every hour setting is defined.
bool InHourWindow(int32_t on, int32_t off, int32_t hour) noexcept {
  if (on <= off) return on <= hour && hour < off;
  return hour >= on || hour < off;
}

// The blink and pulse period: on + off, summed in 64 bits so that no pair of settings overflows;
// 1000 when the sum is not positive. At most 2^32 - 2, so it fits 32 unsigned bits, and the
// remainder of the unsigned host time needs only a 32-bit division.
uint32_t LightPeriod(const VehicleLight& light) noexcept {
  const int64_t period = int64_t{light.OnTime} + int64_t{light.OffTime};
  return period > 0 ? static_cast<uint32_t>(period) : 1000;
}

uint8_t PulseAlpha(uint32_t period, uint32_t t) noexcept {
  // Single precision throughout; only the sine is taken in double and rounded back to float.
  const float two_pi = 6.283185307179586f;
  const float angular = two_pi / (static_cast<float>(period) / 1000.0f * 1000.0f);
  const float angle = angular * static_cast<float>(t);
  const float sine = static_cast<float>(std::sin(static_cast<double>(angle)));
  const float value = (sine + 1.0f) * 0.5f * 255.0f;
  // Within [0, 255] for every finite angle; the bounds keep the conversion defined regardless.
  if (!(value > 0.0f)) return 0;
  if (value >= 255.0f) return 255;
  return static_cast<uint8_t>(value);
}

}  // namespace

uint8_t LightAlpha(const VehicleLight& light, uint32_t now, uint8_t hour) noexcept {
  const auto start_delay = static_cast<uint32_t>(light.StartDelay);
  if (now < start_delay) return 0;
  const uint32_t t = now - start_delay;
  if (light.HourOn != -1 && !InHourWindow(light.HourOn, light.HourOff, hour)) return 0;
  const uint32_t period = LightPeriod(light);
  if (light.Type == kLightBlink) return int64_t{t % period} < light.OnTime ? 255 : 0;
  if (light.Type == kLightPulse) return PulseAlpha(period, t);
  return 255;
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

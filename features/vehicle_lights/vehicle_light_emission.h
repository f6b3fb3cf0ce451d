// The vehicle lights' work on every UpdateEvent: walk the host's vehicle pool, look each live
// vehicle's model up once, and hand every enabled light of its set to the host as a glow (every
// frame, also when the light is dark) and, when point lights are on and the light is lit, as a
// point light. Nothing here allocates or keeps state between frames.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "features/flashing.h"
#include "features/vehicle_lights/vehicle_light_settings.h"
#include "features/vehicle_lights/vehicle_light_table.h"
#include "plugin/host_build.h"
#include "plugin/host_interface.h"

// The host's vehicle pool record: first vehicle object, slot flags, slot count (all 32-bit).
// Vehicle objects lie kVehicleStride bytes apart; a slot is in use when its flag byte, taken as
// signed, is 0 or more.
inline constexpr uint32_t kVehicleStride = 1500;
inline constexpr uint32_t kVehicleAxesOffset = 0x04;  // A1, A2, A3 at 0x04, 0x14, 0x24
inline constexpr uint32_t kVehicleAxisStride = 0x10;
inline constexpr uint32_t kVehiclePositionOffset = 0x34;
inline constexpr uint32_t kVehicleModelOffset = 0x5C;   // signed 16-bit
inline constexpr uint32_t kVehicleHealthOffset = 0x204;  // float; 0 or less shows no lights

// Glow ids: the vehicle object's address plus these (plus the index for custom lights).
inline constexpr uint32_t kFixedLightIdBase = 1000;  // + 0 left, 1 right, 2 middle
inline constexpr uint32_t kCustomLightIdBase = 2000;
inline constexpr float kVehicleGlowFarDistance = 4000.0f;

namespace vehicle_lights_detail {

// True when the clock hour lies in the light's daily window [on, off); a window whose end comes
// before its start runs past midnight. Plain comparisons, so every hour setting is defined.
inline bool InHourWindow(int32_t on, int32_t off, int32_t hour) noexcept {
  if (on <= off) return on <= hour && hour < off;
  return hour >= on || hour < off;
}

// The blink and pulse period: the PulsePeriod of the on and off times. It fits 32 unsigned bits, so
// the remainder of the unsigned host time needs only a 32-bit division.
inline uint32_t LightPeriod(const VehicleLight& light) noexcept {
  return PulsePeriod(light.OnTime, light.OffTime);
}

}  // namespace vehicle_lights_detail

// A pulsing light's alpha `t` ms into its pulse of `period` ms: the PeriodPulseShare times 255.
uint8_t PulseAlpha(uint32_t period, uint32_t t) noexcept;

// The pulses of one frame: all vehicles of a model pulse alike, so a pulse of the same period at
// the same time is worked out once, and its sine taken once, however many vehicles show it. Kept
// on the stack for one frame.
class FramePulses {
 public:
  uint8_t operator()(uint32_t period, uint32_t t) noexcept {
    for (const Pulse& pulse : pulses_) {
      if (pulse.period == period && pulse.t == t && pulse.known) return pulse.alpha;
    }
    Pulse& pulse = pulses_[next_++ % pulses_.size()];
    pulse = {period, t, PulseAlpha(period, t), true};
    return pulse.alpha;
  }

 private:
  struct Pulse {
    uint32_t period = 0, t = 0;
    uint8_t alpha = 0;
    bool known = false;
  };
  std::array<Pulse, 4> pulses_{};
  uint32_t next_ = 0;
};

// The light's alpha at host time `now` (ms) and clock hour `hour`: 0 before its start delay (an
// unsigned comparison) and outside its hour window; then by its type 255 steady, 255 or 0 blinking
// (each period opens with its lit part), or a sine pulse. The period is LightPeriod. Defined for
// every setting.
inline uint8_t LightAlpha(const VehicleLight& light, uint32_t now, uint8_t hour,
                          FramePulses& pulses) noexcept {
  const auto start_delay = static_cast<uint32_t>(light.StartDelay);
  if (now < start_delay) return 0;
  const uint32_t t = now - start_delay;
  using vehicle_lights_detail::InHourWindow;
  using vehicle_lights_detail::LightPeriod;
  if (light.HourOn != -1 && !InHourWindow(light.HourOn, light.HourOff, hour)) return 0;
  if (light.Type == ElementType::Blink) return int64_t{t % LightPeriod(light)} < light.OnTime ? 255 : 0;
  if (light.Type == ElementType::Pulse) return pulses(LightPeriod(light), t);
  return 255;
}

// The same for a light on its own.
inline uint8_t LightAlpha(const VehicleLight& light, uint32_t now, uint8_t hour) noexcept {
  FramePulses pulses;
  return LightAlpha(light, now, hour, pulses);
}

using LightVector = std::array<float, 3>;

// The host's view of one live vehicle: its position and axes, read once per frame.
struct VehicleFrame {
  uint32_t object;  // address: the base of its glow ids
  LightVector position, axis1, axis2, axis3;
};

// V + x·A1 + y·A2 + z·A3 per component in single precision, added in that order.
inline LightVector AlongVehicle(const VehicleFrame& v, const LightVector& offset) noexcept {
  const float x = offset[0], y = offset[1], z = offset[2];
  return {v.position[0] + x * v.axis1[0] + y * v.axis2[0] + z * v.axis3[0],
          v.position[1] + x * v.axis1[1] + y * v.axis2[1] + z * v.axis3[1],
          v.position[2] + x * v.axis1[2] + y * v.axis2[2] + z * v.axis3[2]};
}

// Where a lit light's point light sits and where it points.
struct PointLightPlacement {
  LightVector position, direction;
};

// A fixed light at `glow`: the point light lies the distance factor of the way from the vehicle
// centre to the light, moved by the point-light offset along the axes; with point light at centre
// it points at the centre (the direction setting when it sits there).
PointLightPlacement FixedPointLight(const VehicleFrame& v, const LightVector& glow,
                                    const VehicleLightSettingsState& settings) noexcept;

// A custom light at `glow`: the point light sits at the vehicle centre with point light at centre,
// at the light otherwise, and always takes the direction setting.
PointLightPlacement CustomPointLight(const VehicleFrame& v, const LightVector& glow,
                                     const VehicleLightSettingsState& settings) noexcept;

namespace vehicle_lights_detail {

// The value of type T at a 32-bit host address, copied byte-wise so that no alignment is assumed.
template <typename T>
T ReadAt(uint32_t address) noexcept {
  T value;
  std::memcpy(&value, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), sizeof value);
  return value;
}

// Three consecutive floats at a 32-bit host address.
inline LightVector ReadVectorAt(uint32_t address) noexcept {
  return {ReadAt<float>(address), ReadAt<float>(address + 4), ReadAt<float>(address + 8)};
}

// Hands one light to the host: its glow, and its point light when one is due. Always inlined: a
// call per light would cost about as much as working out its position.
template <typename Host>
__attribute__((always_inline)) inline void EmitLight(const VehicleLight& light, uint32_t id,
                                                     bool fixed, const VehicleFrame& vehicle,
                                                     uint8_t alpha,
                                                     const VehicleLightSettingsState& settings) {
  const LightVector glow = AlongVehicle(vehicle, light.Offset);
  Host::RegisterGlow(id, light.Colour[0], light.Colour[1], light.Colour[2], alpha, glow.data(),
                     light.Size);
  if (!settings.EnablePointLight || alpha == 0 || !(light.PointLightBrightness > 0.0f)) return;
  const PointLightPlacement placed = fixed ? FixedPointLight(vehicle, glow, settings)
                                           : CustomPointLight(vehicle, glow, settings);
  // The point light takes the light's colour as it is, not scaled by the alpha.
  Host::AddPointLight(placed.position, placed.direction, light.PointLightBrightness,
                      static_cast<float>(light.Colour[0]) / 255.0f,
                      static_cast<float>(light.Colour[1]) / 255.0f,
                      static_cast<float>(light.Colour[2]) / 255.0f);
}

}  // namespace vehicle_lights_detail

// One frame of vehicle lights against the host set `Host` (see LiveVehicleHost). `Table` is
// VehicleLightTable or anything with its find() and end().
template <typename Host, typename Table>
void EmitVehicleLightsWith(const Table& table, const VehicleLightSettingsState& settings) {
  using vehicle_lights_detail::ReadAt;
  using vehicle_lights_detail::ReadVectorAt;
  if (!settings.VehicleLightsGlobalEnable) return;
  const uint32_t pool = Host::PoolAddress();
  if (pool == 0) return;
  const uint32_t first = ReadAt<uint32_t>(pool);
  const uint32_t flags = ReadAt<uint32_t>(pool + 4);
  const int32_t slots = ReadAt<int32_t>(pool + 8);
  // A pool without vehicle objects or slot flags has no vehicle to read (and would send every slot
  // but the first to a low address).
  if (first == 0 || flags == 0) return;
  // The host's timer and clock do not move while a frame's lights are handed over.
  const uint32_t now = Host::TimeMs();
  const uint8_t hour = Host::ClockHour();
  FramePulses pulses;

  for (int32_t i = 0; i < slots; ++i) {
    if (ReadAt<int8_t>(flags + static_cast<uint32_t>(i)) < 0) continue;  // a free slot
    // Address arithmetic in 32 bits, wrapping as the host's own does.
    const uint32_t object = first + static_cast<uint32_t>(i) * kVehicleStride;
    if (object == 0) continue;
    if (!(ReadAt<float>(object + kVehicleHealthOffset) > 0.0f)) continue;
    const auto model = static_cast<int32_t>(ReadAt<int16_t>(object + kVehicleModelOffset));
    const auto found = table.find(model);
    if (found == table.end()) continue;
    const VehicleLightSet& set = found->second;

    const VehicleFrame vehicle{object, ReadVectorAt(object + kVehiclePositionOffset),
                               ReadVectorAt(object + kVehicleAxesOffset),
                               ReadVectorAt(object + kVehicleAxesOffset + kVehicleAxisStride),
                               ReadVectorAt(object + kVehicleAxesOffset + 2 * kVehicleAxisStride)};
    for (uint32_t g = 0; g < kLightGroupCount; ++g) {
      const VehicleLight& light = set.LightGroups[g];
      if (!light.Enabled) continue;
      vehicle_lights_detail::EmitLight<Host>(light, object + kFixedLightIdBase + g, true, vehicle,
                                             LightAlpha(light, now, hour, pulses), settings);
    }
    uint32_t k = 0;
    for (const VehicleLight& light : set.CustomLights) {
      vehicle_lights_detail::EmitLight<Host>(light, object + kCustomLightIdBase + k++, false,
                                             vehicle, LightAlpha(light, now, hour, pulses),
                                             settings);
    }
  }
}

// The running host, as a set of static functions for EmitVehicleLightsWith.
struct LiveVehicleHost {
  static uint32_t PoolAddress() noexcept { return *HostVehiclePool; }
  static uint32_t TimeMs() noexcept { return HostTimeNow(); }
  static uint8_t ClockHour() noexcept { return HostClockHour(); }
  static void RegisterGlow(uint32_t id, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha,
                           const float* position, float size) {
    HostRegisterGlow(id, red, green, blue, alpha, position, size, kVehicleGlowFarDistance, 0);
  }
  static void AddPointLight(const LightVector& position, const LightVector& direction, float brightness,
                            float red, float green, float blue) {
    HostAddPointLight(0, position[0], position[1], position[2], direction[0], direction[1],
                      direction[2], brightness, red, green, blue, 0, 1);
  }
};

// One frame of vehicle lights against the running host.
void EmitVehicleLights(const VehicleLightTable& table, const VehicleLightSettingsState& settings);

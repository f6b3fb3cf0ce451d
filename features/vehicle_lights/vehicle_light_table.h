// What the vehicle lights are made of: the parameters of one light, the lights of one vehicle model
// and the table from model id to those lights. The loader fills them once at start-up; the emission
// only reads them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "features/flashing.h"

// The parameters of one light. The defaults are those of a custom light.
struct VehicleLight {
  std::array<float, 3> Offset{0.0f, 0.0f, 0.0f};  // along the vehicle's three axes
  std::array<uint8_t, 3> Colour{255, 255, 255};   // red, green, blue of the glow and point light
  ElementType Type = ElementType::Steady;
  int32_t OnTime = 0;                             // ms lit per blink period; on + off is the period
  int32_t OffTime = 0;                            // ms dark per blink period
  bool Enabled = false;                           // emitted at all
  float Size = 1.0f;                              // glow size handed to the host
  int32_t HourOn = -1;                            // first hour of the daily window; -1: no window
  int32_t HourOff = -1;                           // hour at which the window ends
  float PointLightBrightness = 0.0f;              // 0 or less: no point light
  int32_t StartDelay = 0;  // host ms before the light shows; also shifts the blink and pulse phase

  bool operator==(const VehicleLight&) const = default;
};

// The three fixed lights of a vehicle model, in the order they are loaded and emitted.
enum class LightGroup : uint8_t { Left, Right, Middle };
inline constexpr std::size_t kLightGroupCount = 3;

// The lights of one vehicle model.
struct VehicleLightSet {
  std::array<VehicleLight, kLightGroupCount> LightGroups;  // indexed by LightGroup
  std::vector<VehicleLight> CustomLights;                  // in ascending light number

  VehicleLight& operator[](LightGroup group) { return LightGroups[static_cast<std::size_t>(group)]; }
  const VehicleLight& operator[](LightGroup group) const {
    return LightGroups[static_cast<std::size_t>(group)];
  }
  bool operator==(const VehicleLightSet&) const = default;
};

// Vehicle model id to the model's lights. Vehicles carry 16-bit model ids, so a set stored under a
// number outside that range is kept but never matches a vehicle.
using VehicleLightTable = std::unordered_map<int32_t, VehicleLightSet>;

// The host items that the sky effects (the star field and the shooting stars) use beside the shared
// ones of plugin/host_interface.h: render states, the projection to the screen, the camera and the
// sprite texture. All are used at their fixed addresses, the same for every host build.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "plugin/host_build.h"
#include "plugin/host_interface.h"
#include "plugin/host_render_states.h"

inline constexpr uint32_t kHostSetRenderStateAddress = 0x649BA0;
inline constexpr uint32_t kHostProjectToScreenAddress = 0x5778B0;
inline constexpr uint32_t kHostCameraPositionAddress = 0x7E46B8;
inline constexpr uint32_t kHostCameraForwardAddress = 0x7E4698;
inline constexpr uint32_t kHostCameraRightAddress = 0x7E4688;
inline constexpr uint32_t kHostSpriteTextureAddress = 0x695538;

struct HostVector {
  float x, y, z;
};

using HostRenderStateRoutine = void (*)(uint32_t state, uint32_t value) noexcept;
// World point in; screen point (x, y, depth) and the sprite scale at that depth out. Non-zero when
// the point lies on the screen.
using HostProjectRoutine = uint8_t (*)(const HostVector* world, HostVector* screen, float* width_scale,
                                       float* height_scale, int32_t zero) noexcept;

inline void HostSetRenderState(uint32_t state, uint32_t value) {
  reinterpret_cast<HostRenderStateRoutine>(static_cast<uintptr_t>(kHostSetRenderStateAddress))(state,
                                                                                                value);
}

inline bool HostProjectToScreen(const HostVector& world, HostVector& screen, float& width_scale,
                                float& height_scale) {
  return reinterpret_cast<HostProjectRoutine>(static_cast<uintptr_t>(kHostProjectToScreenAddress))(
             &world, &screen, &width_scale, &height_scale, 0) != 0;
}

// True when the host's sky gate (resolved per build at load) lets the sky be drawn this frame.
inline bool HostSkyGateOpen() { return HostSkyGate() != 0; }

// Three consecutive host floats.
inline HostVector ReadHostVector(uint32_t address) noexcept {
  return {ReadHostVariable<float>(address), ReadHostVariable<float>(address + 4),
          ReadHostVariable<float>(address + 8)};
}

inline HostVector HostCameraPosition() noexcept { return ReadHostVector(kHostCameraPositionAddress); }

inline HostVector HostCameraForward() noexcept { return ReadHostVector(kHostCameraForwardAddress); }

inline HostVector HostCameraRight() noexcept { return ReadHostVector(kHostCameraRightAddress); }

// The raster handle of the host's sprite texture (the texture's first field), or 0 when there is
// no texture or it has no raster yet.
inline uint32_t HostSpriteRaster() noexcept {
  const uint32_t texture = ReadHostVariable<uint32_t>(kHostSpriteTextureAddress);
  if (texture == 0) return 0;
  return ReadHostVariable<uint32_t>(texture);
}

// Render states for additive sprites (the star field and the shooting stars): depth write off, the
// depth test as asked, vertex alpha on, source and destination blend one, so that each sprite adds
// its colour to the sky, and the sprite texture's raster bound.
template <typename Host>
void SetAdditiveSpriteStates(bool depth_test, uint32_t raster) {
  Host::SetRenderState(kRenderDepthWrite, 0);
  Host::SetRenderState(kRenderDepthTest, depth_test ? 1 : 0);
  Host::SetRenderState(kRenderVertexAlpha, 1);
  Host::SetRenderState(kRenderSourceBlend, kBlendOne);
  Host::SetRenderState(kRenderDestBlend, kBlendOne);
  Host::SetRenderState(kRenderTextureRaster, raster);
}

// The host's usual states back after additive sprites; the texture stays bound.
template <typename Host>
void RestoreSpriteStates() {
  Host::SetRenderState(kRenderVertexAlpha, 0);
  Host::SetRenderState(kRenderDepthWrite, 1);
  Host::SetRenderState(kRenderDepthTest, 1);
  Host::SetRenderState(kRenderSourceBlend, kBlendSourceAlpha);
  Host::SetRenderState(kRenderDestBlend, kBlendInverseSourceAlpha);
}

// The live host, as a set of static functions: the sky drawing routines and the shooting stars'
// simulation are templates over such a set, so that the same code can run against a recording
// stand-in in the tests.
struct LiveSkyHost {
  static uint32_t TimeMs() noexcept { return HostTimeNow(); }
  static float TimeStep() noexcept { return HostTimeStepNow(); }
  static bool SkyGateOpen() { return ::HostSkyGateOpen(); }
  static HostVector CameraPosition() noexcept { return ::HostCameraPosition(); }
  static HostVector CameraForward() noexcept { return ::HostCameraForward(); }
  static HostVector CameraRight() noexcept { return ::HostCameraRight(); }
  static uint32_t SpriteRaster() noexcept { return HostSpriteRaster(); }
  static int Rand() noexcept { return platform::HostRand(); }
  static uint8_t SceneCode() noexcept { return HostSceneCode(); }
  static uint8_t ClockHour() noexcept { return HostClockHour(); }
  static uint8_t ClockMinute() noexcept { return HostClockMinute(); }
  static void SetRenderState(uint32_t state, uint32_t value) { HostSetRenderState(state, value); }
  static bool Project(const HostVector& world, HostVector& screen, float& width_scale,
                      float& height_scale) {
    return HostProjectToScreen(world, screen, width_scale, height_scale);
  }
  static void DrawSprite(float x, float y, float z, float width, float height, uint8_t red,
                         uint8_t green, uint8_t blue, int32_t intensity, float recip_z, uint8_t alpha) {
    HostDrawSprite(x, y, z, width, height, red, green, blue, intensity, recip_z, alpha);
  }
};

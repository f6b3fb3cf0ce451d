// The host items that many features use, typed. Host routines are called at fixed addresses with the
// C calling convention (arguments pushed right to left, the caller removes them); fixed variables are
// read at their address unchanged. Items that differ per build are resolved at load (host_build.h).
#pragma once

#include <cstdint>

#include "plugin/host_build.h"

// The host's routines are the game's own code, which throws no C++ exception: they are typed
// noexcept, so that a hook whose own work cannot throw needs no unwinding around its call of the
// host and can hand the host's arguments on as they are.

// Host sprite routine: screen x, y, depth, width, height; red, green, blue (8-bit); an integer
// (the plugin passes 255); reciprocal depth; alpha (8-bit).
using HostSpriteRoutine = void (*)(float x, float y, float z, float width, float height, uint8_t red,
                                   uint8_t green, uint8_t blue, int32_t intensity, float recip_z,
                                   uint8_t alpha) noexcept;

// The same routine seen as eleven 32-bit slots and with its result: a hook hands on the whole slots
// it received (the host reads only the low 8 bits of red, green, blue and alpha) and can return
// what the routine returned.
using HostSpriteSlots = uint32_t (*)(float x, float y, float z, float width, float height, uint32_t red,
                                     uint32_t green, uint32_t blue, int32_t intensity, float recip_z,
                                     uint32_t alpha) noexcept;

// Host glow routine: id; red, green, blue, alpha; pointer to a world position (3 floats); size; far
// distance; an integer; six zeros; 1.5.
using HostGlowRoutine = uint32_t (*)(uint32_t id, uint8_t red, uint8_t green, uint8_t blue,
                                     uint8_t alpha, const float* position, float size, float far_distance,
                                     int32_t arg9, int32_t arg10, int32_t arg11, int32_t arg12,
                                     int32_t arg13, int32_t arg14, int32_t arg15,
                                     float last) noexcept;

inline constexpr uint32_t kHostSceneCodeAddress = 0xA10A42;
inline constexpr uint32_t kHostClockHourAddress = 0xA10B6B;
inline constexpr uint32_t kHostClockMinuteAddress = 0xA10B92;
inline constexpr uint32_t kHostDrawSpriteAddress = 0x576FE0;
inline constexpr uint32_t kHostRegisterGlowAddress = 0x5427A0;

// Reads a host variable at its fixed address.
template <typename T>
inline T ReadHostVariable(uint32_t address) noexcept {
  return *reinterpret_cast<const volatile T*>(static_cast<uintptr_t>(address));
}

// Scene code byte: 1, 2, 3, 5 and 6 suppress the sky effects.
inline uint8_t HostSceneCode() noexcept { return ReadHostVariable<uint8_t>(kHostSceneCodeAddress); }

// True for the scene codes that suppress the sky effects.
inline bool SceneSuppressesSky(uint8_t code) noexcept {
  return code == 1 || code == 2 || code == 3 || code == 5 || code == 6;
}

// Hour of the game clock, 0 to 23.
inline uint8_t HostClockHour() noexcept { return ReadHostVariable<uint8_t>(kHostClockHourAddress); }

// Minute of the game clock, 0 to 59.
inline uint8_t HostClockMinute() noexcept { return ReadHostVariable<uint8_t>(kHostClockMinuteAddress); }

// The host's millisecond counter, read through the reference resolved at load.
inline uint32_t HostTimeNow() noexcept { return *HostTimeMs; }

// The host's time step of the current frame, read through the reference resolved at load.
inline float HostTimeStepNow() noexcept { return *HostTimeStep; }

inline void HostDrawSprite(float x, float y, float z, float width, float height, uint8_t red,
                           uint8_t green, uint8_t blue, int32_t intensity, float recip_z,
                           uint8_t alpha) noexcept {
  reinterpret_cast<HostSpriteRoutine>(static_cast<uintptr_t>(kHostDrawSpriteAddress))(
      x, y, z, width, height, red, green, blue, intensity, recip_z, alpha);
}

inline uint32_t HostRegisterGlow(uint32_t id, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha,
                                 const float* position, float size, float far_distance,
                                 int32_t arg9) noexcept {
  return reinterpret_cast<HostGlowRoutine>(static_cast<uintptr_t>(kHostRegisterGlowAddress))(
      id, red, green, blue, alpha, position, size, far_distance, arg9, 0, 0, 0, 0, 0, 0, 1.5f);
}

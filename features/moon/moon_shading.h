// How the moon sprite that the host draws is tinted, resized, blinked or pulsed. Pure arithmetic on
// the settings, the host's sprite arguments and the host's millisecond counter, with no host access.
#pragma once

#include <array>
#include <cstdint>

#include "features/moon/moon_settings.h"

// The eleven stack slots of one host sprite call. The 8-bit arguments are kept as the whole 32-bit
// slot the host pushed: the host reads only their low 8 bits, and whatever it left above them is
// handed on untouched.
struct MoonSprite {
  float x, y, z, width, height;
  uint32_t red, green, blue;
  int32_t intensity;
  float recip_z;
  uint32_t alpha;
};

// Sum of the on and off times without 32-bit overflow.
inline int64_t MoonPeriod(int32_t on_time, int32_t off_time) noexcept {
  return int64_t{on_time} + int64_t{off_time};
}

// Blink: 255 while BlinkLit (the signed host time in the lit part of its cycle), 0 in the dark
// part; `host_alpha` when the period is not positive.
uint8_t MoonBlinkAlpha(int32_t on_time, int32_t off_time, int32_t host_time, uint8_t host_alpha) noexcept;

// Pulse: brightness factor 0..1, a sine of the unsigned host time whose period is on + off
// milliseconds, or 1000 when that sum is not positive.
float MoonPulseBrightness(int32_t on_time, int32_t off_time, uint32_t host_time) noexcept;

// One colour channel: the low 8 bits of truncate(tint / 255 * channel * brightness).
uint8_t MoonTintChannel(uint8_t tint, uint8_t channel, float brightness) noexcept;

// `slot` with its low 8 bits replaced by `value`.
inline uint32_t ReplaceLowByte(uint32_t slot, uint8_t value) noexcept { return (slot & ~0xFFu) | value; }

// True for settings under which ShadeMoonSprite leaves every slot as the host drew it: steady,
// the default colour, size 1.
inline bool LeavesMoonAsDrawn(const MoonSettingsState& settings) noexcept {
  return settings.Type != ElementType::Blink && settings.Type != ElementType::Pulse && settings.Colour[0] == 255 &&
         settings.Colour[1] == 255 && settings.Colour[2] == 255 && settings.Size == 1.0f;
}

// Adjusts the host's moon sprite in place for the settings at the given host time. Position, depth,
// the pass-through integer and 1/z are never touched; nothing is touched that the settings leave as
// the host drew it, so with the defaults every slot stays bit for bit as received.
void ShadeMoonSprite(const MoonSettingsState& settings, uint32_t host_time, MoonSprite& sprite) noexcept;

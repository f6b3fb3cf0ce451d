// The pulse of the plane and trail glows: an alpha that swings with a period of 2500 ms.
#pragma once

#include <cstdint>

#include "features/flashing.h"

// Radians per millisecond of the glow pulse: a period of 2500 ms.
inline constexpr float kGlowPulseRate = 0.0025132741f;

// A glow's alpha at strength `share` (0 to 1): the low 8 bits of share * 255 truncated. The product
// lies within 0 to 255, so the truncation is always defined.
inline uint8_t GlowAlpha(float share) noexcept {
  return static_cast<uint8_t>(static_cast<int32_t>(share * 255.0f));
}

// The pulse's alpha: GlowAlpha of the PulseShare at kGlowPulseRate from `phase`.
inline uint8_t GlowPulseAlpha(uint32_t host_time, float phase) noexcept {
  return GlowAlpha(PulseShare(host_time, kGlowPulseRate, phase));
}

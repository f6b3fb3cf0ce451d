// The star field's brightness: the hour window with its fades, the per-star twinkle and the colour
// scaling. Pure functions of the settings and the host's clock and timer.
#pragma once

#include <cmath>
#include <cstdint>

#include "features/flashing.h"
#include "features/float_conversions.h"
#include "features/stars/star_field.h"

// The per-star helpers are inline: the drawing calls them for every star of every frame.

// Field alpha 0 to 255 at the game clock's hour and minute: the window from MinHour to MaxHour
// (past midnight when MaxHour lies before MinHour), faded in and out over the fade durations.
// 0 outside the window and at a boundary minute whose fade is on. Counts in 64-bit minutes, so
// every 32-bit hour is exact.
int32_t FieldAlpha(const StarSettings& settings, uint32_t hour, uint32_t minute) noexcept;

// The twinkle of star `index` runs at this many radians per millisecond: a period of
// (speed + 0.01 * index) seconds.
inline float StarTwinkleRate(int32_t index, float flicker_speed) noexcept {
  return 6.2831855f / ((static_cast<float>(index) * 0.01f + flicker_speed) * 1000.0f);
}

// The twinkle's phase at time 0, in radians: each star starts at its own point of its wave.
inline float StarTwinkleOffset(int32_t index) noexcept { return static_cast<float>(index) * 0.3f; }

// Brightness share at twinkle phase `phase` (rate * time + offset, see above): a sine of which
// FlickerDepth swings and the rest stays steady.
inline float StarTwinkleAt(float phase, float flicker_depth) noexcept {
  return SineShare(phase) * flicker_depth + (1.0f - flicker_depth);
}

// Brightness share of star `index` at host time `time_ms`.
inline float StarTwinkle(int32_t index, float flicker_speed, float flicker_depth,
                         uint32_t time_ms) noexcept {
  const float phase = StarTwinkleRate(index, flicker_speed) * static_cast<float>(time_ms) +
                      StarTwinkleOffset(index);
  return StarTwinkleAt(phase, flicker_depth);
}

// twinkle * field alpha, truncated and limited to 0 to 255 (NaN gives 0).
inline int32_t StarAlpha(float twinkle, int32_t field_alpha) noexcept {
  return SaturateToByte(twinkle * static_cast<float>(field_alpha));
}

// Colours from 0 whose product with any star alpha (0 to 255) fits 32 bits: ScaleChannel needs
// no 64-bit arithmetic for them, and no sign.
inline bool ScalesUnsigned32(int32_t colour) noexcept {
  return colour >= 0 && colour <= std::numeric_limits<int32_t>::max() / 255;
}

// The low 8 bits of colour * star alpha / 255, in exact integer arithmetic truncated toward zero.
// `star_alpha` is 0 to 255.
inline uint8_t ScaleChannel(int32_t colour, int32_t star_alpha) noexcept {
  if (ScalesUnsigned32(colour)) {
    return static_cast<uint8_t>(static_cast<uint32_t>(colour * star_alpha) / 255u);
  }
  return static_cast<uint8_t>(int64_t{colour} * star_alpha / 255);
}

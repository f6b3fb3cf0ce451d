// The star field's brightness: the hour window with its fades, the per-star twinkle and the colour
// scaling. Pure functions of the settings and the host's clock and timer.
#pragma once

#include <cstdint>

#include "features/stars/star_field.h"

// Truncates toward zero like a cast, but defined for every float: NaN gives 0, values beyond the
// 32-bit range give its nearest end.
int32_t TruncateToInt(float value) noexcept;

// Field alpha 0 to 255 at the game clock's hour and minute: the window from MinHour to MaxHour
// (past midnight when MaxHour lies before MinHour), faded in and out over the fade durations.
// 0 outside the window and at a boundary minute whose fade is on. Counts in 64-bit minutes, so
// every 32-bit hour is exact.
int32_t FieldAlpha(const StarSettings& settings, uint32_t hour, uint32_t minute) noexcept;

// Brightness share of star `index` at host time `time_ms`: a sine of period (speed + 0.01 * index)
// seconds, FlickerDepth of it swinging and the rest steady.
float StarTwinkle(int32_t index, float flicker_speed, float flicker_depth, uint32_t time_ms) noexcept;

// twinkle * field alpha, truncated and limited to 0 to 255.
int32_t StarAlpha(float twinkle, int32_t field_alpha) noexcept;

// The low 8 bits of colour * star alpha / 255, in exact integer arithmetic truncated toward zero.
uint8_t ScaleChannel(int32_t colour, int32_t star_alpha) noexcept;

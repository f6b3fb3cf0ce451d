#include "features/stars/star_brightness.h"

#include <cmath>
#include <limits>

// Divisions by zero and NaNs below rely on IEEE arithmetic.
static_assert(std::numeric_limits<float>::is_iec559);

namespace {

constexpr int64_t kMinutesPerDay = 1440;

// Share of a fade that has passed after `elapsed` of its `length` minutes. A fade of no length
// keeps its boundary minute dark instead of dividing 0 by 0.
float FadeShare(int64_t elapsed, float length) noexcept {
  if (elapsed <= 0 || !(length > 0.0f)) return 0.0f;
  return static_cast<float>(elapsed) / length;
}

// Limits to 0 to 1; NaN counts as 0.
float ClampUnit(float value) noexcept {
  if (!(value > 0.0f)) return 0.0f;
  return value < 1.0f ? value : 1.0f;
}

}  // namespace

int32_t TruncateToInt(float value) noexcept {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (value < -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t FieldAlpha(const StarSettings& s, uint32_t hour, uint32_t minute) noexcept {
  const int64_t start = int64_t{s.MinHour} * 60;
  int64_t end = int64_t{s.MaxHour} * 60;
  if (end < start) end += kMinutesPerDay;
  int64_t now = int64_t{hour} * 60 + minute;
  if (now < start) now += kMinutesPerDay;
  if (now < start || now > end) return 0;

  const float fade_in = s.StarFadeInDuration * 60.0f;
  const float fade_out = s.StarFadeOutDuration * 60.0f;
  float factor = 1.0f;
  if (s.StarFadeInEnable && static_cast<float>(now) <= static_cast<float>(start) + fade_in) {
    factor = FadeShare(now - start, fade_in);
  } else if (s.StarFadeOutEnable && static_cast<float>(now) >= static_cast<float>(end) - fade_out) {
    factor = FadeShare(end - now, fade_out);
  }
  return static_cast<int32_t>(ClampUnit(factor) * 255.0f);
}

float StarTwinkle(int32_t index, float flicker_speed, float flicker_depth, uint32_t time_ms) noexcept {
  const float i = static_cast<float>(index);
  const float phase =
      6.2831855f / ((i * 0.01f + flicker_speed) * 1000.0f) * static_cast<float>(time_ms) + i * 0.3f;
  const float wave = static_cast<float>(std::sin(static_cast<double>(phase)));
  return (wave + 1.0f) * 0.5f * flicker_depth + (1.0f - flicker_depth);
}

int32_t StarAlpha(float twinkle, int32_t field_alpha) noexcept {
  const int32_t alpha = TruncateToInt(twinkle * static_cast<float>(field_alpha));
  if (alpha < 0) return 0;
  return alpha > 255 ? 255 : alpha;
}

uint8_t ScaleChannel(int32_t colour, int32_t star_alpha) noexcept {
  // 64-bit: colour * 255 does not fit 32 bits for large colours.
  return static_cast<uint8_t>(int64_t{colour} * star_alpha / 255);
}

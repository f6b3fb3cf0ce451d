#include "features/stars/star_brightness.h"

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

}  // namespace

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

// Float to integer conversions that are defined for every float, NaN and infinities included, so
// that no settings value can make one undefined; and the clamp of a share to 0 to 1.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Truncates toward zero like a cast, but defined for every float: NaN gives 0, values beyond the
// 32-bit range give its nearest end.
inline int32_t TruncateToInt(float value) noexcept {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (value < -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// Truncates toward zero within 0 to 255: NaN and whatever is 0 or less give 0, 255 or more gives 255.
inline uint8_t SaturateToByte(float value) noexcept {
  if (!(value > 0.0f)) return 0;
  if (value >= 255.0f) return 255;
  return static_cast<uint8_t>(static_cast<int32_t>(value));
}

// Limits to 0 to 1; NaN counts as 0.
inline float ClampUnit(float value) noexcept {
  if (!(value > 0.0f)) return 0.0f;
  return value < 1.0f ? value : 1.0f;
}

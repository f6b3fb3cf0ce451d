// The pulse of the plane and trail glows: an alpha that swings with a period of 2500 ms.
#pragma once

#include <cmath>
#include <cstdint>

// The low 8 bits of (sin x + 1) * 0.5 * 255 truncated, x = float(host_time) * 0.0025132741 + phase.
// Single precision throughout; only the sine is taken in double and rounded back to float. The
// product lies within 0 to 255, so the truncation is always defined.
inline uint8_t GlowPulseAlpha(uint32_t host_time, float phase) noexcept {
  const float x = static_cast<float>(host_time) * 0.0025132741f + phase;
  const float sine = static_cast<float>(std::sin(static_cast<double>(x)));
  return static_cast<uint8_t>(static_cast<int32_t>((sine + 1.0f) * 0.5f * 255.0f));
}

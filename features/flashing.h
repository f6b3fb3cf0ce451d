// How the lights of the features flash: the sine pulse shared by the sky sign and the plane and
// trail glows. Single precision throughout; only the sine is taken in double and rounded back to
// float.
#pragma once

#include <cmath>
#include <cstdint>

// Share 0 to 1 of a pulse at host time `time` (ms): (sin x + 1) * 0.5 with
// x = float(time) * rate + phase, rate in radians per millisecond and phase in radians.
inline float PulseShare(uint32_t time, float rate, float phase) noexcept {
  const float x = static_cast<float>(time) * rate + phase;
  const float sine = static_cast<float>(std::sin(static_cast<double>(x)));
  return (sine + 1.0f) * 0.5f;
}

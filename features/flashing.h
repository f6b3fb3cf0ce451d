// How the lights of the features flash: the blink rule shared by the moon, the sky sign and the
// trail glows, and the sine pulse shared by the sky sign and the plane and trail glows. Pulses are
// single precision throughout; only the sine is taken in double and rounded back to float.
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

// Blink: true while `time` (the host's millisecond counter taken as signed) lies in the lit part of
// a cycle of on + off milliseconds, summed without 32-bit overflow; always true when that sum is
// not positive. The remainder truncates toward zero: a negative time lies before a cycle start,
// below any positive on time, and so lit.
inline bool BlinkLit(int32_t on_time, int32_t off_time, int32_t time) noexcept {
  const int64_t period = int64_t{on_time} + int64_t{off_time};
  if (period <= 0) return true;
  // A period within 32 bits needs no 64-bit division.
  const int64_t into_cycle =
      period <= INT32_MAX ? time % static_cast<int32_t>(period) : time % period;
  return into_cycle < on_time;
}

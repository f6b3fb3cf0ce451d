// How the lights of the features flash: the flashing pattern of every light; the blink rule shared
// by the moon, the sky sign and the trail glows; the sine pulse at a rate and phase shared by the
// sky sign and the plane and trail glows; the sine pulse of a period shared by the moon and the
// vehicle lights. Pulses are single precision throughout; only the sine is taken in double and
// rounded back to float.
#pragma once

#include <cstdint>

#include "features/float_trig.h"

// How a light flashes: steady, blink (lit for its on time, dark for its off time) or pulse (a sine
// of the host's timer). The settings may hold any other number, which acts as Steady.
enum class ElementType : int32_t { Steady = 0, Blink = 1, Pulse = 2 };

// Share 0 to 1 of a pulse at `x` radians: (sin x + 1) * 0.5.
inline float SineShare(float x) noexcept { return (SinF(x) + 1.0f) * 0.5f; }

// Share 0 to 1 of a pulse at host time `time` (ms): SineShare of float(time) * rate + phase, rate in
// radians per millisecond and phase in radians.
inline float PulseShare(uint32_t time, float rate, float phase) noexcept {
  return SineShare(static_cast<float>(time) * rate + phase);
}

// The period of on + off milliseconds, summed in 64 bits so that no pair of settings overflows;
// 1000 when the sum is not positive. At most 2^32 - 2, so it fits 32 unsigned bits.
inline uint32_t PulsePeriod(int32_t on_time, int32_t off_time) noexcept {
  const int64_t period = int64_t{on_time} + int64_t{off_time};
  return period > 0 ? static_cast<uint32_t>(period) : 1000;
}

// Share 0 to 1 of a pulse of `period` ms (not 0), `time` ms into it: SineShare of
// 2 pi / (period / 1000 * 1000) * time.
inline float PeriodPulseShare(uint32_t period, uint32_t time) noexcept {
  const float two_pi = 6.283185307179586f;
  const float angular = two_pi / (static_cast<float>(period) / 1000.0f * 1000.0f);
  return SineShare(angular * static_cast<float>(time));
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

#include "features/sky_logo/sky_logo_drawing.h"

#include <limits>

#include "features/float_conversions.h"
#include "platform/host_guard.h"
#include "plugin/host_interface.h"

// The fades below rely on IEEE division and comparisons with NaN.
static_assert(std::numeric_limits<float>::is_iec559);

namespace {

constexpr int64_t kMinutesPerDay = 1440;

// The body of both hooks: decides how strongly the sprite shows and draws it with `routine`.
uint32_t DrawLogoSprite(uint32_t routine, const SkyLogoElement& element, const SkyLogoWindow& window,
                        LogoPulse pulse, float x, float y, float z, float width, float height,
                        float recip_z) {
  if (SceneSuppressesSky(HostSceneCode())) return 0;
  const float fade = HourWindowFade(window, HostClockHour(), HostClockMinute());
  if (!(fade > 0.0f)) return 0;
  // A steady element would get 1 * fade, which is fade; not asking keeps its draw shorter.
  const bool flashes = element.Type == ElementType::Blink || element.Type == ElementType::Pulse;
  const float share = flashes ? ElementBlinkFactor(element, pulse, HostTimeNow()) * fade : fade;
  // At full strength every channel is its colour.
  uint32_t red = element.Colour[0], green = element.Colour[1], blue = element.Colour[2];
  if (share != 1.0f) {
    red = LogoChannel(element.Colour[0], share);
    green = LogoChannel(element.Colour[1], share);
    blue = LogoChannel(element.Colour[2], share);
  }
  // In the dark phase of a blink the sprite is still drawn, black. Both sprite routines take the
  // same eleven slots; the 8-bit ones hold 0 to 255.
  return reinterpret_cast<HostSpriteSlots>(static_cast<uintptr_t>(routine))(
      x, y, z, element.Size * width, element.Size * height, red, green, blue, 255, recip_z, 255);
}

}  // namespace

namespace {

// HourWindowFade in minutes of type Minutes, which must hold every minute it works with.
template <typename Minutes>
float WindowFade(const SkyLogoWindow& window, uint32_t hour, uint32_t minute) noexcept {
  const Minutes start = Minutes{window.MinHour} * 60;
  Minutes end = Minutes{window.MaxHour} * 60;
  const bool past_midnight = end < start;
  if (past_midnight) end += kMinutesPerDay;
  Minutes now = static_cast<Minutes>(hour) * 60 + static_cast<Minutes>(minute);
  if (past_midnight && now < start) now += kMinutesPerDay;
  if (now < start || now > end) return 0.0f;

  // A negative or NaN length fails its test, so that fade does nothing. A fade of no length divides
  // 0 by 0 at its boundary minute, and ClampUnit takes that NaN as 0.
  const float fade_in = window.FadeInDuration * 60.0f;
  if (window.FadeInEnable && static_cast<float>(now) <= static_cast<float>(start) + fade_in) {
    return ClampUnit(static_cast<float>(now - start) / fade_in);
  }
  const float fade_out = window.FadeOutDuration * 60.0f;
  if (window.FadeOutEnable && static_cast<float>(now) >= static_cast<float>(end) - fade_out) {
    return ClampUnit(static_cast<float>(end - now) / fade_out);
  }
  return 1.0f;
}

}  // namespace

float HourWindowFade(const SkyLogoWindow& window, uint32_t hour, uint32_t minute) noexcept {
  // Hours of ordinary size, and the clock's hour and minute, keep every minute within 32 bits,
  // where the arithmetic is cheaper and the values the same.
  constexpr int32_t kOrdinaryHours = 1000000;
  const bool ordinary = window.MinHour > -kOrdinaryHours && window.MinHour < kOrdinaryHours &&
                        window.MaxHour > -kOrdinaryHours && window.MaxHour < kOrdinaryHours &&
                        hour < 1u << 16 && minute < 1u << 16;
  if (ordinary) return WindowFade<int32_t>(window, hour, minute);
  return WindowFade<int64_t>(window, hour, minute);
}

uint8_t LogoChannel(uint8_t colour, float share) noexcept {
  return SaturateToByte(static_cast<float>(colour) * share);
}

uint32_t LogoRSpriteHook(float x, float y, float z, float width, float height, uint32_t /*red*/,
                         uint32_t /*green*/, uint32_t /*blue*/, int32_t /*intensity*/, float recip_z,
                         uint32_t /*alpha*/) {
  return platform::GuardHostCall(uint32_t{0}, [&] {
    return DrawLogoSprite(kHostDrawSpriteAltAddress, SkyLogoSettings.R, SkyLogoSettings.RWindow, kRPulse,
                          x, y, z, width, height, recip_z);
  });
}

uint32_t LogoStarSpriteHook(float x, float y, float z, float width, float height, uint32_t /*red*/,
                            uint32_t /*green*/, uint32_t /*blue*/, int32_t /*intensity*/, float recip_z,
                            uint32_t /*alpha*/) {
  return platform::GuardHostCall(uint32_t{0}, [&] {
    return DrawLogoSprite(kHostDrawSpriteAddress, SkyLogoSettings.Star, SkyLogoSettings.StarWindow,
                          kStarPulse, x, y, z, width, height, recip_z);
  });
}

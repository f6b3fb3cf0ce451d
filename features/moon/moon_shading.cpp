#include "features/moon/moon_shading.h"

#include "features/flashing.h"

uint8_t MoonBlinkAlpha(int32_t on_time, int32_t off_time, int32_t host_time, uint8_t host_alpha) noexcept {
  if (MoonPeriod(on_time, off_time) <= 0) return host_alpha;
  return BlinkLit(on_time, off_time, host_time) ? 255 : 0;
}

float MoonPulseBrightness(int32_t on_time, int32_t off_time, uint32_t host_time) noexcept {
  return PeriodPulseShare(PulsePeriod(on_time, off_time), host_time);
}

uint8_t MoonTintChannel(uint8_t tint, uint8_t channel, float brightness) noexcept {
  // tint / 255 <= 1 and brightness in [0, 1] keep the product within [0, 255], so the truncation
  // to an integer is always defined.
  const float scaled = static_cast<float>(tint) / 255.0f * static_cast<float>(channel) * brightness;
  return static_cast<uint8_t>(static_cast<int32_t>(scaled));
}

void ShadeMoonSprite(const MoonSettingsState& settings, uint32_t host_time, MoonSprite& sprite) noexcept {
  float brightness = 1.0f;
  if (settings.Type == ElementType::Blink) {
    const auto host_alpha = static_cast<uint8_t>(sprite.alpha);
    const auto signed_time = static_cast<int32_t>(host_time);  // same bits, taken as signed
    sprite.alpha = ReplaceLowByte(
        sprite.alpha, MoonBlinkAlpha(settings.OnTime, settings.OffTime, signed_time, host_alpha));
  } else if (settings.Type == ElementType::Pulse) {
    brightness = MoonPulseBrightness(settings.OnTime, settings.OffTime, host_time);
    sprite.alpha = ReplaceLowByte(sprite.alpha, 255);
  }

  // A tint of 255 at brightness 1 gives every channel back exactly: the default colour leaves the
  // slots as they are without working that out.
  const std::array<uint8_t, 3>& tint = settings.Colour;
  const bool untinted = tint[0] == 255 && tint[1] == 255 && tint[2] == 255;
  if (!untinted || brightness != 1.0f) {
    uint32_t* const channels[3] = {&sprite.red, &sprite.green, &sprite.blue};
    for (int i = 0; i < 3; ++i) {
      const auto channel = static_cast<uint8_t>(*channels[i]);
      *channels[i] = ReplaceLowByte(*channels[i], MoonTintChannel(tint[i], channel, brightness));
    }
  }

  // Multiplying by 1 would quieten a signalling NaN the host passed, so size 1 leaves the
  // floats alone rather than multiplying.
  if (settings.Size != 1.0f) {
    sprite.width *= settings.Size;
    sprite.height *= settings.Size;
  }
}

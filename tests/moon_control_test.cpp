#include <sys/mman.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include <gtest/gtest.h>

#include "features/moon/moon_control.h"
#include "features/moon/moon_drawing.h"
#include "features/moon/moon_settings.h"
#include "features/moon/moon_shading.h"
#include "injector/patching.h"

namespace {

// A host moon sprite whose slots carry what float arithmetic or a re-extended byte would lose:
// NaN payloads (signalling ones in width and height), a negative zero, a subnormal, and bits above
// the low byte of every 8-bit argument. Filled as raw slots so that no float is loaded.
MoonSprite OddSprite() {
  const uint32_t slots[11] = {0xFFC0BEEFu, 0x80000000u, 0x00000001u, 0x7FA12345u, 0xFF812345u, 0xDEAD00C8u,
                              0x12345680u, 0xFFFFFF01u, 0x80000000u, 0x7F800001u, 0xABCDEF7Fu};
  static_assert(sizeof(MoonSprite) == sizeof slots);
  MoonSprite sprite;
  std::memcpy(&sprite, slots, sizeof slots);
  return sprite;
}

MoonSprite HostSprite(uint8_t alpha = 77) {
  return MoonSprite{100.0f, 50.0f, 0.5f, 20.0f, 10.0f, 200, 200, 200, 255, 2.0f, alpha};
}

TEST(MoonShading, DefaultsLeaveEverySlotBitForBit) {
  const MoonSettingsState defaults;
  for (const uint32_t time : {0u, 199u, 200u, 0x80000000u, 0xFFFFFFFFu}) {
    const MoonSprite received = OddSprite();
    MoonSprite drawn = received;
    ShadeMoonSprite(defaults, time, drawn);
    EXPECT_EQ(std::memcmp(&received, &drawn, sizeof drawn), 0) << "time " << time;
  }
}

TEST(MoonShading, BlinkTakesTimeSignedAndSumsBeyond32Bits) {
  MoonSettingsState blink;
  blink.Type = ElementType::Blink;
  // Signed times below 0 leave a remainder in (-1000, 0], which is always lit; only the low byte of
  // the alpha slot changes.
  for (const uint32_t time : {0xFFFFFFFFu, 0x80000000u}) {
    MoonSprite sprite = HostSprite();
    sprite.alpha = 0x5A5A5A11u;
    ShadeMoonSprite(blink, time, sprite);
    EXPECT_EQ(sprite.alpha, 0x5A5A5AFFu) << "time " << time;
  }
  // No positive period: the host's alpha stays.
  EXPECT_EQ(MoonBlinkAlpha(300, -300, 100, 77), 77);
  EXPECT_EQ(MoonBlinkAlpha(INT32_MIN, INT32_MIN, 100, 77), 77);
  // Sums beyond 32 bits are taken as they are: 2^31 here, so the time INT32_MAX is the cycle's
  // last millisecond (dark, the on time being INT32_MAX) and 5 is lit.
  EXPECT_EQ(MoonBlinkAlpha(INT32_MAX, 1, INT32_MAX, 77), 0);
  EXPECT_EQ(MoonBlinkAlpha(INT32_MAX, 1, 5, 77), 255);
  EXPECT_EQ(MoonBlinkAlpha(10, INT32_MAX, INT32_MAX, 77), 0);
}

TEST(MoonShading, PulsePeriodIsOnPlusOff) {
  MoonSettingsState pulse;
  pulse.Type = ElementType::Pulse;
  pulse.OnTime = 1500;
  pulse.OffTime = 500;
  // Period 2000: full at a quarter (500), dark at three quarters (1500); a period of 1000 would
  // give half brightness (100) at both.
  for (const auto& [time, red] : {std::pair{500u, 200u}, {1500u, 0u}}) {
    MoonSprite sprite = HostSprite();
    sprite.alpha = 0x01020300u;
    ShadeMoonSprite(pulse, time, sprite);
    EXPECT_EQ(sprite.red, red) << "time " << time;
    EXPECT_EQ(sprite.alpha, 0x010203FFu);
  }
}

TEST(MoonSettingsConversion, StopsAtTheFirstBadKeyAndKeepsUnreadChannels) {
  MoonSettingsState settings;
  settings.Colour = {1, 2, 3};
  ConvertMoonSettings({{"Moon_Color", "10 20,30"}, {"Moon_Size", "2.5x"}, {"Moon_Type", "blink"},
                    {"Moon_OnTime", "5"}, {"Moon_OffTime", "6"}},
                   settings);
  EXPECT_EQ(settings.Colour, (std::array<uint8_t, 3>{10, 20, 3}));
  EXPECT_EQ(settings.Size, 2.5f);
  EXPECT_EQ(settings.Type, ElementType::Steady);
  EXPECT_EQ(settings.OnTime, 200);
  EXPECT_EQ(settings.OffTime, 800);
}

TEST(MoonControlStart, SiteBecomesACallOfTheHook) {
  void* page = mmap(nullptr, 0x1000, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  auto* site = static_cast<uint8_t*>(page) + 0x10;
  ASSERT_EQ(mprotect(page, 0x1000, PROT_READ | PROT_WRITE), 0);
  // E8 E2 70 03 00: the host's CALL of its sprite routine, 0x370E2 past the next instruction.
  const uint8_t host_call[5] = {0xE8, 0xE2, 0x70, 0x03, 0x00};
  std::memcpy(site, host_call, 5);
  ASSERT_EQ(mprotect(page, 0x1000, PROT_READ | PROT_EXEC), 0);

  StartMoonControl(site);

  const auto here = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(site));
  const auto hook = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&MoonSpriteHook));
  uint32_t displacement;
  std::memcpy(&displacement, site + 1, 4);
  EXPECT_EQ(site[0], 0xE8);
  EXPECT_EQ(here + 5 + displacement, hook);
  EXPECT_EQ(site[5], 0x00);  // nothing beyond the 5 bytes
  munmap(page, 0x1000);
}

}  // namespace

// The sky sign's arithmetic (hour window, flashing, colour) and settings, and its start-up patches on
// the emulated image. Drawing through the host's sites is covered by the logo_* scenarios.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "features/sky_logo/sky_logo.h"
#include "features/sky_logo/sky_logo_drawing.h"
#include "hostsim/hostsim.h"
#include "hostsim/machine_code.h"
#include "tests/isolated.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

SkyLogoWindow Window(int32_t min_hour, int32_t max_hour, float fade_in = 1.5f, float fade_out = 1.5f,
                     bool fade_in_on = true, bool fade_out_on = true) {
  return {min_hour, max_hour, fade_in_on, fade_out_on, fade_in, fade_out};
}

TEST(HourWindowFade, MinutesOfTheDayWithFades) {
  struct Case {
    SkyLogoWindow window;
    uint32_t hour, minute;
    float expected;
  };
  const SkyLogoWindow defaults;
  const Case cases[] = {
      // 20:00 to 06:00 with 90-minute fades: both ends dark, half way at 20:45 and 05:15.
      {defaults, 20, 0, 0.0f},
      {defaults, 20, 45, 0.5f},
      {defaults, 21, 0, 2.0f / 3.0f},
      {defaults, 21, 30, 1.0f},
      {defaults, 0, 0, 1.0f},
      {defaults, 4, 30, 1.0f},
      {defaults, 5, 15, 0.5f},
      {defaults, 6, 0, 0.0f},
      {defaults, 19, 59, 0.0f},
      // 01:00 to 05:00 does not wrap: 00:30 is outside, not the next night's.
      {Window(1, 5), 0, 30, 0.0f},
      {Window(1, 5), 3, 0, 1.0f},
      // One minute long: dark while either fade is on, full with both off.
      {Window(3, 3), 3, 0, 0.0f},
      {Window(3, 3, 1.5f, 1.5f, false, true), 3, 0, 0.0f},
      {Window(3, 3, 1.5f, 1.5f, false, false), 3, 0, 1.0f},
      // Two hours with a one-hour fade-in and a 1.5-hour fade-out: the fade-in holds up to 21:00
      // (where the fade-out would give 2/3), the fade-out only after it.
      {Window(20, 22, 1.0f, 1.5f), 20, 30, 0.5f},
      {Window(20, 22, 1.0f, 1.5f), 21, 0, 1.0f},
      {Window(20, 22, 1.0f, 1.5f), 21, 15, 0.5f},
      // Fades of no length: the boundary minutes are dark (not 0/0), the next ones full.
      {Window(20, 6, 0.0f, 0.0f), 20, 0, 0.0f},
      {Window(20, 6, 0.0f, 0.0f), 20, 1, 1.0f},
      {Window(20, 6, 0.0f, 0.0f), 6, 0, 0.0f},
      // Negative and NaN lengths are no fade; an infinite one never lets the sprite up.
      {Window(20, 6, -1.0f, -1.0f), 20, 0, 1.0f},
      {Window(20, 6, kNaN, kNaN), 20, 0, 1.0f},
      {Window(20, 6, kNaN, kNaN), 6, 0, 1.0f},
      {Window(20, 6, kInf, 1.5f), 23, 0, 0.0f},
      // Hours beyond the day count as minutes: 20 to 25 ends at minute 1500 and does not wrap.
      {Window(20, 25), 23, 0, 1.0f},
      {Window(20, 25), 0, 30, 0.0f},
      // Hours whose minutes do not fit 32 bits: a window opening at hour 2e9 never shows, one
      // closing there shows all evening.
      {Window(2000000000, 6), 3, 0, 0.0f},
      {Window(20, 2000000000), 23, 0, 1.0f},
      {Window(INT32_MIN, INT32_MAX), 12, 0, 1.0f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HourWindowFade(c.window, c.hour, c.minute), c.expected)
        << c.window.MinHour << " to " << c.window.MaxHour << " fades " << c.window.FadeInDuration
        << "/" << c.window.FadeOutDuration << " at " << c.hour << ":" << c.minute;
  }
}

TEST(ElementBlinkFactor, SteadyBlinkAndPulse) {
  auto element = [](int32_t type, int32_t on = 200, int32_t off = 800) {
    return SkyLogoElement{{200, 200, 200}, 1.0f, static_cast<ElementType>(type), on, off};
  };
  struct Case {
    SkyLogoElement element;
    LogoPulse pulse;
    uint32_t time;
    float expected;
  };
  // The pulse values come from a separate single-precision model: x = float(t) * rate + phase,
  // sine in double rounded to float, then (sine + 1) * 0.5.
  const Case cases[] = {
      {element(0), kRPulse, 350, 1.0f},
      {element(7), kRPulse, 350, 1.0f},
      {element(-1), kRPulse, 350, 1.0f},
      // Blink 200/800 on the host time taken as signed.
      {element(1), kRPulse, 150, 1.0f},
      {element(1), kRPulse, 199, 1.0f},
      {element(1), kRPulse, 200, 0.0f},
      {element(1), kRPulse, 350, 0.0f},
      {element(1), kRPulse, 1100, 1.0f},
      {element(1), kRPulse, 0xFFFFFFFFu, 1.0f},  // -1: before a cycle start
      {element(1), kRPulse, 0x80000000u, 1.0f},
      // No positive period: lit. A negative on time: always dark.
      {element(1, 0, 0), kRPulse, 350, 1.0f},
      {element(1, 300, -300), kRPulse, 350, 1.0f},
      {element(1, -5, 1000), kRPulse, 0, 0.0f},
      // On + off beyond 32 bits is taken as it is, not wrapped to a negative period.
      {element(1, INT32_MAX, INT32_MAX), kRPulse, 5, 1.0f},
      {element(1, INT32_MAX, INT32_MAX), kRPulse, 0x7FFFFFFFu, 0.0f},
      // The R's pulse repeats every 2000 ms from phase 1.5, the star's every 3000 ms from 3.0;
      // on and off times play no part.
      {element(2), kRPulse, 0, 0.9987474679946899f},
      {element(2, 0, 0), kRPulse, 2000, 0.9987474679946899f},
      {element(2), kRPulse, 500, 0.5353685021400452f},
      {element(2), kRPulse, 1000, 0.001252502202987671f},
      {element(2), kStarPulse, 0, 0.5705599784851074f},
      {element(2), kStarPulse, 750, 0.005003750324249268f},
      {element(2), kStarPulse, 3000, 0.5705596804618835f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ElementBlinkFactor(c.element, c.pulse, c.time), c.expected)
        << "type " << static_cast<int32_t>(c.element.Type) << " on " << c.element.OnTime << " off "
        << c.element.OffTime << " rate " << c.pulse.Rate << " at " << c.time;
  }
}

TEST(LogoChannel, TruncatesWithinTheByte) {
  struct Case {
    uint8_t colour;
    float share;
    uint8_t expected;
  };
  const Case cases[] = {
      {200, 0.5f, 100}, {255, 0.5f, 127}, {255, 1.0f, 255}, {44, 1.0f / 3.0f, 14},
      {200, 0.9987474679946899f, 199}, {255, 0.5705599784851074f, 145}, {200, 0.0f, 0},
      // Shares outside 0 to 1 cannot come from the hooks, but stay defined.
      {200, kNaN, 0}, {200, -0.5f, 0}, {200, 2.0f, 255}, {200, kInf, 255}, {0, kInf, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogoChannel(c.colour, c.share), c.expected) << int(c.colour) << " * " << c.share;
  }
}

TEST(SkyLogoSettingsLoader, KeyOrderAndTheFirstBadValue) {
  struct Case {
    const char* name;
    SettingsTable table;
    void (*expect)(SkyLogoSettingsState&);  // what differs from the defaults
  };
  const Case cases[] = {
      {"colour keeps the low 8 bits", {{"R_Color", "300 20 20"}},
       [](SkyLogoSettingsState& s) { s.R.Colour = {44, 20, 20}; }},
      {"commas end the colour list", {{"R_Color", "255,0,0"}, {"Star_Color", "-1 256"}},
       [](SkyLogoSettingsState& s) {
         s.R.Colour = {255, 200, 200};
         s.Star.Colour = {255, 0, 255};
       }},
      {"a check key that is no number stops the window keys",
       {{"R_Size", "2"}, {"Trail3_Type", "0"}, {"CheckGameState_Star", "no"}, {"RMinHour", "1"},
        {"StarMaxHour", "4"}},
       [](SkyLogoSettingsState& s) {
         s.R.Size = 2.0f;
         s.Trail3.Type = ElementType::Steady;
       }},
      {"check keys that are numbers change nothing",
       {{"CheckGameState_R", "0"}, {"CheckGameState_Star", "0"}, {"CheckGameState_Trail3", "-5"},
        {"RMinHour", "1"}, {"StarFadeInEnable", "0"}, {"StarMaxHour", "4"}},
       [](SkyLogoSettingsState& s) {
         s.RWindow.MinHour = 1;
         s.StarWindow.FadeInEnable = false;
         s.StarWindow.MaxHour = 4;
       }},
      {"the R's keys come before the star's, the trails' after",
       {{"Star_Size", "big"}, {"R_OffTime", "5"}, {"Trail1_Color", "1 2 3"}, {"StarMinHour", "2"}},
       [](SkyLogoSettingsState& s) { s.R.OffTime = 5; }},
      {"the R's window before the star's",
       {{"RMaxHour", "3"}, {"StarFadeInEnable", ""}, {"StarMaxHour", "4"}},
       [](SkyLogoSettingsState& s) { s.RWindow.MaxHour = 3; }},
      {"values are stored as read",
       {{"R_Type", "7"}, {"Trail2_OnTime", "-100"}, {"StarFadeOutDuration", "-inf"},
        {"RMaxHour", "2000000000"}, {"RFadeOutEnable", "0"}},
       [](SkyLogoSettingsState& s) {
         s.R.Type = static_cast<ElementType>(7);
         s.Trail2.OnTime = -100;
         s.StarWindow.FadeOutDuration = -kInf;
         s.RWindow.MaxHour = 2000000000;
         s.RWindow.FadeOutEnable = false;
       }},
  };
  for (const Case& c : cases) {
    SkyLogoSettingsState actual;
    ConvertSkyLogoSettings(c.table, actual);
    SkyLogoSettingsState expected;
    c.expect(expected);
    EXPECT_TRUE(actual == expected) << c.name;
  }
}

TEST(SkyLogoSettingsLoader, EveryRunRestoresTheElementsButNotTheWindows) {
  SkyLogoSettingsState settings;
  ConvertSkyLogoSettings({{"R_Color", "1 2 3"}, {"Trail3_Type", "2"}, {"RMinHour", "7"},
                       {"StarFadeInDuration", "9"}},
                      settings);
  ConvertSkyLogoSettings({}, settings);
  SkyLogoSettingsState expected;
  expected.RWindow.MinHour = 7;
  expected.StarWindow.FadeInDuration = 9.0f;
  EXPECT_TRUE(settings == expected);
}

// The emulator's encoding of a CALL at `site` of `target`.
std::vector<uint8_t> CallOf(uint32_t site, const void* target) {
  const auto call = hostsim::MakeCall(site, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)));
  return {call.begin(), call.end()};
}

TEST(RStarLogoStart, HourOperandsTakeTheLowBytesAndBothSpriteCallsReachTheHooks) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(110, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    SkyLogoSettings.RWindow.MinHour = 0x1234;
    SkyLogoSettings.RWindow.MaxHour = -3;
    PatchRStarLogo();
    // Each operand is the third byte of 80 F9 ib (CMP CL, hour); its neighbours stay.
    const uint32_t operands[] = {0x53FF09, 0x53FF12, 0x53FF26, 0x53FF2F, 0x53FF46};
    const uint8_t hours[] = {0x34, 0xFD, 0x34, 0xFD, 0x34};
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(image.Read(operands[i] - 2, 4), (std::vector<uint8_t>{0x80, 0xF9, hours[i], 0x7C}))
          << std::hex << operands[i];
    }
    const uint32_t r_site = 0x5401AE, star_site = 0x540335;
    EXPECT_EQ(image.Read(r_site, 5), CallOf(r_site, reinterpret_cast<const void*>(&LogoRSpriteHook)));
    EXPECT_EQ(image.Read(star_site, 5),
              CallOf(star_site, reinterpret_cast<const void*>(&LogoStarSpriteHook)));
    EXPECT_EQ(image.Protection(r_site), "r-x");
    EXPECT_EQ(image.Protection(operands[0]), "r-x");
  });
}

}  // namespace

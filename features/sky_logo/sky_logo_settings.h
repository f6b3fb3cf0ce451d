// The settings of the sky sign (the R and the star sprites) and of the three plane trail glows, all
// from the section "RStarLogo". Written at start-up by LoadSkyLogoSettings, read afterwards by the
// sky sign's sprite hooks and the trail glow hooks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "features/flashing.h"
#include "settings/reader.h"

// How an element flashes. The settings may hold any other number, which is steady.
enum class ElementType : int32_t { Steady = 0, Blink = 1, Pulse = 2 };

// One element: the R, the star or a trail glow.
struct SkyLogoElement {
  std::array<uint8_t, 3> Colour{};  // red, green, blue
  float Size = 0.0f;                // factor on the sprite's size (R, star); glow size (trails)
  ElementType Type = ElementType::Steady;
  int32_t OnTime = 0;   // Blink: milliseconds lit
  int32_t OffTime = 0;  // Blink: milliseconds dark

  bool operator==(const SkyLogoElement&) const = default;
};

// The hours of the game clock during which the R or the star shows, with its fades.
struct SkyLogoWindow {
  int32_t MinHour = 20;  // the first hour shown
  int32_t MaxHour = 6;   // the hour the showing ends; before MinHour the window runs past midnight
  bool FadeInEnable = true;
  bool FadeOutEnable = true;
  float FadeInDuration = 1.5f;   // hours
  float FadeOutDuration = 1.5f;  // hours

  bool operator==(const SkyLogoWindow&) const = default;
};

// What every run of the loader puts back before it reads the file.
inline constexpr SkyLogoElement kRElementDefaults{{200, 200, 200}, 3.0f, ElementType::Steady, 200, 800};
inline constexpr SkyLogoElement kStarElementDefaults{{255, 255, 255}, 1.0f, ElementType::Steady, 200, 800};
inline constexpr SkyLogoElement kTrailElementDefaults{{255, 0, 0}, 15.0f, ElementType::Steady, 200, 800};
inline constexpr SkyLogoElement kTrail3ElementDefaults{{255, 0, 0}, 15.0f, ElementType::Blink, 200, 800};

// The five elements and the two windows. The windows' defaults are set once, when the program is
// loaded; the elements' are put back by every run of the loader.
struct SkyLogoSettingsState {
  SkyLogoElement R = kRElementDefaults;
  SkyLogoElement Star = kStarElementDefaults;
  SkyLogoElement Trail1 = kTrailElementDefaults;
  SkyLogoElement Trail2 = kTrailElementDefaults;
  SkyLogoElement Trail3 = kTrail3ElementDefaults;
  SkyLogoWindow RWindow;
  SkyLogoWindow StarWindow;

  bool operator==(const SkyLogoSettingsState&) const = default;
};

extern SkyLogoSettingsState SkyLogoSettings;

// The keys of the section "RStarLogo", in the order they are converted (see below).
inline constexpr std::array<std::string_view, 42> kSkyLogoKeys{
    "R_Color",           "R_Size",             "R_Type",
    "R_OnTime",          "R_OffTime",          "Star_Color",
    "Star_Size",         "Star_Type",          "Star_OnTime",
    "Star_OffTime",      "Trail1_Color",       "Trail1_Size",
    "Trail1_Type",       "Trail1_OnTime",      "Trail1_OffTime",
    "Trail2_Color",      "Trail2_Size",        "Trail2_Type",
    "Trail2_OnTime",     "Trail2_OffTime",     "Trail3_Color",
    "Trail3_Size",       "Trail3_Type",        "Trail3_OnTime",
    "Trail3_OffTime",    "CheckGameState_R",   "CheckGameState_Star",
    "CheckGameState_Trail1", "CheckGameState_Trail2", "CheckGameState_Trail3",
    "RFadeInEnable",     "RFadeOutEnable",     "RFadeInDuration",
    "RFadeOutDuration",  "RMinHour",           "RMaxHour",
    "StarFadeInEnable",  "StarFadeOutEnable",  "StarFadeInDuration",
    "StarFadeOutDuration", "StarMinHour",      "StarMaxHour"};

// Puts the element defaults back, then converts the keys of `table` in their fixed order: for
// R, Star, Trail1, Trail2, Trail3 each "_Color", "_Size", "_Type", "_OnTime", "_OffTime"; the five
// "CheckGameState_" keys, converted as whole numbers and discarded; then "RFadeInEnable",
// "RFadeOutEnable", "RFadeInDuration", "RFadeOutDuration", "RMinHour", "RMaxHour" and the same six
// for "Star". The first conversion error ends the conversions: that key and the later ones keep
// their values. A colour channel without a readable number keeps its value.
void LoadSkyLogoSettings(const SettingsTable& table, SkyLogoSettingsState& settings);

// Reads the section "RStarLogo" of the settings file into SkyLogoSettings.
void LoadSkyLogoSettings();

// The pulse of an element: x = host time * Rate + Phase.
struct LogoPulse {
  float Rate;   // radians per millisecond
  float Phase;  // radians
};

// Share 0 to 1 from the element's flashing pattern: Blink 1 lit and 0 dark by BlinkLit of its on
// and off times, Pulse the PulseShare of `pulse` at the unsigned host time, anything else 1.
// Inline: the sprite and glow hooks call it on every draw.
inline float ElementBlinkFactor(const SkyLogoElement& element, LogoPulse pulse,
                                uint32_t host_time) noexcept {
  switch (element.Type) {
    case ElementType::Blink:
      return BlinkLit(element.OnTime, element.OffTime, static_cast<int32_t>(host_time)) ? 1.0f : 0.0f;
    case ElementType::Pulse:
      return PulseShare(host_time, pulse.Rate, pulse.Phase);
    default:
      return 1.0f;
  }
}

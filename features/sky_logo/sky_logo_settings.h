// The settings of the sky sign (the R and the star sprites) and of the three plane trail glows, all
// from the section "RStarLogo". Written at start-up by LoadSkyLogoSettings, read afterwards by the
// sky sign's sprite hooks and the trail glow hooks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "features/flashing.h"
#include "settings/key_table.h"
#include "settings/reader.h"
#include "settings/settings_loader.h"

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

inline constexpr std::string_view kSkyLogoSection = "RStarLogo";

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

// A value read as a whole number and thrown away, so that one that is not a whole number still ends
// the conversions: the "CheckGameState_" keys select nothing, the scene check applies to every
// element.
void DiscardWholeNumber(SkyLogoSettingsState& settings, const std::string& text);

// The keys of the section "RStarLogo", in the order they are converted: for R, Star, Trail1, Trail2
// and Trail3 each "_Color", "_Size", "_Type", "_OnTime", "_OffTime"; the five "CheckGameState_"
// keys; then the R's and the star's hour windows.
inline constexpr std::array kSkyLogoKeys = [] {
  using Logo = SkyLogoSettingsState;
  using Element = SkyLogoElement;
  using Window = SkyLogoWindow;
  return std::array{
      Key<&Logo::R, &Element::Colour>("R_Color"),
      Key<&Logo::R, &Element::Size>("R_Size", ValueRange::kNotNegative),
      Key<&Logo::R, &Element::Type>("R_Type", ValueRange::kPattern),
      Key<&Logo::R, &Element::OnTime>("R_OnTime", ValueRange::kNotNegative),
      Key<&Logo::R, &Element::OffTime>("R_OffTime", ValueRange::kNotNegative),
      Key<&Logo::Star, &Element::Colour>("Star_Color"),
      Key<&Logo::Star, &Element::Size>("Star_Size", ValueRange::kNotNegative),
      Key<&Logo::Star, &Element::Type>("Star_Type", ValueRange::kPattern),
      Key<&Logo::Star, &Element::OnTime>("Star_OnTime", ValueRange::kNotNegative),
      Key<&Logo::Star, &Element::OffTime>("Star_OffTime", ValueRange::kNotNegative),
      Key<&Logo::Trail1, &Element::Colour>("Trail1_Color"),
      Key<&Logo::Trail1, &Element::Size>("Trail1_Size", ValueRange::kNotNegative),
      Key<&Logo::Trail1, &Element::Type>("Trail1_Type", ValueRange::kPattern),
      Key<&Logo::Trail1, &Element::OnTime>("Trail1_OnTime", ValueRange::kNotNegative),
      Key<&Logo::Trail1, &Element::OffTime>("Trail1_OffTime", ValueRange::kNotNegative),
      Key<&Logo::Trail2, &Element::Colour>("Trail2_Color"),
      Key<&Logo::Trail2, &Element::Size>("Trail2_Size", ValueRange::kNotNegative),
      Key<&Logo::Trail2, &Element::Type>("Trail2_Type", ValueRange::kPattern),
      Key<&Logo::Trail2, &Element::OnTime>("Trail2_OnTime", ValueRange::kNotNegative),
      Key<&Logo::Trail2, &Element::OffTime>("Trail2_OffTime", ValueRange::kNotNegative),
      Key<&Logo::Trail3, &Element::Colour>("Trail3_Color"),
      Key<&Logo::Trail3, &Element::Size>("Trail3_Size", ValueRange::kNotNegative),
      Key<&Logo::Trail3, &Element::Type>("Trail3_Type", ValueRange::kPattern),
      Key<&Logo::Trail3, &Element::OnTime>("Trail3_OnTime", ValueRange::kNotNegative),
      Key<&Logo::Trail3, &Element::OffTime>("Trail3_OffTime", ValueRange::kNotNegative),
      KeyWith<&DiscardWholeNumber>("CheckGameState_R", ValueRange::kDiscarded),
      KeyWith<&DiscardWholeNumber>("CheckGameState_Star", ValueRange::kDiscarded),
      KeyWith<&DiscardWholeNumber>("CheckGameState_Trail1", ValueRange::kDiscarded),
      KeyWith<&DiscardWholeNumber>("CheckGameState_Trail2", ValueRange::kDiscarded),
      KeyWith<&DiscardWholeNumber>("CheckGameState_Trail3", ValueRange::kDiscarded),
      Key<&Logo::RWindow, &Window::FadeInEnable>("RFadeInEnable"),
      Key<&Logo::RWindow, &Window::FadeOutEnable>("RFadeOutEnable"),
      Key<&Logo::RWindow, &Window::FadeInDuration>("RFadeInDuration", ValueRange::kNotNegative),
      Key<&Logo::RWindow, &Window::FadeOutDuration>("RFadeOutDuration", ValueRange::kNotNegative),
      Key<&Logo::RWindow, &Window::MinHour>("RMinHour", ValueRange::kHour),
      Key<&Logo::RWindow, &Window::MaxHour>("RMaxHour", ValueRange::kHour),
      Key<&Logo::StarWindow, &Window::FadeInEnable>("StarFadeInEnable"),
      Key<&Logo::StarWindow, &Window::FadeOutEnable>("StarFadeOutEnable"),
      Key<&Logo::StarWindow, &Window::FadeInDuration>(
          "StarFadeInDuration", ValueRange::kNotNegative),
      Key<&Logo::StarWindow, &Window::FadeOutDuration>(
          "StarFadeOutDuration", ValueRange::kNotNegative),
      Key<&Logo::StarWindow, &Window::MinHour>("StarMinHour", ValueRange::kHour),
      Key<&Logo::StarWindow, &Window::MaxHour>("StarMaxHour", ValueRange::kHour)};
}();

// Puts the element defaults back, then converts the keys of kSkyLogoKeys present in `table` in
// their order. The first conversion error ends the conversions: that key and the later ones keep
// their values. A colour channel without a readable number keeps its value.
void ConvertSkyLogoSettings(const SettingsTable& table, SkyLogoSettingsState& settings);

// Reads the section "RStarLogo" of the settings file into `settings`, or into SkyLogoSettings.
void LoadSkyLogoSettings(SkyLogoSettingsState& settings);
void LoadSkyLogoSettings();

// The sky sign's and trail glows' loader, for tools.
inline constexpr auto kSkyLogoKeyInfos = KeyInfos(kSkyLogoKeys);
inline constexpr SettingsLoader kSkyLogoLoader{
    .name = "sky logo",
    .scope = LoaderScope::kSection,
    .section = kSkyLogoSection,
    .keys = kSkyLogoKeyInfos,
    .convert = ConvertIntoScratch<SkyLogoSettingsState, ConvertSkyLogoSettings>,
    .load = LoadIntoScratch<SkyLogoSettingsState, LoadSkyLogoSettings>};

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

// The star field's settings, read from the whole settings file: how many stars, where and how large,
// their colour, the hour window with its fades, and the twinkle.
#pragma once

#include <array>
#include <cstdint>

#include "settings/key_table.h"
#include "settings/reader.h"

// The settings of the star field, initialised to their defaults.
struct StarSettings {
  int32_t NumStars = 200;
  float Size = 6.5f;             // factor on the host's projected sprite scale
  float SkyRadius = 1100.0f;     // base star distance, world units
  float HeightMin = 0.0f;        // lowest height as cosine of the angle from straight up
  float HeightMax = 1.0f;        // highest height, same unit
  int32_t Red = 255;
  int32_t Green = 255;
  int32_t Blue = 255;
  int32_t MinHour = 22;          // window opens at this hour
  int32_t MaxHour = 5;           // window closes at this hour
  float FlickerSpeed = 1.5f;     // base twinkle period, seconds
  float FlickerDepth = 0.6f;     // twinkling share of the brightness
  bool ZTestEnable = true;
  uint32_t StarStartDelay = 0;   // host milliseconds before the first drawing
  bool StarFadeInEnable = true;
  bool StarFadeOutEnable = true;
  float StarFadeInDuration = 1.0f;   // hours
  float StarFadeOutDuration = 1.0f;  // hours
};

// The keys the star field reads from the whole settings file, in the order they are converted.
inline constexpr std::array kStarSettingKeys{
    Key<&StarSettings::NumStars>("NumStars", ValueRange::kStarCount),
    Key<&StarSettings::Size>("Size", ValueRange::kNotNegative),
    Key<&StarSettings::SkyRadius>("SkyRadius"),
    Key<&StarSettings::HeightMin>("HeightMin"),
    Key<&StarSettings::HeightMax>("HeightMax"),
    Key<&StarSettings::Red>("Red", ValueRange::kChannel),
    Key<&StarSettings::Green>("Green", ValueRange::kChannel),
    Key<&StarSettings::Blue>("Blue", ValueRange::kChannel),
    Key<&StarSettings::MinHour>("MinHour", ValueRange::kHour),
    Key<&StarSettings::MaxHour>("MaxHour", ValueRange::kHour),
    Key<&StarSettings::FlickerSpeed>("FlickerSpeed"),
    Key<&StarSettings::FlickerDepth>("FlickerDepth"),
    Key<&StarSettings::ZTestEnable>("ZTestEnable"),
    Key<&StarSettings::StarStartDelay>("StarStartDelay", ValueRange::kNotNegative),
    Key<&StarSettings::StarFadeInEnable>("StarFadeInEnable"),
    Key<&StarSettings::StarFadeOutEnable>("StarFadeOutEnable"),
    Key<&StarSettings::StarFadeInDuration>("StarFadeInDuration", ValueRange::kNotNegative),
    Key<&StarSettings::StarFadeOutDuration>("StarFadeOutDuration", ValueRange::kNotNegative)};

// Converts the star keys present in `table`, in their fixed order, stopping at the first
// conversion error (the keys before it keep their new values).
void ConvertStarSettings(const SettingsTable& table, StarSettings& settings) noexcept;

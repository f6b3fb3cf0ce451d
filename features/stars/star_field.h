// The star field: its settings, its program-wide state, the loading of the settings at start-up and
// the one-time generation of the star positions. The drawing is in star_drawing.h, the feature's
// registration in custom_stars_plugin.h.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "settings/reader.h"

// A star's offset from the camera in world axes (z up); the field moves with the camera.
struct StarPosition {
  float x, y, z;
};

// The eighteen settings of the star field, initialised to their defaults.
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

// When a star twinkles: its phase at host time t (ms) is Rate * t + Offset, in radians. Fixed by
// the star's index and FlickerSpeed, so worked out once rather than for every frame.
struct StarTwinkleTiming {
  float Rate;
  float Offset;
};

// The one program-wide star field; created at load and never freed.
struct StarFieldState {
  StarSettings Settings;
  std::unique_ptr<StarPosition[]> Positions;
  std::unique_ptr<StarTwinkleTiming[]> Twinkles;  // one per position
  bool Generated = false;
  int32_t StarCount = 0;  // entries in Positions and Twinkles
};

// Null when the scene code kept the feature from registering at load.
extern StarFieldState* StarField;

// Upper bound on the number of positions (12 MiB of them): more stars than this are not drawable
// at any frame rate, and a bound keeps a mistyped value from exhausting the host's address space.
inline constexpr int32_t kMaxStarCount = 1 << 20;

// The number of positions allocated for a requested "NumStars": negative counts as 0, anything
// above kMaxStarCount as kMaxStarCount.
int32_t StarCountFor(int32_t num_stars) noexcept;

// The keys the star field reads from the whole settings file, in the order they are converted.
inline constexpr std::array<std::string_view, 18> kStarSettingKeys{
    "NumStars",       "Size",           "SkyRadius",        "HeightMin",         "HeightMax",
    "Red",            "Green",          "Blue",             "MinHour",           "MaxHour",
    "FlickerSpeed",   "FlickerDepth",   "ZTestEnable",      "StarStartDelay",    "StarFadeInEnable",
    "StarFadeOutEnable", "StarFadeInDuration", "StarFadeOutDuration"};

// Converts the star keys present in `table`, in their fixed order, stopping at the first
// conversion error (the keys before it keep their new values).
void ConvertStarSettings(const SettingsTable& table, StarSettings& settings) noexcept;

// Copies `settings` into `field` and replaces its positions by StarCountFor(NumStars) zeroed ones,
// to be generated again, each with its twinkle timing (none when the allocation fails).
void CommitStarSettings(StarFieldState& field, const StarSettings& settings) noexcept;

// The start-up loader: reads the settings file and commits, also after a conversion error.
void LoadStarSettings(StarFieldState& field) noexcept;

// Computes every position from three draws of `next_rand` (0 to 32767) per star: azimuth, zenith
// fraction, distance. Sets Generated.
void GenerateStarPositions(StarFieldState& field, int (*next_rand)()) noexcept;

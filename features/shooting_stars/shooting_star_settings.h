// The shooting stars' settings, from the section "ShootingStars": how often a star spawns and in
// which hours, where it appears and how it flies, how long it lives and how its trail looks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "settings/key_table.h"
#include "settings/reader.h"
#include "settings/settings_loader.h"

inline constexpr std::string_view kShootingStarsSection = "ShootingStars";

// The settings, initialised to their defaults.
struct ShootingStarSettings {
  bool Enable = true;
  int32_t MinInterval = 10000;          // shortest pause between two spawns, milliseconds
  int32_t MaxInterval = 30000;          // longest pause, milliseconds
  int32_t NumSprites = 12;              // head plus trail
  float TrailSpacing = 12.0f;           // world units between trail sprites
  float Speed = 80.0f;                  // world units per unit of the host's time step
  float SpawnDistance = 3600.0f;        // world units from the camera
  float Lifetime = 5.0f;                // seconds
  std::array<uint8_t, 3> Color{255, 255, 255};
  float SizeStart = 25.0f;              // size factor of the head sprite
  float SizeEnd = 10.0f;                // size factor of the last trail sprite
  bool ZTestEnable = true;
  int32_t MinHour = 22;                 // first hour in which stars may spawn
  int32_t MaxHour = 5;                  // last hour in which stars may spawn
  float ElevationMin = 25.0f;           // degrees above the horizon
  float ElevationMax = 50.0f;
  float DescentMin = 3.0f;              // downward slope of the flight, degrees
  float DescentMax = 12.0f;
  uint32_t StartDelay = 0;              // host milliseconds before which nothing spawns
};

// The settings in force; defaults until start-up has read the file.
extern ShootingStarSettings ShootingStarConfig;

// The keys whose values bound how many stars live at once (the pause and the lifetime) and how many
// sprites a frame draws (the sprites of a trail), for tools that tell of those bounds.
inline constexpr std::string_view kMinIntervalKey = "MinInterval";
inline constexpr std::string_view kLifetimeKey = "Lifetime";
inline constexpr std::string_view kNumSpritesKey = "NumSprites";

// The keys of the section "ShootingStars", in the order they are converted.
inline constexpr std::array kShootingStarKeys{
    Key<&ShootingStarSettings::Enable>("Enable"),
    Key<&ShootingStarSettings::MinInterval>(kMinIntervalKey, ValueRange::kPause),
    Key<&ShootingStarSettings::MaxInterval>("MaxInterval", ValueRange::kPause),
    Key<&ShootingStarSettings::NumSprites>(kNumSpritesKey, ValueRange::kNotNegative),
    Key<&ShootingStarSettings::TrailSpacing>("TrailSpacing"),
    Key<&ShootingStarSettings::Speed>("Speed"),
    Key<&ShootingStarSettings::SpawnDistance>("SpawnDistance"),
    Key<&ShootingStarSettings::Lifetime>(kLifetimeKey, ValueRange::kNotNegative),
    Key<&ShootingStarSettings::Color>("Color"),
    Key<&ShootingStarSettings::SizeStart>("SizeStart", ValueRange::kNotNegative),
    Key<&ShootingStarSettings::SizeEnd>("SizeEnd", ValueRange::kNotNegative),
    Key<&ShootingStarSettings::ZTestEnable>("ZTestEnable"),
    Key<&ShootingStarSettings::MinHour>("MinHour", ValueRange::kHour),
    Key<&ShootingStarSettings::MaxHour>("MaxHour", ValueRange::kHour),
    Key<&ShootingStarSettings::ElevationMin>("ElevationMin"),
    Key<&ShootingStarSettings::ElevationMax>("ElevationMax"),
    Key<&ShootingStarSettings::DescentMin>("DescentMin"),
    Key<&ShootingStarSettings::DescentMax>("DescentMax"),
    Key<&ShootingStarSettings::StartDelay>("StartDelay", ValueRange::kNotNegative)};

// Converts the keys present in `table`, in the order of kShootingStarKeys, storing each right
// after its conversion; the first conversion error ends the conversions (the keys before it keep
// their new values). A colour channel without a readable number keeps its value.
void ConvertShootingStarSettings(const SettingsTable& table, ShootingStarSettings& settings) noexcept;

// The start-up loader: converts the section "ShootingStars" of the settings file into `settings`.
void LoadShootingStarSettings(ShootingStarSettings& settings) noexcept;

// The shooting stars' loader, for tools.
inline constexpr auto kShootingStarKeyInfos = KeyInfos(kShootingStarKeys);
inline constexpr SettingsLoader kShootingStarsLoader{
    .name = "shooting stars",
    .plural = true,
    .scope = LoaderScope::kSection,
    .section = kShootingStarsSection,
    .keys = kShootingStarKeyInfos,
    .convert = ConvertIntoScratch<ShootingStarSettings, ConvertShootingStarSettings>,
    .load = LoadIntoScratch<ShootingStarSettings, LoadShootingStarSettings>};

// The star field: its program-wide state, the loading of its settings (star_settings.h) into it at
// start-up and the one-time generation of the star positions. The drawing is in star_drawing.h,
// the feature's registration in custom_stars_plugin.h.
#pragma once

#include <cstdint>
#include <memory>

#include "features/stars/star_settings.h"
#include "settings/settings_loader.h"

// A star's offset from the camera in world axes (z up); the field moves with the camera.
struct StarPosition {
  float x, y, z;
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

// Copies `settings` into `field` and replaces its positions by StarCountFor(NumStars) zeroed ones,
// to be generated again, each with its twinkle timing (none when the allocation fails).
void CommitStarSettings(StarFieldState& field, const StarSettings& settings) noexcept;

// The start-up loader: reads the settings file and commits, also after a conversion error.
void LoadStarSettings(StarFieldState& field) noexcept;

// Computes every position from three draws of `next_rand` (0 to 32767) per star: azimuth, zenith
// fraction, distance. Sets Generated.
void GenerateStarPositions(StarFieldState& field, int (*next_rand)()) noexcept;

// The star field's loader, for tools.
inline constexpr auto kStarSettingKeyInfos = KeyInfos(kStarSettingKeys);
inline constexpr SettingsLoader kStarFieldLoader{
    .name = "star field",
    .scope = LoaderScope::kWholeFile,
    .keys = kStarSettingKeyInfos,
    .convert = ConvertIntoScratch<StarSettings, ConvertStarSettings>,
    .load = LoadIntoScratch<StarFieldState, LoadStarSettings>};

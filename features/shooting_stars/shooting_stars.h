// Shooting stars: every so often, inside an hour window of the game clock, a star spawns on a sphere
// around the camera and streaks across the sky for its lifetime, drawn as a trail of sprites. This
// file holds the settings, the star records, the program-wide state and the feature; the simulation
// is in shooting_star_simulation.h, the drawing in shooting_star_drawing.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "features/stars/sky_host.h"
#include "settings/reader.h"

// The nineteen settings of the section "ShootingStars", initialised to their defaults.
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

// One live or just-expired star.
struct ShootingStar {
  HostVector Position;  // world
  HostVector Velocity;  // world units per unit of the host's time step
  uint32_t Birth;       // host milliseconds at spawn
  bool Alive;           // cleared when the lifetime is over
};
static_assert(sizeof(ShootingStar) == 32);

// The stars in spawn order.
using ShootingStarList = std::vector<ShootingStar>;

// Upper bound on the live stars, 512 KiB of them. The lifetime and the pause between spawns bound
// the list on their own; only a star on (nearly) every update with a long life comes near this one:
// a star on every update at 1,000 updates a second with the default 5 s lifetime keeps 5,000 alive.
// There it keeps a settings file from growing the list without end. Start-up reserves what the
// settings can keep alive, up to this many, so that no frame allocates.
inline constexpr std::size_t kMaxShootingStars = 16384;

// Upper bound on the trail sprites drawn in one frame, over all stars: a mistyped "NumSprites" (two
// billion, say) would otherwise hold the game's frame for minutes. Every sprite drawn stands where
// and as large as its trail puts it; a frame that reaches the bound leaves the rest of that trail,
// and the trails of the stars after it, out. 5,000 stars of the default 12 sprites, or a hundred
// trails of 2,000, are drawn whole.
inline constexpr int32_t kMaxTrailSpritesPerFrame = 1 << 18;

// When the next spawn attempt may happen: from host time NextSpawnTime on, counted from the host
// time SetAt at which the wait was set. A wait that runs past the wrap of the host's 32-bit timer so
// ends when the timer has wrapped too, rather than on the next update; every wait up to 2^32 - 1 ms
// is kept exactly. Both 0 at first: the first update may spawn.
struct SpawnSchedule {
  uint32_t SetAt = 0;
  uint32_t NextSpawnTime = 0;

  bool Due(uint32_t now) const noexcept { return now - SetAt >= NextSpawnTime - SetAt; }
};

// The settings in force; defaults until start-up has read the file.
extern ShootingStarSettings ShootingStarConfig;
// The next spawn attempt.
extern SpawnSchedule NextSpawn;
// The program-wide list; defined with the plugin's start-up, where its construction order is fixed.
extern ShootingStarList* ShootingStars;

// The keys of the section "ShootingStars", in the order they are converted.
inline constexpr std::array<std::string_view, 19> kShootingStarKeys{
    "Enable",       "MinInterval",  "MaxInterval", "NumSprites", "TrailSpacing",
    "Speed",        "SpawnDistance", "Lifetime",   "Color",      "SizeStart",
    "SizeEnd",      "ZTestEnable",  "MinHour",     "MaxHour",    "ElevationMin",
    "ElevationMax", "DescentMin",   "DescentMax",  "StartDelay"};

// Converts the keys present in `table`, "Enable" first and "StartDelay" last, storing each right
// after its conversion; the first conversion error ends the conversions (the keys before it keep
// their new values). A colour channel without a readable number keeps its value.
void ConvertShootingStarSettings(const SettingsTable& table, ShootingStarSettings& settings) noexcept;

// The start-up loader: converts the section "ShootingStars" of the settings file into `settings`.
void LoadShootingStarSettings(ShootingStarSettings& settings) noexcept;

// Reserves room for the stars that `settings` can keep alive at once (ShootingStarCapacity); leaves
// the list as it is when that fails.
void ReserveShootingStars(const ShootingStarSettings& settings, ShootingStarList& stars) noexcept;

// The feature: registers the loader, the simulation and the drawing unless the scene code
// suppresses the sky at load.
class ShootingStarsManager {
 public:
  ShootingStarsManager();
};

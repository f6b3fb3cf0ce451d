// The shooting stars' simulation, run on every UpdateEvent: the live stars and when the next may
// spawn, the start delay, the spawn attempts inside the hour window, the placing and aiming of a new
// star, its flight and its expiry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "features/shooting_stars/shooting_star_settings.h"
#include "features/sky_host.h"

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

// When the next spawn attempt may happen: from host time NextSpawnTime on, counted from the host
// time SetAt at which the wait was set. A wait that runs past the wrap of the host's 32-bit timer so
// ends when the timer has wrapped too, rather than on the next update; every wait up to 2^32 - 1 ms
// is kept exactly. Both 0 at first: the first update may spawn.
struct SpawnSchedule {
  uint32_t SetAt = 0;
  uint32_t NextSpawnTime = 0;

  bool Due(uint32_t now) const noexcept { return now - SetAt >= NextSpawnTime - SetAt; }
};


// The program-wide list; created where the plugin's start-up fixes its place.
extern ShootingStarList* ShootingStars;
// The next spawn attempt.
extern SpawnSchedule NextSpawn;

// The camera as a spawn sees it.
struct SpawnCamera {
  HostVector Position;
  HostVector Forward;
  HostVector Right;
};

// "Lifetime" seconds in whole milliseconds, truncated: 0 for a negative or NaN lifetime (the star
// expires on its first update), the largest 32-bit value for one beyond the 32-bit range.
uint32_t LifetimeMs(float lifetime) noexcept;

// Whether whole hour `hour` lies in the window MinHour to MaxHour (past midnight when MaxHour
// lies before MinHour).
bool InSpawnWindow(const ShootingStarSettings& settings, uint32_t hour) noexcept;

// The wait before the next attempt after a spawn: MinInterval plus one draw of `next_rand` mod
// (MaxInterval - MinInterval + 1), in milliseconds. The number is drawn even when that divisor is 0,
// and the pause is then MinInterval. A pause of 0 or less is no wait: the next update may spawn
// again. The longest pause that settings can give, 2^31 - 1 + 32767 ms, fits the 32-bit wait.
uint32_t SpawnInterval(const ShootingStarSettings& settings, int (*next_rand)()) noexcept;

// The most stars alive at once after an update when updates come `update_ms` milliseconds apart
// (0: any number of updates a millisecond), before the list's bound: two spawns lie at least
// MinInterval ms and one update apart, and a star lives LifetimeMs. UINT64_MAX when nothing but
// the frame rate bounds them (a pause of 0 or less with updates as fast as can be).
uint64_t MostLiveShootingStars(const ShootingStarSettings& settings, double update_ms) noexcept;

// The room the list needs under `settings`, whatever the frame rate: the most stars alive after an
// update and the one spawned in the next, at most kMaxShootingStars; none when the feature is off.
std::size_t ShootingStarCapacity(const ShootingStarSettings& settings) noexcept;

// A new star born at `now`, drawing four numbers of `next_rand` in the order elevation, azimuth,
// side, descent. An elevation or descent range whose divisor truncates to 0 (or is not a number)
// gives its minimum; the number is drawn all the same.
ShootingStar SpawnShootingStar(const ShootingStarSettings& settings, const SpawnCamera& camera,
                               uint32_t now, int (*next_rand)()) noexcept;

// Moves every live star by its velocity times `step`, clears the alive flag of those whose
// lifetime has passed at `now`, and removes the expired ones, keeping the order of the others.
void MoveAndAgeShootingStars(const ShootingStarSettings& settings, ShootingStarList& stars, uint32_t now,
                             float step) noexcept;

// One update of the shooting stars against the host set `Host` (see LiveSkyHost).
template <typename Host>
void StepShootingStarsWith(const ShootingStarSettings& s, ShootingStarList& stars,
                           SpawnSchedule& schedule) {
  if (!s.Enable) return;
  const uint32_t now = Host::TimeMs();
  if (now < s.StartDelay) {
    // The first attempt comes one second after the delay; the stars wait too.
    schedule = {now, s.StartDelay + 1000};
    return;
  }
  if (schedule.Due(now)) {
    if (!InSpawnWindow(s, Host::ClockHour())) {
      schedule = {now, now + 5000};
    } else {
      schedule = {now, now + SpawnInterval(s, Host::Rand)};
      const SpawnCamera camera{Host::CameraPosition(), Host::CameraForward(), Host::CameraRight()};
      const ShootingStar star = SpawnShootingStar(s, camera, now, Host::Rand);
      // A full list skips the new star; its numbers are drawn all the same.
      if (stars.size() < kMaxShootingStars) stars.push_back(star);
    }
  }
  MoveAndAgeShootingStars(s, stars, now, Host::TimeStep());
}

// One update of the shooting stars against the running host.
void StepShootingStars(const ShootingStarSettings& settings, ShootingStarList& stars,
                       SpawnSchedule& schedule);

// Reserves room for the stars that `settings` can keep alive at once (ShootingStarCapacity); leaves
// the list as it is when that fails.
void ReserveShootingStars(const ShootingStarSettings& settings, ShootingStarList& stars) noexcept;

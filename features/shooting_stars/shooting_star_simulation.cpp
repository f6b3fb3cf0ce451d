#include "features/shooting_stars/shooting_star_simulation.h"

#include <cmath>
#include <limits>
#include <vector>

#include "features/float_conversions.h"
#include "features/float_trig.h"
#include "platform/host_guard.h"

ShootingStarList* ShootingStars = nullptr;
SpawnSchedule NextSpawn;

namespace {

constexpr float kPi = 3.1415927f;
// Shorter vectors than this are left as they are rather than normalised.
constexpr float kMinLength = 0.0001f;

// `value` mod `divisor`, truncating toward zero so the sign is the value's; a divisor of 0 gives 0.
int64_t Remainder(int value, int64_t divisor) noexcept { return divisor == 0 ? 0 : value % divisor; }

// min + (a draw mod (max - min + 1) truncated), in radians: whole degrees up from `min`.
float DrawAngle(float min, float max, int (*next_rand)()) noexcept {
  const int32_t divisor = TruncateToInt(max - min + 1.0f);
  const int64_t step = Remainder(next_rand(), divisor);
  return (static_cast<float>(step) + min) * kPi / 180.0f;
}

// The x and y of `v`, divided by the full length of `v` when that is long enough.
void Flatten(const HostVector& v, float& x, float& y) noexcept {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  x = v.x;
  y = v.y;
  if (length > kMinLength) {
    x /= length;
    y /= length;
  }
}

}  // namespace

uint32_t LifetimeMs(float lifetime) noexcept {
  const float ms = lifetime * 1000.0f;
  if (!(ms > 0.0f)) return 0;
  if (ms >= 4294967296.0f) return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(ms);
}

bool InSpawnWindow(const ShootingStarSettings& s, uint32_t hour) noexcept {
  const int64_t h = hour;
  if (s.MinHour <= s.MaxHour) return s.MinHour <= h && h <= s.MaxHour;
  return h >= s.MinHour || h <= s.MaxHour;
}

uint32_t SpawnInterval(const ShootingStarSettings& s, int (*next_rand)()) noexcept {
  // In 64 bits: the extremes of the two intervals cannot overflow or wrap to a divisor of 0.
  const int64_t divisor = int64_t{s.MaxInterval} - s.MinInterval + 1;
  const int64_t pause = s.MinInterval + Remainder(next_rand(), divisor);
  return pause > 0 ? static_cast<uint32_t>(pause) : 0;
}

uint64_t MostLiveShootingStars(const ShootingStarSettings& s, double update_ms) noexcept {
  const uint32_t lifetime = LifetimeMs(s.Lifetime);
  // A star that lives no time expires in the update that spawns it.
  if (lifetime == 0) return 0;
  const double pause = s.MinInterval > 0 ? s.MinInterval : 0.0;
  double spacing = pause;
  // A spawn waits for the first update once its pause is over.
  if (update_ms > 0.0) spacing = pause > 0.0 ? std::ceil(pause / update_ms) * update_ms : update_ms;
  if (!(spacing > 0.0)) return UINT64_MAX;
  // The births in the last `lifetime` milliseconds, `spacing` or more apart.
  return static_cast<uint64_t>(std::floor((lifetime - 1) / spacing)) + 1;
}

std::size_t ShootingStarCapacity(const ShootingStarSettings& s) noexcept {
  if (!s.Enable) return 0;
  const uint64_t live = MostLiveShootingStars(s, 0.0);
  return live >= kMaxShootingStars ? kMaxShootingStars : static_cast<std::size_t>(live) + 1;
}

ShootingStar SpawnShootingStar(const ShootingStarSettings& s, const SpawnCamera& camera, uint32_t now,
                               int (*next_rand)()) noexcept {
  const float elevation = DrawAngle(s.ElevationMin, s.ElevationMax, next_rand);
  const float azimuth = static_cast<float>(next_rand() % 360) * kPi / 180.0f;
  // The azimuth does not depend on the view: a star may spawn behind the camera.
  const HostVector start{camera.Position.x + CosF(azimuth) * CosF(elevation) * s.SpawnDistance,
                         camera.Position.y + SinF(azimuth) * CosF(elevation) * s.SpawnDistance,
                         camera.Position.z + SinF(elevation) * s.SpawnDistance};

  // Flight in the horizontal plane: mostly along the camera's right (or left), a little forward.
  float right_x, right_y, forward_x, forward_y;
  Flatten(camera.Right, right_x, right_y);
  Flatten(camera.Forward, forward_x, forward_y);
  if (next_rand() % 2 != 0) {
    right_x = -right_x;
    right_y = -right_y;
  }
  float heading_x = right_x;
  float heading_y = right_y;
  // A camera looking straight up or down has no horizontal forward: fly along the right vector.
  const float forward_length = std::sqrt(forward_x * forward_x + forward_y * forward_y);
  if (forward_length > kMinLength) {
    heading_x = forward_x / forward_length;
    heading_y = forward_y / forward_length;
  }
  float horizontal_x = 0.2f * heading_x + 0.8f * right_x;
  float horizontal_y = 0.2f * heading_y + 0.8f * right_y;
  const float horizontal_length = std::sqrt(horizontal_x * horizontal_x + horizontal_y * horizontal_y);
  if (horizontal_length > kMinLength) {
    horizontal_x /= horizontal_length;
    horizontal_y /= horizontal_length;
  }

  const float descent = DrawAngle(s.DescentMin, s.DescentMax, next_rand);
  HostVector direction{CosF(descent) * horizontal_x, CosF(descent) * horizontal_y, -SinF(descent)};
  const float length =
      std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
  if (length > kMinLength) {
    direction.x /= length;
    direction.y /= length;
    direction.z /= length;
  }
  const HostVector velocity{direction.x * s.Speed, direction.y * s.Speed, direction.z * s.Speed};
  return {start, velocity, now, true};
}

void MoveAndAgeShootingStars(const ShootingStarSettings& s, ShootingStarList& stars, uint32_t now,
                             float step) noexcept {
  const uint32_t lifetime = LifetimeMs(s.Lifetime);
  for (ShootingStar& star : stars) {
    if (!star.Alive) continue;
    star.Position.x += star.Velocity.x * step;
    star.Position.y += star.Velocity.y * step;
    star.Position.z += star.Velocity.z * step;
    // Unsigned difference: correct across a wrap of the host's timer.
    if (now - star.Birth >= lifetime) star.Alive = false;
  }
  std::erase_if(stars, [](const ShootingStar& star) { return !star.Alive; });
}

void StepShootingStars(const ShootingStarSettings& settings, ShootingStarList& stars,
                       SpawnSchedule& schedule) {
  StepShootingStarsWith<LiveSkyHost>(settings, stars, schedule);
}

void ReserveShootingStars(const ShootingStarSettings& settings, ShootingStarList& stars) noexcept {
  platform::IgnoreFailure([&] { stars.reserve(ShootingStarCapacity(settings)); });
}

// The shooting stars' drawing, run on every DrawEvent: each live star as a straight trail of
// additive sprites behind its head, shrinking from SizeStart to SizeEnd, between the render-state
// set-up and its restore. Nothing here allocates.
#pragma once

#include <cmath>
#include <cstdint>

#include "features/shooting_stars/shooting_star_settings.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "features/sky_host.h"

// Upper bound on the trail sprites drawn in one frame, over all stars: a mistyped "NumSprites" (two
// billion, say) would otherwise hold the game's frame for minutes. Every sprite drawn stands where
// and as large as its trail puts it; a frame that reaches the bound leaves the rest of that trail,
// and the trails of the stars after it, out. 5,000 stars of the default 12 sprites, or a hundred
// trails of 2,000, are drawn whole.
inline constexpr int32_t kMaxTrailSpritesPerFrame = 1 << 18;

// The sprites of one trail for "NumSprites": none for 0 or less.
inline int32_t TrailSpriteCount(const ShootingStarSettings& s) noexcept {
  return s.NumSprites < 0 ? 0 : s.NumSprites;
}

// Size factor of sprite `index` of a trail of `count`: SizeStart at the head, SizeEnd at the tail,
// evenly between. A trail of one sprite is its head.
inline float TrailSpriteSize(const ShootingStarSettings& s, int32_t index, int32_t count) noexcept {
  if (count <= 1) return s.SizeStart;
  const float t = static_cast<float>(index) / static_cast<float>(count - 1);
  return s.SizeStart + t * (s.SizeEnd - s.SizeStart);
}

// One frame of the shooting stars against the host set `Host` (see LiveSkyHost).
template <typename Host>
void DrawShootingStarsWith(const ShootingStarSettings& s, const ShootingStarList& stars) {
  if (!s.Enable) return;
  if (stars.empty()) return;
  if (!Host::SkyGateOpen()) return;
  const uint32_t raster = Host::SpriteRaster();
  if (raster == 0) return;

  // Additive blending, like the star field.
  SetAdditiveSpriteStates<Host>(s.ZTestEnable, raster);

  const int32_t sprites = TrailSpriteCount(s);
  // What the frame may still draw, over every star (kMaxTrailSpritesPerFrame).
  int32_t budget = kMaxTrailSpritesPerFrame;
  for (const ShootingStar& star : stars) {
    if (budget == 0) break;
    if (!star.Alive) continue;
    const HostVector& v = star.Velocity;
    const float speed = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    // A star at rest has no direction to trail behind; one of infinite or no number speed neither.
    if (!(speed > 0.0001f) || !std::isfinite(speed)) continue;
    const HostVector back{-v.x / speed, -v.y / speed, -v.z / speed};
    const int32_t drawn = sprites < budget ? sprites : budget;
    budget -= drawn;
    for (int32_t i = 0; i < drawn; ++i) {
      const float size = TrailSpriteSize(s, i, sprites);
      const float along = static_cast<float>(i) * s.TrailSpacing;
      const HostVector point{star.Position.x + back.x * along, star.Position.y + back.y * along,
                             star.Position.z + back.z * along};
      HostVector screen{};
      float width_scale = 0.0f;
      float height_scale = 0.0f;
      if (!Host::Project(point, screen, width_scale, height_scale)) continue;
      if (!(screen.z > 0.0f)) continue;
      Host::DrawSprite(screen.x, screen.y, screen.z, size * width_scale, size * height_scale, s.Color[0],
                       s.Color[1], s.Color[2], 255, 1.0f / screen.z, 255);
    }
  }

  RestoreSpriteStates<Host>();
}

// One frame of the shooting stars against the running host.
void DrawShootingStars(const ShootingStarSettings& settings, const ShootingStarList& stars);

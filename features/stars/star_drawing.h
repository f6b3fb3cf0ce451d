// The star field's drawing, run on every DrawEvent: the early checks, the one-time generation, the
// brightness, and one additive sprite per star in front of the camera between the render-state
// set-up and its restore. Nothing here allocates.
#pragma once

#include <cstdint>

#include "features/sky_host.h"
#include "features/stars/star_brightness.h"
#include "features/stars/star_field.h"
#include "plugin/host_interface.h"

// One frame of the star field against the host set `Host` (see LiveSkyHost).
template <typename Host>
void DrawStarFieldWith(StarFieldState& field) {
  const StarSettings& s = field.Settings;
  if (Host::TimeMs() < s.StarStartDelay) return;
  if (!Host::SkyGateOpen()) return;
  // The camera sits at the origin until the host has placed it.
  const HostVector placed = Host::CameraPosition();
  if (placed.x == 0.0f && placed.y == 0.0f && placed.z == 0.0f) return;
  const uint32_t raster = Host::SpriteRaster();
  if (raster == 0) return;
  if (!field.Generated) GenerateStarPositions(field, Host::Rand);
  if (SceneSuppressesSky(Host::SceneCode())) return;
  const int32_t field_alpha = FieldAlpha(s, Host::ClockHour(), Host::ClockMinute());
  if (field_alpha <= 0) return;

  // Additive blending: a star's colour scaled by its alpha is its brightness on the sky.
  SetAdditiveSpriteStates<Host>(s.ZTestEnable, raster);

  // Everything the loop reads is held in locals: as far as the compiler can tell, the host calls
  // inside it could change the field, whose members would then be read again for every star.
  const HostVector camera = Host::CameraPosition();
  const HostVector forward = Host::CameraForward();
  const StarPosition* const positions = field.Positions.get();
  const StarTwinkleTiming* const twinkles = field.Twinkles.get();
  const int32_t count = field.StarCount;
  const float size = s.Size;
  const float depth = s.FlickerDepth;
  const int32_t red = s.Red, green = s.Green, blue = s.Blue;
  // Ordinary colours scale in 32 bits, with the division by 255 done by multiplication.
  const bool narrow = ScalesUnsigned32(red) && ScalesUnsigned32(green) && ScalesUnsigned32(blue);
  // The host's timer does not move while a frame is drawn.
  const float time = static_cast<float>(Host::TimeMs());
  for (int32_t i = 0; i < count; ++i) {
    const StarPosition& offset = positions[i];
    const HostVector world{camera.x + offset.x, camera.y + offset.y, camera.z + offset.z};
    const float ahead = (world.x - camera.x) * forward.x + (world.y - camera.y) * forward.y +
                        (world.z - camera.z) * forward.z;
    // Behind or beside the camera; also a star whose position is not a number.
    if (!(ahead > 0.0f)) continue;
    HostVector screen{};
    float width_scale = 0.0f;
    float height_scale = 0.0f;
    if (!Host::Project(world, screen, width_scale, height_scale)) continue;
    if (screen.z <= 0.0f) continue;
    const float phase = twinkles[i].Rate * time + twinkles[i].Offset;
    const int32_t alpha = StarAlpha(StarTwinkleAt(phase, depth), field_alpha);
    uint8_t r, g, b;
    if (narrow) {
      r = static_cast<uint8_t>(static_cast<uint32_t>(red * alpha) / 255u);
      g = static_cast<uint8_t>(static_cast<uint32_t>(green * alpha) / 255u);
      b = static_cast<uint8_t>(static_cast<uint32_t>(blue * alpha) / 255u);
    } else {
      r = ScaleChannel(red, alpha);
      g = ScaleChannel(green, alpha);
      b = ScaleChannel(blue, alpha);
    }
    Host::DrawSprite(screen.x, screen.y, screen.z, size * width_scale, size * height_scale, r, g, b,
                     255, 1.0f / screen.z, 255);
  }

  RestoreSpriteStates<Host>();
}

// One frame of the star field against the running host.
void DrawStarField(StarFieldState& field);

// World vectors and the host's pinhole camera, as the emulated host projects: a 640x480 reference
// screen, a 70 degree vertical field of view, up = right x forward. The preview projects glows and
// point lights with it, so they land where the host's own projection puts its sprites.
#pragma once

#include <cstdint>

namespace preview {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline constexpr float kReferenceWidth = 640.0f;
inline constexpr float kReferenceHeight = 480.0f;
// 240 / tan(35 degrees), rounded to a float: the distance of the reference screen in pixels.
inline constexpr float kFocal = 342.7555236816406f;

struct Camera {
  Vec3 position;
  Vec3 forward;
  Vec3 right;
  Vec3 Up() const { return Cross(right, forward); }
};

// A world point on the reference screen. `depth` is the distance along the view direction;
// `scale` the reference pixels per world unit at that depth. Only meaningful when `in_front`.
struct Projection {
  bool in_front = false;
  float x = 0, y = 0, depth = 0, scale = 0;
};

inline Projection Project(const Camera& camera, Vec3 world) {
  const Vec3 d = world - camera.position;
  const float depth = Dot(d, camera.forward);
  if (!(depth > 0.0f)) return {};
  const float scale = kFocal / depth;
  return {true, kReferenceWidth / 2 + Dot(d, camera.right) * scale,
          kReferenceHeight / 2 - Dot(d, camera.Up()) * scale, depth, scale};
}

}  // namespace preview

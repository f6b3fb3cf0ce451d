#include "tools/preview/render.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace preview {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Colours of the day, 0 to 255, at minutes of the day; in between they blend linearly.
struct SkyKey {
  float minute;
  float zenith[3];
  float horizon[3];
  float night;  // 1 at night, 0 by day: the city's lights and the ground's darkness
};
constexpr SkyKey kSky[] = {
    {0, {3, 5, 14}, {14, 20, 42}, 1},
    {300, {3, 5, 14}, {14, 20, 42}, 1},
    {360, {22, 34, 78}, {150, 90, 80}, 0.6f},
    {420, {60, 110, 190}, {190, 170, 150}, 0.15f},
    {480, {70, 130, 215}, {175, 205, 235}, 0},
    {1080, {70, 130, 215}, {175, 205, 235}, 0},
    {1140, {55, 80, 150}, {220, 130, 80}, 0.3f},
    {1200, {16, 22, 55}, {70, 50, 70}, 0.8f},
    {1260, {3, 5, 14}, {14, 20, 42}, 1},
    {1440, {3, 5, 14}, {14, 20, 42}, 1},
};

struct Palette {
  float zenith[3], horizon[3], ground[3], road[3], marking[3], wall[3], window[3], vehicle[3];
  float night;
};

float Mix(float a, float b, float k) { return a + (b - a) * k; }

void MixInto(float out[3], const float a[3], const float b[3], float k) {
  for (int c = 0; c < 3; ++c) out[c] = Mix(a[c], b[c], k);
}

Palette PaletteAt(int hour, int minute) {
  const float now = static_cast<float>(hour * 60 + minute);
  std::size_t i = 0;
  while (i + 2 < std::size(kSky) && kSky[i + 1].minute <= now) ++i;
  const SkyKey& a = kSky[i];
  const SkyKey& b = kSky[i + 1];
  const float k = std::clamp((now - a.minute) / (b.minute - a.minute), 0.0f, 1.0f);
  Palette p{};
  for (int c = 0; c < 3; ++c) {
    p.zenith[c] = Mix(a.zenith[c], b.zenith[c], k) / 255;
    p.horizon[c] = Mix(a.horizon[c], b.horizon[c], k) / 255;
  }
  p.night = Mix(a.night, b.night, k);
  const float day = 1 - p.night;
  const float ground_night[3] = {10, 11, 12}, ground_day[3] = {70, 82, 62};
  const float road_night[3] = {24, 24, 28}, road_day[3] = {96, 96, 102};
  const float marking_night[3] = {80, 80, 68}, marking_day[3] = {225, 225, 205};
  const float wall_night[3] = {13, 13, 19}, wall_day[3] = {118, 124, 136};
  const float vehicle_night[3] = {36, 38, 44}, vehicle_day[3] = {150, 40, 40};
  MixInto(p.ground, ground_night, ground_day, day);
  MixInto(p.road, road_night, road_day, day);
  MixInto(p.marking, marking_night, marking_day, day);
  MixInto(p.wall, wall_night, wall_day, day);
  MixInto(p.vehicle, vehicle_night, vehicle_day, day);
  const float window[3] = {255, 205, 120};
  for (int c = 0; c < 3; ++c) {
    p.ground[c] /= 255;
    p.road[c] /= 255;
    p.marking[c] /= 255;
    p.wall[c] /= 255;
    p.vehicle[c] /= 255;
    p.window[c] = Mix(p.wall[c], window[c] / 255 * 0.85f, p.night);
  }
  return p;
}

// Pixel index range [first, last) covered by [low, high), clipped to [0, size).
void Span(float low, float high, int size, int* first, int* last) {
  const float limit = static_cast<float>(size);
  *first = static_cast<int>(std::floor(std::clamp(low, 0.0f, limit)));
  *last = static_cast<int>(std::ceil(std::clamp(high, 0.0f, limit)));
}

// `value` modulo `period`, from 0 up to the period.
float Repeat(float value, float period) { return value - period * std::floor(value / period); }

// A channel from 0 to 1 (more is light beyond white) as a byte, rounded.
uint8_t ToByte(float value) {
  return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
}

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

}  // namespace

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      sx_(static_cast<float>(width) / kReferenceWidth),
      sy_(static_cast<float>(height) / kReferenceHeight),
      rgb_(3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0f),
      depth_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kInfinity) {}

void Canvas::PaintScene(const Camera& camera, const std::vector<PlacedVehicle>& vehicles, int hour,
                        int minute) {
  const Palette p = PaletteAt(hour, minute);
  const Vec3 up = camera.Up();
  for (int y = 0; y < height_; ++y) {
    const float b = (kReferenceHeight / 2 - (static_cast<float>(y) + 0.5f) / sy_) / kFocal;
    for (int x = 0; x < width_; ++x) {
      const float a = ((static_cast<float>(x) + 0.5f) / sx_ - kReferenceWidth / 2) / kFocal;
      // The view ray through the pixel, one unit along the view direction.
      const Vec3 ray = camera.forward + camera.right * a + up * b;
      float* pixel = At(x, y);
      const float t = ray.z < 0 ? -camera.position.z / ray.z : kInfinity;
      if (t > 0 && t < 40000.0f) {
        const Vec3 hit = camera.position + ray * t;
        const float u = AlongRoad(hit), v = AcrossRoad(hit);
        const float* colour = p.ground;
        if (v > -kRoadHalfWidth && v < kRoadHalfWidth && u > -200.0f && u < 3000.0f) {
          const bool dash = v > -0.15f && v < 0.15f && Repeat(u + 200.0f, 9.0f) < 4.5f;
          colour = dash ? p.marking : p.road;
        }
        const float haze = std::min(1.0f, t / 8000.0f);
        for (int c = 0; c < 3; ++c) pixel[c] = Mix(colour[c], p.horizon[c], haze);
        depth_[static_cast<std::size_t>(y) * width_ + x] = t;
      } else {
        const float height = ray.z / std::sqrt(Dot(ray, ray));
        const float k =
            1 - (1 - std::clamp(height, 0.0f, 1.0f)) * (1 - std::clamp(height, 0.0f, 1.0f));
        for (int c = 0; c < 3; ++c) pixel[c] = Mix(p.horizon[c], p.zenith[c], k);
      }
    }
  }
  for (const Building& building : Skyline()) PaintBuilding(camera, building, p.wall, p.window);
  for (const PlacedVehicle& vehicle : vehicles) PaintVehicle(camera, vehicle, p.vehicle);
}

void Canvas::PaintBuilding(const Camera& camera, const Building& building, const float wall[3],
                           const float window[3]) {
  const Projection base = Project(camera, building.base);
  const Projection top = Project(camera, building.base + Vec3{0, 0, building.height});
  if (!base.in_front || !top.in_front) return;
  const float cx = base.x * sx_, half = building.half_width * base.scale * sx_;
  const float bottom = base.y * sy_, roof = top.y * sy_;
  int x0, x1, y0, y1;
  Span(cx - half, cx + half, width_, &x0, &x1);
  Span(roof, bottom, height_, &y0, &y1);
  // Windows in cells of 5 world units; where the cells are too small to show them, their light
  // tints the wall.
  const float cell_w = 5.0f * base.scale * sx_, cell_h = 5.0f * base.scale * sy_;
  const bool small = cell_w < 2.0f || cell_h < 2.0f;
  float tinted[3];
  MixInto(tinted, wall, window, 0.1f);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      float& depth = depth_[static_cast<std::size_t>(y) * width_ + x];
      if (!(base.depth < depth)) continue;
      depth = base.depth;
      const float across = (static_cast<float>(x) + 0.5f - (cx - half)) / cell_w;
      const float up = (bottom - (static_cast<float>(y) + 0.5f)) / cell_h;
      const float fx = across - std::floor(across), fy = up - std::floor(up);
      // A cell number through a signed integer: a row's centre can lie a little below the base,
      // where `up` is negative, and a negative float has no unsigned value.
      const bool lit = Hash(building.seed, static_cast<uint32_t>(static_cast<int32_t>(across)),
                            static_cast<uint32_t>(static_cast<int32_t>(up))) % 3 == 0;
      const float* colour = small ? tinted : wall;
      if (lit && !small && fx > 0.25f && fx < 0.75f && fy > 0.3f && fy < 0.75f) colour = window;
      float* pixel = At(x, y);
      for (int c = 0; c < 3; ++c) pixel[c] = colour[c];
    }
  }
}

void Canvas::PaintVehicle(const Camera& camera, const PlacedVehicle& vehicle,
                          const float colour[3]) {
  const Projection base = Project(camera, vehicle.position + Vec3{0, 0, 0.3f});
  const Projection top = Project(camera, vehicle.position + Vec3{0, 0, 1.5f});
  if (!base.in_front || !top.in_front) return;
  const float cx = base.x * sx_, half = 1.1f * base.scale * sx_;
  int x0, x1, y0, y1;
  Span(cx - half, cx + half, width_, &x0, &x1);
  Span(top.y * sy_, base.y * sy_, height_, &y0, &y1);
  // The body hides the road behind it; it does not hide the vehicle's own lights, so its depth
  // is not kept.
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float* pixel = At(x, y);
      for (int c = 0; c < 3; ++c) pixel[c] = colour[c];
    }
}

void Canvas::Splat(float cx, float cy, float rx, float ry, const float colour[3], float alpha,
                   bool additive) {
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  // A splat narrower than a pixel keeps its light: it covers one pixel, dimmed by what it lacks.
  float strength = 1.0f;
  constexpr float kLeast = 0.75f;
  if (rx < kLeast) {
    strength *= rx / kLeast;
    rx = kLeast;
  }
  if (ry < kLeast) {
    strength *= ry / kLeast;
    ry = kLeast;
  }
  int x0, x1, y0, y1;
  Span(cx - rx, cx + rx, width_, &x0, &x1);
  Span(cy - ry, cy + ry, height_, &y0, &y1);
  if (x0 >= x1 || y0 >= y1) return;
  covered_.push_back({x0, y0, x1, y1});
  for (int y = y0; y < y1; ++y) {
    const float dy = (static_cast<float>(y) + 0.5f - cy) / ry;
    for (int x = x0; x < x1; ++x) {
      const float dx = (static_cast<float>(x) + 0.5f - cx) / rx;
      const float d2 = dx * dx + dy * dy;
      if (!(d2 < 1.0f)) continue;
      const float texture = (1 - d2) * (1 - d2) * strength;
      float* pixel = At(x, y);
      if (additive) {
        for (int c = 0; c < 3; ++c) pixel[c] += colour[c] * texture;
      } else {
        const float k = alpha * texture;
        for (int c = 0; c < 3; ++c) pixel[c] = Mix(pixel[c], colour[c], k);
      }
    }
  }
}

float Canvas::DepthAt(float x, float y) const {
  if (!(x >= 0 && y >= 0 && x < static_cast<float>(width_) && y < static_cast<float>(height_)))
    return kInfinity;
  return depth_[static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x)];
}

void Canvas::PaintFrame(const Camera& camera, const TraceFrame& frame) {
  for (const PointLight& light : frame.lights) {
    const Projection p = Project(camera, light.position);
    if (!p.in_front) continue;
    // A pool of light 8 world units wide either side, as strong as the brightness up to 4.
    const float k = std::clamp(light.brightness, 0.0f, 4.0f) / 4.0f * 0.6f;
    const float colour[3] = {light.r * k, light.g * k, light.b * k};
    const float radius = 8.0f * p.scale;
    Splat(p.x * sx_, p.y * sy_, radius * sx_, radius * sy_, colour, 1.0f, true);
  }
  for (const Sprite& s : frame.sprites) {
    const float x = s.x * sx_, y = s.y * sy_;
    if (s.depth_test && s.depth > DepthAt(x, y)) continue;
    const float colour[3] = {s.r / 255.0f, s.g / 255.0f, s.b / 255.0f};
    Splat(x, y, s.half_width * sx_, s.half_height * sy_, colour, s.a / 255.0f, s.additive);
  }
  for (const Glow& glow : frame.glows) {
    const Projection p = Project(camera, glow.position);
    if (!p.in_front || p.depth > glow.far) continue;
    const float x = p.x * sx_, y = p.y * sy_;
    if (p.depth > DepthAt(x, y)) continue;
    const float k = glow.a / 255.0f / 255.0f;
    const float colour[3] = {glow.r * k, glow.g * k, glow.b * k};
    const float radius = glow.size * p.scale;
    Splat(x, y, radius * sx_, radius * sy_, colour, 1.0f, true);
  }
}

Image Canvas::ToImage() const {
  Image image{width_, height_, std::vector<uint8_t>(rgb_.size())};
  for (std::size_t i = 0; i < rgb_.size(); ++i) image.rgb[i] = ToByte(rgb_[i]);
  return image;
}

void Canvas::ToImage(const PixelRect& rect, Image& image) const {
  for (int y = rect.y0; y < rect.y1; ++y) {
    const std::size_t start = 3 * (static_cast<std::size_t>(y) * width_ + rect.x0);
    const std::size_t end = 3 * (static_cast<std::size_t>(y) * width_ + rect.x1);
    for (std::size_t i = start; i < end; ++i) image.rgb[i] = ToByte(rgb_[i]);
  }
}

void Canvas::CopyRect(const Canvas& other, const PixelRect& rect) {
  for (int y = rect.y0; y < rect.y1; ++y) {
    const std::size_t start = 3 * (static_cast<std::size_t>(y) * width_ + rect.x0);
    const std::size_t count = 3 * static_cast<std::size_t>(rect.x1 - rect.x0);
    std::copy_n(&other.rgb_[start], count, &rgb_[start]);
  }
}

std::vector<PixelRect> Canvas::TakeCovered() {
  std::vector<PixelRect> covered;
  covered.swap(covered_);
  return covered;
}

Image RenderPicture(const SceneSettings& scene, const TraceFrame& frame, int width, int height) {
  const Camera camera = CameraFor(scene.camera);
  Canvas canvas(width, height);
  canvas.PaintScene(camera, PlaceVehicles(scene.models), scene.hour, scene.minute);
  canvas.PaintFrame(camera, frame);
  return canvas.ToImage();
}

FrameRenderer::FrameRenderer(const SceneSettings& scene, int width, int height)
    : camera_(CameraFor(scene.camera)),
      vehicles_(PlaceVehicles(scene.models)),
      width_(width),
      height_(height),
      background_(width, height),
      canvas_(width, height) {}

const Image& FrameRenderer::Render(int minute_of_day, const TraceFrame& frame) {
  if (minute_of_day != minute_) {
    minute_ = minute_of_day;
    background_ = Canvas(width_, height_);
    background_.PaintScene(camera_, vehicles_, minute_of_day / 60, minute_of_day % 60);
    background_image_ = background_.ToImage();
    canvas_ = background_;
    image_ = background_image_;
    covered_.clear();
  }
  // Where the last frame's items lay, the scene comes back.
  for (const PixelRect& rect : covered_) {
    canvas_.CopyRect(background_, rect);
    for (int y = rect.y0; y < rect.y1; ++y) {
      const std::size_t start = 3 * (static_cast<std::size_t>(y) * width_ + rect.x0);
      std::copy_n(&background_image_.rgb[start], 3 * static_cast<std::size_t>(rect.x1 - rect.x0),
                  &image_.rgb[start]);
    }
  }
  canvas_.TakeCovered();
  canvas_.PaintFrame(camera_, frame);
  covered_ = canvas_.TakeCovered();
  for (const PixelRect& rect : covered_) canvas_.ToImage(rect, image_);
  return image_;
}

}  // namespace preview

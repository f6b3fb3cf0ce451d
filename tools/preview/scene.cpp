#include "tools/preview/scene.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "features/vehicle_lights/vehicle_light_settings.h"
#include "settings/convert.h"
#include "settings/reader.h"

namespace preview {

namespace {

// The road's direction (azimuth 206 degrees) and its right-hand side, horizontal unit vectors.
constexpr Vec3 kAlong{-0.89879405f, -0.43837115f, 0.0f};
constexpr Vec3 kAcross{-0.43837115f, 0.89879405f, 0.0f};
constexpr Vec3 kUp{0.0f, 0.0f, 1.0f};

// A view along the road pitched up by an angle given as its cosine and sine.
Camera RoadCamera(Vec3 position, float cos_pitch, float sin_pitch) {
  return {position, kAlong * cos_pitch + kUp * sin_pitch, kAcross};
}

// The scene's fixed items, in the local frame (u along the road, v across, z up).
constexpr float kCameraHeight = 25.0f;
constexpr Vec3 kPlane{420.0f, -120.0f, 210.0f};
constexpr Vec3 kSign{1800.0f, -250.0f, 420.0f};
constexpr float kSignWidth = 12.0f;  // world units either side, before the sky sign's own size
constexpr float kMoonDistance = 5000.0f;
constexpr float kMoonRadius = 0.03f;                // of its distance
constexpr Vec3 kMoonDirection{0.8f, 0.37f, 0.47f};  // roughly unit: 25 degrees right, 28 up
constexpr int kWarmUpFrames = 11;
// A scene code at which the star field draws nothing while the shooting stars, which look at the
// scene code only when the plugin loads, still draw: the probe draw of each frame.
constexpr int kProbeScene = 1;

Vec3 Local(Vec3 l) { return LocalToWorld(l.x, l.y, l.z); }

// A small generator of the scene's own, so that the skyline is the same on every platform.
uint32_t Next(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

class ScriptWriter {
 public:
  ScriptWriter& Word(std::string_view word) {
    if (!text_.empty() && text_.back() != '\n') text_ += ' ';
    text_ += word;
    return *this;
  }
  ScriptWriter& Num(float value) { return Word(FloatText(value)); }
  ScriptWriter& Int(int64_t value) { return Word(std::to_string(value)); }
  ScriptWriter& Vec(Vec3 v) { return Num(v.x).Num(v.y).Num(v.z); }
  ScriptWriter& End() {
    text_ += '\n';
    return *this;
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The host's sprite arguments for a world point seen from `camera`, `radius` world units wide
// either side: x y z w h r g b 255 1/z 255. False when the point is off the screen.
bool HostSprite(ScriptWriter& out, const char* command, const Camera& camera, Vec3 world,
                float radius, int r, int g, int b) {
  const Projection p = Project(camera, world);
  if (!p.in_front || p.x < 0 || p.x > kReferenceWidth || p.y < 0 || p.y > kReferenceHeight)
    return false;
  out.Word(command).Num(p.x).Num(p.y).Num(p.depth).Num(radius * p.scale).Num(radius * p.scale);
  out.Int(r).Int(g).Int(b).Int(255).Num(1.0f / p.depth).Int(255).End();
  return true;
}

}  // namespace

Vec3 LocalToWorld(float u, float v, float z) { return kAlong * u + kAcross * v + kUp * z; }
float AlongRoad(Vec3 world) { return Dot(world, kAlong); }
float AcrossRoad(Vec3 world) { return Dot(world, kAcross); }

Camera CameraFor(CameraPreset preset) {
  switch (preset) {
    case CameraPreset::kSky:  // 55 degrees up
      return RoadCamera(LocalToWorld(0, 0, kCameraHeight), 0.57357644f, 0.81915204f);
    case CameraPreset::kStreet:  // at eye height on the road behind the traffic, 4 degrees up
      return RoadCamera(LocalToWorld(45, 0, 1.8f), 0.99756405f, 0.06975647f);
    case CameraPreset::kCity:
      break;
  }
  return RoadCamera(LocalToWorld(0, 0, kCameraHeight), 0.9781476f, 0.20791169f);  // 12 up
}

const char* CameraName(CameraPreset preset) {
  switch (preset) {
    case CameraPreset::kSky:
      return "sky";
    case CameraPreset::kStreet:
      return "street";
    case CameraPreset::kCity:
      break;
  }
  return "city";
}

std::vector<PlacedVehicle> PlaceVehicles(const std::vector<int32_t>& models) {
  std::vector<PlacedVehicle> vehicles;
  for (std::size_t i = 0; i < models.size() && i < kMaxVehicles; ++i) {
    // Away from the camera on the right-hand lane, towards it on the left, every 28 units.
    const bool away = i % 2 == 0;
    const float u = 70.0f + 28.0f * static_cast<float>(i);
    const Vec3 forward = away ? kAlong : kAlong * -1.0f;
    const Vec3 right = away ? kAcross : kAcross * -1.0f;
    vehicles.push_back({models[i], LocalToWorld(u, away ? 2.5f : -2.5f, 0), {right, forward, kUp}});
  }
  return vehicles;
}

const std::vector<Building>& Skyline() {
  static const std::vector<Building> buildings = [] {
    std::vector<Building> list;
    uint32_t state = 20240601u;
    for (int i = 0; i < 72; ++i) {
      const float v =
          -1800.0f + 50.0f * static_cast<float>(i) + static_cast<float>(Next(state) % 30);
      const float u = 700.0f + static_cast<float>(Next(state) % 700);
      const float half_width = 12.0f + static_cast<float>(Next(state) % 26);
      const float height = 30.0f + static_cast<float>(Next(state) % 150);
      const uint32_t seed = Next(state);
      // The road leaves the city between the buildings.
      if (v + half_width > -3 * kRoadHalfWidth && v - half_width < 3 * kRoadHalfWidth) continue;
      list.push_back({LocalToWorld(u, v, 0), half_width, height, seed});
    }
    // Far ones first, so that nearer ones are painted over them.
    std::stable_sort(list.begin(), list.end(), [](const Building& a, const Building& b) {
      return AlongRoad(a.base) > AlongRoad(b.base);
    });
    return list;
  }();
  return buildings;
}

bool HostDrawsMoon(int hour) { return hour >= 19 || hour <= 5; }

uint32_t WarmUpFrames(const SceneSettings& s) {
  return std::min<uint32_t>(kWarmUpFrames, s.timer / kFrameMs);
}

std::string SceneScript(const SceneSettings& s) {
  return MomentsScript(s, {Moment{s.hour * 60 + s.minute, s.timer, 1.0f, true}});
}

std::string MomentsScript(const SceneSettings& s, const std::vector<Moment>& moments) {
  const Camera camera = CameraFor(s.camera);
  ScriptWriter out;
  out.Word("# the preview scene").End();
  out.Word("build 100").End().Word("scene 0").End().Word("timestep 1").End();
  out.Word("clock").Int(s.hour).Int(s.minute).End();
  out.Word("camera").Vec(camera.position).Vec(camera.forward).Vec(camera.right).End();
  const std::vector<PlacedVehicle> vehicles = PlaceVehicles(s.models);
  if (!vehicles.empty()) {
    out.Word("pool").Int(static_cast<int64_t>(vehicles.size())).End();
    for (std::size_t i = 0; i < vehicles.size(); ++i) {
      const PlacedVehicle& v = vehicles[i];
      out.Word("vehicle").Int(static_cast<int64_t>(i)).Int(v.model).Vec(v.position).Int(1000);
      out.Vec(v.axes[0]).Vec(v.axes[1]).Vec(v.axes[2]).End();
    }
  }
  // Warm-up frames up to the picture's timer, without the sky drawn (the plugin's simulation runs
  // all the same), then the frames of the moments.
  const uint32_t warm_up = WarmUpFrames(s);
  out.Word("time").Int(s.timer - warm_up * kFrameMs).End();
  out.Word("skygate 0").End().Word("load").End().Word("startup").End();
  if (warm_up > 0) out.Word("frame").Int(warm_up).Int(kFrameMs).End();
  out.Word("skygate 1").End();

  const Vec3 sign = Local(kSign);
  const Vec3 plane = Local(kPlane);
  int minute = s.hour * 60 + s.minute;
  float step = 1.0f;
  for (const Moment& m : moments) {
    if (m.minute_of_day != minute) {
      minute = m.minute_of_day;
      out.Word("clock").Int(minute / 60).Int(minute % 60).End();
    }
    if (m.time_step != step) {
      step = m.time_step;
      out.Word("timestep").Num(step).End();
    }
    out.Word("time").Int(m.timer).End().Word("update").End();
    if (m.sky) {
      out.Word("draw").End();
      out.Word("scene").Int(kProbeScene).End().Word("draw").End().Word("scene 0").End();
    }
    // The host's own drawing, which the plugin restyles.
    if (HostDrawsMoon(minute / 60)) {
      const Vec3 moon = camera.position + Local(kMoonDirection) * kMoonDistance;
      HostSprite(out, "moon", camera, moon, kMoonDistance * kMoonRadius, 235, 235, 215);
    }
    HostSprite(out, "logo-r", camera, sign, kSignWidth, 255, 255, 255);
    HostSprite(out, "logo-star", camera, sign + LocalToWorld(0, 60, 40), kSignWidth, 255, 255,
               255);
    // The plane flies to the right; its three trail glows follow it, each reported at a primary
    // and a secondary site.
    for (int k = 1; k <= 3; ++k) {
      const float back = 35.0f * static_cast<float>(k);
      const float drop = 2.0f * static_cast<float>(k);
      out.Word("trail").Int(k).Vec(plane + LocalToWorld(0, -back, -drop)).End();
      out.Word("trail").Int(k + 3).Vec(plane + LocalToWorld(0, -back - 17.0f, -drop - 1.0f)).End();
    }
    // Plane glows: far wing tip, tail, near wing tip, belly.
    const Vec3 glows[4] = {LocalToWorld(14, 0, 0), LocalToWorld(0, -10, 2),
                           LocalToWorld(-14, 0, 0), LocalToWorld(0, 0, -1.5f)};
    for (int site = 1; site <= 4; ++site)
      out.Word("plane-glow").Int(site).Int(site).Vec(plane + glows[site - 1]).Int(0).End();
  }
  return out.Text();
}

namespace {

// Where the emulated host puts its vehicles, and how the plugin numbers a vehicle's lights: the
// fixed lights (left, right, middle) from 1000 on, its custom lights from 2000 on.
constexpr uint32_t kFirstVehicle = 0x48000010;
constexpr uint32_t kVehicleBytes = 1500;
constexpr uint32_t kFixedLights = 1000, kCustomLights = 2000;
constexpr uint32_t kMostCustomLights = 500;  // beyond, an identifier would reach the next vehicle

// The light number of `glow` on vehicle `index` counted from the first fixed light, or -1 when
// its identifier is not one of that vehicle's.
int64_t LightNumber(const Glow& glow, int index) {
  const int64_t offset = static_cast<int64_t>(glow.id) -
                         (kFirstVehicle + static_cast<int64_t>(index) * kVehicleBytes);
  if (offset >= kFixedLights && offset < kFixedLights + 3) return offset - kFixedLights;
  if (offset >= kCustomLights && offset < kCustomLights + kMostCustomLights) return offset - kFixedLights;
  return -1;
}

}  // namespace

int VehicleOfGlow(const Glow& glow, const std::vector<PlacedVehicle>& vehicles) {
  if (glow.feature != Feature::kVehicleLights) return -1;
  for (std::size_t i = 0; i < vehicles.size(); ++i)
    if (LightNumber(glow, static_cast<int>(i)) >= 0) return static_cast<int>(i);
  int nearest = -1;
  float best = 0;
  for (std::size_t i = 0; i < vehicles.size(); ++i) {
    const Vec3 d = glow.position - vehicles[i].position;
    const float distance = Dot(d, d);
    if (nearest < 0 || distance < best) {
      nearest = static_cast<int>(i);
      best = distance;
    }
  }
  return nearest;
}

std::string LightName(const Glow& glow, int vehicle) {
  const int64_t number = vehicle < 0 ? -1 : LightNumber(glow, vehicle);
  static const char* const kFixed[] = {"left light", "right light", "middle light"};
  if (number < 0) return "light";
  if (number < 3) return kFixed[number];
  return "custom light " + std::to_string(number - (kCustomLights - kFixedLights) + 1);
}

namespace {

// Collects the models of the vehicle sections as the settings reader's one pass finds them.
class ModelCollector {
 public:
  // A section whose name holds the vehicle lights' mark, also one switched off, gives a model.
  bool Section(std::string_view name) {
    End();
    return name.find(kVehicleSectionMark) != std::string_view::npos;
  }
  void Entry(std::string_view key, std::string_view value) {
    if (key != kVehicleModelKey.name) return;
    try {
      model_ = ParseInt(std::string(value));
    } catch (const SettingsConversionError&) {
      model_.reset();
    }
  }
  // The section read last ends.
  void End() {
    if (model_ && std::find(models.begin(), models.end(), *model_) == models.end())
      models.push_back(*model_);
    model_.reset();
  }

  std::vector<int32_t> models;

 private:
  std::optional<int32_t> model_;  // of the section being read: its last readable model
};

}  // namespace

std::vector<int32_t> VehicleModels(const std::string& settings_file) {
  ModelCollector collector;
  VisitSettingsFile(settings_file.c_str(), collector);
  collector.End();
  return collector.models;
}

std::string FloatText(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace preview

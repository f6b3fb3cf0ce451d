// Every feature loader over arbitrary file contents, then each feature's per-frame arithmetic on
// what it loaded, against host values taken from the input: the star field (generation and one
// frame against a stand-in sky), the shooting stars (updates and a frame), the moon shading, the
// sky sign and trail glows, the plane update switching and the vehicle lights' alpha and
// placement. Nothing here touches host memory, so it runs on any machine.
//
// Input: the host values are read from the end of the input (see FuzzedDataProvider), what remains
// at the front is the settings file.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "features/moon/moon_settings.h"
#include "features/moon/moon_shading.h"
#include "features/planes/plane_trails.h"
#include "features/planes/plane_update.h"
#include "features/planes/plane_update_settings.h"
#include "features/shooting_stars/shooting_star_drawing.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "features/sky_logo/sky_logo.h"
#include "features/sky_logo/sky_logo_drawing.h"
#include "features/stars/star_drawing.h"
#include "features/vehicle_lights/vehicle_light_emission.h"
#include "features/vehicle_lights/vehicle_light_settings.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/host_rand.h"

namespace {

// The host values of one input. Floats are taken as raw bits, so NaN and infinities come too.
struct HostValues {
  uint32_t time = 0;
  float step = 1.0f;
  uint8_t hour = 0, minute = 0, scene = 0;
  HostVector position{}, forward{}, right{};
  HostVector vehicle{};
  bool gate = true;
  HostRand rand;
  int sprites = 0;
} host;

float AnyFloat(FuzzedDataProvider& in) { return std::bit_cast<float>(in.ConsumeIntegral<uint32_t>()); }
HostVector AnyVector(FuzzedDataProvider& in) { return {AnyFloat(in), AnyFloat(in), AnyFloat(in)}; }

// A stand-in sky: it projects a point straight onto the screen when its coordinates are finite.
struct FuzzSky {
  static uint32_t TimeMs() { return host.time; }
  static float TimeStep() { return host.step; }
  static uint8_t ClockHour() { return host.hour; }
  static uint8_t ClockMinute() { return host.minute; }
  static uint8_t SceneCode() { return host.scene; }
  static HostVector CameraPosition() { return host.position; }
  static HostVector CameraForward() { return host.forward; }
  static HostVector CameraRight() { return host.right; }
  static int Rand() { return host.rand.Next(); }
  static bool SkyGateOpen() { return host.gate; }
  static uint32_t SpriteRaster() { return 7; }
  static void SetRenderState(uint32_t, uint32_t) {}
  static bool Project(const HostVector& world, HostVector& screen, float& w, float& h) {
    screen = {world.x, world.y, std::fabs(world.z) + 1.0f};
    w = h = 1.0f;
    return std::isfinite(world.x) && std::isfinite(world.y) && std::isfinite(world.z);
  }
  static void DrawSprite(float, float, float, float, float, uint8_t, uint8_t, uint8_t, int32_t, float,
                         uint8_t) {
    ++host.sprites;
  }
};

// Generating and drawing a million stars is what the settings allow, but too slow to fuzz.
constexpr int32_t kStarsDrawn = 4096;

void FuzzStarField() {
  StarFieldState field;
  LoadStarSettings(field);
  fuzz::Require(field.StarCount == StarCountFor(field.Settings.NumStars) && field.Positions,
                "the star field holds as many positions as its bounded count");
  if (field.StarCount > kStarsDrawn) return;
  DrawStarFieldWith<FuzzSky>(field);
  fuzz::Require(host.sprites <= field.StarCount, "at most one sprite per star");
}

void FuzzShootingStars() {
  ShootingStarSettings settings;
  LoadShootingStarSettings(settings);
  ShootingStarList stars;
  ReserveShootingStars(settings, stars);
  SpawnSchedule schedule;
  const uint32_t start = host.time;
  for (uint32_t frame = 0; frame < 8; ++frame) {
    host.time = start + frame * 4000;
    StepShootingStarsWith<FuzzSky>(settings, stars, schedule);
    fuzz::Require(stars.size() <= kMaxShootingStars, "the shooting star list stays bounded");
  }
  if (settings.NumSprites <= kStarsDrawn) DrawShootingStarsWith<FuzzSky>(settings, stars);
  host.time = start;
}

void FuzzMoon() {
  MoonSettingsState settings;
  ConvertMoonSettings(ReadSettingsSection(kMoonSection), settings);
  MoonSprite sprite{1, 2, 3, 4, 5, 0xAB01, 0xCD02, 0xEF03, 255, 0.5f, 0x1204};
  ShadeMoonSprite(settings, host.time, sprite);
  fuzz::Require((sprite.red >> 8) == 0xAB && (sprite.alpha >> 8) == 0x12,
                "the moon keeps what the host left above the low byte");
}

void FuzzSkyLogo() {
  SkyLogoSettingsState settings;
  ConvertSkyLogoSettings(ReadSettingsSection(kSkyLogoSection), settings);
  for (const SkyLogoWindow* window : {&settings.RWindow, &settings.StarWindow}) {
    const float fade = HourWindowFade(*window, host.hour, host.minute);
    fuzz::Require(fade >= 0.0f && fade <= 1.0f, "a window's fade lies within 0 to 1");
  }
  for (const SkyLogoElement* element : {&settings.R, &settings.Star}) {
    const float share = ElementBlinkFactor(*element, kRPulse, host.time);
    fuzz::Require(share >= 0.0f && share <= 1.0f, "a sprite's flashing share lies within 0 to 1");
    for (uint8_t channel : element->Colour) LogoChannel(channel, share);
  }
  for (const TrailBinding& trail : kTrailBindings) {
    const TrailGlow glow = TrailGlowValues(settings.*trail.Element, trail.Phase, host.time);
    fuzz::Require(glow.Red == (settings.*trail.Element).Colour[0], "a trail keeps its colour");
  }
}

void FuzzPlaneUpdate() {
  PlaneUpdateSettings settings;
  ConvertPlaneUpdateSettings(ReadAllSettings(), settings);
  PlaneModeState state;
  for (uint32_t t = 0; t < 8; ++t) StepPlaneMode(settings, state, host.time + t * 0x20000000u);
}

void FuzzVehicleLights() {
  VehicleLightTable table;
  VehicleLightSettingsState settings;
  LoadVehicleLights(table, settings);
  const VehicleFrame vehicle{
      0x1000, {host.vehicle.x, host.vehicle.y, host.vehicle.z}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (const auto& [model, set] : table) {
    auto emit = [&](const VehicleLight& light, bool fixed) {
      const uint8_t alpha = LightAlpha(light, host.time, host.hour);
      if (light.Type != ElementType::Blink && light.Type != ElementType::Pulse && light.HourOn == -1 &&
          host.time >= static_cast<uint32_t>(light.StartDelay))
        fuzz::Require(alpha == 255, "a steady light shows fully after its delay");
      const LightVector glow = AlongVehicle(vehicle, light.Offset);
      if (fixed) FixedPointLight(vehicle, glow, settings);
      else CustomPointLight(vehicle, glow, settings);
    };
    for (const VehicleLight& light : set.LightGroups) emit(light, true);
    for (const VehicleLight& light : set.CustomLights) emit(light, false);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::EnterGameFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  host = {};
  host.time = in.ConsumeIntegral<uint32_t>();
  host.step = AnyFloat(in);
  host.hour = in.ConsumeIntegral<uint8_t>();
  host.minute = in.ConsumeIntegral<uint8_t>();
  host.scene = in.ConsumeIntegral<uint8_t>();
  host.position = AnyVector(in);
  host.forward = AnyVector(in);
  host.right = AnyVector(in);
  host.gate = in.ConsumeBool();
  host.rand.state = in.ConsumeIntegral<uint32_t>();
  host.vehicle = AnyVector(in);
  fuzz::WriteSettingsFile(in.ConsumeRemainingBytesAsString());

  FuzzStarField();
  FuzzShootingStars();
  FuzzMoon();
  FuzzSkyLogo();
  FuzzPlaneUpdate();
  FuzzVehicleLights();
  return 0;
}

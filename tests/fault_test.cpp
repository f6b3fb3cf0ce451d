// Faults of the host around the plugin: an image at another base, a timer that wraps past 2^32, a
// scene code that changes after load, and extreme host values. The whole plugin runs in the
// emulated host where the behaviour depends on how the pieces meet; a stand-in host where one
// feature's arithmetic is the point.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "features/moon/moon_shading.h"
#include "features/planes/plane_trails.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "features/vehicle_lights/vehicle_light_emission.h"
#include "hostsim/hostsim.h"
#include "tests/isolated.h"
#include "tests/plugin_run.h"

namespace {

using hostsim::kDefaultBase;

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }

// A camera the star field draws with: placed, looking along +y, z up.
void PlaceCamera(hostsim::HostState& state) {
  state.camera_position = {1.0f, 1.0f, 1.0f};
  state.camera_forward = {0.0f, 1.0f, 0.0f};
  state.camera_right = {1.0f, 0.0f, 0.0f};
}

// The code pages of the image that stays at 0x400000 when the plugin's image is moved.
std::vector<uint8_t> FixedImageCode() {
  const auto* first = reinterpret_cast<const uint8_t*>(uintptr_t{hostsim::kCodeStart});
  return {first, first + (hostsim::kDataStart - hostsim::kCodeStart)};
}

// With the host's image at another base every patch of the start-up lands in that image, each
// redirected CALL leads into the plugin, and nothing else in it changes; the image that holds the
// fixed items at 0x400000 keeps its code. The fixed items (here the camera) are read at 0x400000,
// the resolved ones (here the timer) in the moved image.
TEST(ImageAtAnotherBase, PatchesLandInTheMovedImageFixedItemsAreReadAt0x400000AndTheTimerThere) {
  EXPECT_ISOLATED({
    PluginRun run("StarStartDelay = 5000\n", 100, 0x1000000, PlaceCamera);
    hostsim::HostImage& moved = run.Host().Image();
    const hostsim::BuildLayout& layout = moved.Layout();
    const std::vector<uint8_t> fixed_before = FixedImageCode();
    run.Unload();  // loading alone hooks the event sites; the comparison starts before that
    const std::vector<uint8_t> before = moved.CodeBytes();
    run.Load();
    run.Startup();
    const std::vector<uint8_t> after = moved.CodeBytes();
    EXPECT_EQ(FixedImageCode(), fixed_before);

    std::vector<uint32_t> calls{layout.startup_site, layout.update_site, layout.draw_site,
                                hostsim::kMoonSite, hostsim::kLogoRSite, hostsim::kLogoStarSite};
    calls.insert(calls.end(), hostsim::kTrailSites.begin(), hostsim::kTrailSites.end());
    calls.insert(calls.end(), hostsim::kPlaneGlowSites.begin(), hostsim::kPlaneGlowSites.end());
    std::vector<std::pair<uint32_t, uint32_t>> patched;  // address, length
    for (uint32_t site : calls) {
      patched.push_back({site, 5});
      const uint8_t* at = moved.At(site);
      int32_t displacement = 0;
      std::memcpy(&displacement, at + 1, 4);
      Dl_info info{};
      const auto* target = reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(at) + 5 +
                                                         static_cast<uint32_t>(displacement));
      EXPECT_EQ(at[0], 0xE8) << std::hex << site;
      EXPECT_TRUE(dladdr(target, &info) != 0 && info.dli_fname != nullptr &&
                  std::string(info.dli_fname) == NIGHTGLASS_PLUGIN_PATH)
          << std::hex << site;
    }
    for (uint32_t operand : hostsim::kHourOperands) patched.push_back({operand, 1});
    patched.insert(patched.end(), {{hostsim::kPlaneStretch1, 6}, {hostsim::kPlaneStretch2, 6},
                                   {hostsim::kPlaneBranch1, 2}, {hostsim::kPlaneBranch2, 2}});
    EXPECT_EQ(moved.Read(hostsim::kPlaneStretch1, 6), std::vector<uint8_t>(6, 0x90));
    EXPECT_EQ(moved.Read(hostsim::kPlaneStretch2, 6), std::vector<uint8_t>(6, 0x90));
    EXPECT_EQ(moved.Read(hostsim::kPlaneBranch1, 2), (std::vector<uint8_t>{0xEB, 0x22}));
    EXPECT_EQ(moved.Read(hostsim::kPlaneBranch2, 2), (std::vector<uint8_t>{0x90, 0x90}));
    for (size_t i = 0; i < before.size(); ++i) {
      if (before[i] == after[i]) continue;
      const uint32_t address = moved.FirstCodeAddress() + static_cast<uint32_t>(i);
      EXPECT_TRUE(std::any_of(patched.begin(), patched.end(), [address](const auto& site) {
        return address >= site.first && address < site.first + site.second;
      })) << "a change outside every patch site at 0x" << std::hex << address;
    }

    // The camera only in the image at 0x400000, the timer past the delay only in the moved one.
    auto draw = [&](uint32_t moved_time, uint32_t fixed_time) {
      run.Host().ApplyState();
      moved.Set(hostsim::kCameraPosition, std::array<float, 3>{0.0f, 0.0f, 0.0f});
      moved.Set(layout.time_ms, moved_time);
      *reinterpret_cast<volatile uint32_t*>(uintptr_t{layout.time_ms}) = fixed_time;
      run.Trace();
      run.Host().CallSite(layout.draw_site, {});
      return run.Calls("DrawSprite");
    };
    EXPECT_GT(draw(6000, 0), 0);
    EXPECT_EQ(draw(0, 6000), 0);
  });
}

// --- The host's timer wrapping past 2^32 -------------------------------------------------------

// The plane update's forms alternate by their durations, counted across the wrap: with the ignore
// form for more than 3000 ms and the check form for more than 2000 ms, frames 500 ms apart from
// 2^32 - 8192 switch at frames 1 (the first period counts from 0), 6, 13, 18 (the timer wrapped
// after frame 16), 25, 30 and 37.
TEST(HostTimerWrap, PlaneUpdateSwitchesByItsDurationsCountedAcrossTheWrap) {
  EXPECT_ISOLATED({
    PluginRun run("PermanentIgnore = 0\nIgnoreDuration = 3000\nCheckDuration = 2000\n");
    run.State().time_ms = 0xFFFFE000u;
    run.Startup();
    std::string forms;  // I ignore form, C check form, after each frame
    for (int frame = 1; frame <= 40; ++frame) {
      run.Frame(500);
      forms += run.Site(hostsim::kPlaneDecisionSite, {0, 0}) == 1 ? 'I' : 'C';
    }
    EXPECT_EQ(forms, "CCCCC" "IIIIIII" "CCCCC" "IIIIIII" "CCCCC" "IIIIIII" "CCCC");
  });
}

// A stand-in sky for the shooting stars: night, a placed camera, the time and time step set here.
struct WrapSky {
  static inline uint32_t time = 0;
  static inline float step = 1.0f;
  static uint32_t TimeMs() { return time; }
  static float TimeStep() { return step; }
  static uint8_t ClockHour() { return 23; }
  static HostVector CameraPosition() { return {1.0f, 2.0f, 3.0f}; }
  static HostVector CameraForward() { return {0.0f, 1.0f, 0.0f}; }
  static HostVector CameraRight() { return {1.0f, 0.0f, 0.0f}; }
  static int Rand() { return 12345; }
};

// Stars spawn every 10 s and live 15 s, also when the wait for the next one and a star's life run
// past the wrap: updates every second from 2^32 - 65536 spawn at updates 0, 10, 20, ..., and at
// every update exactly the stars born in the last 15 s are alive.
TEST(HostTimerWrap, ShootingStarsKeepTheirIntervalAndLifetimeAcrossTheWrap) {
  ShootingStarSettings s;
  s.MinInterval = s.MaxInterval = 10000;
  s.Lifetime = 15.0f;
  ShootingStarList stars;
  SpawnSchedule schedule;
  const uint32_t start = 0xFFFF0000u;
  for (uint32_t update = 0; update <= 130; ++update) {
    WrapSky::time = start + update * 1000;
    StepShootingStarsWith<WrapSky>(s, stars, schedule);
    // Born at update 10k, alive while less than 15 updates old: the last one or two spawns.
    std::vector<uint32_t> expected;
    if (update >= 10 && update % 10 < 5) expected.push_back(start + (update / 10 - 1) * 10000);
    expected.push_back(start + update / 10 * 10000);
    std::vector<uint32_t> births;
    for (const ShootingStar& star : stars) births.push_back(star.Birth);
    ASSERT_EQ(births, expected) << "update " << update;
  }
}

// What each flashing pattern shows around the wrap. The moon and the trails take the timer as a
// signed number (so a negative time lies before a cycle start, in its lit part); the vehicle
// lights take it unsigned (so the last cycle before the wrap is cut short). Blink 200 ms lit,
// 800 ms dark.
TEST(HostTimerWrap, BlinkingAroundTheWrapFollowsEachPatternsReadingOfTheTimer) {
  VehicleLight light;
  light.Type = ElementType::Blink;
  light.OnTime = 200;
  light.OffTime = 800;
  SkyLogoElement trail{{255, 0, 0}, 15.0f, ElementType::Blink, 200, 800};
  struct Row {
    uint32_t time;
    bool moon_lit, trail_lit, light_lit;
  };
  const Row rows[] = {
      {0xFFFFFC18u, true, true, false},  // -1000; 4294966296 % 1000 = 296
      {0xFFFFFD00u, true, true, false},  // -768; 4294966528 % 1000 = 528
      {0xFFFFFF00u, true, true, true},   // -256; 4294967040 % 1000 = 40
      {0xFFFFFFFFu, true, true, false},  // -1; 4294967295 % 1000 = 295
      {0u, true, true, true},
      {199u, true, true, true},
      {200u, false, false, false},
      {999u, false, false, false},
      {1000u, true, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.time);
    EXPECT_EQ(MoonBlinkAlpha(200, 800, static_cast<int32_t>(row.time), 77), row.moon_lit ? 255 : 0);
    EXPECT_EQ(TrailGlowValues(trail, 0.0f, row.time).Alpha, row.trail_lit ? 255 : 0);
    EXPECT_EQ(LightAlpha(light, row.time, 0), row.light_lit ? 255 : 0);
  }
}

// --- The scene code changing after load --------------------------------------------------------

// Sprite arguments as the host passes them: x y z w h, colour, 255, 1/z, alpha.
std::vector<uint32_t> SpriteArgs() {
  return {Bits(100), Bits(100), Bits(2), Bits(4), Bits(4), 200, 200, 200, 255, Bits(0.5f), 255};
}

float trail_position[3] = {5.0f, 6.0f, 7.0f};

// A trail glow as the game calls its first site: the glow routine's own arguments.
std::vector<uint32_t> TrailArgs() {
  const auto position = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(trail_position));
  return {101, 1, 2, 3, 4, position, Bits(5), Bits(6), 7, 8, 9, 10, 11, 12, 13, Bits(14)};
}

constexpr const char* kSkyAllDay =
    "MinHour = 0\nMaxHour = 23\nStarFadeInEnable = 0\nStarFadeOutEnable = 0\n"
    "[ShootingStars]\nEnable = 0\n"
    "[RStarLogo]\nRMinHour = 0\nRMaxHour = 23\nRFadeInEnable = 0\nRFadeOutEnable = 0\n";

// What each sky effect draws at a scene code: star sprites of a frame, R sprites, trail glows.
struct SkyDrawn {
  int stars, logo, trails;
  bool operator==(const SkyDrawn&) const = default;
};

SkyDrawn DrawSky(PluginRun& run, uint8_t scene) {
  run.State().scene = scene;
  run.Trace();
  run.Draw();
  const int stars = run.Calls("DrawSprite");
  run.Site(hostsim::kLogoRSite, SpriteArgs());
  const int logo = run.Calls("DrawSpriteAlt");
  run.Site(hostsim::kTrailSites[0], TrailArgs());
  return {stars, logo, run.Calls("RegisterGlow")};
}

// The scene code read at load decides once whether the star field exists; after that the star
// field, the sky sign and the trails each look at it on every call, and stop and resume with it.
TEST(SceneCodeAfterLoad, StarsSignAndTrailsFollowItEachFrameWhileRegistrationStaysAsAtLoad) {
  EXPECT_ISOLATED({
    PluginRun run(kSkyAllDay, 100, kDefaultBase, PlaceCamera);
    run.Startup();
    const SkyDrawn shown = DrawSky(run, 0);
    EXPECT_GT(shown.stars, 0);
    EXPECT_EQ(shown.logo, 1);
    EXPECT_EQ(shown.trails, 1);
    for (uint8_t scene : {1, 2, 3, 5, 6}) EXPECT_EQ(DrawSky(run, scene), (SkyDrawn{0, 0, 0})) << int(scene);
    EXPECT_EQ(DrawSky(run, 4), shown);
  });
  EXPECT_ISOLATED({
    PluginRun run(kSkyAllDay, 100, kDefaultBase, [](hostsim::HostState& state) {
      PlaceCamera(state);
      state.scene = 5;
    });
    run.Startup();
    EXPECT_EQ(DrawSky(run, 0), (SkyDrawn{0, 1, 1}));
  });
}

// --- Extreme host values -----------------------------------------------------------------------

// Whatever the camera holds, nothing crashes; a camera with a NaN or infinite component draws
// nothing, the shooting stars spawned meanwhile included, and drawing resumes with a finite one.
TEST(ExtremeHostValues, NonFiniteCamerasDrawNothingAndDrawingResumesAfterThem) {
  EXPECT_ISOLATED({
    PluginRun run(
        "MinHour = 0\nMaxHour = 23\nStarFadeInEnable = 0\nStarFadeOutEnable = 0\n"
        "[ShootingStars]\nMinInterval = 0\nMaxInterval = 0\nMinHour = 0\nMaxHour = 23\nLifetime = 0.1\n",
        100, kDefaultBase, PlaceCamera);
    run.Startup();
    run.Frame(16);
    run.Trace();
    run.Frame(16);
    EXPECT_GT(run.Calls("DrawSprite"), 0);
    using V = std::array<float, 3>;
    const std::array<V, 3> placed{V{1, 1, 1}, V{0, 1, 0}, V{1, 0, 0}};
    for (size_t vector = 0; vector < 3; ++vector) {
      for (float bad : {kNan, kInf, -kInf}) {
        for (size_t component = 0; component < 3; ++component) {
          std::array<V, 3> camera = placed;
          camera[vector][component] = bad;
          run.State().camera_position = camera[0];
          run.State().camera_forward = camera[1];
          run.State().camera_right = camera[2];
          for (int frame = 0; frame < 3; ++frame) run.Frame(16);
          EXPECT_EQ(run.Calls("DrawSprite"), 0) << vector << " " << component << " " << bad;
        }
      }
    }
    PlaceCamera(run.State());
    run.Frame(200);  // the shooting stars spawned at non-finite places have expired
    run.Trace();
    run.Frame(16);
    EXPECT_GT(run.Calls("DrawSprite"), 0);
  });
}

// A time step of 0 leaves a shooting star where it is, a negative one moves it back along its
// flight, one that is not a number leaves it nowhere (and undrawn); none of them stops its expiry.
TEST(ExtremeHostValues, TimeStepZeroNegativeOrNanMovesShootingStarsByItAndTheyStillExpire) {
  ShootingStarSettings s;
  s.MinInterval = s.MaxInterval = 100000;
  s.Lifetime = 1.0f;
  for (float step : {0.0f, -1.0f, -1e30f, kNan}) {
    SCOPED_TRACE(step);
    ShootingStarList stars;
    SpawnSchedule schedule;
    WrapSky::time = 0;
    WrapSky::step = 0.0f;
    StepShootingStarsWith<WrapSky>(s, stars, schedule);
    ASSERT_EQ(stars.size(), 1u);
    const ShootingStar born = stars[0];
    WrapSky::step = step;
    WrapSky::time = 500;
    StepShootingStarsWith<WrapSky>(s, stars, schedule);
    ASSERT_EQ(stars.size(), 1u);
    const HostVector& p = stars[0].Position;
    const HostVector expected{born.Position.x + born.Velocity.x * step, born.Position.y + born.Velocity.y * step,
                              born.Position.z + born.Velocity.z * step};
    if (std::isnan(step)) {
      EXPECT_TRUE(std::isnan(p.x) && std::isnan(p.y) && std::isnan(p.z));
    } else {
      EXPECT_EQ(p.x, expected.x);
      EXPECT_EQ(p.y, expected.y);
      EXPECT_EQ(p.z, expected.z);
    }
    WrapSky::time = 1000;
    StepShootingStarsWith<WrapSky>(s, stars, schedule);
    EXPECT_TRUE(stars.empty());
  }
  WrapSky::step = 1.0f;
}

// A pool with no slots emits nothing; one with 100,000 slots emits each occupied slot of a model
// with lights once, the last slot included, with ids from the vehicle's address.
TEST(ExtremeHostValues, PoolsOfNoSlotsAndOfAHundredThousandEmitEachOccupiedSlotOnce) {
  EXPECT_ISOLATED({
    PluginRun run("[Veh_Test]\nModel = 7\nLeftLight_Offset = 1 0 0\n");
    run.Startup();
    hostsim::VehiclePool& pool = run.State().pool;
    pool.Reset(0);
    run.Trace();
    run.Frame(16);
    EXPECT_EQ(run.Calls("RegisterGlow"), 0);

    pool.Reset(100000);
    hostsim::Vehicle lit;
    lit.model = 7;
    hostsim::Vehicle other = lit;
    other.model = 8;
    for (int32_t slot : {0, 54321, 99999}) pool.Occupy(slot, lit);
    pool.Occupy(99998, other);
    run.Trace();
    run.Frame(16);
    std::vector<uint32_t> ids;
    for (const std::string& line : run.Trace()) {
      if (line.rfind("{\"call\":\"RegisterGlow\",\"id\":", 0) != 0) continue;
      ids.push_back(static_cast<uint32_t>(std::stoul(line.substr(line.find(":", 20) + 1))));
    }
    // First vehicle object 16 bytes after the pool record, 1500 bytes apart; the left light's id
    // adds 1000.
    const uint32_t first = pool.Address() + 16;
    EXPECT_EQ(ids, (std::vector<uint32_t>{first + 1000, first + 54321 * 1500 + 1000, first + 99999 * 1500 + 1000}));
  });
}

}  // namespace

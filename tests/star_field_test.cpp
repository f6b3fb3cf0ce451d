#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "features/stars/star_brightness.h"
#include "features/stars/star_drawing.h"
#include "features/stars/star_field.h"
#include "tests/allocation_count.h"
#include "tests/host_rand.h"

namespace {

HostRand host_rand;
int TestRand() { return host_rand.Next(); }

StarFieldState FieldWith(const StarSettings& settings) {
  StarFieldState field;
  CommitStarSettings(field, settings);
  return field;
}

TEST(StarGeneration, FollowsTheGeneratorThreeDrawsPerStar) {
  struct Limits { float min, max; } cases[] = {{-1.0f, 2.0f}, {0.8f, 0.2f}, {0.5f, 0.5f}};
  for (const Limits limits : cases) {
    StarSettings settings;
    settings.NumStars = 40;
    settings.HeightMin = limits.min;
    settings.HeightMax = limits.max;
    StarFieldState field = FieldWith(settings);
    host_rand.state = 1;
    GenerateStarPositions(field, TestRand);
    const uint32_t after_generation = host_rand.state;
    host_rand.state = 1;
    // Limits clamped to 0 and 1 as heights, then turned into angles from straight up.
    const float top = static_cast<float>(std::acos(static_cast<double>(std::fmin(limits.max, 1.0f))));
    const float bottom = static_cast<float>(std::acos(static_cast<double>(std::fmax(limits.min, 0.0f))));
    for (int i = 0; i < 40; ++i) {
      const int az = TestRand() % 360, frac = TestRand() % 1000, extra = TestRand() % 400;
      const float azimuth = static_cast<float>(az) * 0.0174533f;
      const float zenith = top + static_cast<float>(frac) / 1000.0f * (bottom - top);
      const float distance = static_cast<float>(extra) + 1100.0f;
      const float across = static_cast<float>(std::sin(static_cast<double>(zenith))) * distance;
      const StarPosition& p = field.Positions[i];
      EXPECT_EQ((std::array{p.x, p.y, p.z}),
                (std::array{static_cast<float>(std::cos(static_cast<double>(azimuth))) * across,
                            static_cast<float>(std::sin(static_cast<double>(azimuth))) * across,
                            static_cast<float>(std::cos(static_cast<double>(zenith))) * distance}));
    }
    EXPECT_EQ(host_rand.state, after_generation);
    EXPECT_TRUE(field.Generated);
  }
}

TEST(StarSettings, BoundsTheStarCountAndStopsAtAConversionError) {
  for (const auto& [requested, expected] :
       {std::pair{-5, 0}, {7, 7}, {std::numeric_limits<int32_t>::max(), kMaxStarCount}}) {
    StarSettings settings;
    settings.NumStars = requested;
    EXPECT_EQ(FieldWith(settings).StarCount, expected);
  }
  StarSettings settings;
  ConvertStarSettings({{"NumStars", "12"}, {"Size", "big"}, {"SkyRadius", "5"}}, settings);
  EXPECT_EQ(settings.NumStars, 12);
  EXPECT_EQ(settings.SkyRadius, 1100.0f);
}

TEST(StarBrightness, WindowAndFadesByMinuteOfTheDay) {
  StarSettings s;  // 22 to 5, one-hour fades
  EXPECT_EQ(FieldAlpha(s, 22, 30), 127);  // half of 255, truncated
  for (int m = 23 * 60; m <= 28 * 60; ++m) EXPECT_EQ(FieldAlpha(s, m / 60 % 24, m % 60), 255);
  for (auto [hour, minute] : {std::pair{22, 0}, {5, 0}, {5, 1}, {21, 59}}) EXPECT_EQ(FieldAlpha(s, hour, minute), 0);
  EXPECT_EQ(FieldAlpha(s, 4, 30), 127);
  s.StarFadeInEnable = s.StarFadeOutEnable = false;
  EXPECT_EQ(FieldAlpha(s, 22, 0) + FieldAlpha(s, 5, 0), 510);
  s.MinHour = s.MaxHour = 1;  // no wrap, a single minute
  EXPECT_EQ(FieldAlpha(s, 0, 30) + FieldAlpha(s, 1, 1), 0);
  EXPECT_EQ(FieldAlpha(s, 1, 0), 255);
  s.StarFadeOutEnable = true;
  EXPECT_EQ(FieldAlpha(s, 1, 0), 0);
}

TEST(StarBrightness, DegenerateSettingsStayDefined) {
  StarSettings s;
  s.StarFadeInDuration = s.StarFadeOutDuration = 0.0f;  // boundary minutes dark, no 0 / 0
  EXPECT_EQ(FieldAlpha(s, 22, 0) + FieldAlpha(s, 5, 0), 0);
  EXPECT_EQ(FieldAlpha(s, 22, 1) + FieldAlpha(s, 4, 59), 510);
  s.MinHour = 2000000000;  // far beyond every clock time, no overflow
  for (int hour = 0; hour < 24; ++hour) EXPECT_EQ(FieldAlpha(s, hour, 0), 0);
  EXPECT_EQ((std::array{StarAlpha(std::nanf(""), 255), StarAlpha(-1e30f, 255), StarAlpha(1e30f, 255)}),
            (std::array{0, 0, 255}));
}

TEST(StarBrightness, TwinkleDepthAndColourScaling) {
  for (uint32_t t : {0u, 777u, 123456u}) EXPECT_EQ(StarAlpha(StarTwinkle(9, 1.5f, 0.0f, t), 200), 200);
  // Depth 1: star 0 swings from mid (t 0) to full (t 375) to nothing (t 1125) in its 1.5 s period.
  EXPECT_EQ(StarAlpha(StarTwinkle(0, 1.5f, 1.0f, 0), 255), 127);
  EXPECT_GE(StarAlpha(StarTwinkle(0, 1.5f, 1.0f, 375), 255), 254);
  EXPECT_EQ(StarAlpha(StarTwinkle(0, 1.5f, 1.0f, 1125), 255), 0);
  // 300 keeps its low 8 bits; 12700 / 255 = 49.8 truncates; -1 and the largest red keep theirs.
  EXPECT_EQ((std::array{ScaleChannel(300, 255), ScaleChannel(100, 127), ScaleChannel(-1, 255),
                        ScaleChannel(std::numeric_limits<int32_t>::max(), 255)}),
            (std::array<uint8_t, 4>{44, 49, 255, 255}));
}

// A stand-in host: camera at (100, 0, 0) looking along +x; the projection rejects y < 0 and puts
// the screen depth at the world z. Counts projections and sprites.
struct FakeSky {
  static inline uint32_t time = 1000;
  static inline int projections = 0, sprites = 0;
  static uint32_t TimeMs() { return time; }
  static bool SkyGateOpen() { return true; }
  static HostVector CameraPosition() { return {100.0f, 0.0f, 0.0f}; }
  static HostVector CameraForward() { return {1.0f, 0.0f, 0.0f}; }
  static uint32_t SpriteRaster() { return 7; }
  static int Rand() { return TestRand(); }
  static uint8_t SceneCode() { return 0; }
  static uint8_t ClockHour() { return 0; }
  static uint8_t ClockMinute() { return 0; }
  static void SetRenderState(uint32_t, uint32_t) {}
  static bool Project(const HostVector& world, HostVector& screen, float& w, float& h) {
    ++projections;
    screen = world;
    w = h = 2.0f;
    return world.y >= 0.0f;
  }
  static void DrawSprite(float x, float, float z, float w, float, uint8_t r, uint8_t, uint8_t,
                         int32_t, float rz, uint8_t) {
    EXPECT_EQ((std::array{x, w, rz, static_cast<float>(r)}), (std::array{150.0f, 13.0f, 1.0f / z, 255.0f}));
    ++sprites;
  }
};

TEST(StarFrame, SkipsHiddenStarsAndDoesNotAllocate) {
  StarSettings settings;
  settings.NumStars = 6;
  settings.FlickerDepth = 0.0f;
  StarFieldState field = FieldWith(settings);
  // Ahead; behind; beside; rejected by the projection; at depth 0; at depth below 0.
  const StarPosition stars[] = {{50, 1, 5}, {-50, 1, 5}, {0, 1, 5}, {50, -1, 5}, {50, 1, 0}, {50, 1, -3}};
  std::copy(std::begin(stars), std::end(stars), field.Positions.get());
  field.Generated = true;
  DrawStarFieldWith<FakeSky>(field);
  EXPECT_EQ(FakeSky::projections, 4);
  EXPECT_EQ(FakeSky::sprites, 1);

  AllocationCount count;
  for (int frame = 0; frame < 50; ++frame) {
    FakeSky::time += 16;
    DrawStarFieldWith<FakeSky>(field);
  }
  EXPECT_EQ(count.allocations(), 0);
  EXPECT_EQ(FakeSky::sprites, 51);
}


// A stand-in host whose early-check values each case sets, with the clock inside the default
// window. Counts the gate calls, the random draws and the render-state calls; nothing projects.
struct CheckedSky {
  static inline uint32_t time = 0;
  static inline bool gate = true;
  static inline HostVector camera{};
  static inline uint32_t raster = 0;
  static inline uint8_t scene = 0;
  static inline int gate_calls = 0, draws = 0, render_states = 0;
  static uint32_t TimeMs() { return time; }
  static bool SkyGateOpen() {
    ++gate_calls;
    return gate;
  }
  static HostVector CameraPosition() { return camera; }
  static HostVector CameraForward() { return {0.0f, 1.0f, 0.0f}; }
  static uint32_t SpriteRaster() { return raster; }
  static int Rand() {
    ++draws;
    return TestRand();
  }
  static uint8_t SceneCode() { return scene; }
  static uint8_t ClockHour() { return 0; }
  static uint8_t ClockMinute() { return 0; }
  static void SetRenderState(uint32_t, uint32_t) { ++render_states; }
  static bool Project(const HostVector&, HostVector&, float&, float&) { return false; }
  static void DrawSprite(float, float, float, float, float, uint8_t, uint8_t, uint8_t, int32_t, float,
                         uint8_t) {}
};

// The positions are generated on the first frame that passes the start delay, the sky gate, the
// camera and the texture checks, asked in that order, and before the scene code is looked at; the
// gate is not asked while the start delay runs.
TEST(StarFrame, GeneratesOnceTheEarlyChecksPassAndBeforeTheSceneCheck) {
  struct Case {
    const char* what;
    uint32_t time;
    bool gate;
    HostVector camera;
    uint32_t raster;
    uint8_t scene;
    int gate_calls;  // per frame
    bool generated;
    bool drawn;
  };
  const HostVector placed{5.0f, 5.0f, 5.0f};
  const Case cases[] = {
      {"start delay running", 999, true, placed, 7, 0, 0, false, false},
      {"sky gate shut", 1000, false, placed, 7, 0, 1, false, false},
      {"camera not placed", 1000, true, {0.0f, 0.0f, 0.0f}, 7, 0, 1, false, false},
      {"no sprite raster", 1000, true, placed, 0, 0, 1, false, false},
      {"scene without sky", 1000, true, placed, 7, 5, 1, true, false},
      {"every check passes", 1000, true, placed, 7, 0, 1, true, true},
  };
  for (const Case& c : cases) {
    StarSettings settings;
    settings.NumStars = 4;
    settings.StarStartDelay = 1000;
    StarFieldState field = FieldWith(settings);
    CheckedSky::time = c.time;
    CheckedSky::gate = c.gate;
    CheckedSky::camera = c.camera;
    CheckedSky::raster = c.raster;
    CheckedSky::scene = c.scene;
    CheckedSky::gate_calls = CheckedSky::draws = CheckedSky::render_states = 0;
    // Two frames: a field is generated once, three draws per star.
    DrawStarFieldWith<CheckedSky>(field);
    DrawStarFieldWith<CheckedSky>(field);
    EXPECT_EQ(CheckedSky::gate_calls, 2 * c.gate_calls) << c.what;
    EXPECT_EQ(field.Generated, c.generated) << c.what;
    EXPECT_EQ(CheckedSky::draws, c.generated ? 12 : 0) << c.what;
    // Six states set and five restored per drawn frame.
    EXPECT_EQ(CheckedSky::render_states, c.drawn ? 22 : 0) << c.what;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "features/stars/star_brightness.h"
#include "features/stars/star_drawing.h"
#include "features/stars/star_field.h"
#include "tests/allocation_count.h"

namespace {

// The host runtime's generator, written out independently: state*214013+2531011, bits 16 to 30.
uint32_t lcg_state = 1;
int TestRand() {
  lcg_state = lcg_state * 214013u + 2531011u;
  return static_cast<int>((lcg_state >> 16) & 0x7FFF);
}

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
    lcg_state = 1;
    GenerateStarPositions(field, TestRand);
    const uint32_t after_generation = lcg_state;
    lcg_state = 1;
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
    EXPECT_EQ(lcg_state, after_generation);
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

  const AllocationCount count;
  for (int frame = 0; frame < 50; ++frame) {
    FakeSky::time += 16;
    DrawStarFieldWith<FakeSky>(field);
  }
  EXPECT_EQ(count.Calls(), 0);
  EXPECT_EQ(FakeSky::sprites, 51);
}

}  // namespace

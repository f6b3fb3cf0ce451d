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

// Counts every operator new while `counting` is set, so a frame can prove that it allocates nothing.
namespace {
bool counting = false;
int allocations = 0;
}  // namespace
void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // the new above is malloc
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

// The host runtime's generator, written out independently: state*214013+2531011, bits 16 to 30.
uint32_t lcg_state = 1;
int TestRand() {
  lcg_state = lcg_state * 214013u + 2531011u;
  return static_cast<int>((lcg_state >> 16) & 0x7FFF);
}

StarFieldState FieldWith(StarSettings settings) {
  StarFieldState field;
  CommitStarSettings(field, settings);
  return field;
}

TEST(StarGeneration, FollowsTheGeneratorThreeDrawsPerStar) {
  struct Limits { float min, max; } cases[] = {{0.0f, 1.0f}, {-1.0f, 2.0f}, {0.8f, 0.2f}, {0.5f, 0.5f}};
  for (const Limits limits : cases) {
    StarSettings settings;
    settings.NumStars = 50;
    settings.HeightMin = limits.min;
    settings.HeightMax = limits.max;
    StarFieldState field = FieldWith(settings);
    lcg_state = 1;
    GenerateStarPositions(field, TestRand);
    ASSERT_TRUE(field.Generated);
    const uint32_t after_generation = lcg_state;
    lcg_state = 1;
    const float top = static_cast<float>(std::acos(static_cast<double>(limits.max > 1 ? 1 : limits.max)));
    const float bottom = static_cast<float>(std::acos(static_cast<double>(limits.min < 0 ? 0 : limits.min)));
    for (int i = 0; i < 50; ++i) {
      const int az = TestRand() % 360, frac = TestRand() % 1000, extra = TestRand() % 400;
      const float azimuth = static_cast<float>(az) * 0.0174533f;
      const float zenith = top + static_cast<float>(frac) / 1000.0f * (bottom - top);
      const float distance = static_cast<float>(extra) + 1100.0f;
      const float across = static_cast<float>(std::sin(static_cast<double>(zenith))) * distance;
      const StarPosition& p = field.Positions[i];
      EXPECT_EQ(p.x, static_cast<float>(std::cos(static_cast<double>(azimuth))) * across);
      EXPECT_EQ(p.y, static_cast<float>(std::sin(static_cast<double>(azimuth))) * across);
      EXPECT_EQ(p.z, static_cast<float>(std::cos(static_cast<double>(zenith))) * distance);
      // The height stays between the (clamped) limits, whichever is the higher.
      const float height = p.z / std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
      EXPECT_GE(height, std::fmin(std::fmax(limits.min, 0.0f), limits.max) - 1e-4f);
      EXPECT_LE(height, std::fmax(std::fmin(limits.max, 1.0f), limits.min) + 1e-4f);
    }
    EXPECT_EQ(lcg_state, after_generation);  // exactly three draws per star
  }
  // The host's first three numbers are 41, 18467, 6334: star 0 lies 1100 + 334 from the camera.
  StarFieldState field = FieldWith({});
  lcg_state = 1;
  GenerateStarPositions(field, TestRand);
  const StarPosition& p = field.Positions[0];
  EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 1434.0f, 0.01f);
  EXPECT_NEAR(std::atan2(p.y, p.x), 41 * 0.0174533f, 1e-5f);
}

TEST(StarSettingsCommit, BoundsTheStarCountBeforeAllocating) {
  for (const auto& [requested, expected] :
       {std::pair{-5, 0}, {0, 0}, {7, 7}, {std::numeric_limits<int32_t>::max(), kMaxStarCount}}) {
    StarSettings settings;
    settings.NumStars = requested;
    StarFieldState field = FieldWith(settings);
    EXPECT_EQ(field.StarCount, expected);
    EXPECT_EQ(field.settings.NumStars, requested);
    EXPECT_FALSE(field.Generated);
    if (expected > 0) {
      EXPECT_EQ(field.Positions[expected - 1].z, 0.0f);
    }
  }
}

TEST(StarSettingsLoader, ConversionErrorKeepsEarlierKeysAndLaterDefaults) {
  StarSettings settings;
  ConvertStarSettings({{"NumStars", "12"}, {"Size", "big"}, {"SkyRadius", "5"}, {"Red", "1"}}, settings);
  EXPECT_EQ(settings.NumStars, 12);
  EXPECT_EQ(settings.Size, 6.5f);
  EXPECT_EQ(settings.SkyRadius, 1100.0f);
  EXPECT_EQ(settings.Red, 255);
}

int AlphaAt(const StarSettings& s, int hour, int minute) { return FieldAlpha(s, hour, minute); }

TEST(StarBrightness, WindowAndFadesByMinuteOfTheDay) {
  StarSettings s;  // 22 to 5, one-hour fades
  EXPECT_EQ(AlphaAt(s, 22, 30), 127);  // half of 255, truncated
  for (int minute = 23 * 60; minute <= 28 * 60; ++minute) EXPECT_EQ(AlphaAt(s, minute / 60 % 24, minute % 60), 255);
  EXPECT_EQ(AlphaAt(s, 4, 30), 127);
  EXPECT_EQ(AlphaAt(s, 22, 0), 0);
  EXPECT_EQ(AlphaAt(s, 5, 0), 0);
  EXPECT_EQ(AlphaAt(s, 5, 1), 0);
  EXPECT_EQ(AlphaAt(s, 21, 59), 0);
  s.StarFadeInEnable = s.StarFadeOutEnable = false;
  EXPECT_EQ(AlphaAt(s, 22, 0), 255);
  EXPECT_EQ(AlphaAt(s, 5, 0), 255);
  s.MinHour = 1;  // no wrap
  EXPECT_EQ(AlphaAt(s, 0, 30), 0);
  EXPECT_EQ(AlphaAt(s, 1, 0), 255);
  s.MaxHour = 1;  // a single minute
  EXPECT_EQ(AlphaAt(s, 1, 1), 0);
  EXPECT_EQ(AlphaAt(s, 1, 0), 255);
  s.StarFadeOutEnable = true;
  EXPECT_EQ(AlphaAt(s, 1, 0), 0);
}

TEST(StarBrightness, DegenerateSettingsStayDefined) {
  StarSettings s;
  s.StarFadeInDuration = s.StarFadeOutDuration = 0.0f;  // the boundary minutes stay dark
  EXPECT_EQ(AlphaAt(s, 22, 0), 0);
  EXPECT_EQ(AlphaAt(s, 22, 1), 255);
  EXPECT_EQ(AlphaAt(s, 5, 0), 0);
  EXPECT_EQ(AlphaAt(s, 4, 59), 255);
  s.MinHour = 2000000000;  // the window lies far beyond any clock time
  for (int hour = 0; hour < 24; ++hour) EXPECT_EQ(AlphaAt(s, hour, 0), 0);
  s.MinHour = std::numeric_limits<int32_t>::min();
  s.MaxHour = std::numeric_limits<int32_t>::max();  // the window covers every clock time
  EXPECT_EQ(AlphaAt(s, 12, 0), 255);

  EXPECT_EQ(TruncateToInt(std::nanf("")), 0);
  EXPECT_EQ(TruncateToInt(3e9f), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TruncateToInt(-3e9f), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncateToInt(-2.9f), -2);
  EXPECT_EQ(StarAlpha(std::nanf(""), 255), 0);
  EXPECT_EQ(StarAlpha(1e30f, 255), 255);
  EXPECT_EQ(StarAlpha(-1e30f, 255), 0);
}

TEST(StarBrightness, TwinkleDepthAndColourScaling) {
  for (uint32_t t : {0u, 777u, 123456u}) EXPECT_EQ(StarAlpha(StarTwinkle(9, 1.5f, 0.0f, t), 200), 200);
  // Depth 1: at time 0 star 0 sits mid-swing; over one period it reaches both ends.
  EXPECT_EQ(StarAlpha(StarTwinkle(0, 1.5f, 1.0f, 0), 255), 127);
  int lowest = 255, highest = 0;
  for (uint32_t t = 0; t < 1500; ++t) {
    const int alpha = StarAlpha(StarTwinkle(0, 1.5f, 1.0f, t), 255);
    lowest = std::min(lowest, alpha);
    highest = std::max(highest, alpha);
  }
  EXPECT_EQ(lowest, 0);
  EXPECT_GE(highest, 254);

  EXPECT_EQ(ScaleChannel(300, 255), 44);  // 300 & 0xFF
  EXPECT_EQ(ScaleChannel(255, 127), 127);
  EXPECT_EQ(ScaleChannel(100, 127), 49);  // 12700 / 255 = 49.8
  EXPECT_EQ(ScaleChannel(-1, 255), 255);  // -1 keeps its low 8 bits
  EXPECT_EQ(ScaleChannel(std::numeric_limits<int32_t>::max(), 255), 255);
}

// A recording stand-in for the host: a camera at (100, 0, 0) looking along +x; the projection
// rejects points with y < 0 and puts the screen depth at the world z.
struct FakeSky {
  static inline uint32_t time = 1000, raster = 0xC0FFEE;
  static inline bool gate = true;
  static inline HostVector camera{100.0f, 0.0f, 0.0f};
  static inline uint8_t scene = 0, hour = 0, minute = 0;
  static inline std::array<std::pair<uint32_t, uint32_t>, 16> states{};
  static inline std::array<HostVector, 16> sprites{};
  static inline int state_count = 0, projections = 0, sprite_count = 0;
  static uint32_t TimeMs() { return time; }
  static bool SkyGateOpen() { return gate; }
  static HostVector CameraPosition() { return camera; }
  static HostVector CameraForward() { return {1.0f, 0.0f, 0.0f}; }
  static uint32_t SpriteRaster() { return raster; }
  static int Rand() { return TestRand(); }
  static uint8_t SceneCode() { return scene; }
  static uint8_t ClockHour() { return hour; }
  static uint8_t ClockMinute() { return minute; }
  static void SetRenderState(uint32_t s, uint32_t v) { states[state_count++ % 16] = {s, v}; }
  static bool Project(const HostVector& world, HostVector& screen, float& w, float& h) {
    ++projections;
    screen = {world.x, world.y, world.z};
    w = 2.0f;
    h = 3.0f;
    return world.y >= 0.0f;
  }
  static void DrawSprite(float x, float y, float z, float w, float h, uint8_t r, uint8_t g, uint8_t b,
                         int32_t i, float rz, uint8_t a) {
    EXPECT_EQ(w, 13.0f);
    EXPECT_EQ(h, 19.5f);
    EXPECT_EQ(rz, 1.0f / z);
    EXPECT_EQ((std::array<int, 5>{r, g, b, i, a}), (std::array<int, 5>{44, 0, 255, 255, 255}));
    sprites[sprite_count++ % 16] = {x, y, z};
  }
  static void Reset() { state_count = projections = sprite_count = 0; }
};

TEST(StarFrame, EarlyChecksStopBeforeOrAfterGeneration) {
  StarSettings settings;
  settings.StarStartDelay = 2000;
  StarFieldState field = FieldWith(settings);
  FakeSky::Reset();
  DrawStarFieldWith<FakeSky>(field);  // timer 1000 below the delay
  FakeSky::time = 5000;
  FakeSky::gate = false;
  DrawStarFieldWith<FakeSky>(field);
  FakeSky::gate = true;
  FakeSky::camera = {0.0f, -0.0f, 0.0f};
  DrawStarFieldWith<FakeSky>(field);
  FakeSky::camera = {100.0f, 0.0f, 0.0f};
  FakeSky::raster = 0;
  DrawStarFieldWith<FakeSky>(field);
  EXPECT_FALSE(field.Generated);
  FakeSky::raster = 0xC0FFEE;
  FakeSky::scene = 5;
  DrawStarFieldWith<FakeSky>(field);
  EXPECT_TRUE(field.Generated);
  FakeSky::scene = 0;
  FakeSky::hour = 12;  // outside the window: render states untouched
  DrawStarFieldWith<FakeSky>(field);
  EXPECT_EQ(FakeSky::state_count + FakeSky::projections, 0);
  FakeSky::hour = 0;
}

TEST(StarFrame, SkipsHiddenStarsRestoresStatesAndDoesNotAllocate) {
  StarSettings settings;
  settings.NumStars = 6;
  settings.Red = 300;
  settings.Green = 0;
  settings.FlickerDepth = 0.0f;
  settings.ZTestEnable = false;
  StarFieldState field = FieldWith(settings);
  const StarPosition stars[] = {{50, 1, 5}, {-50, 1, 5}, {0, 1, 5}, {50, -1, 5}, {50, 1, 0}, {50, 1, -3}};
  std::copy(std::begin(stars), std::end(stars), field.Positions.get());
  field.Generated = true;
  FakeSky::Reset();
  DrawStarFieldWith<FakeSky>(field);
  EXPECT_EQ(FakeSky::projections, 4);  // behind and beside the camera: never projected
  ASSERT_EQ(FakeSky::sprite_count, 1);  // rejected, depth 0, depth below 0: not drawn
  EXPECT_EQ(FakeSky::sprites[0].x, 150.0f);
  using S = std::pair<uint32_t, uint32_t>;
  const std::array<S, 11> expected{S{8, 0}, {6, 0}, {12, 1}, {10, 2}, {11, 2}, {1, 0xC0FFEE},
                                   {12, 0}, {8, 1}, {6, 1}, {10, 5}, {11, 6}};
  ASSERT_EQ(FakeSky::state_count, 11);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), FakeSky::states.begin()));

  counting = true;
  for (int frame = 0; frame < 50; ++frame) {
    FakeSky::time += 16;
    DrawStarFieldWith<FakeSky>(field);
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(FakeSky::sprite_count, 51);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <set>
#include <vector>

#include "features/shooting_stars/shooting_star_drawing.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "features/shooting_stars/shooting_stars.h"
#include "tests/host_rand.h"

namespace {

using V3 = std::array<float, 3>;

struct Sprite {
  V3 at;
  float width, height;
  std::array<int, 3> rgb;
  float recip_z;
};

// What the stand-in host shows and records. The plugin draws from `plugin_rand`; the expected
// values come from a second copy, `model_rand`.
struct Sky {
  uint32_t time = 0;
  float step = 0.0f;
  uint8_t hour = 23;
  HostVector position{10.0f, 20.0f, 30.0f}, forward{0.6f, 0.8f, 0.0f}, right{0.8f, -0.6f, 0.0f};
  bool gate = true;
  uint32_t raster = 7;
  int projections = 0;
  std::vector<std::array<uint32_t, 2>> states;
  std::vector<Sprite> sprites;
  HostRand plugin_rand, model_rand;
} sky;

// The stand-in host. The projection accepts points with x >= 0, passes the world point on as the
// screen point and gives a sprite scale of 2.
struct FakeSky {
  static uint32_t TimeMs() { return sky.time; }
  static float TimeStep() { return sky.step; }
  static uint8_t ClockHour() { return sky.hour; }
  static HostVector CameraPosition() { return sky.position; }
  static HostVector CameraForward() { return sky.forward; }
  static HostVector CameraRight() { return sky.right; }
  static int Rand() { return sky.plugin_rand.Next(); }
  static bool SkyGateOpen() { return sky.gate; }
  static uint32_t SpriteRaster() { return sky.raster; }
  static void SetRenderState(uint32_t state, uint32_t value) { sky.states.push_back({state, value}); }
  static bool Project(const HostVector& world, HostVector& screen, float& w, float& h) {
    ++sky.projections;
    screen = world;
    w = h = 2.0f;
    return world.x >= 0.0f;
  }
  static void DrawSprite(float x, float y, float z, float w, float h, uint8_t r, uint8_t g, uint8_t b,
                         int32_t intensity, float rz, uint8_t alpha) {
    EXPECT_EQ(intensity, 255);
    EXPECT_EQ(alpha, 255);
    sky.sprites.push_back({{x, y, z}, w, h, {r, g, b}, rz});
  }
};

V3 Of(const HostVector& v) { return {v.x, v.y, v.z}; }

// --- An independent single-precision model of one spawn -------------------------------------------

float Sin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
float Cos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
float Length(const V3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }
V3 UnitIfLong(V3 v) {
  const float length = Length(v);
  if (length > 0.0001f) for (float& c : v) c /= length;
  return v;
}
// Whole degrees from `min`; a range whose divisor truncates to 0 stays at `min`.
float Radians(int draw, float min, float max) {
  const int divisor = static_cast<int>(max - min + 1.0f);
  const int degrees_up = divisor == 0 ? 0 : draw % divisor;
  return (static_cast<float>(degrees_up) + min) * 3.1415927f / 180.0f;
}

struct ModelStar {
  V3 position, velocity;
  uint32_t interval;
};

// Draws five numbers of `model_rand` (interval, elevation, azimuth, side, descent).
ModelStar SpawnModel(const ShootingStarSettings& s) {
  const int interval = sky.model_rand.Next(), elevation_draw = sky.model_rand.Next(), azimuth_draw = sky.model_rand.Next(),
            side = sky.model_rand.Next(), descent_draw = sky.model_rand.Next();
  const int64_t span = int64_t{s.MaxInterval} - s.MinInterval + 1;
  const float elevation = Radians(elevation_draw, s.ElevationMin, s.ElevationMax);
  const float azimuth = static_cast<float>(azimuth_draw % 360) * 3.1415927f / 180.0f;
  const V3 camera = Of(sky.position);
  const float d = s.SpawnDistance;
  const V3 start{camera[0] + Cos(azimuth) * Cos(elevation) * d, camera[1] + Sin(azimuth) * Cos(elevation) * d,
                 camera[2] + Sin(elevation) * d};
  V3 right = UnitIfLong(Of(sky.right)), forward = UnitIfLong(Of(sky.forward));
  right[2] = forward[2] = 0.0f;
  if (side % 2 == 1) right = {-right[0], -right[1], 0.0f};
  const V3 heading = Length(forward) > 0.0001f ? UnitIfLong(forward) : right;
  const V3 horizontal =
      UnitIfLong({0.2f * heading[0] + 0.8f * right[0], 0.2f * heading[1] + 0.8f * right[1], 0.0f});
  const float descent = Radians(descent_draw, s.DescentMin, s.DescentMax);
  const V3 direction = UnitIfLong({Cos(descent) * horizontal[0], Cos(descent) * horizontal[1], -Sin(descent)});
  return {start,
          {direction[0] * s.Speed, direction[1] * s.Speed, direction[2] * s.Speed},
          static_cast<uint32_t>(s.MinInterval + (span == 0 ? 0 : interval % span))};
}

// One update at `time`.
void Step(const ShootingStarSettings& s, ShootingStarList& stars, SpawnSchedule& next, uint32_t time) {
  sky.time = time;
  StepShootingStarsWith<FakeSky>(s, stars, next);
}

// --- Spawn timing ---------------------------------------------------------------------------------

TEST(ShootingStarSpawn, TimingOfAttempts) {
  struct Case {
    const char* name;
    std::function<void(ShootingStarSettings&)> set;
    std::vector<uint32_t> times;               // updates
    std::function<uint8_t(uint32_t)> hour_at;  // clock hour at each update
    std::vector<uint32_t> spawns;
  };
  auto every = [](uint32_t from, uint32_t to, uint32_t by) {
    std::vector<uint32_t> t;
    for (uint32_t x = from; x <= to; x += by) t.push_back(x);
    return t;
  };
  auto night = [](uint32_t) -> uint8_t { return 23; };
  const Case cases[] = {
      // First draw of the generator is 41: the next attempt comes 10000 + 41 later.
      {"first update spawns", [](auto&) {}, {0, 10040, 10041}, night, {0, 10041}},
      {"start delay 60000", [](auto& s) { s.StartDelay = 60000; }, every(0, 62000, 1000), night, {61000}},
      // Attempts at 0 and 5000 fall at noon; the one at 10000 is the first at night.
      {"retries 5 s apart outside the window", [](auto& s) { s.MinInterval = s.MaxInterval = 15000; },
       every(0, 16000, 1000), [](uint32_t t) -> uint8_t { return t < 6000 ? 12 : 23; }, {10000}},
      {"fixed 15000 ms", [](auto& s) { s.MinInterval = s.MaxInterval = 15000; }, every(0, 46000, 1000), night,
       {0, 15000, 30000, 45000}},
      // A pause of 0 or less waits for nothing: a star on every update, also from a timer near 0.
      {"negative pause", [](auto& s) { s.MinInterval = s.MaxInterval = -1000; }, every(0, 500, 100), night,
       every(0, 500, 100)},
      {"zero pause", [](auto& s) { s.MinInterval = s.MaxInterval = 0; }, {5000, 5100, 5200}, night,
       {5000, 5100, 5200}},
      {"pause below 0 after the draw", [](auto& s) { s.MinInterval = -40000, s.MaxInterval = 0; },
       {7, 8, 9}, night, {7, 8, 9}},
  };
  for (const Case& c : cases) {
    sky = {};
    ShootingStarSettings s;
    s.Lifetime = 1000.0f;
    c.set(s);
    ShootingStarList stars;
    SpawnSchedule next;
    std::vector<uint32_t> spawned;
    for (uint32_t t : c.times) {
      sky.hour = c.hour_at(t);
      const size_t before = stars.size();
      Step(s, stars, next, t);
      if (stars.size() > before) spawned.push_back(stars.back().Birth);
    }
    EXPECT_EQ(spawned, c.spawns) << c.name;
  }
}

TEST(ShootingStarSpawn, WholeHourWindows) {
  struct Case {
    int32_t min, max;
    std::set<int> hours;
  };
  const Case cases[] = {
      {0, 23, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}},
      {5, 5, {5}},
      {22, 5, {22, 23, 0, 1, 2, 3, 4, 5}},  // across midnight
      {1, 4, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    std::set<int> spawning;
    for (int hour = 0; hour < 24; ++hour) {
      sky = {};
      sky.hour = static_cast<uint8_t>(hour);
      ShootingStarSettings s;
      s.MinHour = c.min;
      s.MaxHour = c.max;
      ShootingStarList stars;
      SpawnSchedule next;
      Step(s, stars, next, 0);
      if (!stars.empty()) spawning.insert(hour);
      EXPECT_EQ(next.NextSpawnTime, stars.empty() ? 5000u : 10041u);
    }
    EXPECT_EQ(spawning, c.hours) << c.min << " to " << c.max;
  }
}

// --- Spawn geometry -------------------------------------------------------------------------------

TEST(ShootingStarSpawn, PositionAndVelocityFollowTheGenerator) {
  struct Case {
    const char* name;
    std::function<void(ShootingStarSettings&)> set;
    HostVector forward, right;
    int lowest, highest;  // whole degrees of elevation reached, rounded down
  };
  const Case cases[] = {
      {"defaults", [](auto&) {}, {0.6f, 0.8f, 0.0f}, {0.8f, -0.6f, 0.0f}, 25, 50},
      {"tilted, unnormalised camera", [](auto& s) { s.Speed = 33.5f; }, {0.0f, 1.2f, 1.6f}, {3.0f, 0.0f, 0.0f},
       25, 50},
      {"30 degrees, level flight",
       [](auto& s) { s.ElevationMin = s.ElevationMax = 30.0f, s.DescentMin = s.DescentMax = 0.0f; },
       {0.6f, 0.8f, 0.0f}, {0.8f, -0.6f, 0.0f}, 30, 30},
      // The divisor is -19 and the remainder keeps the sign of the draw: 40 to 58 degrees.
      {"elevation 40 to 20", [](auto& s) { s.ElevationMin = 40.0f, s.ElevationMax = 20.0f; }, {1, 0, 0},
       {0, -1, 0}, 40, 58},
      // Forward has no horizontal part to speak of: the flight follows the right vector.
      {"looking straight up", [](auto&) {}, {0.00005f, -0.00005f, 1.0f}, {0.0f, -2.0f, 0.0f}, 25, 50},
      // 20.25 - 10.5 + 1 truncates to 10: 10.5 to 19.5 degrees.
      {"fractional limits", [](auto& s) { s.ElevationMin = 10.5f, s.ElevationMax = 20.25f, s.SpawnDistance = 500; },
       {0.6f, 0.8f, 0.0f}, {0.8f, -0.6f, 0.0f}, 10, 19},
  };
  for (const Case& c : cases) {
    sky = {};
    sky.forward = c.forward;
    sky.right = c.right;
    ShootingStarSettings s;
    s.MinInterval = 0, s.MaxInterval = 9;
    s.Lifetime = 1000.0f;
    c.set(s);
    ShootingStarList stars;
    SpawnSchedule next;
    // Attempts at every millisecond; with a time step of 0 every star stays where it spawned.
    for (uint32_t t = 0; t < 2000; ++t) {
      const size_t before = stars.size();
      Step(s, stars, next, t);
      if (stars.size() == before) continue;
      const ModelStar expected = SpawnModel(s);
      EXPECT_EQ(next.NextSpawnTime, t + expected.interval) << c.name;
      EXPECT_EQ(Of(stars.back().Position), expected.position) << c.name << " at " << t;
      EXPECT_EQ(Of(stars.back().Velocity), expected.velocity) << c.name << " at " << t;
    }
    EXPECT_GT(stars.size(), 300u) << c.name;
    EXPECT_EQ(sky.plugin_rand.draws, 5 * static_cast<int>(stars.size())) << c.name;

    // The geometry read back: whole degrees of elevation within the range, flight along the view.
    std::set<int> degrees;
    for (const ShootingStar& star : stars) {
      const double up = (star.Position.z - sky.position.z) / static_cast<double>(s.SpawnDistance);
      const double elevation = std::asin(std::clamp(up, -1.0, 1.0)) * 180.0 / std::numbers::pi;
      const double fraction = std::fmod(s.ElevationMin, 1.0f);
      EXPECT_NEAR(elevation, std::round(elevation - fraction) + fraction, 0.01) << c.name;
      degrees.insert(static_cast<int>(std::floor(elevation + 0.01)));
      if (s.DescentMax == 0.0f) {
        EXPECT_EQ(star.Velocity.z, 0.0f);
      }
      if (c.forward.z == 1.0f) {
        EXPECT_EQ(star.Velocity.x, 0.0f);
        EXPECT_GT(std::fabs(star.Velocity.y), 0.97f * s.Speed);
      }
    }
    EXPECT_EQ(*degrees.begin(), c.lowest) << c.name;
    EXPECT_EQ(*degrees.rbegin(), c.highest) << c.name;
  }
}

TEST(ShootingStarSpawn, DegenerateSettingsStayDefined) {
  struct Case {
    const char* name;
    std::function<void(ShootingStarSettings&)> set;
    uint32_t next;       // after the spawn at 1000; the first draw is 41
    float elevation_z;   // star z minus camera z, SpawnDistance 1000
  };
  const float sin30 = Sin(30.0f * 3.1415927f / 180.0f) * 1000.0f;
  const Case cases[] = {
      {"interval divisor 0", [](auto& s) { s.MinInterval = 5000, s.MaxInterval = 4999; }, 6000, sin30},
      {"elevation divisor truncates to 0", [](auto& s) { s.ElevationMax = 29.5f; }, 6000, sin30},
      {"descent divisor 0", [](auto& s) { s.DescentMin = 3.0f, s.DescentMax = 2.0f; }, 6000, sin30},
      {"elevation not a number", [](auto& s) { s.ElevationMax = NAN; }, 6000, sin30},
      // A divisor beyond 32767 leaves the draw (the second, 18467) as it is.
      {"elevation limit huge", [](auto& s) { s.ElevationMax = 1e30f; }, 6000,
       Sin((18467.0f + 30.0f) * 3.1415927f / 180.0f) * 1000.0f},
      // INT_MIN + 41 is no wait at all; the longest pause is INT_MAX plus the draw.
      {"intervals at the 32-bit ends", [](auto& s) { s.MinInterval = INT_MIN, s.MaxInterval = INT_MAX; },
       1000, sin30},
      {"longest pause", [](auto& s) { s.MinInterval = INT_MAX, s.MaxInterval = INT_MAX; },
       1000u + 0x7FFFFFFFu, sin30},
      {"negative interval", [](auto& s) { s.MinInterval = -800, s.MaxInterval = -800; }, 1000, sin30},
  };
  for (const Case& c : cases) {
    sky = {};
    ShootingStarSettings s;
    s.MinInterval = s.MaxInterval = 5000;
    s.ElevationMin = s.ElevationMax = 30.0f;
    s.SpawnDistance = 1000.0f;
    c.set(s);
    ShootingStarList stars;
    SpawnSchedule next;
    Step(s, stars, next, 1000);
    ASSERT_EQ(stars.size(), 1u) << c.name;
    EXPECT_EQ(next.NextSpawnTime, c.next) << c.name;
    EXPECT_EQ(sky.plugin_rand.draws, 5) << c.name;
    EXPECT_EQ(stars[0].Position.z - sky.position.z, c.elevation_z) << c.name;
    EXPECT_LT(stars[0].Velocity.z, 0.0f) << c.name;
  }
}

// --- Flight, expiry and the bound -----------------------------------------------------------------

TEST(ShootingStarFlight, MovesByTheTimeStepAndExpiresInOrder) {
  sky = {};
  sky.step = 0.5f;
  ShootingStarSettings s;
  s.MinInterval = s.MaxInterval = 1000;
  s.Lifetime = 2.5f;
  ShootingStarList stars;
  SpawnSchedule next;
  std::vector<ModelStar> born;
  for (uint32_t t = 0; t <= 5000; t += 500) {
    Step(s, stars, next, t);
    if (t % 1000 == 0) born.push_back(SpawnModel(s));
    // Stars born at 0, 1000, ... each live until 2500 ms have passed.
    std::vector<uint32_t> births, expected_births;
    for (const ShootingStar& star : stars) births.push_back(star.Birth);
    for (uint32_t b = 0; b <= t; b += 1000)
      if (t - b < 2500) expected_births.push_back(b);
    EXPECT_EQ(births, expected_births) << "at " << t;
  }
  // The star born at 4000 has moved on three updates (4000, 4500, 5000).
  const ModelStar& m = born[4];
  V3 expected = m.position;
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) expected[k] += m.velocity[k] * 0.5f;
  EXPECT_EQ(Of(stars[1].Position), expected);

  // Before the start delay nothing moves and the next attempt waits a second past the delay.
  ShootingStarSettings delayed = s;
  delayed.StartDelay = 9000;
  Step(delayed, stars, next, 5500);
  EXPECT_EQ(Of(stars[1].Position), expected);
  EXPECT_EQ(next.NextSpawnTime, 10000u);
}

TEST(ShootingStarFlight, LifetimeInMilliseconds) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const std::pair<float, uint32_t> cases[] = {{5.0f, 5000},  {0.0015f, 1},       {0.0f, 0},
                                              {-3.0f, 0},    {nan, 0},           {-inf, 0},
                                              {4e6f, 4000000000u}, {1e30f, UINT32_MAX}, {inf, UINT32_MAX}};
  for (const auto& [seconds, ms] : cases) EXPECT_EQ(LifetimeMs(seconds), ms) << seconds;
}

TEST(ShootingStarFlight, TheListStopsGrowingAtItsBoundWithoutReallocating) {
  sky = {};
  sky.step = 1.0f;
  ShootingStarSettings s;
  s.MinInterval = s.MaxInterval = 0;  // a star on every update
  s.Lifetime = 1e9f;
  ShootingStarList stars;
  ReserveShootingStars(s, stars);
  const ShootingStar* storage = stars.data();
  // Ten places short of the bound, then 200 updates.
  stars.assign(kMaxShootingStars - 10, {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, 0, true});
  SpawnSchedule next;
  for (uint32_t t = 1; t <= 200; ++t) {
    Step(s, stars, next, t);
  }
  EXPECT_EQ(stars.size(), kMaxShootingStars);
  EXPECT_EQ(stars.back().Birth, 10u);
  EXPECT_EQ(stars.data(), storage);
  EXPECT_EQ(sky.plugin_rand.draws, 5 * 200);
}

// The most stars alive at once, as the pause, the lifetime and the frame rate allow, is what a run
// of updates at that rate reaches; the room reserved at start-up holds them and the next spawn.
TEST(ShootingStarFlight, TheMostStarsAliveAtOnceIsWhatTheUpdatesReach) {
  struct Case {
    const char* name;
    int32_t pause;
    float lifetime;
    uint32_t update_ms;
    uint64_t most;  // by hand
  };
  const Case cases[] = {
      {"defaults", 10000, 5.0f, 16, 1},
      {"every 50 ms for a second", 50, 1.0f, 1, 20},
      // Updates 16 ms apart: a spawn every fourth update, 64 ms.
      {"every 50 ms at 62.5 updates a second", 50, 1.0f, 16, 16},
      {"a star on every update at 1,000 updates a second", 0, 5.0f, 1, 5000},
      {"negative pause at 240 updates", -5, 2.0f, 4, 500},
      {"no lifetime", 0, 0.0f, 1, 0},
  };
  for (const Case& c : cases) {
    sky = {};
    ShootingStarSettings s;
    s.MinInterval = s.MaxInterval = c.pause;
    s.Lifetime = c.lifetime;
    EXPECT_EQ(MostLiveShootingStars(s, c.update_ms), c.most) << c.name;
    ShootingStarList stars;
    ReserveShootingStars(s, stars);
    const ShootingStar* storage = stars.data();
    SpawnSchedule next;
    size_t most = 0;
    for (uint32_t t = 0; t <= 3 * LifetimeMs(s.Lifetime) + 1000; t += c.update_ms) {
      Step(s, stars, next, t);
      most = std::max(most, stars.size());
    }
    EXPECT_EQ(most, c.most) << c.name;
    if (c.pause > 0) {
      EXPECT_EQ(stars.data(), storage) << c.name;
    }
  }
  // Without a frame rate only the bound holds a star on every update; room for the defaults' one
  // star and the next; none for a feature that is off.
  ShootingStarSettings every_update;
  every_update.MinInterval = 0;
  EXPECT_EQ(MostLiveShootingStars(every_update, 0.0), UINT64_MAX);
  EXPECT_EQ(ShootingStarCapacity(every_update), kMaxShootingStars);
  EXPECT_EQ(ShootingStarCapacity(ShootingStarSettings{}), 2u);
  ShootingStarSettings off;
  off.Enable = false;
  EXPECT_EQ(ShootingStarCapacity(off), 0u);
}

// A star on every update at 1,000 updates a second with the default lifetime keeps 5,000 alive, in
// the room reserved at start-up, and every one of them is drawn with its whole trail.
TEST(ShootingStarDrawing, AStarOnEveryUpdateAtAThousandUpdatesASecondIsDrawnWhole) {
  sky = {};
  sky.step = 0.001f;
  ShootingStarSettings s;
  s.MinInterval = s.MaxInterval = 0;
  ShootingStarList stars;
  ReserveShootingStars(s, stars);
  const ShootingStar* storage = stars.data();
  SpawnSchedule next;
  for (uint32_t t = 0; t <= 6000; ++t) Step(s, stars, next, t);
  ASSERT_EQ(stars.size(), 5000u);
  EXPECT_EQ(stars.front().Birth, 1001u);
  EXPECT_EQ(stars.data(), storage);
  DrawShootingStarsWith<FakeSky>(s, stars);
  EXPECT_EQ(sky.projections, 5000 * 12);
}

// --- Drawing --------------------------------------------------------------------------------------

const std::vector<std::array<uint32_t, 2>> kSetUp{{8, 0}, {6, 1}, {12, 1}, {10, 2}, {11, 2}, {1, 7}};
const std::vector<std::array<uint32_t, 2>> kRestore{{12, 0}, {8, 1}, {6, 1}, {10, 5}, {11, 6}};

TEST(ShootingStarDrawing, TrailsOfShrinkingSprites) {
  struct Case {
    const char* name;
    std::function<void(ShootingStarSettings&)> set;
    std::vector<float> sizes;  // by hand
  };
  std::vector<float> defaults;  // 25 down to 10 in 11 steps of 15/11
  for (int i = 0; i < 12; ++i) defaults.push_back(25.0f + static_cast<float>(i) / 11.0f * -15.0f);
  // A long trail is drawn whole, 25 down to 10 in steps of 15/1999.
  std::vector<float> long_trail;
  for (int i = 0; i < 2000; ++i) long_trail.push_back(25.0f + static_cast<float>(i) / 1999.0f * -15.0f);
  const Case cases[] = {
      {"defaults", [](auto&) {}, defaults},
      {"spacing 0", [](auto& s) { s.TrailSpacing = 0.0f, s.NumSprites = 3; }, {25.0f, 17.5f, 10.0f}},
      {"growing", [](auto& s) { s.SizeStart = 4.0f, s.SizeEnd = 10.0f, s.NumSprites = 4; }, {4, 6, 8, 10}},
      {"one sprite", [](auto& s) { s.NumSprites = 1; }, {25.0f}},
      {"no sprites", [](auto& s) { s.NumSprites = 0, s.ZTestEnable = false; }, {}},
      {"negative count", [](auto& s) { s.NumSprites = -4; }, {}},
      {"2000 sprites", [](auto& s) { s.NumSprites = 2000, s.TrailSpacing = 0.01f; }, long_trail},
  };
  EXPECT_EQ(defaults.front(), 25.0f);
  EXPECT_EQ(defaults.back(), 10.0f);
  for (const Case& c : cases) {
    sky = {};
    ShootingStarSettings s;
    s.Color = {200, 0, 44};
    c.set(s);
    // Flying along (3, 4, 0) * 2 from (100, 50, 20): the trail lies back along (-0.6, -0.8, 0).
    const ShootingStarList stars{{{100.0f, 50.0f, 20.0f}, {6.0f, 8.0f, 0.0f}, 0, true},
                                 {{5.0f, 5.0f, 5.0f}, {1.0f, 0.0f, 0.0f}, 0, false}};
    DrawShootingStarsWith<FakeSky>(s, stars);
    ASSERT_EQ(sky.sprites.size(), c.sizes.size()) << c.name;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      const float along = static_cast<float>(i) * s.TrailSpacing;
      const Sprite& sprite = sky.sprites[i];
      EXPECT_EQ(sprite.at, (V3{100.0f + -0.6f * along, 50.0f + -0.8f * along, 20.0f})) << c.name << " " << i;
      EXPECT_FLOAT_EQ(sprite.width, 2.0f * c.sizes[i]) << c.name << " " << i;
      EXPECT_EQ(sprite.height, sprite.width);
      EXPECT_EQ(sprite.recip_z, 1.0f / 20.0f);
      EXPECT_EQ(sprite.rgb, (std::array{200, 0, 44}));
    }
    std::vector<std::array<uint32_t, 2>> states = kSetUp;
    if (!s.ZTestEnable) states[1] = {6, 0};
    states.insert(states.end(), kRestore.begin(), kRestore.end());
    EXPECT_EQ(sky.states, states) << c.name;
  }
}

TEST(ShootingStarDrawing, SkipsAndEarlyChecks) {
  struct Case {
    const char* name;
    std::function<void(ShootingStarSettings&, ShootingStarList&)> set;
    int projections, sprites;
    bool states;
  };
  const auto drawn = [](ShootingStarSettings&, ShootingStarList&) {};
  const Case cases[] = {
      {"drawn", drawn, 2, 2, true},
      {"at rest", [](auto&, auto& l) { l[0].Velocity = {0, 0, 0}; }, 0, 0, true},
      {"speed not a number", [](auto&, auto& l) { l[0].Velocity.y = NAN; }, 0, 0, true},
      // The trail runs from x 1 back to x -1: its second sprite is off the screen.
      {"off screen", [](auto&, auto& l) { l[0].Position.x = 1.0f; }, 2, 1, true},
      {"depth 0", [](auto&, auto& l) { l[0].Position.z = 0.0f; }, 2, 0, true},
      {"off", [](auto& s, auto&) { s.Enable = false; }, 0, 0, false},
      {"no stars", [](auto&, auto& l) { l.clear(); }, 0, 0, false},
      {"sky gate shut", [](auto&, auto&) { sky.gate = false; }, 0, 0, false},
      {"no raster", [](auto&, auto&) { sky.raster = 0; }, 0, 0, false},
  };
  for (const Case& c : cases) {
    sky = {};
    ShootingStarSettings s;
    s.NumSprites = 2;
    s.TrailSpacing = 2.0f;
    // Flying along +x: the trail runs back from x 10 to x 8.
    ShootingStarList stars{{{10.0f, 0.0f, 5.0f}, {3.0f, 0.0f, 0.0f}, 0, true}};
    c.set(s, stars);
    DrawShootingStarsWith<FakeSky>(s, stars);
    EXPECT_EQ(sky.projections, c.projections) << c.name;
    EXPECT_EQ(static_cast<int>(sky.sprites.size()), c.sprites) << c.name;
    EXPECT_EQ(sky.states.size(), c.states ? 11u : 0u) << c.name;
  }
}

// The frame's sprites are bounded over every trail: each sprite drawn stands where its own trail
// puts it, and what the bound leaves out is the end of the trail that reaches it and the stars after.
TEST(ShootingStarDrawing, AFrameDrawsAtMostItsBoundOfSpritesOverEveryTrail) {
  struct Case {
    const char* name;
    int32_t sprites;
    size_t stars;
    std::vector<int> drawn;  // per star
  };
  constexpr int kBound = kMaxTrailSpritesPerFrame;
  const Case cases[] = {
      {"three trails of 100,000", 100000, 3, {100000, 100000, kBound - 200000}},
      {"one trail longer than the bound", 300000, 2, {kBound, 0}},
      {"many short trails", 12, 1000, std::vector<int>(1000, 12)},
  };
  for (const Case& c : cases) {
    sky = {};
    ShootingStarSettings s;
    s.NumSprites = c.sprites;
    s.TrailSpacing = 0.0f;
    // Star k at x = 100 + k, so each sprite tells its star.
    ShootingStarList stars;
    for (size_t k = 0; k < c.stars; ++k) {
      stars.push_back({{100.0f + static_cast<float>(k), 0.0f, 5.0f}, {1.0f, 0.0f, 0.0f}, 0, true});
    }
    DrawShootingStarsWith<FakeSky>(s, stars);
    std::vector<int> drawn(c.stars, 0);
    for (const Sprite& sprite : sky.sprites) ++drawn[static_cast<size_t>(sprite.at[0] - 100.0f)];
    EXPECT_EQ(drawn, c.drawn) << c.name;
    // The last sprite drawn has the size its place in its own trail gives it.
    size_t last_star = 0;
    while (last_star + 1 < c.stars && c.drawn[last_star + 1] > 0) ++last_star;
    const int index = c.drawn[last_star] - 1;
    EXPECT_EQ(sky.sprites.back().width, 2.0f * TrailSpriteSize(s, index, c.sprites)) << c.name;
    EXPECT_EQ(sky.sprites.back().width,
              2.0f * (25.0f + static_cast<float>(index) / static_cast<float>(c.sprites - 1) * -15.0f))
        << c.name;
  }
}

TEST(ShootingStarFlight, AStarAtRestLivesItsLifetimeUndrawn) {
  sky = {};
  sky.step = 1.0f;
  ShootingStarSettings s;
  s.Speed = 0.0f;
  s.Lifetime = 2.0f;
  ShootingStarList stars;
  SpawnSchedule next;
  for (uint32_t t = 0; t <= 2000; t += 500) {
    Step(s, stars, next, t);
    EXPECT_EQ(stars.size(), t < 2000 ? 1u : 0u) << t;
    DrawShootingStarsWith<FakeSky>(s, stars);
  }
  EXPECT_EQ(sky.projections, 0);
  EXPECT_EQ(sky.states.size(), 4 * 11u);
}

// --- Settings -------------------------------------------------------------------------------------

TEST(ShootingStarLoader, KeysInTheirOrderAndTheColour) {
  const SettingsTable all{{"Enable", "0"},          {"MinInterval", "1"},  {"MaxInterval", "2"},
                          {"NumSprites", "3"},      {"TrailSpacing", "4"}, {"Speed", "5"},
                          {"SpawnDistance", "6"},   {"Lifetime", "7"},     {"Color", "8 9 10"},
                          {"SizeStart", "11"},      {"SizeEnd", "12"},     {"ZTestEnable", "0"},
                          {"MinHour", "13"},        {"MaxHour", "14"},     {"ElevationMin", "15"},
                          {"ElevationMax", "16"},   {"DescentMin", "17"},  {"DescentMax", "18"},
                          {"StartDelay", "-1"}};
  ShootingStarSettings s;
  ConvertShootingStarSettings(all, s);
  EXPECT_FALSE(s.Enable || s.ZTestEnable);
  EXPECT_EQ((std::array{s.MinInterval, s.MaxInterval, s.NumSprites, s.MinHour, s.MaxHour}),
            (std::array{1, 2, 3, 13, 14}));
  EXPECT_EQ((std::array{s.TrailSpacing, s.Speed, s.SpawnDistance, s.Lifetime, s.SizeStart, s.SizeEnd,
                        s.ElevationMin, s.ElevationMax, s.DescentMin, s.DescentMax}),
            (std::array{4.0f, 5.0f, 6.0f, 7.0f, 11.0f, 12.0f, 15.0f, 16.0f, 17.0f, 18.0f}));
  EXPECT_EQ(s.Color, (std::array<uint8_t, 3>{8, 9, 10}));
  EXPECT_EQ(s.StartDelay, UINT32_MAX);

  // The first unreadable value ends the loading: keys before it keep their values, it and later
  // ones their defaults.
  ShootingStarSettings stopped;
  ConvertShootingStarSettings({{"Speed", "9"}, {"Lifetime", "long"}, {"SizeEnd", "3"}, {"Color", "1 2 3"}},
                              stopped);
  EXPECT_EQ((std::array{stopped.Speed, stopped.Lifetime, stopped.SizeEnd}), (std::array{9.0f, 5.0f, 10.0f}));
  EXPECT_EQ(stopped.Color, (std::array<uint8_t, 3>{255, 255, 255}));

  // Channels without a readable number keep theirs; each keeps its low 8 bits.
  const std::pair<const char*, std::array<uint8_t, 3>> colours[] = {
      {"7,0,0", {7, 255, 255}}, {"12 34", {12, 34, 255}}, {"256 -1 7", {0, 255, 7}}, {"red", {255, 255, 255}}};
  for (const auto& [text, rgb] : colours) {
    ShootingStarSettings c;
    ConvertShootingStarSettings({{"Color", text}}, c);
    EXPECT_EQ(c.Color, rgb) << text;
  }
}

}  // namespace

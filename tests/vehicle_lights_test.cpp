#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string_view>
#include <vector>

#include "features/vehicle_lights/vehicle_light_emission.h"
#include "features/vehicle_lights/vehicle_light_settings.h"
#include "hostsim/host_state.h"
#include "tests/allocation_count.h"
#include "tests/game_folder.h"

namespace {

// The model sections of a settings text, as the loader reads them from the settings file.
VehicleLightTable Collect(std::string_view text) {
  GameFolder folder{std::string(text)};
  VehicleLightTable table;
  VehicleLightSettingsState settings;
  LoadVehicleLights(table, settings);
  return table;
}

constexpr std::array<uint8_t, 3> kRed{255, 0, 0};

TEST(VehicleLightLoader, SectionsQualifyByNameAndModelAndLaterOnesReplace) {
  const VehicleLightTable table = Collect(
      "Model = 1\nLeftLight_Offset = 1 1 1\n"  // before any header: in no section
      "[Veh_Taxi]\nModel = 150\nLeftLight_Color = 0 0 255\n"
      "[Veh_offroad]\nModel = 151\nLeftLight_Offset = 1 1 1\n"
      "[Other]\nModel = 152\nLeftLight_Offset = 1 1 1\n"
      "[Veh_NoModel]\nLeftLight_Offset = 1 1 1\n"
      "[MyVeh_Bus]\nLeftLight_Offset = -1.0 2.5 0.3 ; comment\nModel = 153\n"
      "[Veh_A]\nModel = 160\nRightLight_Offset = 1 0 0\n"
      "[Veh_B]\nModel = 160\nMiddleLight_Offset = 0 0 1\nMiddleLight_Type = 2\n"
      "[Last Veh_off]\nModel = 70000");  // "Veh_off" only at the start excludes
  ASSERT_EQ(table.size(), 4u);
  // A colour alone enables nothing.
  VehicleLightSet taxi;
  taxi.LightGroups = {VehicleLight{.Colour = {0, 0, 255}}, {.Colour = {0, 255, 0}},
                      {.Colour = {255, 100, 0}}};
  EXPECT_EQ(table.at(150), taxi);
  // An offset alone: enabled, red, steady, size 1, no window, no point light, no delay.
  EXPECT_EQ(table.at(153)[LightGroup::Left],
            (VehicleLight{.Offset = {-1.0f, 2.5f, 0.3f}, .Colour = kRed, .Enabled = true}));
  // The second section of model 160 replaced the first whole.
  EXPECT_FALSE(table.at(160)[LightGroup::Right].Enabled);
  EXPECT_EQ(table.at(160)[LightGroup::Middle].Type, ElementType::Pulse);
  EXPECT_TRUE(table.contains(70000));  // kept, though no vehicle carries such a model
}

TEST(VehicleLightLoader, CustomLightsInAscendingNumberWhateverTheKeyOrder) {
  for (const char* text :
       {"[Veh_X]\nModel=1\n2-CustomLight_Size = 3\n10-CustomLight_Offset = 0 1 0\n-1-CustomLight_Type = 1\n"
        "5-CustomLight_StartDelay = 500\n5-CustomLight_Type = 1\n7x-CustomLight_Unknown = 4\n",
        "[Veh_X]\n5-CustomLight_Type = 1\n7x-CustomLight_Unknown = 4\n-1-CustomLight_Type = 1\n"
        "10-CustomLight_Offset = 0 1 0\n5-CustomLight_StartDelay = 500\n2-CustomLight_Size = 3\nModel=1\n"}) {
    const std::vector<VehicleLight> expected = {
        {.Type = ElementType::Blink, .Enabled = true},                     // -1
        {.Enabled = true, .Size = 3.0f},                  // 2: at the centre, white
        {.Type = ElementType::Blink, .Enabled = true, .StartDelay = 500},  // 5
        {.Enabled = true},                                // 7: exists though its field is unknown
        {.Offset = {0.0f, 1.0f, 0.0f}, .Enabled = true},  // 10
    };
    EXPECT_EQ(Collect(text).at(1).CustomLights, expected);
  }
}

TEST(VehicleLightLoader, ColourAndVectorListsFillMissingComponentsTheirOwnWay) {
  struct Case {
    const char* value;
    std::array<uint8_t, 3> colour;
    std::array<float, 3> offset;
  } cases[] = {
      {"10 20", {10, 20, 255}, {10, 20, 0}},         // missing at the end: colour 255, vector 0
      {"10,20,30", {10, 0, 255}, {10, 0, 0}},        // stops at the comma: that colour channel 0
      {"256 -1 7.9", {0, 255, 7}, {256, -1, 7.9f}},  // low 8 bits; a colour reads 7 of 7.9
      {"", {255, 255, 255}, {0, 0, 0}},
      {"x 5", {0, 255, 255}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("[Veh_X]\nModel=1\nRightLight_Color=") + c.value +
                             "\nRightLight_Offset=" + c.value + "\n";
    const VehicleLight right = Collect(text).at(1)[LightGroup::Right];
    EXPECT_EQ(right.Colour, c.colour) << c.value;
    EXPECT_EQ(right.Offset, c.offset) << c.value;
  }
  VehicleLightSettingsState settings;
  ConvertVehicleLightSettings({{"PointLightDirection", "1,2,3"}, {"PointLightOffset", "1 0"}}, settings);
  EXPECT_EQ(settings.PointLightDirection, (std::array{1.0f, 0.0f, 0.0f}));
  EXPECT_EQ(settings.PointLightOffset, (std::array{1.0f, 0.0f, 0.0f}));
}

// A value that does not convert costs that one value: it keeps its default and every other key
// and section still loads.
TEST(VehicleLightLoader, AValueThatDoesNotConvertKeepsItsDefaultAndLoadingGoesOn) {
  VehicleLightSettingsState settings;
  ConvertVehicleLightSettings({{"VehicleLightsGlobalEnable", "off"}, {"EnablePointLight", "99999999999"},
                               {"PointLightAtCenter", "1"}, {"PointLightDistanceFactor", "1e99"}},
                              settings);
  EXPECT_TRUE(settings.VehicleLightsGlobalEnable);
  EXPECT_FALSE(settings.EnablePointLight);
  EXPECT_TRUE(settings.PointLightAtCenter);
  EXPECT_EQ(settings.PointLightDistanceFactor, 0.5f);

  const VehicleLightTable table = Collect(
      "[Veh_Bad]\nModel = 7\nLeftLight_Offset = 1 2 3\nLeftLight_Type = blink\nLeftLight_OnTime = 250\n"
      "LeftLight_Size = big\nLeftLight_HourOn = 3000000000\nLeftLight_HourOff = 4\n"
      "x-CustomLight_Size = 2\n3-CustomLight_Size = \n3-CustomLight_Type = 2\n"
      "[Veh_BadModel]\nModel = car\nLeftLight_Offset = 1 1 1\n"
      "[Veh_Good]\nModel = 8\nMiddleLight_Offset = 0 0 1\n");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table.at(7)[LightGroup::Left], (VehicleLight{.Offset = {1, 2, 3}, .Colour = kRed, .OnTime = 250,
                                                        .Enabled = true, .HourOff = 4}));
  EXPECT_EQ(table.at(7).CustomLights, (std::vector<VehicleLight>{{.Type = ElementType::Pulse, .Enabled = true}}));
  EXPECT_TRUE(table.at(8)[LightGroup::Middle].Enabled);
}

VehicleLight Timed(int32_t type, int32_t on, int32_t off, int32_t delay = 0, int32_t hour_on = -1,
                   int32_t hour_off = -1) {
  return {.Type = static_cast<ElementType>(type), .OnTime = on, .OffTime = off, .Enabled = true, .HourOn = hour_on,
          .HourOff = hour_off, .StartDelay = delay};
}

TEST(VehicleLightAlpha, WindowsBlinkPulseAndDelaysByHand) {
  const VehicleLight night = Timed(0, 0, 0, 0, 20, 6), blink = Timed(1, 250, 750),
                     late = Timed(1, 250, 750, 500), pulse = Timed(2, 0, 0);
  struct Case {
    VehicleLight light;
    uint32_t now;
    uint8_t hour, alpha;
  } cases[] = {
      // Window 20 to 6 runs past midnight; 8 to 8 is empty; -1 means none, whatever the end.
      {night, 0, 20, 255}, {night, 0, 23, 255}, {night, 0, 0, 255}, {night, 0, 5, 255},
      {night, 0, 6, 0}, {night, 0, 19, 0}, {Timed(0, 0, 0, 0, 8, 8), 0, 8, 0},
      {Timed(0, 0, 0, 0, -1, 5), 0, 12, 255},
      // Blink 250 on, 750 off: lit for 0..249 of each second; the remainder is taken unsigned
      // (4294967295 mod 1000 = 295). Start delay 500: dark before it, then lit from 500.
      {blink, 249, 0, 255}, {blink, 250, 0, 0}, {blink, 1000, 0, 255}, {blink, 0xFFFFFFFF, 0, 0},
      {late, 499, 0, 0}, {late, 500, 0, 255}, {late, 749, 0, 255}, {late, 750, 0, 0},
      {Timed(0, 0, 0, -1), 1000000, 0, 0},  // a negative delay lies beyond every early time
      {Timed(1, 0, 0), 0, 0, 0},            // no on time in a 1000 ms period: never lit
      // Pulse over 1000 ms: mid (127.5 truncated) at 0, full at a quarter, dark at three quarters.
      {pulse, 0, 0, 127}, {pulse, 250, 0, 255}, {pulse, 750, 0, 0}, {Timed(2, 1500, 500), 500, 0, 255},
      {Timed(2, 0, 0, 250), 500, 0, 255}, {Timed(7, 0, 0), 3, 0, 255},
      // Settings at the 32-bit limits: the period 2147483657 does not wrap (with a 1000 ms
      // period 2147483650 would be lit); sums below 0 fall back to 1000; hours only compare.
      {Timed(1, INT_MAX, 10), 2147483650u, 0, 0}, {Timed(2, INT_MIN, INT_MIN), 250, 0, 255},
      {Timed(0, 0, 0, 0, INT_MIN, INT_MAX), 0, 12, 255}, {Timed(0, 0, 0, 0, INT_MAX, INT_MIN), 0, 12, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LightAlpha(c.light, c.now, c.hour), c.alpha)
        << "type " << static_cast<int32_t>(c.light.Type) << " delay " << c.light.StartDelay << " hours " << c.light.HourOn << "-"
        << c.light.HourOff << " now " << c.now << " hour " << int{c.hour};
  }
}

struct Glow {
  uint32_t id;
  std::array<int, 4> rgba;
  LightVector position;
  float size;
  bool operator==(const Glow&) const = default;
};
struct PointLight {
  LightVector position, direction;
  float brightness;
  std::array<float, 3> colour;
  bool operator==(const PointLight&) const = default;
};

// A stand-in host that records what the emission hands it.
struct FakeVehicleHost {
  static inline uint32_t pool = 0;
  static inline std::vector<Glow> glows;
  static inline std::vector<PointLight> lights;
  static uint32_t PoolAddress() { return pool; }
  static uint32_t TimeMs() { return 300; }
  static uint8_t ClockHour() { return 0; }
  static void RegisterGlow(uint32_t id, uint8_t r, uint8_t g, uint8_t b, uint8_t a, const float* p,
                           float size) {
    glows.push_back({id, {r, g, b, a}, {p[0], p[1], p[2]}, size});
  }
  static void AddPointLight(const LightVector& p, const LightVector& d, float brightness, float r, float g,
                            float b) {
    lights.push_back({p, d, brightness, {r, g, b}});
  }
  template <typename Table>
  static void Frame(const Table& table, const VehicleLightSettingsState& settings) {
    glows.clear();
    lights.clear();
    EmitVehicleLightsWith<FakeVehicleHost>(table, settings);
  }
};

// Looks models up in a table and counts the lookups.
struct CountingTable {
  const VehicleLightTable& table;
  mutable int finds = 0;
  auto find(int32_t model) const { return ++finds, table.find(model); }
  auto end() const { return table.end(); }
};

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

hostsim::Vehicle Car(int16_t model, float health = 1000) {
  hostsim::Vehicle v;
  v.model = model;
  v.health = health;
  return v;
}

TEST(VehicleLightEmission, WalksLiveVehiclesWithPositiveHealthOnceEachWithoutAllocating) {
  hostsim::VehiclePool pool;
  pool.Reset(8);
  // Live; freed; health 0, below 0, not a number; 70000 cut to 16 bits; 0xFFFF read as -1; no set.
  const hostsim::Vehicle cars[] = {Car(400), Car(400), Car(400, 0), Car(400, -5), Car(400, NAN),
                                   Car(4464), Car(-1), Car(401)};
  for (int slot = 0; slot < 8; ++slot) pool.Occupy(slot, cars[slot]);
  pool.Free(1);
  VehicleLightTable table;
  for (int32_t model : {400, 70000, -1}) table[model].CustomLights.push_back({.Enabled = true});
  table[400][LightGroup::Right].Enabled = true;
  const CountingTable counting{table};
  VehicleLightSettingsState settings;
  FakeVehicleHost::pool = pool.Address();
  FakeVehicleHost::glows.reserve(16);
  const AllocationCount count;
  FakeVehicleHost::Frame(counting, settings);
  EXPECT_EQ(count.allocations(), 0);
  EXPECT_EQ(counting.finds, 4);  // slots 0, 5, 6, 7
  std::vector<uint32_t> ids;
  for (const Glow& glow : FakeVehicleHost::glows) ids.push_back(glow.id);
  const uint32_t v0 = Address(pool.VehicleAt(0)), v6 = Address(pool.VehicleAt(6));
  EXPECT_EQ(ids, (std::vector<uint32_t>{v0 + 1001, v0 + 2000, v6 + 2000}));

  // Nothing at all: lights switched off; no pool; a pool without vehicles, without flags, with a
  // slot count below 0.
  settings.VehicleLightsGlobalEnable = false;
  FakeVehicleHost::Frame(table, settings);
  EXPECT_TRUE(FakeVehicleHost::glows.empty());
  settings.VehicleLightsGlobalEnable = true;
  auto* record = reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(pool.Address()));
  for (uint32_t* word : {&FakeVehicleHost::pool, &record[0], &record[1], &record[2]}) {
    const uint32_t saved = *word;
    *word = word == &record[2] ? 0xFFFFFFF0u : 0;
    FakeVehicleHost::Frame(table, settings);
    EXPECT_TRUE(FakeVehicleHost::glows.empty());
    *word = saved;
  }
}

TEST(VehicleLightEmission, PositionsFromTheAxesAndPointLightRules) {
  hostsim::VehiclePool pool;
  pool.Reset(1);
  hostsim::Vehicle car = Car(400);
  car.position = {100, 200, 10};
  car.axes = {0, 1, 0, -1, 0, 0, 0, 0, 1};  // turned a quarter: its x along world y
  pool.Occupy(0, car);
  const uint32_t v = Address(pool.VehicleAt(0));
  FakeVehicleHost::pool = pool.Address();

  VehicleLightTable table;
  VehicleLightSet& set = table[400];
  // Offset (x, y, z) lands at V + (-y, x, z): left (94, 192, 10), right (98, 201, 10.5).
  set[LightGroup::Left] = {.Offset = {-8, 6, 0}, .Colour = kRed, .Enabled = true, .PointLightBrightness = 2};
  // At host time 300 in its dark part: a glow of alpha 0 and no point light.
  set[LightGroup::Right] = {.Offset = {1, 2, 0.5f}, .Colour = {0, 255, 0}, .Type = ElementType::Blink, .OnTime = 250,
                            .OffTime = 750, .Enabled = true, .PointLightBrightness = 1};
  set.CustomLights = {{.Enabled = true, .Size = 3},
                      {.Offset = {0, -3, 0}, .Colour = {0, 0, 51}, .Enabled = true,
                       .PointLightBrightness = 5}};
  VehicleLightSettingsState settings;
  settings.EnablePointLight = true;
  settings.PointLightOffset = {0, 0, 1};

  FakeVehicleHost::Frame(table, settings);
  EXPECT_EQ(FakeVehicleHost::glows, (std::vector<Glow>{{v + 1000, {255, 0, 0, 255}, {94, 192, 10}, 1},
                                                       {v + 1001, {0, 255, 0, 0}, {98, 201, 10.5f}, 1},
                                                       {v + 2000, {255, 255, 255, 255}, {100, 200, 10}, 3},
                                                       {v + 2001, {0, 0, 51, 255}, {103, 200, 10}, 1}}));
  // Fixed: halfway to the light, one up along A3. Custom: at the light, without offset or factor.
  EXPECT_EQ(FakeVehicleHost::lights,
            (std::vector<PointLight>{{{97, 196, 11}, {0, 0, -1}, 2, {1, 0, 0}},
                                     {{103, 200, 10}, {0, 0, -1}, 5, {0, 0, 0.2f}}}));

  // At the centre: the fixed light's point light stays halfway and aims at the centre along
  // (3, 4, 0) / 5; the custom light's sits at the centre. With factor 0 the fixed one sits at
  // the centre too, too close to aim: the direction setting.
  settings.PointLightAtCenter = true;
  settings.PointLightOffset = {0, 0, 0};
  FakeVehicleHost::Frame(table, settings);
  EXPECT_EQ(FakeVehicleHost::lights[0].direction, (LightVector{0.6f, 0.8f, 0}));
  EXPECT_EQ(FakeVehicleHost::lights[1].position, (LightVector{100, 200, 10}));
  settings.PointLightDistanceFactor = 0;
  FakeVehicleHost::Frame(table, settings);
  EXPECT_EQ(FakeVehicleHost::lights[0].position, (LightVector{100, 200, 10}));
  EXPECT_EQ(FakeVehicleHost::lights[0].direction, (LightVector{0, 0, -1}));
}

}  // namespace

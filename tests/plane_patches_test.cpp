// The plane patches: the update form's timing and settings, the trail glow values, the glow pulse,
// and the bytes written into the emulated image. Running the host's code through the patched sites
// is covered by the plane_*, trails_* scenarios.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "features/planes/glow_pulse.h"
#include "features/planes/plane_patches.h"
#include "hostsim/hostsim.h"
#include "hostsim/machine_code.h"
#include "injector/patching.h"
#include "plugin/host_build.h"
#include "tests/isolated.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(StepPlaneMode, SwitchesAfterMoreThanThePeriodInWrappingTime) {
  struct Case {
    const char* name;
    PlaneUpdateSettings settings;
    std::vector<std::pair<uint32_t, bool>> frames;  // host time, ignore form active afterwards
  };
  const Case cases[] = {
      {"permanent", {true, 0, 0}, {{90001, true}, {4000000000u, true}, {0, true}}},
      {"default periods from time 0",
       {false, 90000, 20000},
       {{90000, true}, {90001, false}, {110001, false}, {110002, true}, {200002, true}, {200003, false}}},
      {"no ignore period", {false, 0, 20000}, {{0, true}, {1, false}}},
      {"timer goes backwards", {false, 90000, 20000}, {{90001, false}, {5, true}}},
      // -1 read from the file: the largest unsigned period, never exceeded.
      {"negative ignore period", {false, 0xFFFFFFFFu, 20000}, {{0xFFFFFFFFu, true}, {5, true}}},
      {"negative check period", {false, 0, 0xFFFFFFFFu}, {{1, false}, {0, false}, {0xFFFFFFFFu, false}}},
      // Elapsed time is counted across the wrap of the 32-bit timer.
      {"across the wrap",
       {false, 10, 10},
       {{0xFFFFFFF0u, false}, {0xFFFFFFFAu, false}, {0xFFFFFFFBu, true}, {5, true}, {6, false}}},
  };
  for (const Case& c : cases) {
    PlaneModeState state;
    uint32_t last_switch = 0;
    bool active = true;
    for (const auto& [time, expected] : c.frames) {
      const bool switched = StepPlaneMode(c.settings, state, time);
      EXPECT_EQ(state.PlaneIgnoreActive, expected) << c.name << " at " << time;
      EXPECT_EQ(switched, expected != active) << c.name << " at " << time;
      if (switched) last_switch = time;
      EXPECT_EQ(state.LastPlaneModeSwitch, last_switch) << c.name << " at " << time;
      active = expected;
    }
  }
}

TEST(PlaneUpdateSettingsLoader, OrderAndTheFirstBadValue) {
  struct Case {
    SettingsTable table;
    bool permanent;
    uint32_t ignore, check;
  };
  const Case cases[] = {
      {{}, true, 90000, 20000},
      {{{"PermanentIgnore", "0"}, {"IgnoreDuration", "-1"}, {"CheckDuration", "5"}}, false, 0xFFFFFFFFu, 5},
      {{{"PermanentIgnore", "0"}, {"IgnoreDuration", "soon"}, {"CheckDuration", "5"}}, false, 90000, 20000},
      {{{"PermanentIgnore", "true"}, {"IgnoreDuration", "5"}}, true, 90000, 20000},
  };
  for (const Case& c : cases) {
    PlaneUpdateSettings settings;
    ConvertPlaneUpdateSettings(c.table, settings);
    const std::string where = c.table.empty() ? "no keys" : c.table.begin()->second;
    EXPECT_EQ(settings.PermanentIgnore, c.permanent) << where;
    EXPECT_EQ(settings.IgnoreDuration, c.ignore) << where;
    EXPECT_EQ(settings.CheckDuration, c.check) << where;
  }
}

TEST(GlowPulseAlpha, PeriodOf2500MillisecondsFromThePhase) {
  // Expected values from a separate single-precision model (sine in double rounded to float).
  struct Case {
    uint32_t time;
    float phase;
    uint8_t expected;
  };
  const Case cases[] = {
      {0, 0.0f, 127},    {625, 0.0f, 255},  {1250, 0.0f, 127}, {1875, 0.0f, 0},
      {2500, 0.0f, 127}, {1000, 0.0f, 202}, {0, 0.5f, 188},    {625, 0.5f, 239},
      {1875, 0.5f, 15},  {1000, 0.5f, 143}, {0xFFFFFFFFu, 0.0f, 47},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GlowPulseAlpha(c.time, c.phase), c.expected) << c.time << " phase " << c.phase;
  }
}

TEST(TrailGlowValues, ColourAndSizeAsConfiguredAlphaByType) {
  auto element = [](int32_t type, int32_t on = 200, int32_t off = 800) {
    return SkyLogoElement{{10, 20, 30}, 2.5f, static_cast<ElementType>(type), on, off};
  };
  struct Case {
    SkyLogoElement element;
    float phase;
    uint32_t time;
    uint8_t alpha;
  };
  const Case cases[] = {
      {element(0), 0.0f, 350, 255},
      {element(9), 0.0f, 350, 255},
      {element(1), 0.0f, 199, 255},
      {element(1), 0.0f, 200, 0},  // dark: still a glow, alpha 0
      {element(1), 0.0f, 1100, 255},
      {element(1), 0.0f, 0xFFFFFFFFu, 255},  // -1 lies before a cycle start
      {element(1, 0, 0), 0.0f, 350, 255},
      {element(1, 900, 0), 0.0f, 850, 255},  // lit throughout
      {element(1, INT32_MAX, 1), 0.0f, 0x7FFFFFFFu, 0},
      {element(2), 0.0f, 0, 127},
      {element(2), 0.5f, 0, 188},
      {element(2), 0.5f, 625, 239},
  };
  for (const Case& c : cases) {
    const TrailGlow glow = TrailGlowValues(c.element, c.phase, c.time);
    const auto type = static_cast<int32_t>(c.element.Type);
    EXPECT_EQ(glow.Alpha, c.alpha) << "type " << type << " phase " << c.phase << " at " << c.time;
    EXPECT_EQ((Bytes{glow.Red, glow.Green, glow.Blue}), (Bytes{10, 20, 30})) << "type " << type;
    EXPECT_EQ(glow.Size, 2.5f) << "type " << type;
  }
}

// The emulator's encoding of a CALL at `site` of `target`.
Bytes CallOf(uint32_t site, const void* target) {
  const auto call = hostsim::MakeCall(site, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)));
  return {call.begin(), call.end()};
}

TEST(SetPlaneIgnoreMode, IgnoreFormKeepsTheFirstBytesCheckFormIsFixed) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(120, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    // A host whose second branch jumps elsewhere: the check form does not copy it back.
    host.Poke(0x5B1DA7, Bytes{0x75, 0x07});
    const Bytes after = image.Read(0x5B1DA9, 4);
    SetPlaneIgnoreMode(true);
    EXPECT_EQ(image.Read(0x5B1D85, 2), (Bytes{0xEB, 0x22}));
    EXPECT_EQ(image.Read(0x5B1DA7, 2), (Bytes{0x90, 0x90}));
    SetPlaneIgnoreMode(false);
    EXPECT_EQ(image.Read(0x5B1D85, 2), (Bytes{0x74, 0x2E}));
    EXPECT_EQ(image.Read(0x5B1DA7, 2), (Bytes{0x75, 0x0C}));
    SetPlaneIgnoreMode(true);
    EXPECT_EQ(image.Read(0x5B1DA7, 2), (Bytes{0x90, 0x90}));
    ASSERT_NE(NopOriginals, nullptr);
    EXPECT_EQ(NopOriginals->at(0x5B1DA7), (Bytes{0x75, 0x07}));
    EXPECT_EQ(image.Read(0x5B1DA9, 4), after);
    EXPECT_EQ(image.Protection(0x5B1D85), "r-x");
  });
}

TEST(PlaneTrailsPatch, EachSiteRegistersItsOwnTrailWhateverIdTheHostPasses) {
  EXPECT_ISOLATED({
    std::ostringstream trace;
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, &trace);
    ResolveHostReferences();  // the hooks read the host's timer
    PatchPlaneTrails();
    float position[3] = {1.0f, 2.0f, 3.0f};
    const auto pointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(position));
    const std::pair<uint32_t, uint32_t> sites[] = {{0x54CE94, 101}, {0x54D06A, 102}, {0x54D242, 103},
                                                   {0x54CEB6, 101}, {0x54D08C, 102}, {0x54D265, 103}};
    for (size_t i = 0; i < 6; ++i) {
      // Identifier 999 first; the position sixth at the primary sites, second at the secondary.
      std::vector<uint32_t> args(16, 7);
      args[0] = 999;
      args[i < 3 ? 5 : 1] = pointer;
      trace.str("");
      EXPECT_EQ(host.CallSite(sites[i].first, args), hostsim::kRegisterGlowResult);
      const std::string id = "\"id\":" + std::to_string(sites[i].second) + ",";
      EXPECT_NE(trace.str().find(id), std::string::npos) << std::hex << sites[i].first << trace.str();
      EXPECT_NE(trace.str().find("\"pos\":[1,2,3]"), std::string::npos) << trace.str();
    }
  });
}

TEST(PlanePreRenderPatch, StretchesBecomeNopsAndGlowCallsReachTheHooks) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    PatchPlanePreRender();
    // D9 05 10 8C 8D 00: FLD dword [0x8D8C10]; 0F 85 8B 00 00 00: JNE +6+0x8B.
    ASSERT_NE(NopOriginals, nullptr);
    EXPECT_EQ(NopOriginals->at(0x5B2663), (Bytes{0xD9, 0x05, 0x10, 0x8C, 0x8D, 0x00}));
    EXPECT_EQ(NopOriginals->at(0x5B2A23), (Bytes{0x0F, 0x85, 0x8B, 0x00, 0x00, 0x00}));
    const Bytes nops(6, 0x90);
    EXPECT_EQ(image.Read(0x5B2663, 6), nops);
    EXPECT_EQ(image.Read(0x5B2A23, 6), nops);
    EXPECT_EQ(image.Read(0x5B2A29, 1), (Bytes{0xCC}));
    const std::pair<uint32_t, const void*> calls[] = {
        {0x5B2820, reinterpret_cast<const void*>(&PlaneRedGlowHook)},
        {0x5B2964, reinterpret_cast<const void*>(&PlaneRedGlowHook)},
        {0x5B2A11, reinterpret_cast<const void*>(&PlaneGreenGlowHook)},
        {0x5B2AB4, reinterpret_cast<const void*>(&PlaneAmberGlowHook)},
    };
    for (const auto& [site, hook] : calls) EXPECT_EQ(image.Read(site, 5), CallOf(site, hook)) << std::hex << site;
    EXPECT_EQ(image.Protection(0x5B2663), "r-x");
  });
}

}  // namespace

// The host reaching its start-up site a second time. Every pass runs the whole start-up again: each
// loader reads the settings file afresh, every patch is written again with the same bytes, what a
// pass allocates replaces what the pass before allocated, and the plane update goes back to its
// ignore form with its switching state saying so. Shooting stars in flight and the timers go on.
#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"
#include "tests/allocation_count.h"
#include "tests/isolated.h"
#include "tests/plugin_run.h"

namespace {

constexpr const char* kEverything =
    "MinHour = 0\nMaxHour = 23\nNumStars = 50\nPermanentIgnore = 1\n"
    "[MoonSettings]\nMoon_Color = 255 255 255\n"
    "[RStarLogo]\nR_Size = 2\n"
    "[Veh_Test]\nModel = 7\nLeftLight_Offset = 1 0 0\n5-CustomLight_Offset = 0 0 1\n";

std::vector<uint32_t> MoonArgs() {
  const auto f = [](float v) { return std::bit_cast<uint32_t>(v); };
  return {f(1), f(2), f(3), f(4), f(5), 100, 100, 100, 255, f(0.5f), 255};
}

TEST(SecondStartUp, ReadsTheSettingsAgainRewritesTheSamePatchesAndLeaksNothing) {
  EXPECT_ISOLATED({
    PluginRun run(kEverything, 100, hostsim::kDefaultBase, [](hostsim::HostState& state) {
      state.camera_position = {1, 1, 1};
      state.pool.Reset(4);
      hostsim::Vehicle vehicle;
      vehicle.model = 7;
      state.pool.Occupy(2, vehicle);
    });
    run.Startup();
    run.Frame(16);
    const std::vector<uint8_t> patched = run.Host().Image().CodeBytes();
    {
      AllocationCount count;
      run.Startup();
      run.Frame(16);
      EXPECT_EQ(count.live(), 0) << "the second pass keeps what it allocated beside the first's";
    }
    EXPECT_EQ(run.Host().Image().CodeBytes(), patched);
    run.Trace();
    run.Frame(16);
    EXPECT_EQ(run.Calls("RegisterGlow"), 2) << "the vehicle's two lights, once each";

    // An edited file takes effect at the next pass: the moon is now tinted black.
    run.WriteSettings("[MoonSettings]\nMoon_Color = 0 0 0\n");
    run.Startup();
    run.Trace();
    run.Site(hostsim::kMoonSite, MoonArgs());
    const std::vector<std::string> lines = run.Trace();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"r\":0,\"g\":0,\"b\":0"), std::string::npos) << lines[0];
  });
}

// Ignore form for more than 3000 ms, check form for more than 2000 ms. The check form comes at
// 3001; the second pass at 3500 writes the ignore form, which then lasts until 3000 ms after the
// last switch (6001) have passed: the next frames at 4000 ... 6000 keep it, 6500 switches.
TEST(SecondStartUp, PutsThePlaneUpdateBackToItsIgnoreFormAndItsStateWithIt) {
  EXPECT_ISOLATED({
    PluginRun run("PermanentIgnore = 0\nIgnoreDuration = 3000\nCheckDuration = 2000\n");
    auto form = [&] { return run.Site(hostsim::kPlaneDecisionSite, {0, 0}) == 1 ? 'I' : 'C'; };
    run.Startup();
    run.Frame(3001);
    EXPECT_EQ(form(), 'C');
    run.State().time_ms = 3500;
    run.Startup();
    std::string forms(1, form());
    for (int frame = 0; frame < 6; ++frame) {
      run.Frame(500);
      forms += form();
    }
    EXPECT_EQ(forms, "IIIIIIC");
  });
}

}  // namespace

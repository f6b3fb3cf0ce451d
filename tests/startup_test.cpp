// The plugin's start-up as the host sees it: what loading registers (gated by the scene code), and
// what unloading leaves behind. Uses a copy of the plugin that also reports its registrations.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "hostsim/hostsim.h"
#include "tests/isolated.h"

namespace {

struct Registrations {
  int startup = 0, update = 0, draw = 0;
  bool star_field = false;
};

// Loads the plugin copy, reads what it registered, and leaves it loaded.
void* LoadPlugin(Registrations* seen) {
  void* plugin = dlopen(NIGHTGLASS_PROBE_PATH, RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(plugin, nullptr) << dlerror();
  if (plugin == nullptr) return nullptr;
  auto probe = reinterpret_cast<void (*)(int*)>(dlsym(plugin, "nightglass_probe_registrations"));
  EXPECT_NE(probe, nullptr);
  std::array<int, 4> counts{};
  probe(counts.data());
  *seen = {counts[0], counts[1], counts[2], counts[3] != 0};
  return plugin;
}

TEST(PluginStartup, SkyFeaturesRegisterUnlessTheSceneCodeSuppressesThem) {
  struct Case {
    uint8_t scene;
    Registrations expected;
  };
  // The star field and the shooting stars each add one start-up callback and one draw callback
  // (the shooting stars one update callback too); the draw site is hooked only when one registers.
  const Case cases[] = {
      {0, {8, 3, 2, true}}, {4, {8, 3, 2, true}},  {7, {8, 3, 2, true}},  {255, {8, 3, 2, true}},
      {1, {6, 2, 0, false}}, {2, {6, 2, 0, false}}, {3, {6, 2, 0, false}}, {5, {6, 2, 0, false}},
      {6, {6, 2, 0, false}},
  };
  for (const Case& c : cases) {
    EXPECT_ISOLATED({
      hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
      host.State().scene = c.scene;
      host.ApplyState();
      const std::vector<uint8_t> draw_site = host.Image().Read(0x4A61D6, 5);
      Registrations seen;
      void* plugin = LoadPlugin(&seen);
      EXPECT_EQ(seen.startup, c.expected.startup) << "scene " << int(c.scene);
      EXPECT_EQ(seen.update, c.expected.update);
      EXPECT_EQ(seen.draw, c.expected.draw);
      EXPECT_EQ(seen.star_field, c.expected.star_field);
      EXPECT_EQ(host.Image().Read(0x4A61D6, 5) != draw_site, c.expected.draw > 0);
      dlclose(plugin);
    });
  }
}

TEST(PluginStartup, UnloadPutsTheEventSitesBackAndReloadStartsFresh) {
  for (int32_t build : {100, 110, 120}) {
    EXPECT_ISOLATED({
      hostsim::EmulatedHost host(build, hostsim::kDefaultBase, nullptr);
      const hostsim::BuildLayout& layout = host.Image().Layout();
      const std::array<uint32_t, 3> sites{layout.startup_site, layout.update_site, layout.draw_site};
      std::vector<std::vector<uint8_t>> original;
      for (uint32_t site : sites) original.push_back(host.Image().Read(site, 5));

      for (int round = 0; round < 2; ++round) {
        Registrations seen;
        void* plugin = LoadPlugin(&seen);
        EXPECT_EQ(seen.startup, 8) << "round " << round;
        for (size_t i = 0; i < sites.size(); ++i)
          EXPECT_NE(host.Image().Read(sites[i], 5), original[i]);
        host.CallSite(layout.startup_site, {});
        host.CallSite(layout.update_site, {});
        host.CallSite(layout.draw_site, {});
        dlclose(plugin);
        for (size_t i = 0; i < sites.size(); ++i) {
          EXPECT_EQ(host.Image().Read(sites[i], 5), original[i]);
          EXPECT_EQ(host.Image().Protection(sites[i]), "r-x");
        }
      }
    });
  }
}

}  // namespace

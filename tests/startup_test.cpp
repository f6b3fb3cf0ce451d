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
  for (uint8_t scene : {0, 4, 7, 255}) {
    EXPECT_ISOLATED({
      hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
      host.State().scene = scene;
      host.ApplyState();
      Registrations seen;
      void* plugin = LoadPlugin(&seen);
      EXPECT_EQ(seen.startup, 8);
      EXPECT_EQ(seen.update, 3);
      EXPECT_EQ(seen.draw, 2);
      EXPECT_TRUE(seen.star_field);
      EXPECT_EQ(host.Image().Read(0x4A61D6, 1), std::vector<uint8_t>{0xE8});
      dlclose(plugin);
    });
  }
  for (uint8_t scene : {1, 2, 3, 5, 6}) {
    EXPECT_ISOLATED({
      hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
      host.State().scene = scene;
      host.ApplyState();
      const std::vector<uint8_t> draw_site = host.Image().Read(0x4A61D6, 5);
      Registrations seen;
      void* plugin = LoadPlugin(&seen);
      EXPECT_EQ(seen.startup, 6);
      EXPECT_EQ(seen.update, 2);
      EXPECT_EQ(seen.draw, 0);
      EXPECT_FALSE(seen.star_field);
      EXPECT_EQ(host.Image().Read(0x4A61D6, 5), draw_site) << "no draw hook installed";
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

// The plugin's start-up as the host sees it: what loading registers (gated by the scene code), in
// which order, and what unloading leaves behind. Uses a copy of the plugin that also reports its
// registrations.
#include <cxxabi.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"
#include "tests/allocation_count.h"
#include "tests/isolated.h"

namespace {

// Per event (start-up, update, draw), the feature that registered each callback, in order.
struct Registrations {
  std::array<std::vector<std::string>, 3> registrants;
  bool star_field = false;
};

// The feature whose constructor registered a callback: the class around the lambda it handed to
// the event, from the lambda's type name ("MoonControl::MoonControl()::{lambda()#1}").
std::string Registrant(const char* type_name) {
  int status = 0;
  char* text = abi::__cxa_demangle(type_name, nullptr, nullptr, &status);
  const std::string name = status == 0 ? text : type_name;
  std::free(text);
  return name.substr(0, name.find("::"));
}

// Loads the plugin copy, reads what it registered, and leaves it loaded.
void* LoadPlugin(Registrations* seen) {
  void* plugin = dlopen(NIGHTGLASS_PROBE_PATH, RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(plugin, nullptr) << dlerror();
  if (plugin == nullptr) return nullptr;
  auto counts = reinterpret_cast<void (*)(int*)>(dlsym(plugin, "nightglass_probe_registrations"));
  auto type =
      reinterpret_cast<const char* (*)(int, int)>(dlsym(plugin, "nightglass_probe_callback_type"));
  EXPECT_TRUE(counts != nullptr && type != nullptr);
  std::array<int, 4> numbers{};
  counts(numbers.data());
  seen->star_field = numbers[3] != 0;
  for (int event = 0; event < 3; ++event) {
    seen->registrants[event].clear();
    for (int i = 0; const char* name = type(event, i); ++i)
      seen->registrants[event].push_back(Registrant(name));
    EXPECT_EQ(seen->registrants[event].size(), static_cast<size_t>(numbers[event]));
  }
  return plugin;
}

// The order of construction at load is the order in which every event runs the features'
// callbacks. The star field and the shooting stars register only when the scene code at load lets
// them; the draw site is hooked only when one of them registers.
TEST(PluginStartup, FeaturesRegisterInTheirOrderTheSkyOnesUnlessTheSceneCodeSuppressesThem) {
  const std::array<std::vector<std::string>, 3> all{{
      {"PlanePreRenderDirectPatch", "UpdatePlanesPatch", "CustomStarsPlugin",
       "CustomVehicleLightsManager", "PlaneTrailsPatch_New", "RStarLogoPatch", "MoonControl",
       "ShootingStarsManager"},
      {"UpdatePlanesPatch", "CustomVehicleLightsManager", "ShootingStarsManager"},
      {"CustomStarsPlugin", "ShootingStarsManager"},
  }};
  std::array<std::vector<std::string>, 3> without_sky = all;
  for (std::vector<std::string>& names : without_sky) {
    std::erase(names, "CustomStarsPlugin");
    std::erase(names, "ShootingStarsManager");
  }
  for (uint8_t scene : {0, 4, 7, 255, 1, 2, 3, 5, 6}) {
    const bool sky = scene == 0 || scene == 4 || scene >= 7;
    EXPECT_ISOLATED({
      hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
      host.State().scene = scene;
      host.ApplyState();
      const std::vector<uint8_t> draw_site = host.Image().Read(0x4A61D6, 5);
      Registrations seen;
      void* plugin = LoadPlugin(&seen);
      EXPECT_EQ(seen.registrants, sky ? all : without_sky) << "scene " << int(scene);
      EXPECT_EQ(seen.star_field, sky);
      EXPECT_EQ(host.Image().Read(0x4A61D6, 5) != draw_site, sky);
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
        EXPECT_EQ(seen.registrants[0].size(), 8u) << "round " << round;
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

// Unloading frees whatever loading and running the plugin allocated, the bookkeeping of the NOP
// patches included, while the NOPs themselves stay. The star field, which is never freed, is kept
// out by the scene code.
TEST(PluginUnload, FreesWhatTheRunAllocatedAndLeavesTheNops) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    host.State().scene = 5;
    host.ApplyState();
    const hostsim::BuildLayout& layout = host.Image().Layout();
    constexpr uint32_t kScratch = 0x401100;  // free code bytes (0xCC filler)
    auto run = [&] {
      void* plugin = dlopen(NIGHTGLASS_PROBE_PATH, RTLD_NOW | RTLD_LOCAL);
      if (plugin == nullptr) return false;
      auto patch_nop =
          reinterpret_cast<void (*)(uint32_t, uint32_t)>(dlsym(plugin, "nightglass_probe_patch_nop"));
      if (patch_nop == nullptr) return false;
      host.CallSite(layout.startup_site, {});
      host.CallSite(layout.update_site, {});
      host.CallSite(layout.draw_site, {});
      patch_nop(kScratch, 6);
      patch_nop(kScratch + 8, 2);
      dlclose(plugin);
      return true;
    };
    // The first run also makes the runtime's own one-time allocations; the second is counted.
    ASSERT_TRUE(run());
    int allocations = 0, live = 0;
    {
      AllocationCount count;
      ASSERT_TRUE(run());
      allocations = count.allocations();
      live = count.live();
    }
    EXPECT_GT(allocations, 0);
    EXPECT_EQ(live, 0);
    EXPECT_EQ(host.Image().Read(kScratch, 10),
              (std::vector<uint8_t>{0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xCC, 0xCC, 0x90, 0x90}));
  });
}

}  // namespace

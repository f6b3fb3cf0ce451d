// What the plugin allocates outside its start-up. The real plugin, with settings that switch every
// feature on with every flashing pattern, runs frames in the emulated host (recording nothing) and
// is called at every hook site: after the first frame, nothing may allocate. And the start-up's
// loaders may hold, at their peak, only what their own keys need, however many other keys the
// settings file holds.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "hostsim/hostsim.h"
#include "startup.h"
#include "tests/allocation_count.h"
#include "tests/game_folder.h"
#include "tests/isolated.h"

namespace {

namespace fs = std::filesystem;

// Every feature on, every light and sprite with a flashing pattern, shooting stars spawning every
// 50 ms for a second each, the plane update forms switching every 40 ms.
constexpr const char* kBusySettings = R"(
PermanentIgnore = 0
IgnoreDuration = 40
CheckDuration = 40
NumStars = 500
EnablePointLight = 1
PointLightAtCenter = 1
[ShootingStars]
MinInterval = 50
MaxInterval = 50
Lifetime = 1
ElevationMin = 60
ElevationMax = 80
[MoonSettings]
Moon_Type = 2
Moon_Color = 200 100 50
[RStarLogo]
R_Type = 2
Star_Type = 1
Trail1_Type = 2
Trail2_Type = 1
[Veh_Car]
Model = 400
LeftLight_Offset = -1 2 0.5
LeftLight_PointLightBrightness = 2
RightLight_Offset = 1 2 0.5
RightLight_Type = 1
RightLight_OnTime = 100
RightLight_OffTime = 100
MiddleLight_Offset = 0 2 1
MiddleLight_Type = 2
MiddleLight_HourOn = 20
MiddleLight_HourOff = 6
1-CustomLight_Offset = 0 -3 0
1-CustomLight_PointLightBrightness = 1
2-CustomLight_Type = 2
)";

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }

TEST(FrameAllocation, NoFrameAfterTheFirstAllocatesNorDoesAnyHook) {
  EXPECT_ISOLATED({
    GameFolder folder(kBusySettings);
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostState& state = host.State();
    state.hour = 23;
    state.time_ms = 10000;
    state.camera_position = {10.0f, 20.0f, 30.0f};
    state.camera_forward = {0.0f, 0.0f, 1.0f};
    state.camera_right = {1.0f, 0.0f, 0.0f};
    state.pool.Reset(20);
    for (int32_t slot = 0; slot < 20; ++slot) {
      hostsim::Vehicle car;
      car.model = slot % 2 == 0 ? 400 : 401;  // a model with lights and one without
      car.position = {static_cast<float>(slot), 50.0f, 0.0f};
      state.pool.Occupy(slot, car);
    }
    host.ApplyState();
    void* plugin = dlopen(NIGHTGLASS_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();

    const hostsim::BuildLayout& layout = host.Image().Layout();
    auto* time = reinterpret_cast<volatile uint32_t*>(host.Image().At(layout.time_ms));
    const volatile uint8_t* branch = host.Image().At(hostsim::kPlaneBranch1);
    float position[3] = {100.0f, 200.0f, 300.0f};
    const auto pointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(position));
    const std::array<uint32_t, hostsim::kSpriteArgs> sprite{
        Bits(320.0f), Bits(100.0f), Bits(0.5f), Bits(20.0f), Bits(20.0f), 200, 200, 200, 255,
        Bits(2.0f),   255};
    std::array<uint32_t, hostsim::kGlowArgs> glow{7, 255, 255, 255, 255, pointer, Bits(5.0f)};
    std::array<uint32_t, hostsim::kGlowArgs> secondary{0, pointer};
    const std::array<uint32_t, hostsim::kPlaneBranchArgs> decision{1, 0};
    // One frame of the game: the update and draw sites, and every hook site the plugin redirects.
    const auto frame = [&] {
      *time = *time + 16;
      host.CallSite(layout.update_site, {});
      host.CallSite(layout.draw_site, {});
      host.CallSite(hostsim::kMoonSite, sprite);
      host.CallSite(hostsim::kLogoRSite, sprite);
      host.CallSite(hostsim::kLogoStarSite, sprite);
      for (size_t i = 0; i < hostsim::kTrailSites.size(); ++i) {
        host.CallSite(hostsim::kTrailSites[i], i < 3 ? std::span<const uint32_t>(glow)
                                                     : std::span<const uint32_t>(secondary));
      }
      for (uint32_t site : hostsim::kPlaneGlowSites) host.CallSite(site, glow);
      host.CallSite(hostsim::kPlaneDecisionSite, decision);
    };

    host.CallSite(layout.startup_site, {});
    frame();  // the first frame: the star field makes its positions
    int forms = 0;  // plane update forms seen switching
    uint8_t last_form = *branch;
    {
      AllocationCount count;
      for (int i = 0; i < 500; ++i) {
        frame();
        if (*branch != last_form) ++forms;
        last_form = *branch;
      }
      EXPECT_EQ(count.allocations(), 0);
    }
    EXPECT_GT(forms, 10);  // the update ran its switching all along
    dlclose(plugin);
  });
}

std::string ExampleSettings() {
  std::ifstream in(std::string(NIGHTGLASS_TEST_DATA) + "/../examples/Nightglass.ini",
                   std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The example file followed by `keys` keys that no loader reads, a fifth of them in each of a
// section of their own, the loaders' own sections and a model section of the vehicle lights.
std::string WithUnreadKeys(int keys) {
  std::string text = ExampleSettings();
  for (const char* section : {"[Other]", "[MoonSettings]", "[ShootingStars]", "[RStarLogo]",
                              "[Veh_Car]\r\nModel = 400"}) {
    text += std::string(section) + "\r\n";
    for (int i = 0; i < keys / 5; ++i) {
      text += "Unread" + std::to_string(i) + " = " + std::to_string(i) + " ; read by none\r\n";
    }
  }
  return text;
}

// The start-up's loaders, in their order, into settings of their own.
size_t PeakOfLoaders() {
  AllocationCount count;
  for (const SettingsLoader* loader : kStartupLoaders) loader->load();
  return count.peak_bytes();
}

TEST(StartupMemory, LoadersHoldOnlyWhatTheirKeysNeedWhateverElseTheFileHolds) {
  size_t few = 0, many = 0, table = 0;
  {
    GameFolder folder(WithUnreadKeys(5000));
    few = PeakOfLoaders();
  }
  {
    GameFolder folder(WithUnreadKeys(80000));
    many = PeakOfLoaders();
    AllocationCount count;
    const SettingsTable all = ReadAllSettings();  // what a table of every key would take
    table = count.peak_bytes();
  }
  EXPECT_EQ(many, few);
  // The file was large enough for a table of its keys to dwarf what the loaders hold.
  EXPECT_GT(table, 10 * many);
}

}  // namespace

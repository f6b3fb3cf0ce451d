// A whole run of the plugin in the emulated host, driven by arbitrary settings files and host state:
// the host lays out a build (at 0x400000, now and then at another base), sets its state, loads the
// plugin, and then runs a sequence of host actions: start-up (also a second time), updates, draws,
// frames that move the timer (also across its wrap), the hooked sprite and glow sites, the plane
// decision, and changes of the scene code, clock, timer, time step, camera, sky gate, texture and
// vehicles between them. Last the plugin is unloaded. A crash, a sanitizer report or an exception
// escaping into the host ends the run.
//
// Input: the host's choices are read from the end of the input (see FuzzedDataProvider), what
// remains at the front is the settings file. Built for i386 only: the plugin's host addresses are
// those of a 32-bit process.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <link.h>
#include <sys/mman.h>

#include <array>
#include <bit>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "hostsim/hostsim.h"

namespace {

using hostsim::EmulatedHost;
using hostsim::HostState;

// The most host actions and vehicles of one input, and the pool sizes it may ask for: the sizes
// the emulator allows, with the largest only now and then (it maps 150 MB).
constexpr int kMaxActions = 24;
constexpr int kMaxVehicles = 6;
constexpr int32_t kLargestPool = 100000;

float AnyFloat(FuzzedDataProvider& in) { return std::bit_cast<float>(in.ConsumeIntegral<uint32_t>()); }

// A float that is mostly an ordinary number in range, sometimes any bit pattern (NaN, infinities,
// subnormals).
float SomeFloat(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange<int>(0, 7) == 7) return AnyFloat(in);
  return static_cast<float>(in.ConsumeIntegral<int16_t>());
}

std::array<float, 3> SomeVector(FuzzedDataProvider& in) { return {SomeFloat(in), SomeFloat(in), SomeFloat(in)}; }

enum class Action : uint8_t {
  kStartup, kUpdate, kDraw, kFrame, kMoon, kLogoR, kLogoStar, kTrail, kPlaneGlow, kPlaneBranch,
  kScene, kClock, kTime, kTimeStep, kCamera, kSkyGate, kTexture, kVehicle, kFree, kCount
};

// How many 32-bit arguments each action reads from the input.
constexpr int kArgCounts[] = {0, 0, 0, 2, 11, 11, 11, 4, 6, 2, 1, 2, 2, 2, 9, 1, 1, 6, 1};
static_assert(std::size(kArgCounts) == static_cast<size_t>(Action::kCount));

struct Step {
  Action action;
  std::array<uint32_t, 11> args{};
};

// The emulated host's build and image base.
struct HostChoice {
  int32_t build = 100;
  uint32_t base = hostsim::kDefaultBase;
};

// What the host holds and does once it is laid out.
struct Plan {
  std::optional<int32_t> pool;
  std::vector<hostsim::Vehicle> vehicles;  // in slots 0, 1, ...
  std::vector<Step> steps;
};

void ReadState(FuzzedDataProvider& in, HostState& state) {
  state.scene = in.ConsumeIntegral<uint8_t>();
  state.hour = in.ConsumeIntegralInRange<uint8_t>(0, 25);
  state.minute = in.ConsumeIntegralInRange<uint8_t>(0, 61);
  state.time_ms = in.ConsumeIntegral<uint32_t>();
  state.time_step = SomeFloat(in);
  state.camera_position = SomeVector(in);
  state.camera_forward = SomeVector(in);
  state.camera_right = SomeVector(in);
  state.sky_gate = in.ConsumeBool() ? 1 : 0;
  state.texture = static_cast<hostsim::TextureState>(in.ConsumeIntegralInRange<int>(0, 2));
}

hostsim::Vehicle SomeVehicle(FuzzedDataProvider& in) {
  hostsim::Vehicle v;
  v.model = in.ConsumeIntegralInRange<int16_t>(-2, 600);
  v.position = SomeVector(in);
  v.health = in.ConsumeBool() ? 1000.0f : SomeFloat(in);
  if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
    for (float& axis : v.axes) axis = SomeFloat(in);
  }
  return v;
}

HostChoice ReadHostChoice(FuzzedDataProvider& in) {
  HostChoice choice;
  static constexpr int32_t kBuilds[] = {100, 110, 120, 0};
  choice.build = kBuilds[in.ConsumeIntegralInRange<int>(0, 3)];
  if (in.ConsumeIntegralInRange<int>(0, 7) == 7) choice.base = 0x1000000;
  return choice;
}

// The host's state (into `state`), then its pool and the steps.
Plan ReadPlan(FuzzedDataProvider& in, HostState& state) {
  Plan plan;
  ReadState(in, state);
  switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 15: break;  // no pool
    case 14: plan.pool = kLargestPool; break;
    default: plan.pool = in.ConsumeIntegralInRange<int32_t>(0, 64); break;
  }
  const int vehicles = plan.pool ? std::min<int32_t>(*plan.pool, in.ConsumeIntegralInRange<int>(0, kMaxVehicles)) : 0;
  for (int i = 0; i < vehicles; ++i) plan.vehicles.push_back(SomeVehicle(in));
  // Start-up first, mostly: the host reaches its start-up site before it renders.
  if (in.ConsumeIntegralInRange<int>(0, 7) != 7) plan.steps.push_back({Action::kStartup});
  const int count = in.ConsumeIntegralInRange<int>(0, kMaxActions);
  for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
    Step step{static_cast<Action>(in.ConsumeIntegralInRange<int>(0, static_cast<int>(Action::kCount) - 1))};
    for (int k = 0; k < kArgCounts[static_cast<int>(step.action)]; ++k) step.args[k] = in.ConsumeIntegral<uint32_t>();
    plan.steps.push_back(step);
  }
  return plan;
}

// Copies memory whatever the sanitizer knows of it (the plugin's globals carry poisoned red zones
// between them), word by word so that no library copy is called.
__attribute__((no_sanitize("address"))) void CopyRaw(void* to, const void* from, size_t bytes) {
  auto* d = static_cast<volatile uint32_t*>(to);
  const auto* s = static_cast<const volatile uint32_t*>(from);
  for (size_t i = 0; i < bytes / 4; ++i) d[i] = s[i];
}

// Loads and unloads the plugin, one fresh copy per input. The fuzzer registers the plugin's
// coverage counters at its first load and goes on reading and clearing them between inputs, also
// after the plugin is unloaded. So the memory the plugin occupied is held by a copy of its last
// contents until the next load, which puts the plugin at the same address again (it asks for
// 0x70000000, free here); a plugin placed elsewhere ends the run.
class PluginLoader {
 public:
  void* Load(const char* path) {
    for (const Segment& segment : segments_) munmap(reinterpret_cast<void*>(segment.start), segment.bytes.size());
    void* plugin = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (plugin == nullptr) {
      std::fprintf(stderr, "cannot load the plugin: %s\n", dlerror());
      std::abort();
    }
    std::vector<Segment> now = FindSegments(path);
    if (!segments_.empty() && !SamePlace(now)) {
      std::fprintf(stderr, "the plugin was loaded at another address than before\n");
      std::abort();
    }
    segments_ = std::move(now);
    return plugin;
  }

  void Unload(void* plugin) {
    for (Segment& segment : segments_) {
      CopyRaw(segment.bytes.data(), reinterpret_cast<const void*>(segment.start), segment.bytes.size());
    }
    dlclose(plugin);
    for (const Segment& segment : segments_) {
      void* want = reinterpret_cast<void*>(segment.start);
      void* got = mmap(want, segment.bytes.size(), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
      if (got != want) {
        std::fprintf(stderr, "cannot hold the unloaded plugin's memory\n");
        std::abort();
      }
      CopyRaw(got, segment.bytes.data(), segment.bytes.size());
    }
  }

 private:
  struct Segment {
    uintptr_t start;
    std::vector<uint8_t> bytes;  // its size while loaded, its contents once unloaded
  };

  static std::vector<Segment> FindSegments(const char* path) {
    struct Search {
      const char* path;
      std::vector<Segment> found;
    } search{path, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
          auto* s = static_cast<Search*>(data);
          if (info->dlpi_name == nullptr || std::strcmp(info->dlpi_name, s->path) != 0) return 0;
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr)& p = info->dlpi_phdr[i];
            if (p.p_type != PT_LOAD) continue;
            const uintptr_t first = (info->dlpi_addr + p.p_vaddr) & ~uintptr_t{0xFFF};
            const uintptr_t end = (info->dlpi_addr + p.p_vaddr + p.p_memsz + 0xFFF) & ~uintptr_t{0xFFF};
            s->found.push_back({first, std::vector<uint8_t>(end - first)});
          }
          return 1;
        },
        &search);
    if (search.found.empty()) {
      std::fprintf(stderr, "cannot find the loaded plugin's segments\n");
      std::abort();
    }
    return std::move(search.found);
  }

  bool SamePlace(const std::vector<Segment>& other) const {
    if (other.size() != segments_.size()) return false;
    for (size_t i = 0; i < other.size(); ++i) {
      if (other[i].start != segments_[i].start || other[i].bytes.size() != segments_[i].bytes.size())
        return false;
    }
    return true;
  }

  std::vector<Segment> segments_;
} loader;

void Run(const Plan& plan, EmulatedHost& host, const char* plugin_path) {
  HostState& state = host.State();
  const hostsim::BuildLayout& layout = host.Image().Layout();
  std::array<float, 3> point{};  // what the trail and plane glow calls point to
  const uint32_t point_address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(point.data()));
  void* plugin = loader.Load(plugin_path);
  for (const Step& step : plan.steps) {
    const auto& a = step.args;
    const auto f = [&a](size_t i) { return std::bit_cast<float>(a[i]); };
    switch (step.action) {
      case Action::kStartup: host.CallSite(layout.startup_site, {}); break;
      case Action::kUpdate: host.CallSite(layout.update_site, {}); break;
      case Action::kDraw: host.CallSite(layout.draw_site, {}); break;
      case Action::kFrame:
        for (uint32_t k = 0; k < 1 + a[0] % 4; ++k) {
          state.time_ms += a[1] % 100000;
          host.ApplyState();
          host.CallSite(layout.update_site, {});
          host.CallSite(layout.draw_site, {});
        }
        break;
      case Action::kMoon:
      case Action::kLogoR:
      case Action::kLogoStar: {
        const uint32_t site = step.action == Action::kMoon    ? hostsim::kMoonSite
                              : step.action == Action::kLogoR ? hostsim::kLogoRSite
                                                              : hostsim::kLogoStarSite;
        host.CallSite(site, std::span<const uint32_t>(a.data(), hostsim::kSpriteArgs));
        break;
      }
      case Action::kTrail:
      case Action::kPlaneGlow: {
        // As the game calls these sites: the glow routine's own arguments with the position
        // sixth, or (the secondary trail sites) the position second.
        point = {f(1), f(2), f(3)};
        const uint32_t one = std::bit_cast<uint32_t>(1.5f);
        std::array<uint32_t, hostsim::kGlowArgs> args{a[4], 1, 2, 3, 4, point_address, one, one, a[5],
                                                      0, 0, 0, 0, 0, 0, one};
        uint32_t site = 0;
        if (step.action == Action::kTrail) {
          const size_t index = a[0] % hostsim::kTrailSites.size();
          site = hostsim::kTrailSites[index];
          if (index >= 3) std::swap(args[1], args[5]);
        } else {
          site = hostsim::kPlaneGlowSites[a[0] % hostsim::kPlaneGlowSites.size()];
        }
        host.CallSite(site, args);
        break;
      }
      case Action::kPlaneBranch:
        host.CallSite(hostsim::kPlaneDecisionSite, std::span<const uint32_t>(a.data(), 2));
        break;
      case Action::kScene: state.scene = static_cast<uint8_t>(a[0]); break;
      case Action::kClock:
        state.hour = static_cast<uint8_t>(a[0] % 26);
        state.minute = static_cast<uint8_t>(a[1] % 62);
        break;
      // Often just before the wrap of the 32-bit timer.
      case Action::kTime: state.time_ms = a[1] % 2 == 0 ? a[0] : 0u - a[0] % 60000; break;
      case Action::kTimeStep: state.time_step = a[1] % 4 == 0 ? f(0) : static_cast<float>(static_cast<int32_t>(a[0] % 200) - 100) / 10.0f; break;
      case Action::kCamera:
        for (int i = 0; i < 3; ++i) {
          state.camera_position[i] = f(i);
          state.camera_forward[i] = f(3 + i);
          state.camera_right[i] = f(6 + i);
        }
        break;
      case Action::kSkyGate: state.sky_gate = a[0] % 2; break;
      case Action::kTexture: state.texture = static_cast<hostsim::TextureState>(a[0] % 3); break;
      case Action::kVehicle:
      case Action::kFree:
        if (state.pool.Exists() && state.pool.Slots() > 0) {
          const int32_t slot = static_cast<int32_t>(a[0] % static_cast<uint32_t>(state.pool.Slots()));
          if (step.action == Action::kFree) {
            state.pool.Free(slot);
          } else {
            hostsim::Vehicle v;
            v.model = static_cast<int16_t>(a[1] % 602) - 2;
            v.position = {f(2), f(3), f(4)};
            v.health = f(5);
            state.pool.Occupy(slot, v);
          }
        }
        break;
      case Action::kCount: break;
    }
    host.ApplyState();
  }
  loader.Unload(plugin);
}

const char* PluginPath() {
  const char* path = std::getenv("NIGHTGLASS_FUZZ_PLUGIN");
  return path != nullptr ? path : NIGHTGLASS_FUZZ_PLUGIN_PATH;
}

}  // namespace

// No leak check at exit: every load keeps its star field for the life of the process, as the plugin
// is meant to, and once the plugin is unloaded the leak checker cannot tell that from a leak. What
// unloading frees is counted by the unload test of the test suite instead.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::EnterGameFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const HostChoice choice = ReadHostChoice(in);
  EmulatedHost host(choice.build, choice.base, nullptr);
  HostState& state = host.State();
  const Plan plan = ReadPlan(in, state);
  fuzz::WriteSettingsFile(in.ConsumeRemainingBytesAsString());
  state.pool.Reset(plan.pool);
  for (size_t slot = 0; slot < plan.vehicles.size(); ++slot)
    state.pool.Occupy(static_cast<int32_t>(slot), plan.vehicles[slot]);
  host.ApplyState();
  Run(plan, host, PluginPath());
  return 0;
}

// The hooks that the host calls from inside its own drawing: the host executing a redirected site
// (its CALL reaches the plugin's hook, which calls the host routine) against the host executing
// the same site as the game has it (its CALL reaches the host routine directly). The settings are
// the defaults, the clock 23:00, and the host time moves on by a frame at every call, so that no
// call can reuse what an earlier one worked out.
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "features/moon/moon_drawing.h"
#include "features/moon/moon_settings.h"
#include "features/planes/plane_pre_render.h"
#include "features/planes/plane_trails.h"
#include "features/sky_logo/sky_logo.h"
#include "features/sky_logo/sky_logo_drawing.h"
#include "platform/host_address.h"

namespace bench {

namespace {

constexpr int kCalls = 1000;

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The five bytes of a site as the game has it and as the plugin leaves it.
struct SiteBytes {
  std::vector<uint8_t> original, patched;
};

// Every hook site's bytes, read before and after the features' own patching, done once.
const std::vector<std::pair<uint32_t, SiteBytes>>& Sites() {
  static const std::vector<std::pair<uint32_t, SiteBytes>> sites = [] {
    std::vector<uint32_t> addresses{kHostMoonSpriteSite, kHostLogoRSpriteSite,
                                    kHostLogoStarSpriteSite};
    for (uint32_t site : kHostTrailGlowSites) addresses.push_back(site);
    for (uint32_t site : kHostTrailGlowSecondarySites) addresses.push_back(site);
    for (uint32_t site : kHostPlaneRedGlowSites) addresses.push_back(site);
    addresses.push_back(kHostPlaneGreenGlowSite);
    addresses.push_back(kHostPlaneAmberGlowSite);
    std::vector<std::pair<uint32_t, SiteBytes>> bytes;
    for (uint32_t site : addresses) bytes.push_back({site, {Host().Image().Read(site, 5), {}}});
    PatchMoonSprite(RebaseHostAddress(kHostMoonSpriteSite));
    PatchRStarLogo();
    PatchPlaneTrails();
    PatchPlanePreRender();
    for (auto& [site, b] : bytes) b.patched = Host().Image().Read(site, 5);
    return bytes;
  }();
  return sites;
}

// Puts the game's or the plugin's bytes at `site`.
void Use(uint32_t site, bool patched) {
  for (const auto& [address, bytes] : Sites()) {
    if (address == site) Host().Image().Write(site, patched ? bytes.patched : bytes.original);
  }
}

struct HookCall {
  uint32_t site;            // executed with the plugin's bytes
  uint32_t reference_site;  // executed with the game's bytes: a site calling the same routine
  std::vector<uint32_t> args;
  uint32_t time = 100000;
};

void Run(const std::shared_ptr<HookCall>& call, uint32_t site, int calls) {
  const hostsim::SiteThunks::Entry entry = Host().Image().SiteEntry(site);
  const uint32_t* args = call->args.data();
  for (int i = 0; i < calls; ++i) {
    SetHostTime(call->time += 16);
    Keep(entry(args));
  }
}

float glow_position[3] = {100.0f, 200.0f, 300.0f};

std::vector<uint32_t> SpriteArgs() {
  return {Bits(320.0f), Bits(100.0f), Bits(0.5f), Bits(20.0f), Bits(20.0f), 200,
          200,          200,          255,        Bits(2.0f),  255};
}

// The glow routine's sixteen slots with the position pointer at `position_slot`.
std::vector<uint32_t> GlowArgs(int position_slot) {
  std::vector<uint32_t> args{7, 255, 255, 255, 255, 0, Bits(5.0f), Bits(4000.0f),
                             0, 0,   0,   0,   0,   0, 0,          Bits(1.5f)};
  args[position_slot] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(glow_position));
  if (position_slot != 5) args[5] = 0;
  return args;
}

void Add(const char* name, uint32_t site, uint32_t reference_site, std::vector<uint32_t> args,
         std::vector<uint32_t> reference_args) {
  auto call = std::make_shared<HookCall>(HookCall{site, reference_site, std::move(args)});
  auto reference = std::make_shared<HookCall>(
      HookCall{reference_site, reference_site, std::move(reference_args)});
  Scenario s;
  s.group = "hooks";
  s.name = name;
  s.unit = "call";
  s.target = 1.5;
  s.setup = [] {
    Sites();
    hostsim::HostState& state = Host().State();
    state.hour = 23;
    state.minute = 0;
    state.scene = 0;
    Host().ApplyState();
  };
  s.plugin = [call](int calls) { Run(call, call->site, calls); };
  s.reference = [reference](int calls) { Run(reference, reference->site, calls); };
  s.before_plugin = [site] { Use(site, true); };
  s.before_reference = [reference_site] { Use(reference_site, false); };
  s.batch = kCalls;
  AddScenario(std::move(s));
}

}  // namespace

void AddHookScenarios() {
  Add("moon sprite", kHostMoonSpriteSite, kHostMoonSpriteSite, SpriteArgs(), SpriteArgs());
  Add("sky sign R sprite", kHostLogoRSpriteSite, kHostLogoRSpriteSite, SpriteArgs(), SpriteArgs());
  Add("sky sign star sprite", kHostLogoStarSpriteSite, kHostLogoStarSpriteSite, SpriteArgs(),
      SpriteArgs());
  Add("trail 1 glow (steady)", kHostTrailGlowSites[0], kHostTrailGlowSites[0], GlowArgs(5),
      GlowArgs(5));
  Add("trail 3 glow (blink)", kHostTrailGlowSites[2], kHostTrailGlowSites[2], GlowArgs(5),
      GlowArgs(5));
  // The second call of a trail reaches another host routine; the glow routine's own site, as the
  // game has it, is the direct call of the routine that the hook calls.
  Add("trail 1 second call", kHostTrailGlowSecondarySites[0], kHostTrailGlowSites[0], GlowArgs(1),
      GlowArgs(5));
  Add("plane red glow", kHostPlaneRedGlowSites[0], kHostPlaneRedGlowSites[0], GlowArgs(5),
      GlowArgs(5));
  Add("plane amber glow (pulse)", kHostPlaneAmberGlowSite, kHostPlaneAmberGlowSite, GlowArgs(5),
      GlowArgs(5));
}

}  // namespace bench

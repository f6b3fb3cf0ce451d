// The plugin's start-up: its program-wide objects in the order that loading the library constructs
// them. Each feature registers its callbacks in its constructor, so this is also the order in which
// the features' callbacks run on every event; unloading destroys the objects in reverse. Tools take
// the settings loaders from this list, so that they run them in the plugin's order.
#pragma once

#include <array>
#include <cstddef>

#include "features/moon/moon_control.h"
#include "features/planes/plane_patches.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "features/shooting_stars/shooting_stars.h"
#include "features/sky_logo/sky_logo.h"
#include "features/stars/custom_stars_plugin.h"
#include "features/vehicle_lights/vehicle_lights.h"
#include "injector/patching.h"
#include "plugin/host_build.h"
#include "plugin/program_wide.h"
#include "settings/settings_loader.h"

// The five build-dependent host references; the first of them detects the host build, once.
struct HostReferences {
  HostReferences() { ResolveHostReferences(); }
};

// Constructed before any feature, so destroyed after every other object: frees the NOP
// bookkeeping last.
struct NopOriginalsRelease {
  ~NopOriginalsRelease() { ReleaseNopOriginals(); }
};

using StartupObjects =
    InOrder<HostReferences, NopOriginalsRelease, PlanePreRenderDirectPatch, UpdatePlanesPatch,
            CustomStarsPlugin, ProgramWide<VehicleLightTable, VehicleLights>,
            CustomVehicleLightsManager, PlaneTrailsPatch_New, RStarLogoPatch, MoonControl,
            ProgramWide<ShootingStarList, ShootingStars>, ShootingStarsManager>;

namespace startup_detail {

template <typename Object>
constexpr bool kHasLoader = requires { Object::kSettingsLoader; };

template <typename... Objects>
constexpr auto LoadersOf(InOrder<Objects...>*) {
  std::array<const SettingsLoader*, (std::size_t{kHasLoader<Objects>} + ...)> loaders{};
  std::size_t next = 0;
  const auto add = [&]<typename Object>() {
    if constexpr (kHasLoader<Object>) loaders[next++] = Object::kSettingsLoader;
  };
  (add.template operator()<Objects>(), ...);
  return loaders;
}

}  // namespace startup_detail

// The settings loaders in the order the plugin runs them: the plane update patch's while the
// plugin is loaded (it is the first object with a loader), then those of the start-up callbacks in
// their order, the sky logo's twice (the plane trails' and the sky sign's).
inline constexpr auto kStartupLoaders =
    startup_detail::LoadersOf(static_cast<StartupObjects*>(nullptr));
static_assert(kStartupLoaders.front() == &kPlaneUpdateLoader,
              "the plane update patch reads its settings at load, before every start-up callback");

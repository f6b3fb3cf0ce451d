// The plugin's start-up. Loading the library constructs these program-wide objects in the order they
// are written here; that order is the order in which every feature's callbacks run on each event.
// Unloading destroys them in reverse: the containers are freed, the event call sites get their
// original bytes back, and last of all the NOP bookkeeping is released.
#include "features/moon/moon_control.h"
#include "features/planes/plane_patches.h"
#include "features/shooting_stars/shooting_stars.h"
#include "features/sky_logo/sky_logo.h"
#include "features/stars/custom_stars_plugin.h"
#include "features/vehicle_lights/vehicle_lights.h"
#include "injector/patching.h"
#include "plugin/host_build.h"
#include "plugin/program_wide.h"

namespace {

// The five build-dependent host references; the first of them detects the host build, once.
struct HostReferences {
  HostReferences() { ResolveHostReferences(); }
} const host_references;

// Registered before any feature, so released after every other object.
struct NopOriginalsRelease {
  ~NopOriginalsRelease() { ReleaseNopOriginals(); }
} const nop_originals_release;

PlanePreRenderDirectPatch plane_pre_render_direct_patch;
UpdatePlanesPatch update_planes_patch;
CustomStarsPlugin custom_stars_plugin;
ProgramWide<VehicleLightTable> vehicle_light_table(VehicleLights);
CustomVehicleLightsManager custom_vehicle_lights_manager;
PlaneTrailsPatch_New plane_trails_patch_new;
RStarLogoPatch r_star_logo_patch;
MoonControl moon_control;
ProgramWide<ShootingStarList> shooting_star_list(ShootingStars);
ShootingStarsManager shooting_stars_manager;

}  // namespace

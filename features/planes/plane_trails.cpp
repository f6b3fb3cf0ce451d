#include "features/planes/plane_trails.h"

#include "features/planes/glow_pulse.h"
#include "injector/hooking.h"
#include "platform/host_guard.h"
#include "plugin/events.h"
#include "plugin/host_build.h"
#include "plugin/host_interface.h"

namespace {

// Registers trail `Index`'s glow at `position`, unless the scene hides the sky effects.
template <size_t Index>
uint32_t RegisterTrailGlow(const float* position) {
  if (SceneSuppressesSky(HostSceneCode())) return 0;
  constexpr TrailBinding kTrail = kTrailBindings[Index];
  const TrailGlow glow = TrailGlowValues(SkyLogoSettings.*kTrail.Element, kTrail.Phase, HostTimeNow());
  return HostRegisterGlow(kTrail.TrailGlowId, glow.Red, glow.Green, glow.Blue, glow.Alpha, position,
                          glow.Size, 4000.0f, 0);
}

// In place of the host's glow call: the glow routine's sixteen 32-bit slots, position sixth. The
// host's identifier, colour, size and the rest are not used.
template <size_t Index>
uint32_t __attribute__((cdecl)) TrailGlowHook(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                              const float* position, uint32_t, uint32_t, uint32_t,
                                              uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                              uint32_t, uint32_t) {
  return platform::GuardHostCall(uint32_t{0}, [position] { return RegisterTrailGlow<Index>(position); });
}

// In place of the host's second call per trail: sixteen 32-bit slots, position second. The host
// routine that stood there is not called.
template <size_t Index>
uint32_t __attribute__((cdecl)) TrailGlowSecondaryHook(uint32_t, const float* position, uint32_t,
                                                       uint32_t, uint32_t, uint32_t, uint32_t,
                                                       uint32_t, uint32_t, uint32_t, uint32_t,
                                                       uint32_t, uint32_t, uint32_t, uint32_t,
                                                       uint32_t) {
  return platform::GuardHostCall(uint32_t{0}, [position] { return RegisterTrailGlow<Index>(position); });
}

}  // namespace

TrailGlow TrailGlowValues(const SkyLogoElement& element, float phase, uint32_t host_time) noexcept {
  TrailGlow glow{element.Colour[0], element.Colour[1], element.Colour[2], 255, element.Size};
  // A blinking glow is still registered when dark, with alpha 0.
  glow.Alpha = GlowAlpha(ElementBlinkFactor(element, {kGlowPulseRate, phase}, host_time));
  return glow;
}

void PatchPlaneTrails() noexcept {
  // E8 rel32: CALL the hook in place of the host's CALL; never undone.
  PatchCall(kHostTrailGlowSites[0], reinterpret_cast<const void*>(&TrailGlowHook<0>));
  PatchCall(kHostTrailGlowSites[1], reinterpret_cast<const void*>(&TrailGlowHook<1>));
  PatchCall(kHostTrailGlowSites[2], reinterpret_cast<const void*>(&TrailGlowHook<2>));
  PatchCall(kHostTrailGlowSecondarySites[0], reinterpret_cast<const void*>(&TrailGlowSecondaryHook<0>));
  PatchCall(kHostTrailGlowSecondarySites[1], reinterpret_cast<const void*>(&TrailGlowSecondaryHook<1>));
  PatchCall(kHostTrailGlowSecondarySites[2], reinterpret_cast<const void*>(&TrailGlowSecondaryHook<2>));
}

PlaneTrailsPatch_New::PlaneTrailsPatch_New() {
  StartupEvent += [] {
    LoadSkyLogoSettings();
    PatchPlaneTrails();
  };
}

#include "features/planes/plane_pre_render.h"

#include "features/planes/glow_pulse.h"
#include "injector/hooking.h"
#include "platform/host_guard.h"
#include "plugin/events.h"
#include "plugin/host_build.h"
#include "plugin/host_interface.h"

namespace {

// The host's ninth argument goes on as the same 32 bits.
uint32_t RegisterPlaneGlow(uint32_t id, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha,
                           const float* position, uint32_t arg9) {
  return HostRegisterGlow(id, red, green, blue, alpha, position, 1.5f, 4000.0f, static_cast<int32_t>(arg9));
}

}  // namespace

uint32_t PlaneRedGlowHook(uint32_t id, uint32_t, uint32_t, uint32_t, uint32_t, const float* position, float,
                          float, uint32_t arg9, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                          float) {
  return platform::GuardHostCall(uint32_t{0}, [&] { return RegisterPlaneGlow(id, 255, 0, 0, 255, position, arg9); });
}

uint32_t PlaneGreenGlowHook(uint32_t id, uint32_t, uint32_t, uint32_t, uint32_t, const float* position, float,
                            float, uint32_t arg9, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                            float) {
  return platform::GuardHostCall(uint32_t{0}, [&] { return RegisterPlaneGlow(id, 0, 255, 0, 255, position, arg9); });
}

uint32_t PlaneAmberGlowHook(uint32_t id, uint32_t, uint32_t, uint32_t, uint32_t, const float* position, float,
                            float, uint32_t arg9, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                            float) {
  return platform::GuardHostCall(uint32_t{0}, [&] {
    return RegisterPlaneGlow(id, 255, 210, 0, GlowPulseAlpha(HostTimeNow(), 0.0f), position, arg9);
  });
}

void PatchPlanePreRender() {
  PatchNop(kHostPlaneStretch1, 6);
  PatchNop(kHostPlaneStretch2, 6);
  // E8 rel32: CALL the hook in place of the host's CALL of its glow routine; never undone.
  PatchCall(kHostPlaneRedGlowSites[0], reinterpret_cast<const void*>(&PlaneRedGlowHook));
  PatchCall(kHostPlaneRedGlowSites[1], reinterpret_cast<const void*>(&PlaneRedGlowHook));
  PatchCall(kHostPlaneGreenGlowSite, reinterpret_cast<const void*>(&PlaneGreenGlowHook));
  PatchCall(kHostPlaneAmberGlowSite, reinterpret_cast<const void*>(&PlaneAmberGlowHook));
}

PlanePreRenderDirectPatch::PlanePreRenderDirectPatch() {
  StartupEvent += [] { PatchPlanePreRender(); };
}

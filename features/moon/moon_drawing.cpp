#include "features/moon/moon_drawing.h"

#include "features/moon/moon_settings.h"
#include "features/moon/moon_shading.h"
#include "injector/hooking.h"
#include "platform/host_guard.h"
#include "plugin/host_interface.h"

MoonSettingsState MoonSettings;

namespace {

// The host sprite routine as slots, so that the 8-bit arguments are pushed as the whole slots the
// hook received rather than re-extended from their low byte. The moon hook returns nothing.
HostSpriteSlots HostSprite() noexcept {
  return reinterpret_cast<HostSpriteSlots>(static_cast<uintptr_t>(kHostDrawSpriteAddress));
}

// Shades the host's moon sprite and draws it. Not inlined: the hook itself then only hands the
// call on, its arguments as they came, whichever of the two it takes.
__attribute__((noinline)) void DrawShadedMoon(float x, float y, float z, float width, float height,
                                              uint32_t red, uint32_t green, uint32_t blue,
                                              int32_t intensity, float recip_z,
                                              uint32_t alpha) noexcept {
  MoonSprite sprite{x, y, z, width, height, red, green, blue, intensity, recip_z, alpha};
  ShadeMoonSprite(MoonSettings, HostTimeNow(), sprite);
  HostSprite()(sprite.x, sprite.y, sprite.z, sprite.width, sprite.height, sprite.red, sprite.green,
               sprite.blue, sprite.intensity, sprite.recip_z, sprite.alpha);
}

}  // namespace

void MoonSpriteHook(float x, float y, float z, float width, float height, uint32_t red, uint32_t green,
                    uint32_t blue, int32_t intensity, float recip_z, uint32_t alpha) {
  platform::GuardHostCall([&] {
    // Settings that change nothing hand the host's call on as it came.
    if (LeavesMoonAsDrawn(MoonSettings)) {
      HostSprite()(x, y, z, width, height, red, green, blue, intensity, recip_z, alpha);
      return;
    }
    DrawShadedMoon(x, y, z, width, height, red, green, blue, intensity, recip_z, alpha);
  });
}

void PatchMoonSprite(uint8_t* site) noexcept {
  // E8 rel32: CALL MoonSpriteHook in place of the host's CALL of its sprite routine; never undone.
  PatchCall(site, reinterpret_cast<const void*>(&MoonSpriteHook));
}

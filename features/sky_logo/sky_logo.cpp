#include "features/sky_logo/sky_logo.h"

#include "features/sky_logo/sky_logo_drawing.h"
#include "features/sky_logo/sky_logo_settings.h"
#include "injector/hooking.h"
#include "plugin/events.h"

void PatchRStarLogo() noexcept {
  const SkyLogoWindow& window = SkyLogoSettings.RWindow;
  // The operands take min, max, min, max, min; only the low 8 bits of an hour fit.
  for (size_t i = 0; i < kHostLogoHourOperands.size(); ++i) {
    const int32_t hour = i % 2 == 0 ? window.MinHour : window.MaxHour;
    WriteHostByte(kHostLogoHourOperands[i], static_cast<uint8_t>(hour));
  }
  // E8 rel32: CALL the hook in place of the host's CALL of its sprite routine; never undone.
  PatchCall(kHostLogoRSpriteSite, reinterpret_cast<const void*>(&LogoRSpriteHook));
  PatchCall(kHostLogoStarSpriteSite, reinterpret_cast<const void*>(&LogoStarSpriteHook));
}

RStarLogoPatch::RStarLogoPatch() {
  StartupEvent += [] {
    LoadSkyLogoSettings();
    PatchRStarLogo();
  };
}

// The sky sign: the host draws an R sprite and a star sprite in the night sky. At start-up the
// feature reads the section "RStarLogo" (sky_logo_settings.h), writes the R's hour window into five
// operands of the host's sky-sign code and redirects the two sprite calls to the sky sign's drawing
// (sky_logo_drawing.h).
#pragma once

#include <array>
#include <cstdint>
#include "features/sky_logo/sky_logo_settings.h"

// Host code of the sky sign, the same in every build: the one-byte hour operands (min, max, min,
// max, min), and the CALLs that draw the R (with HostDrawSpriteAlt) and the star (HostDrawSprite).
inline constexpr std::array<uint32_t, 5> kHostLogoHourOperands{0x53FF09, 0x53FF12, 0x53FF26, 0x53FF2F,
                                                               0x53FF46};
inline constexpr uint32_t kHostLogoRSpriteSite = 0x5401AE;
inline constexpr uint32_t kHostLogoStarSpriteSite = 0x540335;

// Writes the low 8 bits of the R window's hours into the five hour operands and points the two
// sprite CALLs to the hooks. Uses SkyLogoSettings as it stands.
void PatchRStarLogo() noexcept;

// The feature: its one instance registers the start-up work (the settings, then the patches).
class RStarLogoPatch {
 public:
  // The settings loader that its start-up runs.
  static constexpr const SettingsLoader* kSettingsLoader = &kSkyLogoLoader;
  RStarLogoPatch();
};

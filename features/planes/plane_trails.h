// The plane trails patch: the three trail glows of the host's distant planes take their colour,
// size and flashing pattern from the Trail1 to Trail3 elements of the sky sign's settings. At
// start-up the feature reads those settings and redirects six host calls, two per trail, to hooks
// bound to the trail's identifier; each registers the glow at the position the host passes.
#pragma once

#include <array>
#include <cstdint>

#include "features/sky_logo/sky_logo_settings.h"

// One trail: its glow identifier, its element and the phase of its pulse.
struct TrailBinding {
  uint32_t TrailGlowId;
  SkyLogoElement SkyLogoSettingsState::*Element;
  float Phase;
};
inline constexpr std::array<TrailBinding, 3> kTrailBindings{{
    {101, &SkyLogoSettingsState::Trail1, 0.0f},
    {102, &SkyLogoSettingsState::Trail2, 0.5f},
    {103, &SkyLogoSettingsState::Trail3, 0.5f},
}};

// The host's glow calls, the same in every build: the first three pass the glow routine's own
// arguments (position sixth), the other three the position second. Each belongs to the trail at the
// same index of kTrailBindings.
inline constexpr std::array<uint32_t, 3> kHostTrailGlowSites{0x54CE94, 0x54D06A, 0x54D242};
inline constexpr std::array<uint32_t, 3> kHostTrailGlowSecondarySites{0x54CEB6, 0x54D08C, 0x54D265};

// What a trail glow is registered with.
struct TrailGlow {
  uint8_t Red, Green, Blue, Alpha;
  float Size;
};

// The trail's colour and size as configured; alpha 255, or by its type: Blink 255 lit and 0 dark,
// Pulse the glow pulse from the trail's phase.
TrailGlow TrailGlowValues(const SkyLogoElement& element, float phase, uint32_t host_time) noexcept;

// Points the six calls to the hooks, in the order of the three primary sites then the three
// secondary ones.
void PatchPlaneTrails() noexcept;

// The feature: its one instance registers the start-up work (the settings, then the patches).
class PlaneTrailsPatch_New {
 public:
  // The settings loader that its start-up runs, the sky sign's.
  static constexpr const SettingsLoader* kSettingsLoader = &kSkyLogoLoader;
  PlaneTrailsPatch_New();
};

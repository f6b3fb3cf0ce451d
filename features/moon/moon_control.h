// The moon feature: at start-up it reads the section "MoonSettings" (moon_settings.h) and redirects
// the host's one moon sprite call to the moon's drawing (moon_drawing.h). Nothing is registered for
// update or draw.
#pragma once

#include <cstdint>

#include "features/moon/moon_settings.h"

// Reads the moon settings into MoonSettings, then PatchMoonSprite(site).
void StartMoonControl(uint8_t* site);

// The feature: its one instance registers the start-up work.
class MoonControl {
 public:
  // The settings loader that its start-up runs.
  static constexpr const SettingsLoader* kSettingsLoader = &kMoonLoader;
  MoonControl();
};

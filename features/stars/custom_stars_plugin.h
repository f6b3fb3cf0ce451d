// The star field feature: its one program-wide instance registers the settings loader at start-up
// and the drawing on every frame.
#pragma once

#include "features/stars/star_field.h"

// Registers nothing and creates no StarField when the scene code suppresses the sky at load;
// otherwise creates StarField before it registers.
class CustomStarsPlugin {
 public:
  // The settings loader that its start-up runs.
  static constexpr const SettingsLoader* kSettingsLoader = &kStarFieldLoader;
  CustomStarsPlugin();
};

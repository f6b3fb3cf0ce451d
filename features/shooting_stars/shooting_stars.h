// Shooting stars: every so often, inside an hour window of the game clock, a star spawns on a sphere
// around the camera and streaks across the sky for its lifetime, drawn as a trail of sprites. The
// settings are in shooting_star_settings.h, the simulation in shooting_star_simulation.h and the
// drawing in shooting_star_drawing.h; this is the feature that registers them.
#pragma once

#include "features/shooting_stars/shooting_star_settings.h"

// The feature: registers the loader, the simulation and the drawing unless the scene code
// suppresses the sky at load.
class ShootingStarsManager {
 public:
  // The settings loader that its start-up runs.
  static constexpr const SettingsLoader* kSettingsLoader = &kShootingStarsLoader;
  ShootingStarsManager();
};

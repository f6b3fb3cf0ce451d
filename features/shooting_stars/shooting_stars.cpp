#include "features/shooting_stars/shooting_stars.h"

#include "features/shooting_stars/shooting_star_drawing.h"
#include "features/shooting_stars/shooting_star_settings.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "plugin/events.h"
#include "plugin/host_interface.h"

ShootingStarsManager::ShootingStarsManager() {
  // The scene code at load decides once whether the shooting stars exist at all.
  if (SceneSuppressesSky(HostSceneCode())) return;
  // Room for what the defaults keep alive, should the host update before it starts up.
  ReserveShootingStars(ShootingStarConfig, *ShootingStars);
  StartupEvent += [] {
    LoadShootingStarSettings(ShootingStarConfig);
    ReserveShootingStars(ShootingStarConfig, *ShootingStars);
  };
  UpdateEvent += [] { StepShootingStars(ShootingStarConfig, *ShootingStars, NextSpawn); };
  DrawEvent += [] { DrawShootingStars(ShootingStarConfig, *ShootingStars); };
}

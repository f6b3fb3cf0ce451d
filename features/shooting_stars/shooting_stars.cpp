#include "features/shooting_stars/shooting_stars.h"

#include "plugin/events.h"
#include "plugin/host_interface.h"

ShootingStarList* ShootingStars = nullptr;

ShootingStarsManager::ShootingStarsManager() {
  // The scene code at load decides once whether the shooting stars exist at all.
  if (SceneSuppressesSky(HostSceneCode())) return;
  StartupEvent += [] {};
  UpdateEvent += [] {};
  DrawEvent += [] {};
}

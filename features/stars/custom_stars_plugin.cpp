#include "features/stars/custom_stars_plugin.h"

#include "features/stars/star_drawing.h"
#include "features/stars/star_field.h"
#include "plugin/events.h"
#include "plugin/host_interface.h"

CustomStarsPlugin::CustomStarsPlugin() {
  if (SceneSuppressesSky(HostSceneCode())) return;
  StarField = new StarFieldState();
  StartupEvent += [] { LoadStarSettings(*StarField); };
  DrawEvent += [] { DrawStarField(*StarField); };
}

#include "features/sky_logo/sky_logo.h"

#include "plugin/events.h"

RStarLogoPatch::RStarLogoPatch() {
  StartupEvent += [] {};
}

#include "features/moon/moon_control.h"

#include "features/moon/moon_drawing.h"
#include "features/moon/moon_settings.h"
#include "platform/host_address.h"
#include "plugin/events.h"

void StartMoonControl(uint8_t* site) {
  LoadMoonSettings(MoonSettings);
  PatchMoonSprite(site);
}

MoonControl::MoonControl() {
  StartupEvent += [] { StartMoonControl(RebaseHostAddress(kHostMoonSpriteSite)); };
}

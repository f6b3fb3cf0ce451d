#include "features/planes/plane_update_settings.h"

#include "platform/host_guard.h"

constinit PlaneUpdateSettings PlaneUpdate;

void ConvertPlaneUpdateSettings(const SettingsTable& table, PlaneUpdateSettings& settings) noexcept {
  ConvertKeys(kPlaneUpdateKeys, table, settings);
}

void LoadPlaneUpdateSettings(PlaneUpdateSettings& settings) noexcept {
  // Runs while the host loads the plugin: nothing thrown by reading the file may end the load.
  platform::GuardHostCall([&] {
    const SettingsTable table = ReadAllSettings(SettingsKeys(KeyNames(kPlaneUpdateKeys)));
    ConvertPlaneUpdateSettings(table, settings);
  });
}

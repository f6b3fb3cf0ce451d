#include "features/shooting_stars/shooting_star_settings.h"

#include "platform/host_guard.h"

ShootingStarSettings ShootingStarConfig;

void ConvertShootingStarSettings(const SettingsTable& table, ShootingStarSettings& settings) noexcept {
  ConvertKeys(kShootingStarKeys, table, settings);
}

void LoadShootingStarSettings(ShootingStarSettings& settings) noexcept {
  // Only reading the file can still throw here (out of memory); the defaults stay then.
  platform::IgnoreFailure([&] {
    const SettingsKeys keys(KeyNames(kShootingStarKeys));
    ConvertShootingStarSettings(ReadSettingsSection(kShootingStarsSection, keys), settings);
  });
}

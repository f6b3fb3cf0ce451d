#include "features/moon/moon_settings.h"

void ConvertMoonSettings(const SettingsTable& table, MoonSettingsState& settings) noexcept {
  ConvertKeys(kMoonSettingKeys, table, settings);
}

void LoadMoonSettings(MoonSettingsState& settings) {
  const SettingsKeys keys(KeyNames(kMoonSettingKeys));
  ConvertMoonSettings(ReadSettingsSection(kMoonSection, keys), settings);
}

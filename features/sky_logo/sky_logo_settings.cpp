#include "features/sky_logo/sky_logo_settings.h"

#include "settings/convert.h"

SkyLogoSettingsState SkyLogoSettings;

void DiscardWholeNumber(SkyLogoSettingsState&, const std::string& text) { ParseInt(text); }

void ConvertSkyLogoSettings(const SettingsTable& table, SkyLogoSettingsState& settings) {
  settings.R = kRElementDefaults;
  settings.Star = kStarElementDefaults;
  settings.Trail1 = kTrailElementDefaults;
  settings.Trail2 = kTrailElementDefaults;
  settings.Trail3 = kTrail3ElementDefaults;
  ConvertKeys(kSkyLogoKeys, table, settings);
}

void LoadSkyLogoSettings(SkyLogoSettingsState& settings) {
  const SettingsKeys keys(KeyNames(kSkyLogoKeys));
  ConvertSkyLogoSettings(ReadSettingsSection(kSkyLogoSection, keys), settings);
}

void LoadSkyLogoSettings() { LoadSkyLogoSettings(SkyLogoSettings); }

#include "features/sky_logo/sky_logo_settings.h"

#include <cstdint>
#include <string>

#include "settings/convert.h"

SkyLogoSettingsState SkyLogoSettings;

namespace {

void ConvertElement(KeyConverter& keys, const std::string& name, SkyLogoElement& element) {
  keys.Colour((name + "_Color").c_str(), element.Colour);
  keys.Float((name + "_Size").c_str(), element.Size);
  auto type = static_cast<int32_t>(element.Type);
  keys.Int((name + "_Type").c_str(), type);
  element.Type = static_cast<ElementType>(type);  // any number: the enumeration is 32-bit
  keys.Int((name + "_OnTime").c_str(), element.OnTime);
  keys.Int((name + "_OffTime").c_str(), element.OffTime);
}

void ConvertWindow(KeyConverter& keys, const std::string& name, SkyLogoWindow& window) {
  keys.Flag((name + "FadeInEnable").c_str(), window.FadeInEnable);
  keys.Flag((name + "FadeOutEnable").c_str(), window.FadeOutEnable);
  keys.Float((name + "FadeInDuration").c_str(), window.FadeInDuration);
  keys.Float((name + "FadeOutDuration").c_str(), window.FadeOutDuration);
  keys.Int((name + "MinHour").c_str(), window.MinHour);
  keys.Int((name + "MaxHour").c_str(), window.MaxHour);
}

}  // namespace

void LoadSkyLogoSettings(const SettingsTable& table, SkyLogoSettingsState& settings) {
  settings.R = kRElementDefaults;
  settings.Star = kStarElementDefaults;
  settings.Trail1 = kTrailElementDefaults;
  settings.Trail2 = kTrailElementDefaults;
  settings.Trail3 = kTrail3ElementDefaults;

  KeyConverter keys(table);
  ConvertElement(keys, "R", settings.R);
  ConvertElement(keys, "Star", settings.Star);
  ConvertElement(keys, "Trail1", settings.Trail1);
  ConvertElement(keys, "Trail2", settings.Trail2);
  ConvertElement(keys, "Trail3", settings.Trail3);
  // These select nothing: the scene check applies to every element. A value that is not a whole
  // number still ends the conversions.
  int32_t discarded = 0;
  for (const char* key : {"CheckGameState_R", "CheckGameState_Star", "CheckGameState_Trail1",
                          "CheckGameState_Trail2", "CheckGameState_Trail3"}) {
    keys.Int(key, discarded);
  }
  ConvertWindow(keys, "R", settings.RWindow);
  ConvertWindow(keys, "Star", settings.StarWindow);
}

void LoadSkyLogoSettings() {
  const SettingsTable table = ReadSettingsSection("RStarLogo", SettingsKeys(kSkyLogoKeys));
  LoadSkyLogoSettings(table, SkyLogoSettings);
}

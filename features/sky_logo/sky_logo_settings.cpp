#include "features/sky_logo/sky_logo_settings.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/convert.h"

SkyLogoSettingsState SkyLogoSettings;

namespace {

// Where each group's keys start in kSkyLogoKeys. Its names are string literals, so each data()
// ends in a zero and serves as the key.
constexpr size_t kElementKeyCount = 5;  // _Color, _Size, _Type, _OnTime, _OffTime
constexpr size_t kCheckKeysStart = 25;  // the five CheckGameState_ keys
constexpr size_t kRWindowKeysStart = 30;
constexpr size_t kStarWindowKeysStart = 36;
static_assert(kSkyLogoKeys[kElementKeyCount] == "Star_Color");
static_assert(kSkyLogoKeys[4 * kElementKeyCount] == "Trail3_Color");
static_assert(kSkyLogoKeys[kCheckKeysStart] == "CheckGameState_R");
static_assert(kSkyLogoKeys[kRWindowKeysStart] == "RFadeInEnable");
static_assert(kSkyLogoKeys[kStarWindowKeysStart] == "StarFadeInEnable");

// Element `index` of R, Star, Trail1, Trail2, Trail3.
void ConvertElement(KeyConverter& keys, size_t index, SkyLogoElement& element) {
  const std::string_view* name = &kSkyLogoKeys[index * kElementKeyCount];
  keys.Colour(name[0].data(), element.Colour);
  keys.Float(name[1].data(), element.Size);
  auto type = static_cast<int32_t>(element.Type);
  keys.Int(name[2].data(), type);
  element.Type = static_cast<ElementType>(type);  // any number: the enumeration is 32-bit
  keys.Int(name[3].data(), element.OnTime);
  keys.Int(name[4].data(), element.OffTime);
}

// FadeInEnable, FadeOutEnable, FadeInDuration, FadeOutDuration, MinHour, MaxHour from `start`.
void ConvertWindow(KeyConverter& keys, size_t start, SkyLogoWindow& window) {
  const std::string_view* name = &kSkyLogoKeys[start];
  keys.Flag(name[0].data(), window.FadeInEnable);
  keys.Flag(name[1].data(), window.FadeOutEnable);
  keys.Float(name[2].data(), window.FadeInDuration);
  keys.Float(name[3].data(), window.FadeOutDuration);
  keys.Int(name[4].data(), window.MinHour);
  keys.Int(name[5].data(), window.MaxHour);
}

}  // namespace

void LoadSkyLogoSettings(const SettingsTable& table, SkyLogoSettingsState& settings) {
  settings.R = kRElementDefaults;
  settings.Star = kStarElementDefaults;
  settings.Trail1 = kTrailElementDefaults;
  settings.Trail2 = kTrailElementDefaults;
  settings.Trail3 = kTrail3ElementDefaults;

  KeyConverter keys(table);
  ConvertElement(keys, 0, settings.R);
  ConvertElement(keys, 1, settings.Star);
  ConvertElement(keys, 2, settings.Trail1);
  ConvertElement(keys, 3, settings.Trail2);
  ConvertElement(keys, 4, settings.Trail3);
  // These select nothing: the scene check applies to every element. A value that is not a whole
  // number still ends the conversions.
  int32_t discarded = 0;
  for (size_t i = kCheckKeysStart; i < kCheckKeysStart + 5; ++i) keys.Int(kSkyLogoKeys[i].data(), discarded);
  ConvertWindow(keys, kRWindowKeysStart, settings.RWindow);
  ConvertWindow(keys, kStarWindowKeysStart, settings.StarWindow);
}

void LoadSkyLogoSettings() {
  const SettingsTable table = ReadSettingsSection("RStarLogo", SettingsKeys(kSkyLogoKeys));
  LoadSkyLogoSettings(table, SkyLogoSettings);
}

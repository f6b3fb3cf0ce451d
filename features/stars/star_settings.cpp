#include "features/stars/star_settings.h"

void ConvertStarSettings(const SettingsTable& table, StarSettings& settings) noexcept {
  ConvertKeys(kStarSettingKeys, table, settings);
}

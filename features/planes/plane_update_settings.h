// The plane update patch's settings, read from the whole settings file when the plugin is loaded:
// whether the ignore form of the plane branch stays for good, or how long each form lasts.
#pragma once

#include <array>
#include <cstdint>

#include "settings/key_table.h"
#include "settings/reader.h"
#include "settings/settings_loader.h"

struct PlaneUpdateSettings {
  bool PermanentIgnore = true;     // keep the ignore form for the whole run
  uint32_t IgnoreDuration = 90000;  // milliseconds; a negative setting is a very long time
  uint32_t CheckDuration = 20000;   // milliseconds; likewise
};

// The settings in force; constant-initialised, since the plugin's load writes them.
extern PlaneUpdateSettings PlaneUpdate;

// The keys the plane update patch reads from the whole settings file, in their order.
inline constexpr std::array kPlaneUpdateKeys{
    Key<&PlaneUpdateSettings::PermanentIgnore>("PermanentIgnore"),
    Key<&PlaneUpdateSettings::IgnoreDuration>("IgnoreDuration", ValueRange::kNotNegative),
    Key<&PlaneUpdateSettings::CheckDuration>("CheckDuration", ValueRange::kNotNegative)};

// Converts the keys of kPlaneUpdateKeys in their order, each only when present. The first
// conversion error ends the conversions: that key and the later ones keep their values.
void ConvertPlaneUpdateSettings(const SettingsTable& table, PlaneUpdateSettings& settings) noexcept;

// The loader run at load: converts those keys of the whole settings file into `settings`.
void LoadPlaneUpdateSettings(PlaneUpdateSettings& settings) noexcept;

// The plane update patch's loader, for tools.
inline constexpr auto kPlaneUpdateKeyInfos = KeyInfos(kPlaneUpdateKeys);
inline constexpr SettingsLoader kPlaneUpdateLoader{
    .name = "plane update patch",
    .scope = LoaderScope::kWholeFile,
    .keys = kPlaneUpdateKeyInfos,
    .convert = ConvertIntoScratch<PlaneUpdateSettings, ConvertPlaneUpdateSettings>,
    .load = LoadIntoScratch<PlaneUpdateSettings, LoadPlaneUpdateSettings>};

// The moon feature: at start-up it reads the section "MoonSettings" and redirects the host's one
// moon sprite call to MoonSpriteHook, which tints, resizes, blinks or pulses the moon and then
// draws it with the host's own sprite routine. Nothing is registered for update or draw.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "features/moon/moon_shading.h"
#include "settings/reader.h"

// Host code site of the CALL that draws the moon sprite, the same in every build.
inline constexpr uint32_t kHostMoonSpriteSite = 0x53FEF9;

// The moon settings in force; defaults until start-up has read the file.
extern MoonSettingsState MoonSettings;

// The keys of the section "MoonSettings", in the order they are converted.
inline constexpr std::array<std::string_view, 5> kMoonSettingKeys{
    "Moon_Color", "Moon_Size", "Moon_Type", "Moon_OnTime", "Moon_OffTime"};

// Converts "Moon_Color", "Moon_Size", "Moon_Type", "Moon_OnTime", "Moon_OffTime" in that order,
// each only when present. The first conversion error ends the conversions: that key and the later
// ones keep their values. A colour channel without a readable number keeps its value.
void ConvertMoonSettings(const SettingsTable& table, MoonSettingsState& settings) noexcept;

// The start-up loader: converts the section "MoonSettings" of the settings file into `settings`.
void LoadMoonSettings(MoonSettingsState& settings);

// Stands in for the host sprite routine at the moon site: the same eleven 32-bit stack slots with
// the C calling convention. The 8-bit arguments are declared as whole slots so that the bits the
// host left above the low byte reach the host routine unchanged.
void __attribute__((cdecl)) MoonSpriteHook(float x, float y, float z, float width, float height,
                                           uint32_t red, uint32_t green, uint32_t blue,
                                           int32_t intensity, float recip_z, uint32_t alpha);

// Points the CALL at `site` (an actual address) to MoonSpriteHook. Uses MoonSettings as it stands.
void PatchMoonSprite(uint8_t* site) noexcept;

// Reads the moon settings into MoonSettings, then PatchMoonSprite(site).
void StartMoonControl(uint8_t* site);

// The feature: its one instance registers the start-up work.
class MoonControl {
 public:
  MoonControl();
};

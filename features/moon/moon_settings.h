// The moon's settings, from the section "MoonSettings": its tint, its size and how it flashes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "features/flashing.h"
#include "settings/key_table.h"
#include "settings/reader.h"
#include "settings/settings_loader.h"

inline constexpr std::string_view kMoonSection = "MoonSettings";

// The moon's settings, written once at start-up and read on every moon draw.
struct MoonSettingsState {
  std::array<uint8_t, 3> Colour{255, 255, 255};  // tint of red, green, blue; 255 keeps a channel
  float Size = 1.0f;                             // factor on the sprite's width and height
  ElementType Type = ElementType::Steady;  // how the moon flashes
  int32_t OnTime = 200;                          // milliseconds lit (blink) / part of the period (pulse)
  int32_t OffTime = 800;                         // milliseconds dark (blink) / part of the period (pulse)
};

// The keys of the section "MoonSettings", in the order they are converted.
inline constexpr std::array kMoonSettingKeys{
    Key<&MoonSettingsState::Colour>("Moon_Color"),
    Key<&MoonSettingsState::Size>("Moon_Size", ValueRange::kNotNegative),
    Key<&MoonSettingsState::Type>("Moon_Type", ValueRange::kPattern),
    Key<&MoonSettingsState::OnTime>("Moon_OnTime", ValueRange::kNotNegative),
    Key<&MoonSettingsState::OffTime>("Moon_OffTime", ValueRange::kNotNegative)};

// Converts the keys of kMoonSettingKeys in their order, each only when present. The first
// conversion error ends the conversions: that key and the later ones keep their values. A colour
// channel without a readable number keeps its value.
void ConvertMoonSettings(const SettingsTable& table, MoonSettingsState& settings) noexcept;

// The start-up loader: converts the section "MoonSettings" of the settings file into `settings`.
void LoadMoonSettings(MoonSettingsState& settings);

// The moon's loader, for tools.
inline constexpr auto kMoonSettingKeyInfos = KeyInfos(kMoonSettingKeys);
inline constexpr SettingsLoader kMoonLoader{
    .name = "moon",
    .scope = LoaderScope::kSection,
    .section = kMoonSection,
    .keys = kMoonSettingKeyInfos,
    .convert = ConvertIntoScratch<MoonSettingsState, ConvertMoonSettings>,
    .load = LoadIntoScratch<MoonSettingsState, LoadMoonSettings>};

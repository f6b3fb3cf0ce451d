// A loader's keys as one table: each row gives a key's name in the settings file, where its value
// goes and so how it is converted, and what values of it a tool calls sensible. The loader converts
// from the table and asks the reader for the table's names, so a key is written once.
//   inline constexpr std::array kMoonSettingKeys{
//       Key<&MoonSettingsState::Colour>("Moon_Color", ValueRange::kAny),
//       Key<&MoonSettingsState::Size>("Moon_Size", ValueRange::kNotNegative), ...};
//   ConvertKeys(kMoonSettingKeys, table, settings);
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/convert.h"
#include "settings/reader.h"

// The values of a key that a tool explaining a settings file calls sensible. The plugin reads
// every value whatever its range.
enum class ValueRange : uint8_t {
  kAny,
  kHour,          // an hour of the day, 0 to 23
  kHourOrNone,    // an hour of the day, or -1 for no window
  kNotNegative,   // 0 or more
  kPause,         // milliseconds to wait, of which less than 0 waits no longer than 0
  kPattern,       // a flashing pattern: 0 steady, 1 blink, 2 pulse
  kChannel,       // a colour channel, 0 to 255
  kVehicleModel,  // a vehicle model number, -32768 to 32767
  kStarCount,     // a count of stars, 0 up to the star field's bound
  kDiscarded,     // read as a whole number and thrown away: any whole number has no effect
};

// A key's name and its sensible values, for tools.
struct KeyInfo {
  std::string_view name;
  ValueRange range = ValueRange::kAny;
};

// One key of a loader whose settings are a `Settings`.
template <typename Settings>
struct SettingsKey : KeyInfo {
  // Converts `text`, the key's value (null when absent), into its place in `settings`.
  void (*convert)(KeyConverter& keys, std::string_view name, const std::string* text,
                  Settings& settings) noexcept = nullptr;
};

namespace settings_detail {

template <typename Member>
struct MemberOf;
template <typename Class, typename Type>
struct MemberOf<Type Class::*> {
  using Owner = Class;
};

template <typename Settings>
constexpr SettingsKey<Settings> MakeKey(std::string_view name, ValueRange range,
                                        decltype(SettingsKey<Settings>::convert) convert) {
  SettingsKey<Settings> key;
  key.name = name;
  key.range = range;
  key.convert = convert;
  return key;
}

template <typename Store>
struct StoreOf;
template <typename Settings>
struct StoreOf<void (*)(Settings&, const std::string&)> {
  using Owner = Settings;
};

}  // namespace settings_detail

// The key `name` whose value goes, by its type (ConvertValue), to the member that the member
// pointers of `Path` lead to: &Settings::Field, or &Settings::Part and then &Part::Field.
template <auto First, auto... Rest>
constexpr auto Key(std::string_view name, ValueRange range = ValueRange::kAny) {
  using Settings = typename settings_detail::MemberOf<decltype(First)>::Owner;
  return settings_detail::MakeKey<Settings>(
      name, range, [](KeyConverter& keys, std::string_view key_name, const std::string* text,
                      Settings& settings) noexcept {
        keys.Convert(key_name, text, ((settings.*First) .* ... .*Rest));
      });
}

// The key `name` whose value `Store` (a function of the settings and the value text, raising
// SettingsConversionError for a value that does not convert) puts in its place.
template <auto Store>
constexpr auto KeyWith(std::string_view name, ValueRange range = ValueRange::kAny) {
  using Settings = typename settings_detail::StoreOf<decltype(Store)>::Owner;
  return settings_detail::MakeKey<Settings>(
      name, range, [](KeyConverter& keys, std::string_view key_name, const std::string* text,
                      Settings& settings) noexcept {
        keys.Apply(key_name, text, [&settings](const std::string& value) { Store(settings, value); });
      });
}

// The names of `keys`, in their order.
template <typename Settings, std::size_t N>
constexpr std::array<std::string_view, N> KeyNames(const std::array<SettingsKey<Settings>, N>& keys) {
  std::array<std::string_view, N> names{};
  for (std::size_t i = 0; i < N; ++i) names[i] = keys[i].name;
  return names;
}

// The names and sensible values of `keys`, in their order.
template <typename Settings, std::size_t N>
constexpr std::array<KeyInfo, N> KeyInfos(const std::array<SettingsKey<Settings>, N>& keys) {
  std::array<KeyInfo, N> infos{};
  for (std::size_t i = 0; i < N; ++i) infos[i] = keys[i];
  return infos;
}

// Converts the values that `table` holds for `keys` into `settings`, in the order of `keys`, going
// on after a value that does not convert or not as `on_bad` says.
template <typename Settings, std::size_t N>
void ConvertKeys(const std::array<SettingsKey<Settings>, N>& keys, const SettingsTable& table,
                 Settings& settings, OnBadValue on_bad = OnBadValue::kStop) noexcept {
  KeyConverter converter(on_bad);
  for (const SettingsKey<Settings>& key : keys) {
    // Only the lookup can throw (out of memory); the key then counts as absent.
    const std::string* text = nullptr;
    try {
      text = FindValue(table, key.name);
    } catch (...) {
    }
    if (text == nullptr) {
      converter.Absent(key.name);
    } else {
      key.convert(converter, key.name, text, settings);
    }
  }
}

// A key name made at compile time of two parts ("LeftLight_" and "Offset"), for keys whose names
// are made of parts that other keys share.
class JoinedKeyName {
 public:
  constexpr JoinedKeyName() = default;
  constexpr JoinedKeyName(std::string_view first, std::string_view second) {
    for (const char c : first) text_[size_++] = c;
    for (const char c : second) text_[size_++] = c;
  }
  constexpr std::string_view view() const { return {text_, size_}; }

 private:
  char text_[40] = {};
  std::size_t size_ = 0;
};

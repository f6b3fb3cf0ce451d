// Conversion of settings value text into numbers, flags, colour lists and vector lists, and the
// loader convention that every guarded feature loader follows.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "settings/reader.h"

// Thrown by ParseInt / ParseFloat. what() is one of "invalid stoi argument",
// "stoi argument out of range", "invalid stof argument", "stof argument out of range".
class SettingsConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A decimal integer by the classic strtol rules (base 10, trailing text ignored).
int32_t ParseInt(const std::string& text);
// A float by the classic strtof rules (also hex floats, "inf", "nan"; trailing text ignored).
// A value that rounds to a subnormal float is returned; one that overflows to infinity or, not
// being zero, underflows to zero is out of range. "inf" and "nan" are returned as such.
float ParseFloat(const std::string& text);
// ParseInt(text) != 0.
bool ParseFlag(const std::string& text);

// Up to three numbers read one after another with formatted-stream semantics (white space is the
// only separator). `count` says how many were read; the rest of `values` is 0. Never throws.
// The first read that fails ends the list, as a stream stays failed: a number that does not fit
// an int32_t, an exponent without digits ("1e"), or a float that overflows (one too small for a
// float reads as 0). There is no hexadecimal, "inf" or "nan" in this syntax.
struct IntList3 {
  int count = 0;
  std::array<int32_t, 3> values{};
};
struct FloatList3 {
  int count = 0;
  std::array<float, 3> values{};
};
IntList3 ParseColourList(const std::string& text) noexcept;
FloatList3 ParseVectorList(const std::string& text) noexcept;

// How a value text was converted.
enum class SettingsValueKind : uint8_t { kInt, kFloat, kColourList, kVectorList };

// Hears what the loaders do with a settings table, for a tool that explains a settings file. The
// plugin sets none; then each report costs one test of a null pointer and changes nothing.
class SettingsObserver {
 public:
  // A loader asked for `key`: `text` is its value in the loader's table, or null when absent;
  // `stopped` when an earlier conversion error had already ended that loader's conversions.
  virtual void KeyAsked(std::string_view key, const std::string* text, bool stopped) noexcept = 0;
  // `text` was converted as `kind`; `error` is the conversion error's text, or null. A text that
  // a loader found in its table is that table's own string, so its address names the key.
  virtual void ValueConverted(const std::string& text, SettingsValueKind kind,
                              const char* error) noexcept = 0;

 protected:
  ~SettingsObserver() = default;
};

// Sets the observer that the conversions and KeyConverter report to (null for none); returns the
// one set before.
SettingsObserver* SetSettingsObserver(SettingsObserver* observer) noexcept;

namespace settings_detail {
// The observer set, or null.
extern SettingsObserver* observer;
}  // namespace settings_detail

// Reports to the observer, if one is set, that a loader asked for `key` (see KeyAsked); for
// loaders that look their keys up without a KeyConverter. Inline: a loader asks for many keys,
// and without an observer this is one test.
inline void ReportKeyAsked(std::string_view key, const std::string* text,
                           bool stopped = false) noexcept {
  if (settings_detail::observer != nullptr) settings_detail::observer->KeyAsked(key, text, stopped);
}

// Converts one loader's keys in the order they are asked for, each only when the table holds it.
// The first conversion error ends the conversions: that key and every later one keep the value
// they had, the ones converted before keep their new values. Never throws.
//   const SettingsTable table = ReadSettingsSection("MoonSettings");
//   KeyConverter keys(table);
//   keys.Float("Moon_Size", settings.Size);  // and so on, in the feature's fixed order
class KeyConverter {
 public:
  explicit KeyConverter(const SettingsTable& table) noexcept : table_(table) {}
  // The converter keeps a reference: a temporary table would be gone before the first key.
  explicit KeyConverter(SettingsTable&&) = delete;

  void Int(const char* key, int32_t& out) noexcept;
  void Uint(const char* key, uint32_t& out) noexcept;  // ParseInt, kept as its 32-bit pattern
  void Float(const char* key, float& out) noexcept;
  void Flag(const char* key, bool& out) noexcept;
  // Stores the low 8 bits of each number read; channels without a readable number keep theirs.
  void Colour(const char* key, std::array<uint8_t, 3>& rgb) noexcept;

  // True once a conversion error has ended the conversions.
  bool Stopped() const noexcept { return stopped_; }

 private:
  // Runs `store` on the key's text if the table holds it, unless the conversions have ended.
  template <typename Store>
  void Convert(const char* key, Store&& store) noexcept;
  const std::string* Find(const char* key) const;

  const SettingsTable& table_;
  bool stopped_ = false;
};

// Conversion of settings value text into numbers, flags, colour lists and vector lists, and the
// loader convention that every guarded feature loader follows.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

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
  // Nothing but white space follows the numbers read: a read after them found the end of the text
  // rather than something that is not a number.
  bool ends_after_numbers = false;
};
struct FloatList3 {
  int count = 0;
  std::array<float, 3> values{};
};
IntList3 ParseColourList(const std::string& text) noexcept;
FloatList3 ParseVectorList(const std::string& text) noexcept;

// How much of `text` ParseInt and ParseFloat read: the white space and the number at its start,
// also when the number is out of range; 0 when they find no number. For tools that tell what
// part of a value the plugin reads.
size_t IntPrefixLength(std::string_view text) noexcept;
size_t FloatPrefixLength(std::string_view text) noexcept;

// Where the numbers that ParseColourList and ParseVectorList read stand in `text`: number i from
// begin[i] to end[i], for the `count` read; `stop` is where the read that ended the list began
// (past white space), or after three numbers where the text after them begins. For tools.
struct ListReadSpans {
  int count = 0;
  std::array<size_t, 3> begin{};
  std::array<size_t, 3> end{};
  size_t stop = 0;
};
ListReadSpans ColourListSpans(std::string_view text) noexcept;
ListReadSpans VectorListSpans(std::string_view text) noexcept;

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

// What a loader does after a value that does not convert.
enum class OnBadValue : uint8_t {
  kStop,  // that key and every later one keep the values they had
  kGoOn,  // that key keeps its value; the next one is converted as usual
};

// The conversions by what a value goes into: ParseInt for an int32_t or a 32-bit enumeration;
// ParseInt kept as its 32-bit pattern for a uint32_t; ParseFloat; ParseFlag for a bool; for a
// colour the low 8 bits of each number of a colour list, channels without a number keeping
// theirs; for a vector the vector list, the components from the first that is not read on 0.
void ConvertValue(const std::string& text, int32_t& out);
void ConvertValue(const std::string& text, uint32_t& out);
void ConvertValue(const std::string& text, float& out);
void ConvertValue(const std::string& text, bool& out);
void ConvertValue(const std::string& text, std::array<uint8_t, 3>& rgb) noexcept;
void ConvertValue(const std::string& text, std::array<float, 3>& xyz) noexcept;
template <typename E>
  requires std::is_enum_v<E> && (sizeof(E) == sizeof(int32_t))
void ConvertValue(const std::string& text, E& out) {
  out = static_cast<E>(ParseInt(text));  // any number: the enumeration is 32-bit
}

// Converts one loader's values in the order it asks for them, each only when present. After a
// value that does not convert it stops or goes on as the loader asked. Never throws.
//   KeyConverter keys;
//   keys.Convert("Moon_Size", table_text_or_null, settings.Size);  // and so on, in a fixed order
class KeyConverter {
 public:
  explicit KeyConverter(OnBadValue on_bad = OnBadValue::kStop) noexcept : on_bad_(on_bad) {}

  // Converts `text`, the value of `key` (null when the loader's table has no such key), into
  // `out` by its type (ConvertValue).
  template <typename T>
  void Convert(std::string_view key, const std::string* text, T& out) noexcept {
    Apply(key, text, [&out](const std::string& value) { ConvertValue(value, out); });
  }

  // The same with a conversion of the loader's own, `store`, which raises SettingsConversionError
  // for a value that does not convert.
  template <typename Store>
  void Apply(std::string_view key, const std::string* text, Store&& store) noexcept {
    // After the first error of a stopping loader only an observer still wants to hear of the keys.
    if (stopped_ && settings_detail::observer == nullptr) return;
    try {
      ReportKeyAsked(key, text, stopped_);
      if (!stopped_ && text != nullptr) store(*text);
    } catch (...) {
      // What was stored before stays; a stopping loader converts nothing more.
      if (on_bad_ == OnBadValue::kStop) stopped_ = true;
    }
  }

  // The same for a key that the loader's table does not hold: there is nothing to convert, and only
  // an observer hears of it. Inline: most keys a loader asks for are absent from most files.
  void Absent(std::string_view key) const noexcept { ReportKeyAsked(key, nullptr, stopped_); }

  // True once a conversion error has ended the conversions.
  bool Stopped() const noexcept { return stopped_; }

 private:
  OnBadValue on_bad_;
  bool stopped_ = false;
};

// The value of `key` in `table`, or null when the table has no such key.
const std::string* FindValue(const SettingsTable& table, std::string_view key);

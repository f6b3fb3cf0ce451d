#include "settings/convert.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>
#include <system_error>

// Every conversion here is written out rather than left to the C runtime or to the stream
// library, so that both toolchains give the same results byte for byte, and so that no
// conversion depends on (or touches) the process's locale, which the plugin shares with the host.

SettingsObserver* settings_detail::observer = nullptr;

namespace {

using settings_detail::observer;

void ReportConverted(const std::string& text, SettingsValueKind kind, const char* error) noexcept {
  if (observer != nullptr) observer->ValueConverted(text, kind, error);
}

// Reports a failed conversion and raises its error.
[[noreturn]] void Fail(const std::string& text, SettingsValueKind kind, const char* error) {
  ReportConverted(text, kind, error);
  throw SettingsConversionError(error);
}

// White space as the C locale's isspace sees it: strtol, strtof and the stream reads skip it.
bool IsCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) noexcept {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

size_t SkipCSpace(std::string_view text, size_t pos) noexcept {
  while (pos < text.size() && IsCSpace(text[pos])) ++pos;
  return pos;
}

enum class Outcome { kOk, kInvalid, kOutOfRange };

// Reads an optional sign and decimal digits at `pos` (no white space), as both strtol and the
// stream's integer read do, and moves `pos` past them. Digits beyond the 32-bit range are still
// consumed; the result is then kOutOfRange.
Outcome ReadDecimalInt(std::string_view text, size_t& pos, int32_t& out) noexcept {
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  const size_t first_digit = pos;
  // Nine digits cannot overflow 32 bits: most numbers need no 64-bit arithmetic.
  uint32_t small = 0;
  for (; pos < text.size() && IsDigit(text[pos]) && pos - first_digit < 9; ++pos) {
    small = small * 10 + static_cast<uint32_t>(text[pos] - '0');
  }
  int64_t magnitude = small;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    // Saturate just above the limit so that any number of digits cannot overflow.
    if (magnitude <= limit) magnitude = magnitude * 10 + (text[pos] - '0');
  }
  if (pos == first_digit) return Outcome::kInvalid;
  if (magnitude > limit) return Outcome::kOutOfRange;
  out = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return Outcome::kOk;
}

// Decimal text "digits[.digits][e[sign]digits]" (at least one digit before the exponent) as a
// float, when one rounding gives it: at most nine significant digits making at most 2^24, and a
// power of ten from 10^-10 to 10^10. Both are then exact floats, so one multiplication or division
// rounds the value correctly, as std::from_chars does; that is the common case of a settings value,
// and false sends the others to std::from_chars.
bool ExactlyRoundedDecimal(std::string_view text, float& out) noexcept {
  static constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                           1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  uint32_t mantissa = 0;
  int digits = 0;    // significant digits in the mantissa
  int exponent = 0;  // of ten, applied to the mantissa
  bool point = false;
  size_t pos = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (!IsDigit(c)) break;
    if (point) --exponent;
    if (mantissa == 0 && c == '0') continue;  // a leading zero
    if (++digits > 9) return false;
    mantissa = mantissa * 10 + static_cast<uint32_t>(c - '0');
  }
  if (pos < text.size()) {
    if (text[pos] != 'e' && text[pos] != 'E') return false;
    ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    int written = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
      if (written > 100) return false;
      written = written * 10 + (text[pos] - '0');
    }
    exponent += negative ? -written : written;
  }
  if (pos != text.size() || mantissa > (1u << 24)) return false;
  if (mantissa == 0) {
    out = 0.0f;
    return true;
  }
  if (exponent < -10 || exponent > 10) return false;
  const auto value = static_cast<float>(mantissa);
  out = exponent >= 0 ? value * kPowersOfTen[exponent] : value / kPowersOfTen[-exponent];
  return true;
}

// The length of the decimal number at the start of `text` as strtof reads it: digits with at most
// one ".", at least one digit, then an exponent only when "e" or "E" is followed by digits (after
// an optional sign). 0 when there is none.
size_t DecimalPrefix(std::string_view text) noexcept {
  size_t pos = 0;
  bool digits = false;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, digits = true;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, digits = true;
  }
  if (!digits) return 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t exponent = pos + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    if (exponent < text.size() && IsDigit(text[exponent])) {
      pos = exponent;
      while (pos < text.size() && IsDigit(text[pos])) ++pos;
    }
  }
  return pos;
}

// For decimal text ("digits[.digits][e[sign]digits]") whose value did not fit a float: true when
// it was too large (magnitude at least 1), false when it was too small.
bool DecimalIsAtLeastOne(std::string_view text) noexcept {
  // Power of ten of the first non-zero digit of the mantissa.
  int64_t power = 0;
  bool found = false;
  bool after_point = false;
  int64_t integer_digits = 0;
  int64_t leading_fraction_zeros = 0;
  size_t pos = 0;
  for (; pos < text.size() && (IsDigit(text[pos]) || text[pos] == '.'); ++pos) {
    const char c = text[pos];
    if (c == '.') {
      after_point = true;
    } else if (!after_point) {
      if (found || c != '0') ++integer_digits;
      found = found || c != '0';
    } else if (!found) {
      if (c == '0') {
        ++leading_fraction_zeros;
      } else {
        found = true;
      }
    }
  }
  power = integer_digits > 0 ? integer_digits - 1 : -(leading_fraction_zeros + 1);
  // The exponent, saturated: a mantissa this file can hold cannot outweigh it.
  int64_t exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
      if (exponent < (int64_t{1} << 40)) exponent = exponent * 10 + (text[pos] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return power + exponent >= 0;
}

// The length of the hexadecimal float at the start of `text` (after its "0x"): digits with at most
// one ".", then "p" or "P" with an optional sign and decimal digits, the exponent only when it has
// a digit.
size_t HexFloatLength(std::string_view text) noexcept {
  size_t pos = 0;
  bool point = false;
  for (; pos < text.size(); ++pos) {
    if (text[pos] == '.' && !point) {
      point = true;
    } else if (!IsHexDigit(text[pos])) {
      break;
    }
  }
  if (pos == text.size() || (text[pos] != 'p' && text[pos] != 'P')) return pos;
  size_t exponent = pos + 1;
  if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
  if (exponent == text.size() || !IsDigit(text[exponent])) return pos;
  while (exponent < text.size() && IsDigit(text[exponent])) ++exponent;
  return exponent;
}

// Reads a float by the strtof rules from `text`: white space, an optional sign, then a decimal
// number, a hexadecimal one after "0x", or "inf", "infinity", "nan", "nan(...)". A result that
// rounds to a subnormal is kept; only overflow to infinity and underflow to zero are out of range.
// `end` is set past the number read, when there is one. Inlined, like StreamReadFloat, into the
// conversions that start-up runs for every value, although the tools' span readers call it too.
[[gnu::always_inline]] inline Outcome ReadStrtofFloat(std::string_view text, float& out, size_t& end) noexcept {
  size_t pos = SkipCSpace(text, 0);
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::string_view rest = text.substr(pos);
  float value = 0.0f;
  std::from_chars_result result{};
  if (rest.size() >= 3 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
      (IsHexDigit(rest[2]) || (rest[2] == '.' && rest.size() >= 4 && IsHexDigit(rest[3])))) {
    // "0x" and a hexadecimal significand; without one, the "0" alone is the number. Only the text
    // that strtof reads goes to from_chars, which would also take "p+-5" as an exponent.
    const std::string_view hex = rest.substr(2, HexFloatLength(rest.substr(2)));
    result = std::from_chars(hex.data(), hex.data() + hex.size(), value, std::chars_format::hex);
  } else if (!rest.empty() && rest[0] == '-') {
    // from_chars would take a second sign; strtof does not.
    return Outcome::kInvalid;
  } else if (const size_t length = DecimalPrefix(rest);
             length != 0 && ExactlyRoundedDecimal(rest.substr(0, length), value)) {
    out = negative ? -value : value;
    end = pos + length;
    return Outcome::kOk;
  } else {
    result = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  }
  if (result.ec == std::errc::invalid_argument) return Outcome::kInvalid;
  end = static_cast<size_t>(result.ptr - text.data());
  if (result.ec == std::errc::result_out_of_range) return Outcome::kOutOfRange;
  out = negative ? -value : value;
  return Outcome::kOk;
}

// One integer read of a formatted input stream (operator>> into a 32-bit int): skips white
// space, then a sign and digits. A number outside the range fails the read like a missing one.
bool StreamReadInt(std::string_view text, size_t& pos, int32_t& out) noexcept {
  pos = SkipCSpace(text, pos);
  return ReadDecimalInt(text, pos, out) == Outcome::kOk;
}

// One float read of a formatted input stream (operator>> into a float): skips white space, then
// takes a sign, digits with at most one ".", and after at least one digit an "e" or "E" with an
// optional sign and digits. The read fails unless that text is a whole number (an "e" without
// digits fails it) or when the value overflows; a value too small for a float reads as zero.
// There is no hexadecimal, "inf" or "nan" in this syntax.
[[gnu::always_inline]] inline bool StreamReadFloat(std::string_view text, size_t& pos, float& out) noexcept {
  pos = SkipCSpace(text, pos);
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const size_t start = pos;
  bool point = false;
  bool digits = false;
  for (; pos < text.size(); ++pos) {
    if (IsDigit(text[pos])) {
      digits = true;
    } else if (text[pos] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    const size_t exponent_start = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    if (pos == exponent_start) return false;
  }
  const std::string_view number = text.substr(start, pos - start);
  float value = 0.0f;
  if (ExactlyRoundedDecimal(number, value)) {
    out = negative ? -value : value;
    return true;
  }
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    if (DecimalIsAtLeastOne(number)) return false;
    value = 0.0f;
  } else if (result.ec != std::errc{} || result.ptr != number.data() + number.size()) {
    return false;
  }
  out = negative ? -value : value;
  return true;
}

}  // namespace

SettingsObserver* SetSettingsObserver(SettingsObserver* new_observer) noexcept {
  SettingsObserver* const previous = observer;
  observer = new_observer;
  return previous;
}

int32_t ParseInt(const std::string& text) {
  constexpr SettingsValueKind kKind = SettingsValueKind::kInt;
  size_t pos = SkipCSpace(text, 0);
  int32_t value = 0;
  switch (ReadDecimalInt(text, pos, value)) {
    case Outcome::kOk:
      ReportConverted(text, kKind, nullptr);
      return value;
    case Outcome::kInvalid:
      Fail(text, kKind, "invalid stoi argument");
    case Outcome::kOutOfRange:
      break;
  }
  Fail(text, kKind, "stoi argument out of range");
}

float ParseFloat(const std::string& text) {
  constexpr SettingsValueKind kKind = SettingsValueKind::kFloat;
  float value = 0.0f;
  size_t end = 0;
  switch (ReadStrtofFloat(text, value, end)) {
    case Outcome::kOk:
      ReportConverted(text, kKind, nullptr);
      return value;
    case Outcome::kInvalid:
      Fail(text, kKind, "invalid stof argument");
    case Outcome::kOutOfRange:
      break;
  }
  Fail(text, kKind, "stof argument out of range");
}

bool ParseFlag(const std::string& text) { return ParseInt(text) != 0; }

IntList3 ParseColourList(const std::string& text) noexcept {
  IntList3 list;
  size_t pos = 0, after_numbers = 0;
  // Once a read fails the stream is in its failed state and reads nothing more.
  while (list.count < 3 && StreamReadInt(text, pos, list.values[list.count])) {
    ++list.count;
    after_numbers = pos;
  }
  list.ends_after_numbers = SkipCSpace(text, after_numbers) == text.size();
  ReportConverted(text, SettingsValueKind::kColourList, nullptr);
  return list;
}

FloatList3 ParseVectorList(const std::string& text) noexcept {
  FloatList3 list;
  size_t pos = 0;
  while (list.count < 3 && StreamReadFloat(text, pos, list.values[list.count])) ++list.count;
  ReportConverted(text, SettingsValueKind::kVectorList, nullptr);
  return list;
}

size_t IntPrefixLength(std::string_view text) noexcept {
  size_t pos = SkipCSpace(text, 0);
  int32_t value = 0;
  return ReadDecimalInt(text, pos, value) == Outcome::kInvalid ? 0 : pos;
}

size_t FloatPrefixLength(std::string_view text) noexcept {
  float value = 0.0f;
  size_t end = 0;
  return ReadStrtofFloat(text, value, end) == Outcome::kInvalid ? 0 : end;
}

namespace {

// The spans of the reads of one list, made by `read` as the list's parse makes them.
template <typename Value, typename Read>
ListReadSpans SpansOf(std::string_view text, Read read) noexcept {
  ListReadSpans spans;
  size_t pos = 0;
  Value value{};
  while (spans.count < 3) {
    const size_t begin = SkipCSpace(text, pos);
    pos = begin;
    if (!read(text, pos, value)) {
      spans.stop = begin;
      return spans;
    }
    spans.begin[spans.count] = begin;
    spans.end[spans.count] = pos;
    ++spans.count;
  }
  spans.stop = SkipCSpace(text, pos);
  return spans;
}

}  // namespace

ListReadSpans ColourListSpans(std::string_view text) noexcept {
  return SpansOf<int32_t>(text, StreamReadInt);
}

ListReadSpans VectorListSpans(std::string_view text) noexcept {
  return SpansOf<float>(text, StreamReadFloat);
}

void ConvertValue(const std::string& text, int32_t& out) { out = ParseInt(text); }

void ConvertValue(const std::string& text, uint32_t& out) { out = static_cast<uint32_t>(ParseInt(text)); }

void ConvertValue(const std::string& text, float& out) { out = ParseFloat(text); }

void ConvertValue(const std::string& text, bool& out) { out = ParseFlag(text); }

void ConvertValue(const std::string& text, std::array<uint8_t, 3>& rgb) noexcept {
  const IntList3 list = ParseColourList(text);
  for (int i = 0; i < list.count; ++i) rgb[i] = static_cast<uint8_t>(list.values[i]);
}

void ConvertValue(const std::string& text, std::array<float, 3>& xyz) noexcept {
  xyz = ParseVectorList(text).values;
}

const std::string* FindValue(const SettingsTable& table, std::string_view key) {
  const auto found = table.find(std::string(key));
  return found == table.end() ? nullptr : &found->second;
}

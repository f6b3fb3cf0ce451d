// What the settings conversions must give, taken from the platform's own C library and standard
// streams, and the texts to compare them on. Shared by the unit tests and the Windows check, so
// both platforms are held to the same cases.
#pragma once

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "settings/convert.h"

// The message of the conversion error `text` raises in `parse`, or "" when it raises none.
template <typename Parse>
std::string ErrorOf(Parse parse, const std::string& text) {
  try {
    parse(text);
  } catch (const SettingsConversionError& error) {
    return error.what();
  }
  return "";
}

// The same float: equal with the same sign, or both NaN.
inline bool SameFloat(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

// A few hand-picked edge texts, then 20,000 random number-like ones (the same on every platform).
inline std::vector<std::string> NumberLikeTexts() {
  std::vector<std::string> texts = {"", " ", "+", "-", ".", "e", "1e", "1e+", "-.e1", "0x", "00.5",
                                    "1..2", "+-1", "2147483648", "-2147483648", "1e-45", "7e-46",
                                    "3.4028235e38", "3.4028236e38", "1e39 1", "9e-39 2", "0x1p-150", "0x1p+-50",
                                    "0x.8p-148", "nan(x)", "infinit", "0x1.fffffffp127",
                                    "nan(99999999999999999999999)", "nan(0XEEEEEE248114EEEEE2)x",
                                    // Ten digits and more: beyond 32 bits however they wrap.
                                    "4294967296", "9999999999", "-4294967297", "4294967295",
                                    "12345678901", "0000000004294967296", "2147483647",
                                    "-2147483647", "1 4294967296 3", "-9999999999 1"};
  const std::string alphabet = "0123456789+-.eE ,\t1x0xpPafinINy(";
  std::mt19937 random(11);
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 12, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    texts.push_back(text);
  }
  return texts;
}

// What ParseInt must give by the C library's strtol: the error text ("" for none) and the value.
inline std::string StrtolExpectation(const std::string& text, long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return "invalid stoi argument";
  return errno == ERANGE ? "stoi argument out of range" : "";
}

// What ParseFloat must give by the C library's strtof, except that a subnormal result (for which
// strtof also reports a range error) is a value, and so is a NaN: glibc reads the digits inside
// "nan(...)" as an integer and leaves that read's range error behind when they overflow it, but a
// NaN is no number outside a float's range.
inline std::string StrtofExpectation(const std::string& text, float* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtof(text.c_str(), &end);
  if (end == text.c_str()) return "invalid stof argument";
  const bool subnormal = *value != 0 && std::fpclassify(*value) == FP_SUBNORMAL;
  const bool in_range = subnormal || std::isnan(*value);
  return errno == ERANGE && !in_range ? "stof argument out of range" : "";
}

// Up to three numbers of type T read from `text` by a classic-locale stream.
template <typename T>
std::vector<T> StreamNumbers(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  std::vector<T> numbers;
  T value{};
  while (numbers.size() < 3 && in >> value) numbers.push_back(value);
  return numbers;
}

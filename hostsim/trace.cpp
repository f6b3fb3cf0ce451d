#include "hostsim/trace.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace hostsim {

std::string FormatFloat(float value) {
  if (std::isnan(value)) return "\"nan\"";
  if (std::isinf(value)) return value > 0 ? "\"inf\"" : "\"-inf\"";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FormatHex(const uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string FormatAddress(uint32_t address) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, address, 16);
  std::string digits(buffer, result.ptr);
  for (char& c : digits) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return "0x" + digits;
}

void JsonLine::Key(std::string_view key) {
  if (text_.size() > 1) text_ += ',';
  text_ += '"';
  text_ += key;
  text_ += "\":";
}

// Keys and values written by the emulator never need escaping: they are fixed names, numbers,
// hex digits and the names of signals.
JsonLine& JsonLine::Str(std::string_view key, std::string_view value) {
  Key(key);
  text_ += '"';
  text_ += value;
  text_ += '"';
  return *this;
}

JsonLine& JsonLine::Int(std::string_view key, int64_t value) {
  Key(key);
  text_ += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::Float(std::string_view key, float value) {
  Key(key);
  text_ += FormatFloat(value);
  return *this;
}

JsonLine& JsonLine::Floats(std::string_view key, std::initializer_list<float> values) {
  std::string array = "[";
  for (float v : values) array += (array.size() > 1 ? "," : "") + FormatFloat(v);
  return Raw(key, array + "]");
}

JsonLine& JsonLine::Ints(std::string_view key, std::initializer_list<int64_t> values) {
  std::string array = "[";
  for (int64_t v : values) array += (array.size() > 1 ? "," : "") + std::to_string(v);
  return Raw(key, array + "]");
}

JsonLine& JsonLine::Raw(std::string_view key, std::string_view json) {
  Key(key);
  text_ += json;
  return *this;
}

void WriteLine(TextOut& out, const JsonLine& line) {
  out << line.Text() << '\n';
  out.flush();
}

}  // namespace hostsim

// The emulator's output: one JSON object per line, flushed at once so that a crash of the plugin
// loses nothing already printed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "hostsim/text_stream.h"

namespace hostsim {

// Shortest text that reads back as the same float; "nan", "inf" and "-inf" as JSON strings.
std::string FormatFloat(float value);

// Upper-case hex digits of `size` bytes, no separators.
std::string FormatHex(const uint8_t* bytes, std::size_t size);

// "0x" and upper-case hex digits of an address.
std::string FormatAddress(uint32_t address);

// Builds one JSON object, field by field, in the order the fields are added.
class JsonLine {
 public:
  JsonLine& Str(std::string_view key, std::string_view value);
  JsonLine& Int(std::string_view key, int64_t value);
  JsonLine& Float(std::string_view key, float value);
  JsonLine& Floats(std::string_view key, std::initializer_list<float> values);
  JsonLine& Ints(std::string_view key, std::initializer_list<int64_t> values);
  // A value already in JSON form (an array or object built by the caller).
  JsonLine& Raw(std::string_view key, std::string_view json);
  std::string Text() const { return text_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

// Writes `line` followed by a newline and flushes.
void WriteLine(TextOut& out, const JsonLine& line);

}  // namespace hostsim

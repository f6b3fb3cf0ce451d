// Text for the report's page: escaping for HTML and SVG, JSON strings and numbers, and base64.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace preview {

// `text` with &, <, >, " and ' written as entities, for element text and attribute values.
std::string XmlEscape(std::string_view text);

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 become U+FFFD; "<" is written
// as \u003c, so that the string can stand inside an HTML script element.
std::string JsonString(std::string_view text);

// A number as JSON: the shortest text that reads back as the same float; null when not finite.
std::string JsonNumber(float value);

// The base64 text of `data`.
std::string Base64(const std::vector<uint8_t>& data);

}  // namespace preview

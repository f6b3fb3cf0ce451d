#include "tools/check/text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

// The length of the UTF-8 sequence at `pos` that stands for a character other than a control
// character or the byte-order mark, or 0.
size_t PrintableSequence(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead >= 0x20 && lead < 0x7F) return 1;
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(pos + i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  const bool invisible = code == 0xFEFF || (code >= 0x80 && code < 0xA0);
  if (overlong || surrogate || invisible || code > 0x10FFFF) return 0;
  return length;
}

std::string Escaped(const std::string& text, bool quote) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    if (quote && (c == '"' || c == '\\')) {
      out += '\\';
      out += c;
      ++pos;
    } else if (const size_t length = PrintableSequence(text, pos)) {
      out.append(text, pos, length);
      pos += length;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
      ++pos;
    }
  }
  return out;
}

}  // namespace

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Edit distance with adjacent transpositions (optimal string alignment).
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t substitute = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, substitute});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

std::string Quoted(const std::string& text) { return "\"" + Escaped(text, true) + "\""; }

std::string Printable(const std::string& text) { return Escaped(text, false); }

std::string ClosestKey(const std::string& key, const std::vector<std::string>& candidates) {
  // Short keys need to be nearly right to count as typos of a known key.
  const size_t limit = key.size() <= 3 ? 0 : key.size() <= 6 ? 1 : 2;
  const std::string lower = Lower(key);
  std::string best;
  size_t best_distance = limit + 1;
  for (const std::string& candidate : candidates) {
    if (candidate == key) continue;
    // Longer than any typo of a short key could be: no need to measure.
    if (candidate.size() > key.size() + limit || key.size() > candidate.size() + limit) continue;
    const size_t distance = EditDistance(lower, Lower(candidate));
    if (distance < best_distance) {
      best = candidate;
      best_distance = distance;
    }
  }
  return best;
}

std::string ConversionProblem(const std::string& error, const std::string& value) {
  if (error.find("out of range") != std::string::npos) {
    if (error.find("stoi") != std::string::npos) {
      return "is too large for a whole number, which the plugin reads from -2147483648 to "
             "2147483647";
    }
    return "is too large or too close to 0 for the plugin's decimal numbers (from about 1e-38 to "
           "3e38)";
  }
  return value.empty() ? "is empty, not a number" : "is not a number";
}

const char* Ordinal(int index) {
  static const char* const kOrdinals[] = {"first", "second", "third"};
  return index >= 0 && index < 3 ? kOrdinals[index] : "next";
}

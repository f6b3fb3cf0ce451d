#include "hostsim/script.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <optional>

#include "hostsim/commands.h"

namespace hostsim {

namespace {

// A decimal or 0x-hex integer, optionally negative, as a 64-bit value.
std::optional<int64_t> ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

std::optional<uint32_t> ParseInt32(std::string_view text) {
  const std::optional<int64_t> value = ParseInteger(text);
  if (!value || *value < -2147483648LL) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

// A float in decimal or exponent form ("nan" and "inf" too), or a 0x-hex integer taken as a float.
std::optional<float> ParseFloat(std::string_view text) {
  if (text.find("0x") != std::string_view::npos || text.find("0X") != std::string_view::npos) {
    const std::optional<int64_t> value = ParseInteger(text);
    if (!value) return std::nullopt;
    return static_cast<float>(*value);
  }
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  float value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    uint8_t byte = 0;
    const auto result = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + i + 2) return std::nullopt;
    bytes.push_back(byte);
  }
  return bytes;
}

// A command's argument kinds (commands.h) taken apart: the kinds without the brackets, and the
// numbers of arguments allowed, which are the number of kinds before each '[' and of all of them.
struct Signature {
  std::string kinds;
  std::vector<int> counts;
};

Signature ReadSignature(std::string_view kinds) {
  Signature signature;
  for (const char kind : kinds) {
    if (kind == '[') {
      signature.counts.push_back(static_cast<int>(signature.kinds.size()));
    } else if (kind != ']') {
      signature.kinds += kind;
    }
  }
  signature.counts.push_back(static_cast<int>(signature.kinds.size()));
  return signature;
}

// Parses one line's words into `c`; returns the error message or an empty string.
std::string ParseWords(const std::vector<std::string>& words, Command& c) {
  c.name = words[0];
  c.entry = FindCommand(c.name);
  if (c.entry == nullptr) return "unknown command `" + c.name + "`";
  const Signature signature = ReadSignature(c.entry->kinds);
  const int count = static_cast<int>(words.size()) - 1;
  if (std::find(signature.counts.begin(), signature.counts.end(), count) ==
      signature.counts.end()) {
    std::string allowed;
    for (int n : signature.counts) allowed += (allowed.empty() ? "" : " or ") + std::to_string(n);
    return "`" + c.name + "` takes " + allowed + " arguments, not " + std::to_string(count);
  }
  for (int i = 0; i < count; ++i) {
    const std::string& word = words[i + 1];
    const char kind = signature.kinds[i];
    if (kind == 'n' && word == "none") {
      c.none = true;
    } else if (kind == 'x') {
      const auto bytes = ParseHexBytes(word);
      if (!bytes) return "bad hex bytes `" + word + "`";
      c.bytes = *bytes;
    } else if (kind == 'f') {
      const auto value = ParseFloat(word);
      if (!value) return "bad number `" + word + "`";
      c.args.push_back(std::bit_cast<uint32_t>(*value));
    } else {
      const auto value = ParseInt32(word);
      if (!value) return "bad integer `" + word + "`";
      c.args.push_back(*value);
    }
  }
  return {};
}

// The blank-separated words of `text`.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  const char* const blanks = " \t\r\n\v\f";
  for (std::size_t start = text.find_first_not_of(blanks); start != std::string::npos;) {
    const std::size_t end = text.find_first_of(blanks, start);
    words.push_back(text.substr(start, end - start));
    start = text.find_first_not_of(blanks, end);
  }
  return words;
}

}  // namespace

bool ParseScript(TextIn& script, std::vector<Command>* commands, ScriptError* error) {
  ScriptState state;
  std::string text;
  for (int line = 1; ReadLine(script, text); ++line) {
    const std::vector<std::string> words = Words(text.substr(0, text.find('#')));
    if (words.empty()) continue;
    Command command;
    command.line = line;
    std::string message = ParseWords(words, command);
    if (message.empty() && command.entry->check != nullptr) {
      if (const char* problem = command.entry->check(state, command)) message = problem;
    }
    if (!message.empty()) {
      *error = {line, message};
      return false;
    }
    commands->push_back(std::move(command));
  }
  return true;
}

}  // namespace hostsim

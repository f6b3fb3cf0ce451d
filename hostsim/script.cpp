#include "hostsim/script.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <optional>

#include "hostsim/addresses.h"
#include "hostsim/image.h"

namespace hostsim {

namespace {

// Argument kinds: 'i' a 32-bit integer (signed or unsigned), 'f' a float, 'x' contiguous hex bytes.
struct Syntax {
  const char* name;
  const char* kinds;        // the longest argument list
  std::vector<int> counts;  // the allowed numbers of arguments
};

const std::vector<Syntax>& Syntaxes() {
  static const std::vector<Syntax> syntaxes = {
      {"build", "i", {1}},
      {"poke", "ix", {2}},
      {"scene", "i", {1}},
      {"clock", "ii", {2}},
      {"time", "i", {1}},
      {"timestep", "f", {1}},
      {"camera", "fffffffff", {9}},
      {"skygate", "i", {1}},
      {"trace-skygate", "i", {1}},
      {"texture", "i", {1}},
      {"pool", "i", {1}},
      {"vehicle", "iiffffffffffffff", {5, 6, 15}},
      {"free", "i", {1}},
      {"load", "", {0}},
      {"unload", "", {0}},
      {"startup", "", {0}},
      {"update", "", {0}},
      {"draw", "", {0}},
      {"frame", "ii", {2}},
      {"moon", "fffffiiiifi", {11}},
      {"logo-r", "fffffiiiifi", {11}},
      {"logo-star", "fffffiiiifi", {11}},
      {"trail", "ifff", {4}},
      {"plane-glow", "iifffi", {6}},
      {"plane-branch", "ii", {2}},
      {"dump", "ii", {2}},
      {"protect", "i", {1}},
      {"changes", "", {0}},
  };
  return syntaxes;
}

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

// A site given by its number in the list (1-based) or by its host address.
template <std::size_t N>
std::optional<uint32_t> ResolveSite(uint32_t value, const std::array<uint32_t, N>& sites) {
  if (value >= 1 && value <= N) return sites[value - 1];
  if (std::find(sites.begin(), sites.end(), value) != sites.end()) return value;
  return std::nullopt;
}

// The checks that depend on the command's meaning and on what came before it in the script.
class Checker {
 public:
  // Returns an empty string when `c` is acceptable here, else the message; may rewrite arguments.
  std::string Check(Command& c) {
    const auto& a = c.args;
    auto in = [&](std::size_t i, int64_t low, int64_t high) {
      const auto v = static_cast<int64_t>(static_cast<int32_t>(a[i]));
      return v >= low && v <= high;
    };
    if (c.name == "build") {
      if (loaded_ever_) return "build must come before the first load";
      if (a[0] != 0 && a[0] != 100 && a[0] != 110 && a[0] != 120)
        return "build must be 0, 100, 110 or 120";
    } else if (c.name == "load") {
      if (loaded_) return "the plugin is already loaded";
      loaded_ = loaded_ever_ = true;
    } else if (c.name == "unload") {
      if (!loaded_) return "the plugin is not loaded";
      loaded_ = false;
    } else if (c.name == "scene") {
      if (!in(0, 0, 255)) return "scene code must be 0 to 255";
    } else if (c.name == "clock") {
      if (!in(0, 0, 255) || !in(1, 0, 255)) return "hour and minute must be 0 to 255";
    } else if (c.name == "skygate") {
      if (!in(0, 0, 1)) return "skygate must be 0 or 1";
    } else if (c.name == "trace-skygate") {
      if (!in(0, 0, 1)) return "trace-skygate must be 0 or 1";
    } else if (c.name == "texture") {
      if (!in(0, 0, 2)) return "texture must be 0, 1 or 2";
    } else if (c.name == "pool") {
      if (!c.none && !in(0, 0, 100000)) return "pool size must be 0 to 100000";
      pool_slots_ = c.none ? -1 : static_cast<int32_t>(a[0]);
    } else if (c.name == "vehicle" || c.name == "free") {
      if (pool_slots_ < 0) return "there is no vehicle pool (use `pool N` first)";
      if (!in(0, 0, pool_slots_ - 1)) return "slot outside the pool";
      if (c.name == "vehicle" && !in(1, -32768, 32767)) return "model must be a 16-bit number";
    } else if (c.name == "frame") {
      if (!in(0, 0, 1000000)) return "frame count must be 0 to 1000000";
    } else if (c.name == "trail" || c.name == "plane-glow") {
      const auto site =
          c.name == "trail" ? ResolveSite(a[0], kTrailSites) : ResolveSite(a[0], kPlaneGlowSites);
      if (!site)
        return c.name == "trail" ? "unknown trail site (1 to 6 or its address)"
                                 : "unknown plane glow site (1 to 4 or its address)";
      c.args[0] = *site;
    } else if (c.name == "dump") {
      if (a[1] == 0 || a[1] > 0x10000) return "length must be 1 to 65536";
      if (!HostImage::Contains(a[0], a[1])) return "range outside the host image";
    } else if (c.name == "protect") {
      if (!HostImage::Contains(a[0], 1)) return "address outside the host image";
    } else if (c.name == "poke") {
      if (!HostImage::Contains(a[0], static_cast<uint32_t>(c.bytes.size())))
        return "range outside the host image";
    }
    return {};
  }

 private:
  bool loaded_ = false;
  bool loaded_ever_ = false;
  int32_t pool_slots_ = -1;  // the default host has no pool
};

// Parses one line's words into `c`; returns the error message or an empty string.
std::string ParseWords(const std::vector<std::string>& words, Command& c) {
  c.name = words[0];
  const auto& syntaxes = Syntaxes();
  const auto syntax = std::find_if(syntaxes.begin(), syntaxes.end(),
                                   [&](const Syntax& s) { return c.name == s.name; });
  if (syntax == syntaxes.end()) return "unknown command `" + c.name + "`";
  const int count = static_cast<int>(words.size()) - 1;
  if (c.name == "pool" && count == 1 && words[1] == "none") {
    c.none = true;
    return {};
  }
  if (std::find(syntax->counts.begin(), syntax->counts.end(), count) == syntax->counts.end()) {
    std::string allowed;
    for (int n : syntax->counts) allowed += (allowed.empty() ? "" : " or ") + std::to_string(n);
    return "`" + c.name + "` takes " + allowed + " arguments, not " + std::to_string(count);
  }
  for (int i = 0; i < count; ++i) {
    const std::string& word = words[i + 1];
    const char kind = syntax->kinds[i];
    if (kind == 'x') {
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
  Checker checker;
  std::string text;
  for (int line = 1; ReadLine(script, text); ++line) {
    const std::vector<std::string> words = Words(text.substr(0, text.find('#')));
    if (words.empty()) continue;
    Command command;
    command.line = line;
    std::string message = ParseWords(words, command);
    if (message.empty()) message = checker.Check(command);
    if (!message.empty()) {
      *error = {line, message};
      return false;
    }
    commands->push_back(std::move(command));
  }
  return true;
}

}  // namespace hostsim

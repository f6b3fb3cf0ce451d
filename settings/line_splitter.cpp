#include "settings/line_splitter.h"

#include <cstring>

SettingsLine SplitSettingsLine(std::string_view line) noexcept {
  const auto find = [line](char c) {
    const void* found = std::memchr(line.data(), c, line.size());
    return found == nullptr ? line.size()
                            : static_cast<size_t>(static_cast<const char*>(found) - line.data());
  };
  return SplitSettingsLineAt(line, find(';'), find('='));
}

SettingsLine SplitSettingsLineAt(std::string_view line, size_t comment, size_t equals) noexcept {
  SettingsLine result;

  // A ";" anywhere, also inside a value, starts a comment that runs to the line end.
  line = line.substr(0, comment);

  // A "[name]" line, once trimmed, is a section header.
  const std::string_view trimmed = TrimSettingsBlanks(line);
  if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
    result.is_header = true;
    result.section = trimmed.substr(1, trimmed.size() - 2);
  }

  // A line with "=" before its comment is an entry, split at the first one.
  if (equals < comment) {
    result.is_entry = true;
    result.key = TrimSettingsBlanks(line.substr(0, equals));
    result.value = TrimSettingsBlanks(line.substr(equals + 1));
  }
  return result;
}

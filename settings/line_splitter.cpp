#include "settings/line_splitter.h"

namespace {

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

}  // namespace

std::string_view TrimSettingsBlanks(std::string_view text) noexcept {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

SettingsLine SplitSettingsLine(std::string_view line) noexcept {
  SettingsLine result;

  // A ";" anywhere, also inside a value, starts a comment that runs to the line end.
  if (const size_t comment = line.find(';'); comment != std::string_view::npos) {
    line = line.substr(0, comment);
  }

  // A "[name]" line, once trimmed, is a section header.
  const std::string_view trimmed = TrimSettingsBlanks(line);
  if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
    result.is_header = true;
    result.section = trimmed.substr(1, trimmed.size() - 2);
  }

  // A line with "=" is an entry, split at the first one.
  if (const size_t equals = line.find('='); equals != std::string_view::npos) {
    result.is_entry = true;
    result.key = TrimSettingsBlanks(line.substr(0, equals));
    result.value = TrimSettingsBlanks(line.substr(equals + 1));
  }
  return result;
}

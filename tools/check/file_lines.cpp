#include "tools/check/file_lines.h"

#include <string_view>

#include "settings/line_splitter.h"
#include "settings/reader.h"

namespace {

bool IsCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Nothing but white space before the comment: a line the readers skip without harm.
bool IsBlankLine(std::string_view text) noexcept {
  text = text.substr(0, text.find(';'));
  for (const char c : text) {
    if (!IsCSpace(c)) return false;
  }
  return true;
}

}  // namespace

bool ReadFileLines(const char* path, FileLines& out) {
  out = FileLines();
  return ForEachSettingsLineFrom(path, [&out](std::string_view text) {
    const SettingsLine split = SplitSettingsLine(text);
    FileLine line;
    line.number = static_cast<int>(out.lines.size()) + 1;
    if (line.number == 1 && text.starts_with("\xEF\xBB\xBF")) {
      out.starts_with_bom = true;
      out.bom_hides_header = SplitSettingsLine(text.substr(3)).is_header;
    }
    line.is_header = split.is_header;
    line.is_entry = split.is_entry;
    // A line the readers skip; a byte-order mark alone is told apart.
    const bool behind_bom = line.number == 1 && out.starts_with_bom;
    const std::string_view rest = behind_bom ? text.substr(3) : text;
    line.is_ignored = !split.is_header && !split.is_entry && !(behind_bom && out.bom_hides_header) &&
                      !IsBlankLine(rest);
    if (split.is_header) {
      line.section = split.section;
      out.sections.push_back({line.section, out.lines.size()});
    }
    if (split.is_entry) {
      line.key = split.key;
      line.value = split.value;
    }
    line.section_index = static_cast<int>(out.sections.size()) - 1;
    out.lines.push_back(std::move(line));
  });
}

#include "tools/check/file_lines.h"

#include <cstdio>
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

// The lines as the plugin's reader hands them out.
bool ReadLines(const char* path, FileLines& out) {
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
    line.is_ignored = !split.is_header && !split.is_entry &&
                      !(behind_bom && out.bom_hides_header) && !IsBlankLine(rest);
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

// Where the first Ctrl-Z byte of the file at `path` stands, which the reader does not tell: it ends
// the text there.
void FindEndOfText(const char* path, FileLines& out) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return;
  int line = 1;
  int c = 0;
  while ((c = std::fgetc(file)) != EOF && c != 0x1A) line += c == '\n';
  if (c == 0x1A) {
    out.end_of_text_line = line;
    int line_ends = 0;
    bool open_line = false;  // bytes after the last line end
    while ((c = std::fgetc(file)) != EOF) {
      line_ends += c == '\n';
      open_line = c != '\n';
      out.text_after_end = out.text_after_end || !IsCSpace(static_cast<char>(c));
    }
    // The first line end after the byte ends its own line.
    if (line_ends > 0) out.lines_after_end = line_ends - 1 + (open_line ? 1 : 0);
  }
  std::fclose(file);
}

}  // namespace

bool ReadFileLines(const char* path, FileLines& out) {
  out = FileLines();
  if (!ReadLines(path, out)) return false;
  FindEndOfText(path, out);
  // A Ctrl-Z at the start of a line ends the text before that line, which is then one of no text.
  if (out.end_of_text_line > static_cast<int>(out.lines.size())) {
    FileLine& line = out.lines.emplace_back();
    line.number = out.end_of_text_line;
    line.section_index = static_cast<int>(out.sections.size()) - 1;
  }
  return true;
}

// The line grammar of the settings file, shared by every reader of it: a ";" anywhere starts a
// comment, a trimmed "[name]" is a section header, and key = value splits at the first "=".
#pragma once

#include <string_view>

// One line of the settings file, taken apart. The views point into the line that was split.
struct SettingsLine {
  // The text without its comment, trimmed of blanks, is "[" name "]". `section` is the name
  // between the brackets, unchanged (blanks inside the brackets belong to it).
  bool is_header = false;
  std::string_view section;
  // The text without its comment holds an "="; `key` and `value` are the text before and after
  // the first one, each trimmed of blanks. A header such as "[a=b]" is both.
  bool is_entry = false;
  std::string_view key;
  std::string_view value;
};

// Blanks are the space and the horizontal tab, nothing else.
inline bool IsSettingsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

// Where the first character other than a blank stands in `text` (its size when there is none).
inline size_t FirstNonBlank(std::string_view text) noexcept {
  size_t at = 0;
  while (at < text.size() && IsSettingsBlank(text[at])) ++at;
  return at;
}

// Removes leading and trailing blanks.
inline std::string_view TrimSettingsBlanks(std::string_view text) noexcept {
  size_t begin = FirstNonBlank(text), end = text.size();
  while (end > begin && IsSettingsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Takes one line (without its line end) apart by the grammar above. Every reader of the file takes
// its lines apart with this one function.
SettingsLine SplitSettingsLine(std::string_view line) noexcept;

// The value of an entry line whose first "=" stands at `equals`, with no ";" before it: the text
// after it up to the comment, trimmed, as SplitSettingsLine gives it. For a reader that has found
// the "=" already, looking for a key by name.
inline std::string_view SettingsValueAfter(std::string_view line, size_t equals) noexcept {
  std::string_view text = line.substr(equals + 1);
  return TrimSettingsBlanks(text.substr(0, text.find(';')));
}

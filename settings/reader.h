// The settings file "Nightglass.ini": where it is looked for, its line grammar, and the ways of
// turning it into a key-to-value table. Nothing here keeps state between calls and nothing is
// ever written to the file.
//
// The plugin's loaders name the keys they ask for (SettingsKeys), and their tables hold only
// those: what a loader holds is bounded by its keys, not by the file, which is read a buffer at a
// time. The tables of every key (ReadAllSettings() and ReadSettingsSection(section)) are for
// tools that explain a file.
#pragma once

#include <emmintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/line_splitter.h"

// Key text to value text. Keys compare byte by byte (case-sensitive); the last occurrence wins.
using SettingsTable = std::map<std::string, std::string>;

// The keys one loader asks for. Each name is not empty and holds no blank, "=", ";" or "[" at its
// start, so that a line can be matched against the names where it stands.
class SettingsKeys {
 public:
  explicit SettingsKeys(std::initializer_list<std::string_view> names);
  template <typename Names>
  explicit SettingsKeys(const Names& names) : names_(std::begin(names), std::end(names)) {
    Index();
  }

  // True when `line` is a "key = value" line whose key is one of the names: then `key` is that
  // name and `value` the value, as SplitSettingsLine gives them.
  bool Match(std::string_view line, std::string_view& key, std::string_view& value) const noexcept {
    // Most lines of a file are settled by their first byte: no name begins with it.
    if (line.empty()) return false;
    const Range range = by_first_[static_cast<unsigned char>(line.front())];
    if (!IsSettingsBlank(line.front()) && range.begin == range.end) return false;
    return MatchNames(line, key, value);
  }

 private:
  void Index();
  bool MatchNames(std::string_view line, std::string_view& key,
                  std::string_view& value) const noexcept;
  std::vector<std::string_view> names_;  // sorted, so that the names of one first byte are together
  // For every first byte, the range of names beginning with it.
  struct Range {
    uint32_t begin = 0, end = 0;
  };
  std::array<Range, 256> by_first_{};
};

// Every key = value line of the first settings file found whose key is one of `keys`, whatever
// section it stands in. Empty when no file opens.
SettingsTable ReadAllSettings(const SettingsKeys& keys);

// The key = value lines whose key is one of `keys` inside every section whose name equals
// `section` exactly.
SettingsTable ReadSettingsSection(std::string_view section, const SettingsKeys& keys);

// Every key = value line of the file, whatever section it stands in. Empty when no file opens.
SettingsTable ReadAllSettings();

// The key = value lines inside every section whose name equals `section` exactly.
SettingsTable ReadSettingsSection(std::string_view section);

// A run of whole lines of the settings file in memory (see SettingsLineReader), read from the
// front. Line ends are found 16 bytes at a time with SSE2, which both builds require: the lines of
// a settings file are short, and finding each end byte by byte, or with a library call per line,
// would cost more than all else the loaders do with a line.
class SettingsLines {
 public:
  SettingsLines() = default;
  // The lines of [begin, end), where end follows a line end, or for the file's last line without
  // one, its end. At least 15 readable bytes must follow `end`.
  SettingsLines(const char* begin, const char* end) noexcept : pos_(begin), end_(end) {
    ScanFrom(begin);
  }

  // The next line without its line end; false when the run is used up. A CR directly before the
  // LF belongs to the line end, as in the C runtime's text mode; a last line without an LF keeps
  // a CR at its end, which is then not followed by an LF.
  bool Next(std::string_view& line) noexcept {
    while (line_ends_ == 0) {
      if (block_ + kBlock >= end_) {
        if (pos_ == end_) return false;
        line = std::string_view(pos_, static_cast<size_t>(end_ - pos_));
        pos_ = end_;
        return true;
      }
      ScanFrom(block_ + kBlock);
    }
    const char* start = pos_;
    const char* end = block_ + __builtin_ctz(line_ends_);
    line_ends_ &= line_ends_ - 1;
    pos_ = end + 1;
    if (end != start && end[-1] == '\r') --end;
    line = std::string_view(start, static_cast<size_t>(end - start));
    return true;
  }

  // Passes over the lines up to the next one that can be a section header, one whose first
  // character after blanks is "[", so that a reader looking for a section need not look at each
  // line of the others. False when the run holds no such line (it is then used up).
  bool SkipToBracketLine() noexcept;

 private:
  static constexpr size_t kBlock = 16;
  // Marks the line ends in the 16 bytes from `at` (those before `end_` only).
  void ScanFrom(const char* at) noexcept {
    block_ = at;
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i line_end = _mm_set1_epi8('\n');
    line_ends_ = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, line_end)));
    if (end_ - at < static_cast<ptrdiff_t>(kBlock)) {
      line_ends_ &= end_ > at ? (1u << (end_ - at)) - 1 : 0;
    }
  }

  const char* pos_ = nullptr;    // the start of the next line
  const char* end_ = nullptr;    // the end of the run
  const char* block_ = nullptr;  // the 16 bytes whose line ends are in `line_ends_`
  uint32_t line_ends_ = 0;       // one bit per line end from `pos_` on in those bytes
};

// Reads the settings file a buffer at a time, as text: a Ctrl-Z byte (0x1A) ends the file. Hands
// out whole lines only, so the buffer grows beyond its chunk only for a longer line, and memory
// does not grow with the file.
//   SettingsLineReader reader;
//   for (SettingsLines lines; reader.NextLines(lines);)
//     for (std::string_view line; lines.Next(line);) ...
class SettingsLineReader {
 public:
  // Opens the file at `path`, or without one the first settings file found ("Nightglass.ini",
  // then the copies in "plugins" and "scripts" below the current directory).
  explicit SettingsLineReader(const char* path = nullptr);
  ~SettingsLineReader();
  SettingsLineReader(const SettingsLineReader&) = delete;
  SettingsLineReader& operator=(const SettingsLineReader&) = delete;

  bool is_open() const noexcept { return file_ != nullptr; }

  // The next run of lines, once the run before is used up; false at the end of the file. The
  // run stays valid until the next call.
  bool NextLines(SettingsLines& lines);

 private:
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;  // a chunk, or a longer line, and room to look 16 bytes past it
  size_t capacity_ = 0;       // what reads may fill of the buffer
  size_t lines_end_ = 0;      // just after the last line end handed out
  size_t filled_ = 0;         // the bytes read into the buffer
  bool at_end_ = false;       // the file's end (or a Ctrl-Z) has been read
};

// One pass over the file at `path`, or without one the first settings file found, in file order,
// told to `visitor` as it goes:
//   bool Section(std::string_view name): a "[name]" header. The entries after it, up to the next
//       header, are told to Entry when this returns true. Lines before the first header belong to
//       no section.
//   void Entry(std::string_view key, std::string_view value): a key = value line of a section that
//       Section took.
//   void Anywhere(std::string_view key, std::string_view value): a key = value line whose key is
//       one of `anywhere`, whatever section it stands in; told before its Entry, when it has one.
// `anywhere`: the keys told to Anywhere (null: none, and the visitor needs no Anywhere). `only`:
// the keys of a taken section that are told to Entry (null: every key). Returns false, telling
// nothing, when no file opens. Where nothing is wanted outside a taken section, only its headers
// are looked at. A template, so that the visitor's calls for every line are direct ones.
template <typename Visitor>
bool VisitSettingsFile(const char* path, Visitor& visitor, const SettingsKeys* anywhere = nullptr,
                       const SettingsKeys* only = nullptr) {
  SettingsLineReader reader(path);
  if (!reader.is_open()) return false;
  bool inside = false;
  std::string_view line, key, value;
  for (SettingsLines lines; reader.NextLines(lines);) {
    // Outside a taken section, with no key wanted anywhere, only a header matters.
    while ((inside || anywhere != nullptr || lines.SkipToBracketLine()) && lines.Next(line)) {
      if constexpr (requires { visitor.Anywhere(key, value); }) {
        if (anywhere != nullptr && anywhere->Match(line, key, value)) visitor.Anywhere(key, value);
      }
      const size_t first = FirstNonBlank(line);
      const bool bracket = first < line.size() && line[first] == '[';
      if (!bracket) {
        // A line of a taken section; no key of `only` begins with "[".
        if (!inside) continue;
        if (only == nullptr) {
          const SettingsLine split = SplitSettingsLine(line);
          if (split.is_entry) visitor.Entry(split.key, split.value);
        } else if (only->Match(line, key, value)) {
          visitor.Entry(key, value);
        }
        continue;
      }
      const SettingsLine split = SplitSettingsLine(line);
      if (split.is_header) {
        // A "[name]" line: the section's entries are told when the visitor takes it, at every
        // occurrence of its name.
        inside = visitor.Section(split.section);
      } else if (inside && only == nullptr && split.is_entry) {
        // Another line that begins with "[" can only hold a key that begins with it.
        visitor.Entry(split.key, split.value);
      }
    }
  }
  return true;
}

// Calls `visit` with each line of the first settings file found, in file order, without the line
// end (see SettingsLineReader). Returns false, without calling `visit`, when no file opens.
bool ForEachSettingsLine(const std::function<void(std::string_view line)>& visit);

// The first of the places above where a settings file opens, or null when none does.
const char* FindSettingsFile();

// The readers above for the file at `path` rather than the first settings file found (which a
// null `path` stands for): for a tool that explains a given file.
SettingsTable ReadAllSettingsFrom(const char* path);
SettingsTable ReadSettingsSectionFrom(const char* path, std::string_view section);
bool ForEachSettingsLineFrom(const char* path, const std::function<void(std::string_view line)>& visit);

#include "settings/reader.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "settings/line_splitter.h"
#include "settings/settings_file.h"

namespace {

// The first of the settings file's places that opens, opened, with `place` set to it; the others
// are not looked at. Null when none opens.
std::FILE* OpenFirstSettingsPlace(const char*& place) noexcept {
  for (const char* candidate : kSettingsFilePaths) {
    if (std::FILE* file = OpenSharedForReading(candidate)) {
      place = candidate;
      return file;
    }
  }
  return nullptr;
}

// The file at `path`, or without one the first settings file found.
std::FILE* OpenSettingsFile(const char* path) noexcept {
  if (path != nullptr) return OpenSharedForReading(path);
  const char* place = nullptr;
  return OpenFirstSettingsPlace(place);
}

// Text mode ends a file at the first Ctrl-Z.
constexpr char kEndOfText = '\x1a';
// What one read asks for; the buffer grows beyond it only for a longer line.
constexpr size_t kChunkSize = 64 * 1024;

// Stores a "key = value" line of every key.
void StoreEntry(SettingsTable& table, const SettingsLine& line) {
  table.insert_or_assign(std::string(line.key), std::string(line.value));
}

void StoreEntry(SettingsTable& table, std::string_view key, std::string_view value) {
  table.insert_or_assign(std::string(key), std::string(value));
}

// The lines of the sections named `section`: `store` is called with every line inside one that
// does not begin with "[" after blanks. Lines before the first header are outside every section.
template <typename Store>
void ForEachSectionLine(SettingsLineReader& reader, std::string_view section, Store&& store) {
  bool inside = false;
  std::string_view line;
  for (SettingsLines lines; reader.NextLines(lines);) {
    // Outside the section only a header matters.
    while ((inside || lines.SkipToBracketLine()) && lines.Next(line)) {
      const size_t first = FirstNonBlank(line);
      if (first < line.size() && line[first] == '[') {
        const SettingsLine split = SettingsLines::Split(line);
        // A "[name]" line: inside exactly when the name matches, at every occurrence. Another
        // line that begins with "[" can only hold a key that begins with it.
        if (split.is_header) {
          inside = split.section == section;
        } else if (inside) {
          store(line);
        }
      } else if (inside) {
        store(line);
      }
    }
  }
}

}  // namespace

SettingsKeys::SettingsKeys(std::initializer_list<std::string_view> names) : names_(names) {
  Index();
}

void SettingsKeys::Index() {
  std::sort(names_.begin(), names_.end());
  for (uint32_t i = 0; i < names_.size(); ++i) {
    Range& range = by_first_[static_cast<unsigned char>(names_[i].front())];
    if (range.begin == range.end) range.begin = i;
    range.end = i + 1;
  }
}

bool SettingsKeys::MatchNames(std::string_view line, std::string_view& key,
                              std::string_view& value) const noexcept {
  // A name has no blank, "=" or ";": the line's key is that name exactly when the line holds,
  // after blanks, the name, blanks and "=". The first "=" is then the one after the name, and no
  // ";" comes before it.
  const size_t start = FirstNonBlank(line);
  if (start == line.size()) return false;
  const Range range = by_first_[static_cast<unsigned char>(line[start])];
  const std::string_view rest = line.substr(start);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    const std::string_view name = names_[i];
    // The first bytes agree; the second tells most names apart before a comparison of them all.
    if (rest.size() <= name.size() || (name.size() > 1 && rest[1] != name[1]) ||
        std::memcmp(rest.data(), name.data(), name.size()) != 0) {
      continue;
    }
    size_t equals = name.size();
    while (equals < rest.size() && IsSettingsBlank(rest[equals])) ++equals;
    if (equals == rest.size() || rest[equals] != '=') continue;
    std::string_view text = rest.substr(equals + 1);
    text = text.substr(0, text.find(';'));
    key = name;
    value = TrimSettingsBlanks(text);
    return true;
  }
  return false;
}

SettingsLineReader::SettingsLineReader(const char* path) : file_(OpenSettingsFile(path)) {
  if (file_ == nullptr) return;
  capacity_ = kChunkSize;
  buffer_.resize(capacity_ + 16);
}

SettingsLineReader::~SettingsLineReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool SettingsLineReader::NextLines(SettingsLines& lines) {
  if (file_ == nullptr) return false;
  // What follows the lines handed out is at most one line without its end; it moves to the front.
  std::memmove(buffer_.data(), buffer_.data() + lines_end_, filled_ - lines_end_);
  filled_ -= lines_end_;
  lines_end_ = 0;
  while (!at_end_) {
    // Only a line longer than the buffer makes it grow.
    if (filled_ == capacity_) {
      capacity_ *= 2;
      buffer_.resize(capacity_ + 16);
    }
    const size_t got = std::fread(buffer_.data() + filled_, 1, capacity_ - filled_, file_);
    if (got == 0) {
      at_end_ = true;
      break;
    }
    const char* fresh = buffer_.data() + filled_;
    if (const void* stop = std::memchr(fresh, kEndOfText, got)) {
      filled_ += static_cast<size_t>(static_cast<const char*>(stop) - fresh);
      at_end_ = true;
    } else {
      filled_ += got;
    }
    const size_t last = std::string_view(buffer_.data(), filled_).rfind('\n');
    if (last != std::string_view::npos) {
      lines_end_ = last + 1;
      lines = SettingsLines(buffer_.data(), buffer_.data() + lines_end_);
      return true;
    }
  }
  // The file's last line, without a line end.
  if (filled_ == 0) return false;
  lines_end_ = filled_;
  lines = SettingsLines(buffer_.data(), buffer_.data() + filled_);
  return true;
}

SettingsLine SettingsLines::Split(std::string_view line) noexcept {
  // The first ";" and the first "=", from 16 bytes at a time.
  size_t comment = line.size(), equals = line.size();
  const __m128i semicolons = _mm_set1_epi8(';'), equal_signs = _mm_set1_epi8('=');
  for (size_t at = 0; at < line.size(); at += kBlock) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + at));
    uint32_t in_line = 0xFFFF;
    if (line.size() - at < kBlock) in_line = (1u << (line.size() - at)) - 1;
    const auto semicolon =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, semicolons))) & in_line;
    const auto equal_sign =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, equal_signs))) & in_line;
    if (equals == line.size() && equal_sign != 0) equals = at + __builtin_ctz(equal_sign);
    if (semicolon != 0) {
      comment = at + __builtin_ctz(semicolon);
      break;
    }
  }
  return SplitSettingsLineAt(line, comment, equals);
}

bool SettingsLines::SkipToBracketLine() noexcept {
  while (pos_ < end_) {
    const auto* bracket = static_cast<const char*>(std::memchr(pos_, '[', end_ - pos_));
    if (bracket == nullptr) break;
    // Its line starts after the line end before it; only blanks may come between.
    const char* start = bracket;
    while (start > pos_ && IsSettingsBlank(start[-1])) --start;
    if (start == pos_ || start[-1] == '\n') {
      pos_ = start;
      ScanFrom(pos_);
      return true;
    }
    const auto* end = static_cast<const char*>(std::memchr(bracket, '\n', end_ - bracket));
    if (end == nullptr) break;
    pos_ = end + 1;
  }
  pos_ = end_;
  line_ends_ = 0;
  block_ = end_;
  return false;
}

SettingsTable ReadAllSettings(const SettingsKeys& keys) {
  SettingsTable table;
  SettingsLineReader reader;
  std::string_view line, key, value;
  for (SettingsLines lines; reader.NextLines(lines);) {
    while (lines.Next(line)) {
      if (keys.Match(line, key, value)) StoreEntry(table, key, value);
    }
  }
  return table;
}

SettingsTable ReadSettingsSection(std::string_view section, const SettingsKeys& keys) {
  SettingsTable table;
  SettingsLineReader reader;
  ForEachSectionLine(reader, section, [&](std::string_view line) {
    std::string_view key, value;
    if (keys.Match(line, key, value)) StoreEntry(table, key, value);
  });
  return table;
}

SettingsTable ReadAllSettings() { return ReadAllSettingsFrom(nullptr); }

SettingsTable ReadSettingsSection(std::string_view section) {
  return ReadSettingsSectionFrom(nullptr, section);
}

bool ForEachSettingsLine(const std::function<void(std::string_view line)>& visit) {
  return ForEachSettingsLineFrom(nullptr, visit);
}

const char* FindSettingsFile() {
  const char* place = nullptr;
  if (std::FILE* file = OpenFirstSettingsPlace(place)) std::fclose(file);
  return place;
}

bool ForEachSettingsLineFrom(const char* path,
                             const std::function<void(std::string_view line)>& visit) {
  SettingsLineReader reader(path);
  if (!reader.is_open()) return false;
  std::string_view line;
  for (SettingsLines lines; reader.NextLines(lines);) {
    while (lines.Next(line)) visit(line);
  }
  return true;
}

SettingsTable ReadAllSettingsFrom(const char* path) {
  SettingsTable table;
  SettingsLineReader reader(path);
  std::string_view text;
  for (SettingsLines lines; reader.NextLines(lines);) {
    while (lines.Next(text)) {
      // Any "key = value" line, whatever section it stands in; section headers have no "=".
      const SettingsLine line = SettingsLines::Split(text);
      if (line.is_entry) StoreEntry(table, line);
    }
  }
  return table;
}

SettingsTable ReadSettingsSectionFrom(const char* path, std::string_view section) {
  SettingsTable table;
  SettingsLineReader reader(path);
  ForEachSectionLine(reader, section, [&table](std::string_view text) {
    const SettingsLine line = SettingsLines::Split(text);
    if (line.is_entry) StoreEntry(table, line);
  });
  return table;
}

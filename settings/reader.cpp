#include "settings/reader.h"

#include <algorithm>
#include <cstring>

#include "platform/settings_file.h"
#include "settings/line_splitter.h"

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

void StoreEntry(SettingsTable& table, std::string_view key, std::string_view value) {
  table.insert_or_assign(std::string(key), std::string(value));
}

// Keeps the entries of the sections of one name.
class SectionTable {
 public:
  explicit SectionTable(std::string_view section) : section_(section) {}
  bool Section(std::string_view name) { return name == section_; }
  void Entry(std::string_view key, std::string_view value) { StoreEntry(table, key, value); }
  SettingsTable table;

 private:
  std::string_view section_;
};

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
  const size_t start = FirstNonBlank(line);
  if (start == line.size()) return false;
  const Range range = by_first_[static_cast<unsigned char>(line[start])];
  if (range.begin == range.end) return false;
  // A name holds no blank, "=" or ";", so the line's key, the trimmed text before its first "=", is
  // a name exactly when the line holds, after blanks, the name, blanks and "=". The second byte
  // tells most names apart before a comparison of them all.
  const std::string_view rest = line.substr(start);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    const std::string_view name = names_[i];
    if (rest.size() <= name.size() || (name.size() > 1 && rest[1] != name[1]) ||
        std::memcmp(rest.data(), name.data(), name.size()) != 0) {
      continue;
    }
    // Only blanks may stand between the name and the first "=", which then has no ";" before it.
    size_t equals = start + name.size();
    while (equals < line.size() && IsSettingsBlank(line[equals])) ++equals;
    if (equals == line.size() || line[equals] != '=') continue;
    key = name;
    value = SettingsValueAfter(line, equals);
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
  SectionTable visitor(section);
  VisitSettingsFile(nullptr, visitor, nullptr, &keys);
  return std::move(visitor.table);
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
  ForEachSettingsLineFrom(path, [&table](std::string_view text) {
    // Any "key = value" line, whatever section it stands in; section headers have no "=".
    const SettingsLine line = SplitSettingsLine(text);
    if (line.is_entry) StoreEntry(table, line.key, line.value);
  });
  return table;
}

SettingsTable ReadSettingsSectionFrom(const char* path, std::string_view section) {
  SectionTable visitor(section);
  VisitSettingsFile(path, visitor);
  return std::move(visitor.table);
}

#include "settings/reader.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "settings/line_splitter.h"
#include "settings/settings_file.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The file at `path`, or without one the first of the settings file's places that opens; the
// others are not looked at.
FileHandle OpenSettingsFile(const char* path) noexcept {
  if (path != nullptr) return FileHandle(OpenSharedForReading(path));
  for (const char* place : kSettingsFilePaths) {
    if (std::FILE* file = OpenSharedForReading(place)) return FileHandle(file);
  }
  return nullptr;
}

// A CR directly before the LF is part of the line end, as in the C runtime's text mode.
std::string_view WithoutCarriageReturn(std::string_view line) noexcept {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Text mode ends a file at the first Ctrl-Z.
constexpr char kEndOfText = '\x1a';
constexpr size_t kChunkSize = 64 * 1024;

}  // namespace

bool ForEachSettingsLine(const std::function<void(std::string_view line)>& visit) {
  return ForEachSettingsLineFrom(nullptr, visit);
}

const char* FindSettingsFile() {
  for (const char* place : kSettingsFilePaths) {
    if (OpenSettingsFile(place)) return place;
  }
  return nullptr;
}

bool ForEachSettingsLineFrom(const char* path, const std::function<void(std::string_view line)>& visit) {
  const FileHandle file = OpenSettingsFile(path);
  if (!file) return false;

  // Read in chunks; only a line that straddles chunks is copied, so memory stays bounded by the
  // longest line whatever the file's size.
  std::vector<char> buffer(kChunkSize);
  std::string pending;
  bool at_end = false;
  while (!at_end) {
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (got == 0) break;
    std::string_view chunk(buffer.data(), got);
    if (const size_t stop = chunk.find(kEndOfText); stop != std::string_view::npos) {
      chunk = chunk.substr(0, stop);
      at_end = true;
    }
    for (size_t newline = chunk.find('\n'); newline != std::string_view::npos;
         newline = chunk.find('\n')) {
      if (pending.empty()) {
        // The whole line lies in this chunk.
        visit(WithoutCarriageReturn(chunk.substr(0, newline)));
      } else {
        // The line began in an earlier chunk.
        pending.append(chunk.substr(0, newline));
        visit(WithoutCarriageReturn(pending));
        pending.clear();
      }
      chunk.remove_prefix(newline + 1);
    }
    pending.append(chunk);
  }
  // A last line without a line end. A CR there is not followed by an LF, so it stays text.
  if (!pending.empty()) visit(pending);
  return true;
}

SettingsTable ReadAllSettings() { return ReadAllSettingsFrom(nullptr); }

SettingsTable ReadSettingsSection(std::string_view section) {
  return ReadSettingsSectionFrom(nullptr, section);
}

SettingsTable ReadAllSettingsFrom(const char* path) {
  SettingsTable table;
  ForEachSettingsLineFrom(path, [&table](std::string_view text) {
    const SettingsLine line = SplitSettingsLine(text);
    // Any "key = value" line, whatever section it stands in; section headers have no "=".
    if (line.is_entry) table.insert_or_assign(std::string(line.key), std::string(line.value));
  });
  return table;
}

SettingsTable ReadSettingsSectionFrom(const char* path, std::string_view section) {
  SettingsTable table;
  bool inside = false;  // lines before the first header are outside every section
  ForEachSettingsLineFrom(path, [&table, &inside, section](std::string_view text) {
    const SettingsLine line = SplitSettingsLine(text);
    if (line.is_header) {
      // A "[name]" line: inside exactly when the name matches, at every occurrence.
      inside = line.section == section;
    } else if (inside && line.is_entry) {
      // A "key = value" line of the wanted section.
      table.insert_or_assign(std::string(line.key), std::string(line.value));
    }
  });
  return table;
}

// The settings reader over arbitrary file contents: the lines it hands on, and the tables of both
// readers, must equal those of a plain reading of the whole file done here. An input beginning with
// the byte 0xFE is moved behind a filler line that ends near the reader's 64 KiB chunk boundary, so
// that its lines straddle chunks.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "settings/reader.h"

namespace {

constexpr size_t kChunk = 64 * 1024;

// The file as text mode gives it: up to the first Ctrl-Z, split at each LF, a CR directly before
// the LF dropped. A last line without LF keeps a CR it ends with.
std::vector<std::string> PlainLines(std::string_view file) {
  file = file.substr(0, file.find('\x1a'));
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t lf = file.find('\n'); lf != std::string_view::npos; lf = file.find('\n', start)) {
    std::string line(file.substr(start, lf - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = lf + 1;
  }
  if (start < file.size()) lines.emplace_back(file.substr(start));
  return lines;
}

std::string Trim(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  size_t first = 0;
  while (first < text.size() && blank(text[first])) ++first;
  return text.substr(first);
}

struct Tables {
  SettingsTable all;
  std::map<std::string, SettingsTable> sections;  // by every header name seen
};

// Both readers' tables, from the grammar: a ";" cuts the line, a trimmed "[name]" is a header, a
// line with "=" is split at the first one and both sides trimmed.
Tables PlainTables(const std::vector<std::string>& lines) {
  Tables tables;
  const std::string* section = nullptr;
  for (const std::string& raw : lines) {
    const std::string text = raw.substr(0, raw.find(';'));
    const std::string trimmed = Trim(text);
    const size_t equals = text.find('=');
    if (equals != std::string::npos)
      tables.all[Trim(text.substr(0, equals))] = Trim(text.substr(equals + 1));
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      section = &tables.sections.try_emplace(trimmed.substr(1, trimmed.size() - 2)).first->first;
      continue;
    }
    if (section != nullptr && equals != std::string::npos)
      tables.sections[*section][Trim(text.substr(0, equals))] = Trim(text.substr(equals + 1));
  }
  return tables;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::EnterGameFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string file(reinterpret_cast<const char*>(data), size);
  if (size >= 2 && data[0] == 0xFE) {
    // A filler line whose end lies up to 63 bytes before or after the chunk boundary.
    const size_t filler = kChunk - 64 + data[1] % 128;
    file = std::string(filler, 'x') + "\n" + file.substr(2);
  }
  fuzz::WriteSettingsFile(file);

  std::vector<std::string> lines;
  fuzz::Require(ForEachSettingsLine([&lines](std::string_view line) { lines.emplace_back(line); }),
                "the settings file opens");
  const std::vector<std::string> expected_lines = PlainLines(file);
  fuzz::Require(lines == expected_lines, "the reader hands on the file's lines");

  const Tables expected = PlainTables(expected_lines);
  fuzz::Require(ReadAllSettings() == expected.all, "ReadAllSettings follows the grammar");
  for (const auto& [name, table] : expected.sections)
    fuzz::Require(ReadSettingsSection(name) == table, "ReadSettingsSection follows the grammar");
  for (const char* name : {"ShootingStars", "MoonSettings", "RStarLogo"}) {
    const auto found = expected.sections.find(name);
    fuzz::Require(ReadSettingsSection(name) == (found == expected.sections.end() ? SettingsTable{}
                                                                                : found->second),
                  "a section the file lacks reads empty");
  }
  return 0;
}

#include "settings/reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/game_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(SettingsReader, ReadAllFollowsTheLineGrammar) {
  GameFolder folder;
  folder.CopyFixture("grammar.ini", "Nightglass.ini");

  const SettingsTable expected = {
      {"NumStars", "300"},           // comment after the value cut off, blanks trimmed
      {"Url", "http://example"},     // a ";" inside a value starts a comment too
      {"Formula", "a=b"},            // split at the first "="
      {"", "5"},                     // the empty key
      {"Tabbed", "spaced value"},    // tabs and spaces trimmed, inner blanks kept
      {"Repeated", "last"},          // the last occurrence wins
      {"numstars", "12"},            // keys are case-sensitive
      {"# Hash", "not a comment"},   // "#" means nothing
      {"Empty", ""},
      {"InSection", "1"},            // sections do not matter to this reader
  };
  EXPECT_EQ(ReadAllSettings(), expected);
}

TEST(SettingsReader, SectionReaderTakesOnlyExactlyNamedSectionsAtEveryOccurrence) {
  GameFolder folder;
  folder.CopyFixture("sections.ini", "Nightglass.ini");

  const SettingsTable shooting = {{"Speed", "2"}, {"Shared", "from shooting stars"}, {"Count", "7"}};
  EXPECT_EQ(ReadSettingsSection("ShootingStars"), shooting);
  // Blanks inside the brackets belong to the name.
  EXPECT_EQ(ReadSettingsSection(" ShootingStars "), (SettingsTable{{"Padded", "not ours"}}));
  EXPECT_TRUE(ReadSettingsSection("Missing").empty());
  // Whole-file reading sees the key that comes last, whichever section holds it.
  EXPECT_EQ(ReadAllSettings().at("Shared"), "from the moon");
  EXPECT_EQ(ReadAllSettings().count("Before"), 1u);
}

TEST(SettingsReader, LineEndsByteOrderMarkAndOtherBlanksAreText) {
  GameFolder folder;
  const std::string bom = "\xEF\xBB\xBF";
  folder.Write("Nightglass.ini", bom + "[Moon]\r\nA = 1\r\n[Other]\r\n" + bom + "B = 2\r\n"
                                     "C = 3\v\r\r\nD\f= 4\n[Moon]\r\nLast = no line end");

  const SettingsTable all = ReadAllSettings();
  const SettingsTable expected_all = {{"A", "1"}, {bom + "B", "2"},
                                      {"C", "3\v\r"},  // only the CR right before the LF goes
                                      {"D\f", "4"},    {"Last", "no line end"}};
  EXPECT_EQ(all, expected_all);
  // The first header carries the mark, so it does not name the section.
  EXPECT_EQ(ReadSettingsSection("Moon"), (SettingsTable{{"Last", "no line end"}}));
  EXPECT_EQ(ReadSettingsSection("Other").size(), 3u);

  // Text mode ends the file at a Ctrl-Z.
  folder.Write("Nightglass.ini", "A = 1\nB = 2\x1a" "3\nC = 4\n");
  EXPECT_EQ(ReadAllSettings(), (SettingsTable{{"A", "1"}, {"B", "2"}}));
}

TEST(SettingsReader, LookupTakesTheFirstPlaceThatOpens) {
  GameFolder folder;
  EXPECT_TRUE(ReadAllSettings().empty());
  EXPECT_FALSE(ForEachSettingsLine([](std::string_view) { ADD_FAILURE() << "no file to read"; }));

  folder.Write("scripts/Nightglass.ini", "From = scripts\n");
  EXPECT_EQ(ReadAllSettings().at("From"), "scripts");
  folder.Write("plugins/Nightglass.ini", "From = plugins\n");
  EXPECT_EQ(ReadAllSettings().at("From"), "plugins");
  folder.Write("Nightglass.ini", "Other = top\n");
  EXPECT_EQ(ReadAllSettings(), (SettingsTable{{"Other", "top"}}));

  // Places that are not regular files are passed over; a FIFO would block a plain open.
  fs::remove("Nightglass.ini");
  fs::create_directory("Nightglass.ini");
  fs::remove("plugins/Nightglass.ini");
  ASSERT_EQ(mkfifo("plugins/Nightglass.ini", 0600), 0);
  EXPECT_EQ(ReadAllSettings().at("From"), "scripts");
}

TEST(SettingsReader, HostileBytesAreReadAsText) {
  GameFolder folder;
  const std::string nul_key("K\0ey", 4);
  const std::string nul_value("va\0lue", 6);
  const std::string long_value(1 << 20, 'x');
  folder.Write("Nightglass.ini", nul_key + " = " + nul_value + "\n" + std::string(3, '\0') +
                                     "\nLong = " + long_value + "\nNoEnd = " + long_value);
  const SettingsTable expected = {{nul_key, nul_value}, {"Long", long_value}, {"NoEnd", long_value}};
  EXPECT_EQ(ReadAllSettings(), expected);

  // Binary garbage: whatever is stored must have come through the grammar.
  std::mt19937 random(20240611);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) {
    c = static_cast<char>(random());
    if (c == '\x1a') c = '\n';  // keep the whole file in play
  }
  folder.Write("Nightglass.ini", garbage);
  const SettingsTable table = ReadAllSettings();
  EXPECT_GT(table.size(), 100u);
  for (const auto& [key, value] : table) {
    for (const std::string& text : {key, value}) {
      ASSERT_EQ(text.find_first_of(";\n"), std::string::npos);
      if (text.empty()) continue;
      ASSERT_TRUE(text.front() != ' ' && text.front() != '\t' && text.back() != ' ' && text.back() != '\t');
    }
    ASSERT_EQ(key.find('='), std::string::npos);
  }
}

TEST(SettingsReader, LinesStraddlingReadChunksArriveWhole) {
  GameFolder folder;
  // Lines of 1 to 200 000 bytes, each with a CR LF end, so that line ends and CR LF pairs fall on
  // every kind of boundary of the reader's chunks.
  std::vector<std::string> lines;
  std::string file;
  for (size_t length = 1; length < 200000; length = length * 3 + 1) {
    for (size_t shift = 0; shift < 3; ++shift) {
      lines.push_back(std::string(length + shift, static_cast<char>('a' + lines.size() % 26)));
      file += lines.back() + "\r\n";
    }
  }
  folder.Write("Nightglass.ini", file);
  std::vector<std::string> seen;
  EXPECT_TRUE(ForEachSettingsLine([&seen](std::string_view line) { seen.emplace_back(line); }));
  EXPECT_EQ(seen, lines);
}

}  // namespace

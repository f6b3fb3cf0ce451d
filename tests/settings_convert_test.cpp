#include "settings/convert.h"
#include "settings/key_table.h"

#include <gtest/gtest.h>

#include "tests/conversion_oracle.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(ParseInt, ReadsTheLeadingDecimalNumberOrFailsWithTheClassicMessages) {
  EXPECT_EQ(ParseInt("12abc"), 12);
  EXPECT_EQ(ParseInt("1.9"), 1);
  EXPECT_EQ(ParseInt("0x10"), 0);
  EXPECT_EQ(ParseInt(" \t\v-0017,5"), -17);
  EXPECT_EQ(ParseInt("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ErrorOf(ParseInt, ""), "invalid stoi argument");
  EXPECT_EQ(ErrorOf(ParseInt, "+ 1"), "invalid stoi argument");
  EXPECT_EQ(ErrorOf(ParseInt, "2147483648"), "stoi argument out of range");
  EXPECT_EQ(ErrorOf(ParseInt, "-2147483649"), "stoi argument out of range");
  EXPECT_EQ(ErrorOf(ParseInt, std::string(1 << 20, '9')), "stoi argument out of range");
  // A flag is a number, not a word.
  EXPECT_TRUE(ParseFlag("-3 apples"));
  EXPECT_FALSE(ParseFlag("0"));
  EXPECT_EQ(ErrorOf(ParseFlag, "true"), "invalid stoi argument");
}

TEST(ParseFloat, ReadsStrtofSyntaxOrFailsWithTheClassicMessages) {
  EXPECT_EQ(ParseFloat("2.5x"), 2.5f);
  EXPECT_EQ(ParseFloat("1,5"), 1.0f);
  EXPECT_EQ(ParseFloat("-0X1.8p1"), -3.0f);
  EXPECT_EQ(ParseFloat("0xinf"), 0.0f);  // no hexadecimal digit: the "0" alone
  EXPECT_EQ(ParseFloat("-Infinity"), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(ParseFloat("nan")));
  // A subnormal result is a value, not a range error.
  EXPECT_EQ(ParseFloat("1e-45"), std::numeric_limits<float>::denorm_min());
  for (const char* text : {"", ".", "--1", "+-1", "e5", "true"}) {
    EXPECT_EQ(ErrorOf(ParseFloat, text), "invalid stof argument") << '"' << text << '"';
  }
  for (const char* text : {"1e39", "-1e39", "1e-50", "0x1p128", "0x1p-151"}) {
    EXPECT_EQ(ErrorOf(ParseFloat, text), "stof argument out of range") << text;
  }
}

TEST(ParseLists, ReadNumbersUntilOneFailsAndReportHowMany) {
  const IntList3 full = ParseColourList(" 256\t-1\n+7 9");  // extra numbers are left unread
  EXPECT_EQ(full.count, 3);
  EXPECT_EQ(full.values, (std::array<int32_t, 3>{256, -1, 7}));
  const IntList3 commas = ParseColourList("255,128,0");  // the comma stops the stream
  EXPECT_EQ(commas.count, 1);
  EXPECT_EQ(commas.values, (std::array<int32_t, 3>{255, 0, 0}));
  EXPECT_EQ(ParseColourList("10 20").count, 2);
  EXPECT_EQ(ParseColourList("1 99999999999 3").count, 1);  // an overflowing read fails

  const FloatList3 vector = ParseVectorList("-1.0 2.5e1 .3x");
  EXPECT_EQ(vector.count, 3);
  EXPECT_EQ(vector.values, (std::array<float, 3>{-1.0f, 25.0f, 0.3f}));
  EXPECT_EQ(ParseVectorList("1,2,3").count, 1);
  EXPECT_EQ(ParseVectorList("1e 2 3").count, 0);  // the "e" is taken and leaves no number
  EXPECT_EQ(ParseVectorList("inf 1 2").count, 0);
  EXPECT_EQ(ParseVectorList("1 1e39 3").count, 1);
  EXPECT_EQ(ParseVectorList("1e-50 2").values[0], 0.0f);  // too small reads as zero
}

// Settings of every kind a key table converts into, and a table of their keys.
enum class Pattern : int32_t { kZero, kOne };
struct Sample {
  int32_t missing = -1;
  uint32_t a = 0;
  float b = -1;
  std::array<uint8_t, 3> rgb = {1, 2, 3};
  struct Part {
    std::array<float, 3> xyz = {9, 9, 9};
    Pattern pattern = Pattern::kZero;
  } part;
  bool c = false;
  int32_t d = -1;
};
constexpr std::array kSampleKeys{
    Key<&Sample::missing>("Missing"),
    Key<&Sample::a>("A"),
    Key<&Sample::b>("B"),
    Key<&Sample::rgb>("Rgb"),
    Key<&Sample::part, &Sample::Part::xyz>("Xyz"),
    Key<&Sample::part, &Sample::Part::pattern>("Pattern", ValueRange::kPattern),
    Key<&Sample::c>("C"),
    Key<&Sample::d>("D")};

TEST(KeyTable, ConvertsByWhatEachKeyGoesIntoAndStopsOrGoesOnAfterABadValue) {
  const SettingsTable table = {{"A", "-1"},    {"B", "2.5"}, {"Rgb", "256 -1"}, {"Xyz", "1 2"},
                               {"Pattern", "7"}, {"C", "true"}, {"D", "7"}};
  static_assert(KeyNames(kSampleKeys)[4] == "Xyz" && KeyInfos(kSampleKeys)[5].range == ValueRange::kPattern);
  for (const OnBadValue on_bad : {OnBadValue::kStop, OnBadValue::kGoOn}) {
    Sample s;
    ConvertKeys(kSampleKeys, table, s, on_bad);
    EXPECT_EQ(s.missing, -1);
    EXPECT_EQ(s.a, 0xFFFFFFFFu);  // kept as its 32-bit pattern
    EXPECT_EQ(s.b, 2.5f);
    EXPECT_EQ(s.rgb, (std::array<uint8_t, 3>{0, 255, 3}));  // low 8 bits; an unread channel keeps its
    EXPECT_EQ(s.part.xyz, (std::array<float, 3>{1, 2, 0}));  // the components not read are 0
    EXPECT_EQ(s.part.pattern, static_cast<Pattern>(7));     // any number
    EXPECT_FALSE(s.c);
    // "true" is no number: a stopping loader converts nothing after it.
    EXPECT_EQ(s.d, on_bad == OnBadValue::kStop ? -1 : 7);
  }
}

// What a settings observer hears, one line per report; a converted text is named by the key whose
// value in the table it is, as the checker names it.
class ObserverLog final : public SettingsObserver {
 public:
  explicit ObserverLog(const SettingsTable& table) : table_(table) { SetSettingsObserver(this); }
  ~ObserverLog() { SetSettingsObserver(nullptr); }
  void KeyAsked(std::string_view key, const std::string* text, bool stopped) noexcept override {
    lines.push_back("asked " + std::string(key) + (text ? "=" + *text : "") + (stopped ? " after the stop" : ""));
  }
  void ValueConverted(const std::string& text, SettingsValueKind kind, const char* error) noexcept override {
    std::string key = "(not in the table)";
    for (const auto& [name, value] : table_) {
      if (&value == &text) key = name;
    }
    lines.push_back("converted " + key + " as " + std::to_string(static_cast<int>(kind)) +
                    (error ? std::string(": ") + error : ""));
  }
  std::vector<std::string> lines;

 private:
  const SettingsTable& table_;
};

TEST(KeyConverter, ObserverHearsEveryKeyAskedAndEveryConversionAndChangesNothing) {
  const SettingsTable table = {{"A", "4"}, {"B", "x"}, {"C", "9"}, {"Rgb", "1 2"}};
  int32_t a = 0, b = 0, c = 0;
  std::array<uint8_t, 3> rgb = {7, 7, 7};
  ObserverLog log(table);
  KeyConverter convert;
  convert.Convert("Rgb", FindValue(table, "Rgb"), rgb);
  convert.Convert("Missing", FindValue(table, "Missing"), a);
  convert.Convert("A", FindValue(table, "A"), a);
  convert.Convert("B", FindValue(table, "B"), b);
  convert.Convert("C", FindValue(table, "C"), c);
  ParseFloat(std::string("5"));
  const std::vector<std::string> expected = {
      "asked Rgb=1 2", "converted Rgb as 2", "asked Missing", "asked A=4", "converted A as 0",
      "asked B=x", "converted B as 0: invalid stoi argument", "asked C=9 after the stop",
      "converted (not in the table) as 1"};
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(a, 4);
  EXPECT_EQ(c, 0);  // still not converted after the stop
  EXPECT_EQ(rgb, (std::array<uint8_t, 3>{1, 2, 7}));
}

// The lists must read exactly as a classic-locale stream does.
TEST(ParseLists, AgreeWithTheStandardStream) {
  for (const std::string& text : NumberLikeTexts()) {
    const std::vector<int32_t> expected_ints = StreamNumbers<int32_t>(text);
    const IntList3 got_ints = ParseColourList(text);
    ASSERT_EQ(got_ints.count, static_cast<int>(expected_ints.size())) << '"' << text << '"';
    for (int i = 0; i < got_ints.count; ++i) ASSERT_EQ(got_ints.values[i], expected_ints[i]);

    const std::vector<float> expected_floats = StreamNumbers<float>(text);
    const FloatList3 got_floats = ParseVectorList(text);
    ASSERT_EQ(got_floats.count, static_cast<int>(expected_floats.size())) << '"' << text << '"';
    for (int i = 0; i < got_floats.count; ++i) {
      ASSERT_EQ(got_floats.values[i], expected_floats[i]) << '"' << text << '"';
    }
  }
}

// ParseInt and ParseFloat must agree with the C library's strtol and strtof, except that a
// subnormal result (for which strtof also reports a range error) is a value.
TEST(ParseNumbers, AgreeWithTheCLibrary) {
  for (const std::string& text : NumberLikeTexts()) {
    long expected_int = 0;
    const std::string int_error = StrtolExpectation(text, &expected_int);
    ASSERT_EQ(ErrorOf(ParseInt, text), int_error) << '"' << text << '"';
    if (int_error.empty()) {
      ASSERT_EQ(ParseInt(text), expected_int) << '"' << text << '"';
    }

    float expected_float = 0;
    const std::string float_error = StrtofExpectation(text, &expected_float);
    ASSERT_EQ(ErrorOf(ParseFloat, text), float_error) << '"' << text << '"';
    if (!float_error.empty()) continue;
    const float got = ParseFloat(text);
    if (std::isnan(expected_float)) {
      ASSERT_TRUE(std::isnan(got)) << '"' << text << '"';
    } else {
      ASSERT_EQ(got, expected_float) << '"' << text << '"';
    }
  }
}

// Where a value's number ends, as tools are told, is where the C library's strtol and strtof and a
// classic-locale stream stop reading it.
TEST(ReadLengths, AgreeWithTheCLibraryAndTheStream) {
  const auto stream_ends = [](const std::string& text, auto value) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    std::vector<size_t> ends;
    while (ends.size() < 3 && in >> value) ends.push_back(in.eof() ? text.size() : static_cast<size_t>(in.tellg()));
    return ends;
  };
  for (const std::string& text : NumberLikeTexts()) {
    char* end = nullptr;
    std::strtol(text.c_str(), &end, 10);
    ASSERT_EQ(IntPrefixLength(text), static_cast<size_t>(end - text.c_str())) << '"' << text << '"';
    std::strtof(text.c_str(), &end);
    ASSERT_EQ(FloatPrefixLength(text), static_cast<size_t>(end - text.c_str())) << '"' << text << '"';

    const std::vector<size_t> int_ends = stream_ends(text, int32_t{});
    const ListReadSpans ints = ColourListSpans(text);
    ASSERT_EQ(ints.count, static_cast<int>(int_ends.size())) << '"' << text << '"';
    for (int i = 0; i < ints.count; ++i) ASSERT_EQ(ints.end[i], int_ends[i]) << '"' << text << '"';
    const std::vector<size_t> float_ends = stream_ends(text, 0.0f);
    const ListReadSpans floats = VectorListSpans(text);
    ASSERT_EQ(floats.count, static_cast<int>(float_ends.size())) << '"' << text << '"';
    for (int i = 0; i < floats.count; ++i) ASSERT_EQ(floats.end[i], float_ends[i]) << '"' << text << '"';
  }
}

}  // namespace

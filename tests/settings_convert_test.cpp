#include "settings/convert.h"

#include <gtest/gtest.h>

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

// The message of the conversion error `text` raises in `parse`, or "" when it raises none.
template <typename Parse>
std::string ErrorOf(Parse parse, const std::string& text) {
  try {
    parse(text);
  } catch (const SettingsConversionError& error) {
    return error.what();
  }
  return "";
}

TEST(ParseInt, ReadsTheLeadingDecimalNumberAndIgnoresTheRest) {
  EXPECT_EQ(ParseInt("12abc"), 12);
  EXPECT_EQ(ParseInt("1.9"), 1);
  EXPECT_EQ(ParseInt("0x10"), 0);
  EXPECT_EQ(ParseInt("1,5"), 1);
  EXPECT_EQ(ParseInt(" \t\v+42"), 42);
  EXPECT_EQ(ParseInt("-0017"), -17);
  EXPECT_EQ(ParseInt("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ParseInt(std::string("7\0" "9", 3)), 7);
}

TEST(ParseInt, FailsWithTheClassicMessages) {
  for (const char* text : {"", "abc", "-", "+ 1", "--1", "true", ".5"}) {
    EXPECT_EQ(ErrorOf(ParseInt, text), "invalid stoi argument") << '"' << text << '"';
  }
  for (const char* text : {"2147483648", "-2147483649", "99999999999999999999999999", "-4294967296"}) {
    EXPECT_EQ(ErrorOf(ParseInt, text), "stoi argument out of range") << text;
  }
  EXPECT_EQ(ErrorOf(ParseInt, std::string(1 << 20, '9')), "stoi argument out of range");
}

TEST(ParseFlag, IsNonZeroAndRejectsWords) {
  EXPECT_FALSE(ParseFlag("0"));
  EXPECT_TRUE(ParseFlag("1"));
  EXPECT_TRUE(ParseFlag("-3 apples"));
  EXPECT_EQ(ErrorOf(ParseFlag, "true"), "invalid stoi argument");
}

TEST(ParseFloat, ReadsDecimalHexadecimalAndSpecialValues) {
  EXPECT_EQ(ParseFloat("2.5x"), 2.5f);
  EXPECT_EQ(ParseFloat("1,5"), 1.0f);
  EXPECT_EQ(ParseFloat("  -.5e1"), -5.0f);
  EXPECT_EQ(ParseFloat("1e"), 1.0f);  // an exponent without digits is not part of the number
  EXPECT_EQ(ParseFloat("0.1"), 0.1f);
  EXPECT_EQ(ParseFloat("0x10"), 16.0f);
  EXPECT_EQ(ParseFloat("-0X1.8p1"), -3.0f);
  EXPECT_EQ(ParseFloat("0x.8"), 0.5f);
  EXPECT_EQ(ParseFloat("0xg"), 0.0f);    // no hexadecimal digit: the "0" alone
  EXPECT_EQ(ParseFloat("0xinf"), 0.0f);
  EXPECT_EQ(ParseFloat("inf"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(ParseFloat("-Infinity"), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(ParseFloat("nan")));
  EXPECT_TRUE(std::isnan(ParseFloat("NAN(12)")));
  EXPECT_EQ(ParseFloat("3.4028235e38"), std::numeric_limits<float>::max());
  // Subnormal results are values, not range errors.
  EXPECT_EQ(ParseFloat("1e-45"), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(ParseFloat("0x1p-149"), std::numeric_limits<float>::denorm_min());
}

TEST(ParseFloat, FailsWithTheClassicMessages) {
  for (const char* text : {"", "  ", "x", ".", "-.", "--1", "+-1", "e5", "- 1", "true"}) {
    EXPECT_EQ(ErrorOf(ParseFloat, text), "invalid stof argument") << '"' << text << '"';
  }
  for (const char* text : {"1e39", "-1e39", "3.4028236e38", "1e-50", "-7e-46", "0x1p128", "0x1p-151"}) {
    EXPECT_EQ(ErrorOf(ParseFloat, text), "stof argument out of range") << text;
  }
}

TEST(ParseColourList, ReadsWhiteSpaceSeparatedIntegersUntilOneFails) {
  struct Case {
    const char* text;
    int count;
    std::array<int32_t, 3> values;
  };
  const Case cases[] = {
      {"255 128 0", 3, {255, 128, 0}},
      {" \t255\t128\n0 ", 3, {255, 128, 0}},
      {"255,128,0", 1, {255, 0, 0}},  // the comma stops the stream
      {"255, 128, 0", 1, {255, 0, 0}},
      {"10 20", 2, {10, 20, 0}},
      {"1 2 3 4", 3, {1, 2, 3}},
      {"256 -1 +7", 3, {256, -1, 7}},
      {"1.5 2 3", 1, {1, 0, 0}},
      {"1 99999999999 3", 1, {1, 0, 0}},  // an overflowing read fails the stream
      {"red", 0, {0, 0, 0}},
      {"", 0, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    const IntList3 list = ParseColourList(c.text);
    EXPECT_EQ(list.count, c.count) << c.text;
    EXPECT_EQ(list.values, c.values) << c.text;
  }
}

TEST(ParseVectorList, ReadsWhiteSpaceSeparatedFloatsInStreamSyntax) {
  struct Case {
    const char* text;
    int count;
    std::array<float, 3> values;
  };
  const Case cases[] = {
      {"-1.0 2.5 0.3", 3, {-1.0f, 2.5f, 0.3f}},
      {"1 0", 2, {1, 0, 0}},
      {"1,2,3", 1, {1, 0, 0}},
      {"+.5 5. 1e2x", 3, {0.5f, 5, 100}},
      {"1e 2 3", 0, {0, 0, 0}},      // the "e" is taken and leaves no number
      {"1e+ 2 3", 0, {0, 0, 0}},
      {"1 1e39 3", 1, {1, 0, 0}},    // overflow fails the read
      {"1e-50 -1e-50 1e-45", 3, {0, -0.0f, std::numeric_limits<float>::denorm_min()}},
      {"0x10 1 2", 1, {0, 0, 0}},    // "0", then "x" stops the stream
      {"inf 1 2", 0, {0, 0, 0}},
      {"1.2.3", 2, {1.2f, 0.3f, 0}},   // each read starts where the last one stopped
      {"1e5.5 2", 3, {1e5f, 0.5f, 2}},
      {"- 1", 0, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    const FloatList3 list = ParseVectorList(c.text);
    EXPECT_EQ(list.count, c.count) << c.text;
    EXPECT_EQ(list.values, c.values) << c.text;
  }
  EXPECT_TRUE(std::signbit(ParseVectorList("-1e-50").values[0]));
}

TEST(KeyConverter, FirstErrorEndsTheConversionsAndKeepsEarlierValues) {
  const SettingsTable table = {{"A", "5"}, {"B", "2.5"}, {"C", "true"}, {"D", "7"}, {"E", "1"}};
  int32_t a = -1, d = -1, missing = -1;
  float b = -1;
  bool c = false, e = false;
  KeyConverter convert(table);
  convert.Int("Missing", missing);
  convert.Int("A", a);
  convert.Float("B", b);
  EXPECT_FALSE(convert.Stopped());
  convert.Flag("C", c);
  convert.Int("D", d);
  convert.Flag("E", e);
  EXPECT_TRUE(convert.Stopped());
  EXPECT_EQ(missing, -1);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 2.5f);
  EXPECT_FALSE(c);
  EXPECT_EQ(d, -1);
  EXPECT_FALSE(e);
}

TEST(KeyConverter, StoresBitPatternsAndLowColourBits) {
  const SettingsTable table = {{"Time", "-1"}, {"Full", "256 -1 511"}, {"Part", "10,20,30"}};
  uint32_t time = 0;
  std::array<uint8_t, 3> full = {1, 2, 3};
  std::array<uint8_t, 3> part = {1, 2, 3};
  KeyConverter convert(table);
  convert.Uint("Time", time);
  convert.Colour("Full", full);
  convert.Colour("Part", part);
  EXPECT_EQ(time, 0xFFFFFFFFu);
  EXPECT_EQ(full, (std::array<uint8_t, 3>{0, 255, 255}));
  EXPECT_EQ(part, (std::array<uint8_t, 3>{10, 2, 3}));  // channels without a number keep theirs
  EXPECT_FALSE(convert.Stopped());
}

// Random texts from the characters that matter to number syntax, and the tricky ones written out.
std::vector<std::string> NumberLikeTexts() {
  std::vector<std::string> texts = {"", " ", "+", "-", ".", "e", "1e", "1e+", "-.e1", "0x", "00.5",
                                    "1..2", "+-1", "2147483648", "-2147483648", "1e-45", "7e-46",
                                    "3.4028235e38", "3.4028236e38", "1e39 1", "9e-39 2", "0x1p-150", "0x.8p-148", "nan(x)", "infinit", "0x1.fffffffp127"};
  const std::string alphabet = "0123456789+-.eE ,\t1x0xpPafinINy(";
  std::mt19937 random(11);
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 12, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    texts.push_back(text);
  }
  return texts;
}

// The lists must read exactly as a classic-locale stream does.
TEST(ParseLists, AgreeWithTheStandardStream) {
  for (const std::string& text : NumberLikeTexts()) {
    std::istringstream ints(text);
    ints.imbue(std::locale::classic());
    IntList3 expected_ints;
    while (expected_ints.count < 3 && ints >> expected_ints.values[expected_ints.count]) {
      ++expected_ints.count;
    }
    const IntList3 got_ints = ParseColourList(text);
    ASSERT_EQ(got_ints.count, expected_ints.count) << '"' << text << '"';
    for (int i = 0; i < got_ints.count; ++i) ASSERT_EQ(got_ints.values[i], expected_ints.values[i]);

    std::istringstream floats(text);
    floats.imbue(std::locale::classic());
    FloatList3 expected_floats;
    while (expected_floats.count < 3 && floats >> expected_floats.values[expected_floats.count]) {
      ++expected_floats.count;
    }
    const FloatList3 got_floats = ParseVectorList(text);
    ASSERT_EQ(got_floats.count, expected_floats.count) << '"' << text << '"';
    for (int i = 0; i < got_floats.count; ++i) {
      ASSERT_EQ(got_floats.values[i], expected_floats.values[i]) << '"' << text << '"';
    }
  }
}

// ParseInt and ParseFloat must agree with the C library's strtol and strtof, except that a
// subnormal result (for which strtof also reports a range error) is a value.
TEST(ParseNumbers, AgreeWithTheCLibrary) {
  for (const std::string& text : NumberLikeTexts()) {
    char* end = nullptr;
    errno = 0;
    const long expected_int = std::strtol(text.c_str(), &end, 10);
    const std::string int_error = end == text.c_str() ? "invalid stoi argument"
                                  : errno == ERANGE   ? "stoi argument out of range"
                                                      : "";
    ASSERT_EQ(ErrorOf(ParseInt, text), int_error) << '"' << text << '"';
    if (int_error.empty()) {
      ASSERT_EQ(ParseInt(text), expected_int) << '"' << text << '"';
    }

    errno = 0;
    const float expected_float = std::strtof(text.c_str(), &end);
    const bool subnormal = expected_float != 0 && std::fpclassify(expected_float) == FP_SUBNORMAL;
    const std::string float_error = end == text.c_str()                 ? "invalid stof argument"
                                    : errno == ERANGE && !subnormal ? "stof argument out of range"
                                                                    : "";
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

}  // namespace

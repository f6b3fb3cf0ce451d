// The settings conversions and the file reader, checked on the Windows toolchain, where there is
// no test framework: prints "N passed, N failed" and exits non-zero on any failure. The number
// rules must give the same results as on Linux, so the checks are the same cases the unit tests
// use, plus the same random texts compared with this C runtime's strtol/strtof and this standard
// library's stream.
#include <direct.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>

#include "settings/convert.h"
#include "settings/reader.h"
#include "tests/conversion_oracle.h"

namespace {

int passed = 0;
int failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

void CheckNamedCases() {
  Check(ParseInt("12abc") == 12 && ParseInt("1.9") == 1 && ParseInt("0x10") == 0, "ParseInt prefixes");
  Check(ParseInt("-2147483648") == std::numeric_limits<int32_t>::min(), "ParseInt minimum");
  Check(ErrorOf(ParseInt, "") == "invalid stoi argument", "ParseInt empty");
  Check(ErrorOf(ParseInt, "2147483648") == "stoi argument out of range", "ParseInt too large");
  Check(ErrorOf(ParseInt, "-2147483649") == "stoi argument out of range", "ParseInt too small");
  Check(ErrorOf(ParseFlag, "true") == "invalid stoi argument", "flag word");
  Check(ParseFloat("2.5x") == 2.5f && ParseFloat("1,5") == 1.0f, "ParseFloat prefixes");
  Check(ParseFloat("-0x1.8p1") == -3.0f && ParseFloat("0xinf") == 0.0f, "ParseFloat hexadecimal");
  Check(ParseFloat("inf") == std::numeric_limits<float>::infinity(), "ParseFloat inf");
  Check(std::isnan(ParseFloat("nan")), "ParseFloat nan");
  Check(ParseFloat("1e-45") == std::numeric_limits<float>::denorm_min(), "ParseFloat subnormal");
  Check(ErrorOf(ParseFloat, "") == "invalid stof argument", "ParseFloat empty");
  for (const char* text : {"1e39", "-1e39", "1e-50", "0x1p128"}) {
    Check(ErrorOf(ParseFloat, text) == "stof argument out of range", std::string("range ") + text);
  }
  const IntList3 commas = ParseColourList("255,128,0");
  Check(commas.count == 1 && commas.values[0] == 255, "colour with commas");
  const IntList3 wide = ParseColourList("256 -1 0 9");
  Check(wide.count == 3 && wide.values[0] == 256 && wide.values[1] == -1, "colour 256 and -1");
  Check(ParseColourList("1 99999999999 3").count == 1, "colour overflow");
  Check(ParseVectorList("1e 2 3").count == 0, "vector exponent without digits");
  const FloatList3 tiny = ParseVectorList("1e-50 1.2.3");
  Check(tiny.count == 3 && tiny.values[0] == 0 && tiny.values[2] == 0.3f, "vector tiny and dots");
}

// The same texts as the unit tests, compared with this platform's C runtime and streams.
void CheckAgainstTheRuntime() {
  int mismatches = 0;
  for (const std::string& text : NumberLikeTexts()) {
    long expected_int = 0;
    const std::string int_error = StrtolExpectation(text, &expected_int);
    bool ok = ErrorOf(ParseInt, text) == int_error && (!int_error.empty() || ParseInt(text) == expected_int);

    float expected_float = 0;
    const std::string float_error = StrtofExpectation(text, &expected_float);
    ok = ok && ErrorOf(ParseFloat, text) == float_error &&
         (!float_error.empty() || SameFloat(ParseFloat(text), expected_float));

    const std::vector<int32_t> ints = StreamNumbers<int32_t>(text);
    const IntList3 colour = ParseColourList(text);
    ok = ok && colour.count == static_cast<int>(ints.size());
    for (int i = 0; ok && i < colour.count; ++i) ok = colour.values[i] == ints[i];

    const std::vector<float> floats = StreamNumbers<float>(text);
    const FloatList3 vector = ParseVectorList(text);
    ok = ok && vector.count == static_cast<int>(floats.size());
    for (int i = 0; ok && i < vector.count; ++i) ok = SameFloat(vector.values[i], floats[i]);

    if (!ok && ++mismatches <= 10) std::printf("mismatch on \"%s\"\n", text.c_str());
  }
  Check(mismatches == 0, "random texts agree with the runtime");
}

void Write(const char* path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void CheckReader() {
  _mkdir("settings_check_folder");
  if (_chdir("settings_check_folder") != 0) {
    Check(false, "enter a scratch folder");
    return;
  }
  Check(ReadAllSettings().empty(), "no file, empty table");
  _mkdir("scripts");
  Write("scripts\\Nightglass.ini",
        "\xEF\xBB\xBF[Moon]\r\nA = 1 ; note\r\n[Moon]\r\nB = x=y\r\nC = 3\x1a\r\nD = 4\r\n");
  const SettingsTable all = ReadAllSettings();
  Check(all == SettingsTable{{"A", "1"}, {"B", "x=y"}, {"C", "3"}}, "scripts copy, CR LF, Ctrl-Z");
  Check(ReadSettingsSection("Moon") == SettingsTable{{"B", "x=y"}, {"C", "3"}}, "marked header not a header");
  _mkdir("plugins");
  Write("plugins\\Nightglass.ini", "From = plugins\n");
  Check(ReadAllSettings() == SettingsTable{{"From", "plugins"}}, "plugins before scripts");
  _mkdir("Nightglass.ini");  // a folder of that name does not open
  Check(ReadAllSettings() == SettingsTable{{"From", "plugins"}}, "a folder is passed over");
  _rmdir("Nightglass.ini");
  Write("Nightglass.ini", std::string("K\0 = v", 6) + "\nLong = " + std::string(1 << 20, 'x'));
  const SettingsTable hostile = ReadAllSettings();
  Check(hostile.size() == 2 && hostile.at("Long").size() == (1u << 20), "NUL byte and a long line");

  std::remove("Nightglass.ini");
  std::remove("plugins\\Nightglass.ini");
  std::remove("scripts\\Nightglass.ini");
  _rmdir("plugins");
  _rmdir("scripts");
  _chdir("..");
  _rmdir("settings_check_folder");
}

}  // namespace

int main() {
  CheckNamedCases();
  CheckAgainstTheRuntime();
  CheckReader();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

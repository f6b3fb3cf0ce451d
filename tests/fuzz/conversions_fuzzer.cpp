// The value conversions over arbitrary text: ParseInt and ParseFloat must agree with the C
// library's strtol and strtof (the 32-bit range for integers, on any machine), the colour and
// vector lists with a classic-locale stream, and no conversion may do anything but return a value
// or raise SettingsConversionError.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "settings/convert.h"
#include "tests/conversion_oracle.h"

namespace {

// strtol's verdict for a 32-bit integer, also where long has 64 bits.
std::string Int32Expectation(const std::string& text, long* value) {
  std::string error = StrtolExpectation(text, value);
  if (error.empty() && (*value < INT32_MIN || *value > INT32_MAX)) error = "stoi argument out of range";
  return error;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The C library reads up to the first NUL; so do these, which stop at any byte no number holds.
  const std::string c_text(text.c_str());

  long expected_int = 0;
  const std::string int_error = Int32Expectation(c_text, &expected_int);
  fuzz::Require(ErrorOf(ParseInt, text) == int_error, "ParseInt fails as strtol does");
  if (int_error.empty()) fuzz::Require(ParseInt(text) == expected_int, "ParseInt reads as strtol");
  fuzz::Require(ErrorOf(ParseFlag, text) == int_error, "a flag fails as its integer does");

  float expected_float = 0;
  const std::string float_error = StrtofExpectation(c_text, &expected_float);
  fuzz::Require(ErrorOf(ParseFloat, text) == float_error, "ParseFloat fails as strtof does");
  if (float_error.empty())
    fuzz::Require(SameFloat(ParseFloat(text), expected_float), "ParseFloat reads as strtof");

  const std::vector<int32_t> ints = StreamNumbers<int32_t>(text);
  const IntList3 colour = ParseColourList(text);
  fuzz::Require(colour.count == static_cast<int>(ints.size()), "a colour list reads as a stream");
  for (int i = 0; i < colour.count; ++i)
    fuzz::Require(colour.values[i] == ints[i], "a colour list reads as a stream");

  const std::vector<float> floats = StreamNumbers<float>(text);
  const FloatList3 vector = ParseVectorList(text);
  fuzz::Require(vector.count == static_cast<int>(floats.size()), "a vector list reads as a stream");
  for (int i = 0; i < vector.count; ++i)
    fuzz::Require(SameFloat(vector.values[i], floats[i]), "a vector list reads as a stream");
  return 0;
}

// Text for the checker's messages: file text quoted so that any bytes stay readable, and the known
// key closest to a mistyped one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// `text` in double quotes, readable whatever its bytes: a quote or backslash escaped, control
// characters, a byte-order mark and bytes that are not UTF-8 written as \xHH.
std::string Quoted(const std::string& text);

// The same without the quotes.
std::string Printable(const std::string& text);

// The closest of `candidates` to `key` by edit distance, ignoring case, when close enough to be a
// likely typo; empty otherwise.
std::string ClosestKey(const std::string& key, const std::vector<std::string>& candidates);

// ASCII letters in lower case, other bytes unchanged.
std::string Lower(std::string_view text);

// Edit distance counting an exchange of two neighbouring characters as one edit.
size_t EditDistance(std::string_view a, std::string_view b);

// What the plugin's conversion error `error` ("invalid stoi argument" and the like) says of the
// value `value`, for modders: "is not a number", "is too large for a whole number ...".
std::string ConversionProblem(const std::string& error, const std::string& value);

// "first", "second", "third" for 0, 1, 2.
const char* Ordinal(int index);

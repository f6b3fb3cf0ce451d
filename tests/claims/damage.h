// Damaged variants of a settings file, made as modders damage theirs: typos in keys and section
// names, values that are not numbers or are read only in part, lists with commas or too few
// numbers, repeated and conflicting keys, keys moved to other sections, model sections switched on,
// copied or left without a model, custom light numbers written two ways, a fixed light without its
// Offset, stray lines. Each variant comes from its seed alone, the same on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace claims {

struct Variant {
  std::string text;
  std::vector<std::string> damages;  // what was done, in order, for a report
};

// Variant `seed` of `original` (a file of LF-ended lines).
Variant Damage(const std::string& original, uint32_t seed);

// A file as its lines without their line ends, and lines as a file of LF-ended lines.
std::vector<std::string> SplitLines(const std::string& text);
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace claims

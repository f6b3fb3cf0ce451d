#include "settings/line_splitter.h"

#include <emmintrin.h>

#include <cstdint>

namespace {

constexpr size_t kBlock = 16;

// Bits of the bytes of `block` that are ';' and '=', one per byte.
void MarkBlock(const char* block, uint32_t& semicolons, uint32_t& equal_signs) noexcept {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  semicolons = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(';'))));
  equal_signs = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('='))));
}

// Where the first ";" and the first "=" stand in `line` (its size for one it does not hold), found
// 16 bytes at a time: a settings line is short, and most of its bytes are neither. The last block
// is the line's last 16 bytes, so that nothing past the line is read; a line shorter than a block
// is looked at byte by byte.
void FindCommentAndEquals(std::string_view line, size_t& comment, size_t& equals) noexcept {
  const size_t size = line.size();
  comment = equals = size;
  if (size < kBlock) {
    for (size_t at = 0; at < size; ++at) {
      if (line[at] == '=' && equals == size) equals = at;
      if (line[at] == ';') {
        comment = at;
        return;
      }
    }
    return;
  }
  for (size_t at = 0;; at += kBlock) {
    const bool last = size - at <= kBlock;
    const size_t from = last ? size - kBlock : at;
    // The last block may reach back over bytes already looked at: they hold no ";", and a "=" among
    // them was found already.
    uint32_t semicolons = 0, equal_signs = 0;
    MarkBlock(line.data() + from, semicolons, equal_signs);
    if (equals == size && equal_signs != 0) equals = from + __builtin_ctz(equal_signs);
    if (semicolons != 0) {
      comment = from + __builtin_ctz(semicolons);
      return;
    }
    if (last) return;
  }
}

}  // namespace

SettingsLine SplitSettingsLine(std::string_view line) noexcept {
  SettingsLine result;
  size_t comment = 0, equals = 0;
  FindCommentAndEquals(line, comment, equals);

  // A ";" anywhere, also inside a value, starts a comment that runs to the line end.
  line = line.substr(0, comment);
  const size_t first = FirstNonBlank(line);

  // A "[name]" line, once trimmed, is a section header.
  if (first < line.size() && line[first] == '[') {
    const std::string_view trimmed = TrimSettingsBlanks(line.substr(first));
    if (trimmed.size() >= 2 && trimmed.back() == ']') {
      result.is_header = true;
      result.section = trimmed.substr(1, trimmed.size() - 2);
    }
  }

  // A line with "=" before its comment is an entry, split at the first one. The "=" is no blank,
  // so the key's first character is the line's.
  if (equals < comment) {
    result.is_entry = true;
    result.key = TrimSettingsBlanks(line.substr(first, equals - first));
    result.value = TrimSettingsBlanks(line.substr(equals + 1));  // as SettingsValueAfter
  }
  return result;
}

// Labels in a tiny bitmap font of our own, and the contact sheet that tiles pictures.
#include <algorithm>
#include <cstring>

#include "tools/preview/render.h"

namespace preview {

namespace {

// 5x7 dots per character, one byte per row, the low five bits from left (bit 4) to right (bit 0).
struct Glyph {
  char character;
  uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
};

const Glyph* Find(char c) {
  for (const Glyph& glyph : kFont)
    if (glyph.character == c) return &glyph;
  return nullptr;
}

void Dot(Image& image, int x, int y, int scale, uint8_t value) {
  for (int dy = 0; dy < scale; ++dy)
    for (int dx = 0; dx < scale; ++dx) {
      const int px = x + dx, py = y + dy;
      if (px < 0 || py < 0 || px >= image.width || py >= image.height) continue;
      uint8_t* pixel = &image.rgb[3 * (static_cast<std::size_t>(py) * image.width + px)];
      pixel[0] = pixel[1] = pixel[2] = value;
    }
}

void Text(Image& image, int x, int y, int scale, const char* text, uint8_t value) {
  for (; *text != '\0'; ++text, x += 6 * scale) {
    const Glyph* glyph = Find(*text);
    if (glyph == nullptr) continue;  // anything else is a blank
    for (int row = 0; row < 7; ++row)
      for (int column = 0; column < 5; ++column)
        if (glyph->rows[row] & (0x10 >> column))
          Dot(image, x + column * scale, y + row * scale, scale, value);
  }
}

}  // namespace

void DrawLabel(Image& image, int x, int y, int scale, const char* text) {
  Text(image, x + scale, y + scale, scale, text, 0);
  Text(image, x, y, scale, text, 235);
}

Image ContactSheet(const std::vector<Image>& tiles, int columns, int gap) {
  if (tiles.empty()) return {};
  const int count = static_cast<int>(tiles.size());
  columns = std::clamp(columns, 1, count);
  const int rows = (count + columns - 1) / columns;
  const int w = tiles[0].width, h = tiles[0].height;
  Image sheet{columns * w + (columns + 1) * gap, rows * h + (rows + 1) * gap, {}};
  sheet.rgb.assign(3 * static_cast<std::size_t>(sheet.width) * sheet.height, 24);
  for (int i = 0; i < count; ++i) {
    const int left = gap + (i % columns) * (w + gap), top = gap + (i / columns) * (h + gap);
    for (int y = 0; y < h; ++y)
      std::memcpy(&sheet.rgb[3 * (static_cast<std::size_t>(top + y) * sheet.width + left)],
                  &tiles[i].rgb[3 * static_cast<std::size_t>(y) * w],
                  3 * static_cast<std::size_t>(w));
  }
  return sheet;
}

}  // namespace preview

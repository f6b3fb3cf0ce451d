#include "tools/preview/png.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace preview {

namespace {

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image) {
  std::vector<uint8_t> png;
  if (image.width <= 0 || image.height <= 0) return png;
  if (stbi_write_png_to_func(Append, &png, image.width, image.height, 3, image.rgb.data(),
                             3 * image.width) == 0)
    png.clear();
  return png;
}

}  // namespace preview

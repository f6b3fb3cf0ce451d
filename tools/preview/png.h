// PNG encoding of a picture, the same bytes on every platform (the header-only stb writer with
// its own deflate, compiled into the program).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/preview/render.h"

namespace preview {

// The PNG file's bytes; empty when the picture cannot be encoded.
std::vector<uint8_t> EncodePng(const Image& image);

}  // namespace preview

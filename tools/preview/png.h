// PNG pictures and animated PNG clips, the same bytes on every platform: the chunks are written
// here, their image data compressed with zlib (the same library version on both toolchains).
//
// A clip uses the format's own animation chunks (acTL, fcTL, fdAT). Its first frame is the
// file's ordinary image, so that a viewer that knows only PNG shows it. Every later frame holds
// only the pixels that changed since the frame before, within their bounding rectangle, laid
// over the picture (the other pixels fully transparent), so that a clip costs little more than
// what moves in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/preview/render.h"

namespace preview {

// The PNG file's bytes of an RGB picture; empty when the picture cannot be encoded.
std::vector<uint8_t> EncodePng(const Image& image);

// The PNG file's bytes of an RGBA picture (4 bytes a pixel in `rgba`, rows top to bottom).
std::vector<uint8_t> EncodePngRgba(int width, int height, const std::vector<uint8_t>& rgba);

// Writes an animated PNG frame by frame, handing its bytes to `sink` as they are made. Every
// frame is shown for `delay_numerator / delay_denominator` seconds; the clip plays in a loop.
class ApngWriter {
 public:
  using Sink = std::function<void(const uint8_t* data, std::size_t size)>;
  ApngWriter(int width, int height, uint32_t frames, uint16_t delay_numerator,
             uint16_t delay_denominator, Sink sink);

  // Adds the next frame, a picture of the clip's size. Throws std::runtime_error when more
  // frames are added than the clip was made for or the picture has another size.
  void AddFrame(const Image& picture);

  // Ends the file once every frame is in; throws std::runtime_error before.
  void Finish();

 private:
  void AddFirst(const Image& picture);
  void AddChange(const Image& picture);
  void Flush();

  int width_, height_;
  uint32_t frames_, added_ = 0;
  uint32_t sequence_ = 0;  // of the fcTL and fdAT chunks
  uint16_t delay_numerator_, delay_denominator_;
  Image previous_;
  std::vector<uint8_t> rows_;  // a frame's filtered rows, reused
  std::vector<uint8_t> out_;  // chunks not yet handed to the sink
  Sink sink_;
};

}  // namespace preview

#include "tools/preview/png.h"

#include <emmintrin.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace preview {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kColourRgb = 2, kColourRgba = 6;
constexpr uint8_t kDisposeNone = 0, kBlendSource = 0, kBlendOver = 1;

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}
void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

// A chunk: length, type, data, and the CRC of type and data.
void Chunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, std::size_t size) {
  Put32(out, static_cast<uint32_t>(size));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  Put32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(size + 4))));
}
void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  Chunk(out, type, data.data(), data.size());
}

void Header(std::vector<uint8_t>& out, int width, int height, uint8_t colour) {
  out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
  std::vector<uint8_t> ihdr;
  Put32(ihdr, static_cast<uint32_t>(width));
  Put32(ihdr, static_cast<uint32_t>(height));
  // 8 bits a channel, deflate, the five filters, no interlace.
  ihdr.insert(ihdr.end(), {8, colour, 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
}

// The zlib stream of `data`. Whole pictures take the default strategy; frames of changes, mostly
// runs of transparent pixels, take run-length matching, which is as small there and far faster,
// and uses no hash table, so that the smallest one costs least.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, int strategy) {
  z_stream stream{};
  const int memory_level = strategy == Z_RLE ? 4 : 8;
  if (deflateInit2(&stream, 6, Z_DEFLATED, 15, memory_level, strategy) != Z_OK)
    throw std::runtime_error("cannot start the compression");
  std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("cannot compress the picture");
  return out;
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Appends the rows of a picture (`bpp` bytes a pixel), each with the filter that makes its bytes
// smallest taken as signed numbers: the usual choice, which deflate rewards.
void FilterRows(std::vector<uint8_t>& out, const uint8_t* pixels, int width, int height, int bpp) {
  const std::size_t stride = static_cast<std::size_t>(width) * bpp;
  std::vector<uint8_t> trial[5];
  for (auto& t : trial) t.resize(stride);
  const std::vector<uint8_t> zero(stride, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels + y * stride;
    const uint8_t* up = y > 0 ? row - stride : zero.data();
    uint64_t best_sum = UINT64_MAX;
    int best = 0;
    for (int filter = 0; filter < 5; ++filter) {
      uint8_t* t = trial[filter].data();
      uint64_t sum = 0;
      for (std::size_t i = 0; i < stride; ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
        const int b = up[i];
        const int c = i >= static_cast<std::size_t>(bpp) ? up[i - bpp] : 0;
        int predicted = 0;
        switch (filter) {
          case 1: predicted = a; break;
          case 2: predicted = b; break;
          case 3: predicted = (a + b) / 2; break;
          case 4: predicted = Paeth(a, b, c); break;
          default: break;
        }
        t[i] = static_cast<uint8_t>(row[i] - predicted);
        sum += static_cast<uint64_t>(std::abs(static_cast<int8_t>(t[i])));
      }
      if (sum < best_sum) {
        best_sum = sum;
        best = filter;
      }
    }
    out.push_back(static_cast<uint8_t>(best));
    out.insert(out.end(), trial[best].begin(), trial[best].end());
  }
}

std::vector<uint8_t> WholePicture(const uint8_t* pixels, int width, int height, int bpp) {
  std::vector<uint8_t> rows;
  rows.reserve((static_cast<std::size_t>(width) * bpp + 1) * height);
  FilterRows(rows, pixels, width, height, bpp);
  return Deflate(rows, Z_DEFAULT_STRATEGY);
}

// The frame control chunk: where the frame lies, how long it shows, how it is laid over.
void FrameControl(std::vector<uint8_t>& out, uint32_t sequence, int width, int height, int x,
                  int y, uint16_t delay_numerator, uint16_t delay_denominator, uint8_t blend) {
  std::vector<uint8_t> fctl;
  Put32(fctl, sequence);
  Put32(fctl, static_cast<uint32_t>(width));
  Put32(fctl, static_cast<uint32_t>(height));
  Put32(fctl, static_cast<uint32_t>(x));
  Put32(fctl, static_cast<uint32_t>(y));
  Put16(fctl, delay_numerator);
  Put16(fctl, delay_denominator);
  fctl.push_back(kDisposeNone);
  fctl.push_back(blend);
  Chunk(out, "fcTL", fctl);
}

bool Fits(int width, int height) {
  return width > 0 && height > 0 && width <= (1 << 16) && height <= (1 << 16);
}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image) {
  std::vector<uint8_t> png;
  if (!Fits(image.width, image.height) ||
      image.rgb.size() != 3 * static_cast<std::size_t>(image.width) * image.height)
    return png;
  Header(png, image.width, image.height, kColourRgb);
  Chunk(png, "IDAT", WholePicture(image.rgb.data(), image.width, image.height, 3));
  Chunk(png, "IEND", nullptr, 0);
  return png;
}

std::vector<uint8_t> EncodePngRgba(int width, int height, const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> png;
  if (!Fits(width, height) || rgba.size() != 4 * static_cast<std::size_t>(width) * height)
    return png;
  Header(png, width, height, kColourRgba);
  Chunk(png, "IDAT", WholePicture(rgba.data(), width, height, 4));
  Chunk(png, "IEND", nullptr, 0);
  return png;
}

ApngWriter::ApngWriter(int width, int height, uint32_t frames, uint16_t delay_numerator,
                       uint16_t delay_denominator, Sink sink)
    : width_(width),
      height_(height),
      frames_(frames),
      delay_numerator_(delay_numerator),
      delay_denominator_(delay_denominator),
      sink_(std::move(sink)) {
  if (!Fits(width, height) || frames == 0) throw std::runtime_error("a clip needs a size and frames");
  // Every frame is RGBA, so that later frames can leave pixels as they were.
  Header(out_, width, height, kColourRgba);
  std::vector<uint8_t> actl;
  Put32(actl, frames);
  Put32(actl, 0);  // plays: endlessly
  Chunk(out_, "acTL", actl);
  Flush();
}

void ApngWriter::Flush() {
  sink_(out_.data(), out_.size());
  out_.clear();
}

void ApngWriter::AddFrame(const Image& picture) {
  if (added_ >= frames_) throw std::runtime_error("more frames than the clip was made for");
  if (picture.width != width_ || picture.height != height_ ||
      picture.rgb.size() != 3 * static_cast<std::size_t>(width_) * height_)
    throw std::runtime_error("a frame of another size than the clip");
  if (added_ == 0) {
    AddFirst(picture);
  } else {
    AddChange(picture);
  }
  ++added_;
  previous_ = picture;
  Flush();
}

void ApngWriter::AddFirst(const Image& picture) {
  std::vector<uint8_t> rgba(4 * static_cast<std::size_t>(width_) * height_);
  for (std::size_t i = 0, j = 0; i < picture.rgb.size(); i += 3, j += 4) {
    std::memcpy(&rgba[j], &picture.rgb[i], 3);
    rgba[j + 3] = 255;
  }
  // The first frame is the file's own image (its fcTL stands before the IDAT).
  FrameControl(out_, sequence_++, width_, height_, 0, 0, delay_numerator_, delay_denominator_,
               kBlendSource);
  Chunk(out_, "IDAT", WholePicture(rgba.data(), width_, height_, 4));
}

namespace {

// Pixels compared sixteen at a time (48 bytes, three SSE2 words, which both builds require):
// most of a frame is as it was, and a block compare skips it far faster than pixel by pixel.
constexpr int kBlock = 16;

bool SameBlock(const uint8_t* a, const uint8_t* b) {
  const auto load = [](const uint8_t* p, int i) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + i);
  };
  const __m128i same = _mm_and_si128(
      _mm_and_si128(_mm_cmpeq_epi8(load(a, 0), load(b, 0)), _mm_cmpeq_epi8(load(a, 1), load(b, 1))),
      _mm_cmpeq_epi8(load(a, 2), load(b, 2)));
  return _mm_movemask_epi8(same) == 0xFFFF;
}

bool SamePixel(const uint8_t* a, const uint8_t* b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// The first pixel from `x` on, up to `end`, that differs between two rows of RGB pixels; `end`
// when none does.
int FirstChanged(const uint8_t* now, const uint8_t* before, int x, int end) {
  while (x + kBlock <= end && SameBlock(now + 3 * x, before + 3 * x)) x += kBlock;
  while (x < end && SamePixel(now + 3 * x, before + 3 * x)) ++x;
  return x;
}

// The last pixel before `end`, down to `x`, that differs; x - 1 when none does.
int LastChanged(const uint8_t* now, const uint8_t* before, int x, int end) {
  while (end - kBlock >= x && SameBlock(now + 3 * (end - kBlock), before + 3 * (end - kBlock)))
    end -= kBlock;
  while (end > x && SamePixel(now + 3 * (end - 1), before + 3 * (end - 1))) --end;
  return end - 1;
}

}  // namespace

void ApngWriter::AddChange(const Image& picture) {
  const std::size_t stride = 3 * static_cast<std::size_t>(width_);
  // The rectangle of the pixels that changed.
  int left = width_, right = -1, top = height_, bottom = -1;
  for (int y = 0; y < height_; ++y) {
    const uint8_t* now = &picture.rgb[y * stride];
    const uint8_t* before = &previous_.rgb[y * stride];
    if (std::memcmp(now, before, stride) == 0) continue;
    top = std::min(top, y);
    bottom = y;
    left = std::min(left, FirstChanged(now, before, 0, left));
    right = std::max(right, LastChanged(now, before, right + 1, width_));
  }
  if (bottom < 0) left = right = top = bottom = 0;  // nothing changed: one transparent pixel
  const int w = right - left + 1, h = bottom - top + 1;
  // Filter 0 rows of RGBA: changed pixels opaque, the others transparent black.
  const std::size_t row_size = 4 * static_cast<std::size_t>(w) + 1;
  rows_.assign(row_size * h, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* now = &picture.rgb[(top + y) * stride + 3 * left];
    const uint8_t* before = &previous_.rgb[(top + y) * stride + 3 * left];
    uint8_t* row = &rows_[row_size * y + 1];
    for (int x = FirstChanged(now, before, 0, w); x < w; x = FirstChanged(now, before, x + 1, w)) {
      std::memcpy(row + 4 * x, now + 3 * x, 3);
      row[4 * x + 3] = 255;
    }
  }
  FrameControl(out_, sequence_++, w, h, left, top, delay_numerator_, delay_denominator_,
               kBlendOver);
  const std::vector<uint8_t> data = Deflate(rows_, Z_RLE);
  // fdAT: the sequence number, then the data as an IDAT would hold it.
  Put32(out_, static_cast<uint32_t>(data.size() + 4));
  const std::size_t start = out_.size();
  out_.insert(out_.end(), {'f', 'd', 'A', 'T'});
  Put32(out_, sequence_++);
  out_.insert(out_.end(), data.begin(), data.end());
  Put32(out_, static_cast<uint32_t>(
                  crc32(0, out_.data() + start, static_cast<uInt>(out_.size() - start))));
}

void ApngWriter::Finish() {
  if (added_ != frames_) throw std::runtime_error("the clip is missing frames");
  Chunk(out_, "IEND", nullptr, 0);
  Flush();
}

}  // namespace preview

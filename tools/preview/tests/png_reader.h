// A reader of the PNG and animated PNG files that the preview writes, for its tests: it checks
// every chunk's CRC and the order of the animation chunks, inflates with zlib, undoes the row
// filters and lays each frame over the one before, as a browser plays the clip.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace preview_test {

struct FrameInfo {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  uint16_t delay_numerator = 0, delay_denominator = 0;
  uint8_t dispose = 0, blend = 0;
};

struct DecodedPng {
  uint32_t width = 0, height = 0;
  uint8_t colour_type = 0;
  uint32_t animation_frames = 0;  // from acTL; 0 for a still picture
  uint32_t plays = 0;
  std::vector<FrameInfo> frames;
  // Every frame as shown, RGB, rows top to bottom (a still picture: its one image).
  std::vector<std::vector<uint8_t>> pictures;
};

inline uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

inline std::vector<uint8_t> Inflate(const std::vector<uint8_t>& data) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) throw std::runtime_error("inflateInit");
  std::vector<uint8_t> out;
  uint8_t buffer[65536];
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = buffer;
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("a zlib stream does not end");
  return out;
}

// Rows of `width` pixels of `bpp` bytes, each after its filter byte, unfiltered.
inline std::vector<uint8_t> Unfilter(const std::vector<uint8_t>& data, uint32_t width,
                                     uint32_t height, int bpp) {
  const std::size_t stride = static_cast<std::size_t>(width) * bpp;
  if (data.size() != (stride + 1) * height) throw std::runtime_error("image data of a wrong size");
  std::vector<uint8_t> out(stride * height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t filter = data[y * (stride + 1)];
    const uint8_t* in = &data[y * (stride + 1) + 1];
    uint8_t* row = &out[y * stride];
    const uint8_t* up = y > 0 ? row - stride : nullptr;
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
      const int b = up ? up[i] : 0;
      const int c = up && i >= static_cast<std::size_t>(bpp) ? up[i - bpp] : 0;
      int predicted = 0;
      if (filter == 1) predicted = a;
      if (filter == 2) predicted = b;
      if (filter == 3) predicted = (a + b) / 2;
      if (filter == 4) {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      if (filter > 4) throw std::runtime_error("unknown filter");
      row[i] = static_cast<uint8_t>(in[i] + predicted);
    }
  }
  return out;
}

inline DecodedPng DecodePng(const std::vector<uint8_t>& file) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0)
    throw std::runtime_error("no PNG signature");
  DecodedPng png;
  std::vector<uint8_t> canvas;  // RGBA
  std::vector<uint8_t> data;
  FrameInfo frame;
  bool in_frame = false, seen_idat = false, seen_end = false;
  uint32_t sequence = 0;
  const auto finish_frame = [&] {
    if (!in_frame) return;
    const int bpp = png.colour_type == 6 ? 4 : 3;
    const std::vector<uint8_t> pixels = Unfilter(Inflate(data), frame.width, frame.height, bpp);
    if (frame.x + frame.width > png.width || frame.y + frame.height > png.height)
      throw std::runtime_error("a frame outside the picture");
    for (uint32_t y = 0; y < frame.height; ++y)
      for (uint32_t x = 0; x < frame.width; ++x) {
        const uint8_t* p = &pixels[(static_cast<std::size_t>(y) * frame.width + x) * bpp];
        uint8_t* q = &canvas[(static_cast<std::size_t>(frame.y + y) * png.width + frame.x + x) * 4];
        const uint8_t alpha = bpp == 4 ? p[3] : 255;
        // Over: the preview's frames are fully opaque or fully transparent.
        if (frame.blend == 0 || alpha == 255) {
          std::memcpy(q, p, 3);
          q[3] = alpha;
        } else if (alpha != 0) {
          throw std::runtime_error("a partly transparent pixel");
        }
      }
    std::vector<uint8_t> rgb(static_cast<std::size_t>(png.width) * png.height * 3);
    for (std::size_t i = 0, j = 0; j < canvas.size(); i += 3, j += 4) std::memcpy(&rgb[i], &canvas[j], 3);
    png.pictures.push_back(std::move(rgb));
    data.clear();
    in_frame = false;
  };
  for (std::size_t at = 8; at < file.size();) {
    if (at + 12 > file.size()) throw std::runtime_error("a chunk runs past the end");
    const uint32_t length = Get32(&file[at]);
    if (at + 12 + length > file.size()) throw std::runtime_error("a chunk runs past the end");
    const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
    const uint8_t* body = &file[at + 8];
    if (static_cast<uint32_t>(crc32(0, &file[at + 4], length + 4)) != Get32(body + length))
      throw std::runtime_error("bad CRC in " + type);
    if (type == "IHDR") {
      png.width = Get32(body);
      png.height = Get32(body + 4);
      png.colour_type = body[9];
      if (body[8] != 8 || (png.colour_type != 2 && png.colour_type != 6) || body[12] != 0)
        throw std::runtime_error("a kind of PNG the preview does not write");
      canvas.assign(static_cast<std::size_t>(png.width) * png.height * 4, 0);
    } else if (type == "acTL") {
      if (seen_idat) throw std::runtime_error("acTL after the image data");
      png.animation_frames = Get32(body);
      png.plays = Get32(body + 4);
    } else if (type == "fcTL") {
      finish_frame();
      if (Get32(body) != sequence++) throw std::runtime_error("fcTL out of sequence");
      // sequence, width, height, x, y, delay numerator and denominator, dispose, blend
      frame.width = Get32(body + 4);
      frame.height = Get32(body + 8);
      frame.x = Get32(body + 12);
      frame.y = Get32(body + 16);
      frame.delay_numerator = static_cast<uint16_t>(body[20] << 8 | body[21]);
      frame.delay_denominator = static_cast<uint16_t>(body[22] << 8 | body[23]);
      frame.dispose = body[24];
      frame.blend = body[25];
      png.frames.push_back(frame);
      in_frame = true;
    } else if (type == "IDAT") {
      if (!in_frame && png.animation_frames == 0) {
        frame = {0, 0, png.width, png.height, 0, 0, 0, 0};
        in_frame = true;
      }
      seen_idat = true;
      data.insert(data.end(), body, body + length);
    } else if (type == "fdAT") {
      if (!seen_idat) throw std::runtime_error("fdAT before the image data");
      if (Get32(body) != sequence++) throw std::runtime_error("fdAT out of sequence");
      data.insert(data.end(), body + 4, body + length);
    } else if (type == "IEND") {
      finish_frame();
      seen_end = true;
      if (at + 12 + length != file.size()) throw std::runtime_error("bytes after IEND");
    }
    at += 12 + length;
  }
  if (!seen_end) throw std::runtime_error("no IEND");
  if (png.animation_frames != 0 && png.frames.size() != png.animation_frames)
    throw std::runtime_error("acTL's frame count is not the number of frames");
  return png;
}

}  // namespace preview_test

// Reads the emulated host's trace (one JSON object per line) into what the picture shows: the
// sprites, glows and point lights that the plugin handed the host in the last frame.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/preview/geometry.h"

namespace preview {

// One trace line: a flat JSON object whose values are numbers, strings or arrays of numbers, as
// the emulator writes them. Numbers keep their text so that each is read in the type it stands
// for (floats as floats, exactly).
class TraceLine {
 public:
  // Nothing when the text is not such an object.
  static std::optional<TraceLine> Parse(std::string_view text);

  // The text of a string value, or of a number; empty when absent.
  std::string Text(const std::string& key) const;
  // A number (or "nan", "inf", "-inf") as a float; NaN when absent or not a number.
  float Float(const std::string& key) const;
  // A whole number; `fallback` when absent or not a whole number.
  int64_t Int(const std::string& key, int64_t fallback = 0) const;
  // The elements of an array read as floats (NaN where one is not a number).
  std::vector<float> Floats(const std::string& key) const;

 private:
  std::map<std::string, std::vector<std::string>> fields_;  // one element unless an array
};

// A screen-space sprite of the host's sprite routines, with the render states in force.
struct Sprite {
  float x, y, depth;              // reference screen position and depth
  float half_width, half_height;  // reference pixels either side of the centre
  uint8_t r, g, b, a;
  bool additive;  // blend one/one; otherwise source alpha over the picture
  bool depth_test;
};

// A light glow the host registers at a world position.
struct Glow {
  Vec3 position;
  float size, far;
  uint8_t r, g, b, a;
};

struct PointLight {
  Vec3 position;
  float brightness;
  float r, g, b;  // 0 to 1
};

// What the picture shows, in the order the plugin handed it over.
struct TraceFrame {
  std::vector<Sprite> sprites;
  std::vector<Glow> glows;
  std::vector<PointLight> lights;
};

// Reads a whole trace. The frame is everything from the last "update" event on; the render
// states are followed through the whole trace. Items with a value that is not a finite number are
// left out. Throws std::runtime_error naming the line when a line is not a trace line.
TraceFrame ReadTrace(std::string_view trace);

}  // namespace preview

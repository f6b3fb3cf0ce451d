// Reads the emulated host's trace (one JSON object per line) into what the pictures show: the
// sprites, glows and point lights that the plugin handed the host in each frame, each with the
// feature that drew it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// The part of the plugin that handed an item over, told by where in the frame the host received
// it: the update event (vehicle lights), the draw event (the star field, then the shooting stars),
// or one of the host's own drawing calls that the plugin restyles.
enum class Feature : uint8_t {
  kStarField,
  kShootingStars,
  kMoon,
  kSkySignR,
  kSkySignStar,
  kTrailGlows,
  kPlaneGlows,
  kVehicleLights,
};
inline constexpr int kFeatureCount = 8;
// A short stable name ("star-field") and the name for people ("star field").
const char* FeatureId(Feature feature);
const char* FeatureName(Feature feature);

// A screen-space sprite of the host's sprite routines, with the render states in force.
struct Sprite {
  float x, y, depth;              // reference screen position and depth
  float half_width, half_height;  // reference pixels either side of the centre
  uint8_t r, g, b, a;
  bool additive;  // blend one/one; otherwise source alpha over the picture
  bool depth_test;
  Feature feature = Feature::kStarField;
};

// A light glow the host registers at a world position.
struct Glow {
  Vec3 position;
  float size, far;
  uint8_t r, g, b, a;
  Feature feature = Feature::kVehicleLights;
  uint32_t id = 0;  // the identifier the plugin gave it
};

struct PointLight {
  Vec3 position;
  float brightness;
  float r, g, b;  // 0 to 1
  int glow = -1;  // the glow of the vehicle light it belongs to (its index in the frame's glows)
};

// What one frame shows, in the order the plugin handed it over.
struct TraceFrame {
  std::vector<Sprite> sprites;
  std::vector<Glow> glows;
  std::vector<PointLight> lights;
  // The shooting stars projected their sprites in the frame's second draw (see SceneScript): a
  // shooting star was in flight, whether or not on the screen.
  bool shooting_star_in_flight = false;
};

// Reads a trace line by line into frames. A frame is everything from an "update" event up to the
// next one; the render states are followed through the whole trace. In a frame, a second "draw"
// event is the scene's probe draw, run with a scene code at which only the shooting stars draw:
// its sprites are not shown, they tell which of the first draw's sprites are the shooting stars'.
// Items with a value that is not a finite number are left out.
class TraceReader {
 public:
  TraceReader();
  // One line of the trace, without its line end. Throws std::runtime_error naming the line when
  // it is not a trace line.
  void Feed(std::string_view text);
  // After the last line.
  void Finish();
  // A frame that is complete, the oldest first. False when none is.
  bool Take(TraceFrame* frame);

 private:
  void Close();

  TraceFrame frame_;
  bool in_frame_ = false;
  std::vector<TraceFrame> ready_;
  std::size_t ready_next_ = 0;
  std::size_t number_ = 0;  // lines fed
  std::string event_;       // the "ev" of the command whose calls follow
  int draws_ = 0;           // draw events in the frame
  std::size_t draw_sprites_ = 0, probe_sprites_ = 0;
  // The first draw's sprites that are shown: where they are in the frame, and their place among
  // all the sprites of that draw.
  std::vector<std::pair<std::size_t, std::size_t>> draw_sprites_at_;
  int64_t source_blend_, dest_blend_;
  bool depth_test_ = true;
};

// Reads a whole trace: its last frame.
TraceFrame ReadTrace(std::string_view trace);
// Every frame of a whole trace.
std::vector<TraceFrame> ReadFrames(std::string_view trace);

}  // namespace preview

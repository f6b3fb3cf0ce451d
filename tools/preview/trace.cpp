#include "tools/preview/trace.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "plugin/host_render_states.h"

namespace preview {

namespace {

// Walks the text of one object; every step reports failure instead of throwing.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r'))
      ++pos_;
  }
  bool Take(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ == text_.size();
  }
  // A string after its opening quote; escapes keep the character after the backslash.
  bool String(std::string* out) {
    out->clear();
    while (pos_ < text_.size() && text_[pos_] != '"') {
      if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) ++pos_;
      *out += text_[pos_++];
    }
    return Take('"');
  }
  // A bare token: a number (or true, false, null).
  bool Token(std::string* out) {
    SkipBlanks();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '}' && text_[pos_] != ']' &&
           text_[pos_] != ' ')
      ++pos_;
    *out = std::string(text_.substr(start, pos_ - start));
    return !out->empty();
  }
  bool Scalar(std::string* out) { return Take('"') ? String(out) : Token(out); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

float ToFloat(const std::string& text) {
  if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
  if (text == "inf") return std::numeric_limits<float>::infinity();
  if (text == "-inf") return -std::numeric_limits<float>::infinity();
  float value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size())
    return std::numeric_limits<float>::quiet_NaN();
  return value;
}

bool Finite(std::initializer_list<float> values) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

uint8_t Channel(const TraceLine& line, const char* key) {
  return static_cast<uint8_t>(line.Int(key) & 0xFF);
}

}  // namespace

std::optional<TraceLine> TraceLine::Parse(std::string_view text) {
  TraceLine line;
  Cursor cursor(text);
  if (!cursor.Take('{')) return std::nullopt;
  if (cursor.Take('}')) return cursor.AtEnd() ? std::optional(line) : std::nullopt;
  do {
    std::string key;
    if (!cursor.Take('"') || !cursor.String(&key) || !cursor.Take(':')) return std::nullopt;
    std::vector<std::string> values;
    if (cursor.Take('[')) {
      if (!cursor.Take(']')) {
        do {
          std::string value;
          if (!cursor.Scalar(&value)) return std::nullopt;
          values.push_back(std::move(value));
        } while (cursor.Take(','));
        if (!cursor.Take(']')) return std::nullopt;
      }
    } else {
      std::string value;
      if (!cursor.Scalar(&value)) return std::nullopt;
      values.push_back(std::move(value));
    }
    line.fields_[key] = std::move(values);
  } while (cursor.Take(','));
  if (!cursor.Take('}') || !cursor.AtEnd()) return std::nullopt;
  return line;
}

std::string TraceLine::Text(const std::string& key) const {
  const auto it = fields_.find(key);
  return it == fields_.end() || it->second.size() != 1 ? std::string() : it->second[0];
}

float TraceLine::Float(const std::string& key) const { return ToFloat(Text(key)); }

int64_t TraceLine::Int(const std::string& key, int64_t fallback) const {
  const std::string text = Text(key);
  int64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
    return fallback;
  return value;
}

std::vector<float> TraceLine::Floats(const std::string& key) const {
  std::vector<float> values;
  const auto it = fields_.find(key);
  if (it == fields_.end()) return values;
  for (const std::string& text : it->second) values.push_back(ToFloat(text));
  return values;
}

const char* FeatureId(Feature feature) {
  switch (feature) {
    case Feature::kStarField: return "star-field";
    case Feature::kShootingStars: return "shooting-stars";
    case Feature::kMoon: return "moon";
    case Feature::kSkySignR: return "sky-sign-r";
    case Feature::kSkySignStar: return "sky-sign-star";
    case Feature::kTrailGlows: return "trail-glows";
    case Feature::kPlaneGlows: return "plane-glows";
    case Feature::kVehicleLights: break;
  }
  return "vehicle-lights";
}

const char* FeatureName(Feature feature) {
  switch (feature) {
    case Feature::kStarField: return "star field";
    case Feature::kShootingStars: return "shooting stars";
    case Feature::kMoon: return "moon";
    case Feature::kSkySignR: return "sky sign: R";
    case Feature::kSkySignStar: return "sky sign: star";
    case Feature::kTrailGlows: return "trail glows";
    case Feature::kPlaneGlows: return "plane glows";
    case Feature::kVehicleLights: break;
  }
  return "vehicle lights";
}

// The host's render states before the plugin touches them: alpha blending, depth test on.
TraceReader::TraceReader()
    : source_blend_(kBlendSourceAlpha), dest_blend_(kBlendInverseSourceAlpha) {}

void TraceReader::Feed(std::string_view text) {
  ++number_;
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (text.empty()) return;
  // Most lines of a frame are the projections of stars, which the picture does not need: only
  // those of the probe draw are counted, as the shooting stars' in flight.
  constexpr std::string_view kProjection = "{\"call\":\"ProjectToScreen\"";
  if (text.starts_with(kProjection)) {
    if (in_frame_ && draws_ == 2) frame_.shooting_star_in_flight = true;
    return;
  }
  const std::optional<TraceLine> parsed = TraceLine::Parse(text);
  if (!parsed) {
    throw std::runtime_error("the emulated host's output line " + std::to_string(number_) +
                             " is not a trace line: " + std::string(text.substr(0, 80)));
  }
  const TraceLine& line = *parsed;
  const std::string ev = line.Text("ev");
  if (!ev.empty()) {
    if (ev == "return" || ev == "frame") return;
    if (ev == "update") {
      Close();
      in_frame_ = true;
    }
    event_ = ev;
    if (ev == "draw") ++draws_;
    return;
  }
  const std::string call = line.Text("call");
  if (call == "SetRenderState") {
    const int64_t state = line.Int("state", -1), value = line.Int("value", -1);
    if (state == kRenderDepthTest) depth_test_ = value != 0;
    if (state == kRenderSourceBlend) source_blend_ = value;
    if (state == kRenderDestBlend) dest_blend_ = value;
    return;
  }
  if (!in_frame_) return;
  if (call == "DrawSprite" || call == "DrawSpriteAlt") {
    Sprite sprite{line.Float("x"),    line.Float("y"),
                  line.Float("z"),    line.Float("w"),
                  line.Float("h"),    Channel(line, "r"),
                  Channel(line, "g"), Channel(line, "b"),
                  Channel(line, "a"), source_blend_ == kBlendOne && dest_blend_ == kBlendOne,
                  depth_test_};
    if (event_ == "draw" && draws_ == 2) {
      ++probe_sprites_;  // counted, not shown
      return;
    }
    if (event_ == "moon") {
      sprite.feature = Feature::kMoon;
    } else if (event_ == "logo-r") {
      sprite.feature = Feature::kSkySignR;
    } else if (event_ == "logo-star") {
      sprite.feature = Feature::kSkySignStar;
    }
    // A draw event's sprite keeps its place in their count even when it stays out.
    const std::size_t draw_index = event_ == "draw" ? draw_sprites_++ : 0;
    if (!Finite({sprite.x, sprite.y, sprite.depth, sprite.half_width, sprite.half_height})) return;
    if (event_ == "draw") draw_sprites_at_.push_back({frame_.sprites.size(), draw_index});
    frame_.sprites.push_back(sprite);
  } else if (call == "RegisterGlow") {
    const std::vector<float> pos = line.Floats("pos");
    if (pos.size() != 3) return;
    Glow glow{{pos[0], pos[1], pos[2]}, line.Float("size"), line.Float("far"),
              Channel(line, "r"),       Channel(line, "g"), Channel(line, "b"),
              Channel(line, "a")};
    glow.id = static_cast<uint32_t>(line.Int("id"));
    glow.feature = event_ == "trail"        ? Feature::kTrailGlows
                   : event_ == "plane-glow" ? Feature::kPlaneGlows
                                            : Feature::kVehicleLights;
    if (Finite({pos[0], pos[1], pos[2], glow.size, glow.far})) frame_.glows.push_back(glow);
  } else if (call == "AddPointLight") {
    // 0, position, direction, brightness, red, green, blue, 0, 1
    const std::vector<float> args = line.Floats("args");
    if (args.size() != 13) return;
    // A vehicle light's point light follows the glow of the same light.
    const int glow = frame_.glows.empty() ? -1 : static_cast<int>(frame_.glows.size()) - 1;
    const PointLight light{{args[1], args[2], args[3]}, args[7], args[8], args[9], args[10], glow};
    if (Finite({args[1], args[2], args[3], args[7], args[8], args[9], args[10]}))
      frame_.lights.push_back(light);
  }
}

void TraceReader::Close() {
  if (!in_frame_) return;
  // The probe draw repeated the shooting stars' sprites alone: they are the last ones of the first
  // draw.
  const std::size_t first_shooting = draw_sprites_ - std::min(draw_sprites_, probe_sprites_);
  for (const auto& [position, draw_index] : draw_sprites_at_) {
    if (draw_index >= first_shooting) frame_.sprites[position].feature = Feature::kShootingStars;
  }
  ready_.push_back(std::move(frame_));
  frame_ = TraceFrame();
  in_frame_ = false;
  draws_ = 0;
  draw_sprites_ = probe_sprites_ = 0;
  draw_sprites_at_.clear();
  event_.clear();
}

void TraceReader::Finish() { Close(); }

bool TraceReader::Take(TraceFrame* frame) {
  if (ready_next_ >= ready_.size()) return false;
  *frame = std::move(ready_[ready_next_++]);
  if (ready_next_ == ready_.size()) {
    ready_.clear();
    ready_next_ = 0;
  }
  return true;
}

namespace {

template <typename Each>
void ForEachFrame(std::string_view trace, Each each) {
  TraceReader reader;
  TraceFrame frame;
  while (!trace.empty()) {
    const std::size_t end = trace.find('\n');
    reader.Feed(trace.substr(0, end));
    trace = end == std::string_view::npos ? std::string_view() : trace.substr(end + 1);
    while (reader.Take(&frame)) each(std::move(frame));
  }
  reader.Finish();
  while (reader.Take(&frame)) each(std::move(frame));
}

}  // namespace

TraceFrame ReadTrace(std::string_view trace) {
  TraceFrame last;
  ForEachFrame(trace, [&](TraceFrame&& frame) { last = std::move(frame); });
  return last;
}

std::vector<TraceFrame> ReadFrames(std::string_view trace) {
  std::vector<TraceFrame> frames;
  ForEachFrame(trace, [&](TraceFrame&& frame) { frames.push_back(std::move(frame)); });
  return frames;
}

}  // namespace preview

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

TraceFrame ReadTrace(std::string_view trace) {
  TraceFrame frame;
  // The host's render states before the plugin touches them: alpha blending, depth test on.
  int64_t source_blend = kBlendSourceAlpha, dest_blend = kBlendInverseSourceAlpha;
  bool depth_test = true;
  std::size_t number = 0;
  while (!trace.empty()) {
    const std::size_t end = trace.find('\n');
    const std::string_view text = trace.substr(0, end);
    trace = end == std::string_view::npos ? std::string_view() : trace.substr(end + 1);
    ++number;
    if (text.empty() || text == "\r") continue;
    const std::optional<TraceLine> parsed = TraceLine::Parse(text);
    if (!parsed) {
      throw std::runtime_error("the emulated host's output line " + std::to_string(number) +
                               " is not a trace line: " + std::string(text.substr(0, 80)));
    }
    const TraceLine& line = *parsed;
    if (line.Text("ev") == "update") {
      frame = TraceFrame();
      continue;
    }
    const std::string call = line.Text("call");
    if (call == "SetRenderState") {
      const int64_t state = line.Int("state", -1), value = line.Int("value", -1);
      if (state == kRenderDepthTest) depth_test = value != 0;
      if (state == kRenderSourceBlend) source_blend = value;
      if (state == kRenderDestBlend) dest_blend = value;
    } else if (call == "DrawSprite" || call == "DrawSpriteAlt") {
      const Sprite sprite{line.Float("x"),    line.Float("y"),
                          line.Float("z"),    line.Float("w"),
                          line.Float("h"),    Channel(line, "r"),
                          Channel(line, "g"), Channel(line, "b"),
                          Channel(line, "a"), source_blend == kBlendOne && dest_blend == kBlendOne,
                          depth_test};
      if (Finite({sprite.x, sprite.y, sprite.depth, sprite.half_width, sprite.half_height}))
        frame.sprites.push_back(sprite);
    } else if (call == "RegisterGlow") {
      const std::vector<float> pos = line.Floats("pos");
      if (pos.size() != 3) continue;
      const Glow glow{{pos[0], pos[1], pos[2]}, line.Float("size"), line.Float("far"),
                      Channel(line, "r"),       Channel(line, "g"), Channel(line, "b"),
                      Channel(line, "a")};
      if (Finite({pos[0], pos[1], pos[2], glow.size, glow.far})) frame.glows.push_back(glow);
    } else if (call == "AddPointLight") {
      // 0, position, direction, brightness, red, green, blue, 0, 1
      const std::vector<float> args = line.Floats("args");
      if (args.size() != 13) continue;
      const PointLight light{{args[1], args[2], args[3]}, args[7], args[8], args[9], args[10]};
      if (Finite({args[1], args[2], args[3], args[7], args[8], args[9], args[10]}))
        frame.lights.push_back(light);
    }
  }
  return frame;
}

}  // namespace preview

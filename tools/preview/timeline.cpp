#include "tools/preview/timeline.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "tools/preview/text.h"

namespace preview {

namespace {

// Each day sample: one frame with the sky, then this many without it, kBurstMs apart, so that a
// blink lit for 130 ms or more in every period of up to a second is seen lit in the sample.
constexpr int kBurstFrames = 7;
constexpr uint32_t kBurstMs = 130;
// The host's timer between two day samples: ten minutes, more than any pause between shooting
// stars, so that each sample inside their hours sees one start.
constexpr uint32_t kSampleMs = 600000;

float Strength(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return static_cast<float>(std::max({r, g, b})) / 255.0f * static_cast<float>(a) / 255.0f;
}

// A lane being filled, with the strength of its strongest moment so far.
struct Building {
  Lane lane;
  float strongest = -1;
};

// Takes `value` into the lane at `sample` where it is the strongest there yet; the lane keeps the
// colour of its strongest moment.
void Take(Building& building, int sample, float value, uint8_t r, uint8_t g, uint8_t b) {
  Lane& lane = building.lane;
  float& slot = lane.values[sample];
  if (value <= slot) return;
  slot = value;
  if (value > building.strongest) {
    building.strongest = value;
    lane.r = r;
    lane.g = g;
    lane.b = b;
  }
}

class LaneSet {
 public:
  LaneSet(const SceneSettings& scene, int samples, bool sky)
      : samples_(samples), first_(sky ? 2 : 0), vehicles_(PlaceVehicles(scene.models)) {
    if (sky) {
      Add("star-field", "star field: brightest star", Feature::kStarField);
      Add("shooting-stars", "shooting stars: one in flight", Feature::kShootingStars);
    }
    Add("moon", "moon", Feature::kMoon);
    Add("sky-sign-r", "sky sign: R", Feature::kSkySignR);
    Add("sky-sign-star", "sky sign: star", Feature::kSkySignStar);
    for (int trail = 1; trail <= 3; ++trail)
      Add("trail-" + std::to_string(trail), "trail glow " + std::to_string(trail),
          Feature::kTrailGlows);
    Add("plane-glows", "plane glows", Feature::kPlaneGlows);
  }

  // The items of one frame of sample `sample`.
  void Frame(int sample, const TraceFrame& frame, bool sky) {
    if (sky) {
      Building& stars = lanes_[0];
      Building& shooting = lanes_[1];
      for (const Sprite& s : frame.sprites) {
        if (s.feature == Feature::kStarField) Take(stars, sample, Strength(s.r, s.g, s.b, s.a), s.r, s.g, s.b);
        if (s.feature == Feature::kShootingStars) Take(shooting, sample, 1.0f, s.r, s.g, s.b);
      }
      if (frame.shooting_star_in_flight)
        Take(shooting, sample, 1.0f, shooting.lane.r, shooting.lane.g, shooting.lane.b);
    }
    const std::size_t first = first_;
    for (const Sprite& s : frame.sprites) {
      const int index = s.feature == Feature::kMoon          ? 0
                        : s.feature == Feature::kSkySignR    ? 1
                        : s.feature == Feature::kSkySignStar ? 2
                                                             : -1;
      if (index >= 0) Take(lanes_[first + index], sample, Strength(s.r, s.g, s.b, s.a), s.r, s.g, s.b);
    }
    for (const Glow& glow : frame.glows) {
      const float value = Strength(glow.r, glow.g, glow.b, glow.a);
      if (glow.feature == Feature::kTrailGlows) {
        const int trail = glow.id >= 101 && glow.id <= 103 ? static_cast<int>(glow.id - 101) : 0;
        Take(lanes_[first + 3 + trail], sample, value, glow.r, glow.g, glow.b);
      } else if (glow.feature == Feature::kPlaneGlows) {
        Take(lanes_[first + 6], sample, value, glow.r, glow.g, glow.b);
      } else {
        Take(VehicleLane(glow), sample, value, glow.r, glow.g, glow.b);
      }
    }
  }

  std::vector<Lane> Lanes() {
    // The vehicle lights after the others, by vehicle and then by light.
    std::vector<Lane> lanes;
    for (const Building& building : lanes_) lanes.push_back(building.lane);
    for (const auto& [key, building] : vehicle_lanes_) lanes.push_back(building.lane);
    return lanes;
  }

 private:
  void Add(const std::string& id, const std::string& label, Feature feature) {
    Building building;
    building.lane.id = id;
    building.lane.label = label;
    building.lane.feature = feature;
    building.lane.values.assign(samples_, -1.0f);
    lanes_.push_back(std::move(building));
  }

  Building& VehicleLane(const Glow& glow) {
    const int vehicle = VehicleOfGlow(glow, vehicles_);
    auto [it, added] = vehicle_lanes_.try_emplace({vehicle, glow.id});
    Lane& lane = it->second.lane;
    if (added) {
      lane.id = "vehicle-" + std::to_string(vehicle) + "-light-" + std::to_string(glow.id);
      lane.label = (vehicle >= 0 ? "model " + std::to_string(vehicles_[vehicle].model) + ": "
                                 : std::string("vehicle: ")) +
                   LightName(glow, vehicle);
      lane.feature = Feature::kVehicleLights;
      lane.vehicle = vehicle;
      lane.values.assign(samples_, -1.0f);
    }
    return it->second;
  }

  int samples_;
  std::size_t first_;  // the lane of the moon: after the star field's and the shooting stars'
  std::vector<PlacedVehicle> vehicles_;
  std::vector<Building> lanes_;
  std::map<std::pair<int, uint32_t>, Building> vehicle_lanes_;
};

std::string Number(float value) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Colour(const Lane& lane) {
  char text[8];
  // Dark colours would vanish on the plot's dark ground.
  const int lift = std::max({lane.r, lane.g, lane.b}) < 96 ? 96 : 0;
  std::snprintf(text, sizeof text, "#%02x%02x%02x", std::min(255, lane.r + lift),
                std::min(255, lane.g + lift), std::min(255, lane.b + lift));
  return text;
}

// One lane's row: a bar per run of equal samples, as high as the value; a thin mark where the
// item was handed over but dark.
void LaneRow(std::string& svg, const Lane& lane, float x0, float width, float y, float height) {
  const std::size_t n = lane.values.size();
  const float per = width / static_cast<float>(n);
  svg += "<g class=\"lane\" data-lane=\"" + XmlEscape(lane.id) + "\"><title>" +
         XmlEscape(lane.label) + "</title>";
  svg += "<text x=\"" + Number(x0 - 6) + "\" y=\"" + Number(y + height * 0.7f) +
         "\" text-anchor=\"end\">" + XmlEscape(lane.label) + "</text>";
  svg += "<rect class=\"track\" x=\"" + Number(x0) + "\" y=\"" + Number(y) + "\" width=\"" +
         Number(width) + "\" height=\"" + Number(height) + "\"/>";
  const std::string colour = Colour(lane);
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i;
    while (j < n && lane.values[j] == lane.values[i]) ++j;
    const float v = lane.values[i];
    if (v >= 0) {
      const float h = std::max(1.5f, v * height);
      svg += "<rect x=\"" + Number(x0 + per * static_cast<float>(i)) + "\" y=\"" +
             Number(y + height - h) + "\" width=\"" + Number(per * static_cast<float>(j - i)) +
             "\" height=\"" + Number(h) + "\" fill=\"" + colour + "\"/>";
    }
    i = j;
  }
  svg += "</g>";
}

}  // namespace

const Lane* Timeline::DayLane(const std::string& id) const {
  for (const Lane& lane : day)
    if (lane.id == id) return &lane;
  return nullptr;
}

std::vector<Moment> TimelineMoments(const SceneSettings& scene, const Timeline& layout) {
  std::vector<Moment> moments;
  for (int s = 0; s < layout.samples; ++s) {
    const uint32_t timer = scene.timer + 1000 + static_cast<uint32_t>(s) * kSampleMs;
    moments.push_back({layout.MinuteOf(s), timer, 1.0f, true});
    for (int k = 1; k <= kBurstFrames; ++k)
      moments.push_back({layout.MinuteOf(s), timer + k * kBurstMs, 1.0f, false});
  }
  for (int j = 0; j < layout.pattern_samples; ++j) {
    moments.push_back({layout.pattern_minute,
                       layout.pattern_timer + static_cast<uint32_t>(j * layout.pattern_step), 1.0f,
                       false});
  }
  return moments;
}

void CollectTimeline(const SceneSettings& scene, const std::vector<TraceFrame>& frames,
                     Timeline& timeline) {
  LaneSet day(scene, timeline.samples, true), pattern(scene, timeline.pattern_samples, false);
  const std::size_t per_sample = 1 + kBurstFrames;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (i < per_sample * timeline.samples) {
      day.Frame(static_cast<int>(i / per_sample), frames[i], i % per_sample == 0);
    } else if (i - per_sample * timeline.samples < static_cast<std::size_t>(timeline.pattern_samples)) {
      pattern.Frame(static_cast<int>(i - per_sample * timeline.samples), frames[i], false);
    }
  }
  timeline.day = day.Lanes();
  timeline.pattern = pattern.Lanes();
}

Timeline RunTimeline(const Tools& tools, const SceneSettings& scene, std::ostream& progress) {
  Timeline timeline;
  timeline.pattern_timer = scene.timer;
  timeline.pattern_minute = scene.hour * 60 + scene.minute;
  const std::vector<Moment> moments = TimelineMoments(scene, timeline);
  progress << "nightglass-preview: timeline: playing the day, a sample every " << timeline.step
           << " game minutes (" << moments.size() << " frames) in the emulated host\n"
           << std::flush;
  // The frames hold a few items each once the star field's sprites are counted: kept whole.
  std::vector<TraceFrame> frames;
  frames.reserve(moments.size());
  // The warm-up plays at the first sample's time, so that nothing of the picture's moment (a
  // shooting star of its hours) lingers into the day's first samples.
  SceneSettings from_start = scene;
  from_start.hour = timeline.start / 60;
  from_start.minute = timeline.start % 60;
  RunMoments(tools, from_start, moments, [&](std::size_t, const TraceFrame& frame) {
    TraceFrame kept = frame;
    // Of the star field only its brightest star counts: the rest need not be kept.
    const auto brightest = std::max_element(
        kept.sprites.begin(), kept.sprites.end(), [](const Sprite& a, const Sprite& b) {
          const bool a_star = a.feature == Feature::kStarField, b_star = b.feature == Feature::kStarField;
          if (a_star != b_star) return !a_star;
          return Strength(a.r, a.g, a.b, a.a) < Strength(b.r, b.g, b.b, b.a);
        });
    std::vector<Sprite> sprites;
    for (auto it = kept.sprites.begin(); it != kept.sprites.end(); ++it)
      if (it->feature != Feature::kStarField || it == brightest) sprites.push_back(*it);
    kept.sprites = std::move(sprites);
    frames.push_back(std::move(kept));
  });
  CollectTimeline(scene, frames, timeline);
  return timeline;
}

std::vector<std::string> ShownSpans(const Timeline& timeline, const Lane& lane) {
  std::vector<std::string> spans;
  const int n = static_cast<int>(lane.values.size());
  const auto shown = [&](int i) { return lane.values[(i % n + n) % n] >= 0; };
  int first = 0;
  while (first < n && shown(first)) ++first;
  if (first == n) return {"all day"};
  // From the first sample without it, round the day once.
  for (int i = first; i < first + n;) {
    if (!shown(i)) {
      ++i;
      continue;
    }
    int j = i;
    while (j < first + n && shown(j)) ++j;
    spans.push_back(ClockText(timeline.MinuteOf(i % n)) + "-" + ClockText(timeline.MinuteOf(j % n)));
    i = j;
  }
  return spans;
}

std::string TimelineSvg(const Timeline& timeline, int moment) {
  constexpr float kLeft = TimelineGeometry::kLeft, kWidth = TimelineGeometry::kWidth;
  constexpr float kRow = TimelineGeometry::kRow, kBar = TimelineGeometry::kBar;
  constexpr float kTop = TimelineGeometry::kTop;
  const float day_height = kTop + kRow * static_cast<float>(timeline.day.size());
  const float pattern_top = day_height + 46;
  const float height = pattern_top + kRow * static_cast<float>(timeline.pattern.size()) + 8;
  std::string svg = "<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    Number(kLeft + kWidth + 12) + " " + Number(height) +
                    "\" role=\"img\" aria-label=\"night timeline\">";
  // Hours along the top, every hour a line, every three hours a label.
  const float per_minute = kWidth / (static_cast<float>(timeline.samples * timeline.step));
  for (int h = 0; h <= 24; ++h) {
    const float x = kLeft + per_minute * static_cast<float>(h * 60);
    svg += "<line class=\"hour\" x1=\"" + Number(x) + "\" y1=\"" + Number(kTop - 4) +
           "\" x2=\"" + Number(x) + "\" y2=\"" + Number(day_height) + "\"/>";
    if (h % 3 == 0) {
      svg += "<text class=\"tick\" x=\"" + Number(x) + "\" y=\"" + Number(kTop - 8) +
             "\" text-anchor=\"middle\">" + ClockText((timeline.start + h * 60) % 1440) + "</text>";
    }
  }
  for (std::size_t i = 0; i < timeline.day.size(); ++i)
    LaneRow(svg, timeline.day[i], kLeft, kWidth, kTop + kRow * static_cast<float>(i), kBar);
  const int offset = ((moment - timeline.start) % 1440 + 1440) % 1440;
  const float mx = kLeft + per_minute * static_cast<float>(offset);
  svg += "<line class=\"moment\" x1=\"" + Number(mx) + "\" y1=\"" + Number(kTop - 4) + "\" x2=\"" +
         Number(mx) + "\" y2=\"" + Number(day_height) + "\"/>";

  // The pattern: two seconds of the host's timer at the moment's clock.
  const int span = timeline.pattern_samples * timeline.pattern_step;
  svg += "<text class=\"heading\" x=\"" + Number(kLeft) + "\" y=\"" + Number(pattern_top - 18) +
         "\">blinking and pulsing at " + ClockText(timeline.pattern_minute) + " over " +
         std::to_string(span) + " ms of the timer from " + std::to_string(timeline.pattern_timer) +
         " ms</text>";
  for (int ms = 0; ms <= span; ms += 250) {
    const float x = kLeft + kWidth * static_cast<float>(ms) / static_cast<float>(span);
    svg += "<line class=\"hour\" x1=\"" + Number(x) + "\" y1=\"" + Number(pattern_top - 4) +
           "\" x2=\"" + Number(x) + "\" y2=\"" +
           Number(pattern_top + kRow * static_cast<float>(timeline.pattern.size())) + "\"/>";
    if (ms % 500 == 0)
      svg += "<text class=\"tick\" x=\"" + Number(x) + "\" y=\"" + Number(pattern_top - 6) +
             "\" text-anchor=\"middle\">+" + std::to_string(ms) + "</text>";
  }
  for (std::size_t i = 0; i < timeline.pattern.size(); ++i)
    LaneRow(svg, timeline.pattern[i], kLeft, kWidth,
            pattern_top + kRow * static_cast<float>(i), kBar);
  svg += "</svg>";
  return svg;
}

}  // namespace preview

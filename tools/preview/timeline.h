// The night timeline: what each feature of the plugin hands the host at every moment of the game's
// day, sampled by running the plugin in the emulated host (never worked out here), and the
// pattern of the blinking and pulsing features over two seconds of the host's timer.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/preview/preview.h"

namespace preview {

// One lane: a feature, a trail or one vehicle light.
struct Lane {
  std::string id;     // stable, for the page: "star-field", "trail-2", "vehicle-0-light-1002"
  std::string label;  // for people
  Feature feature = Feature::kStarField;
  int vehicle = -1;   // vehicle lights: the vehicle on the road
  // Per sample, how strongly it showed, 0 to 1 (its brightest channel times its alpha; the star
  // field's brightest star; 1 for a shooting star in flight); -1 where nothing was handed over.
  std::vector<float> values;
  uint8_t r = 255, g = 255, b = 255;  // its colour where it showed most
};

struct Timeline {
  // The day: samples every `step` minutes from `start` (minutes of the day) on, round the clock.
  int start = 12 * 60;
  int step = 5;
  int samples = 288;
  std::vector<Lane> day;
  // The pattern: samples every `pattern_step` ms of the host's timer from `pattern_timer` on, at
  // the game clock `pattern_minute`.
  uint32_t pattern_timer = 0;
  int pattern_step = 20;
  int pattern_samples = 100;
  int pattern_minute = 0;
  std::vector<Lane> pattern;

  // The lane with `id`, or null.
  const Lane* DayLane(const std::string& id) const;
  // The minute of the day of sample `index`.
  int MinuteOf(int index) const { return (start + index * step) % 1440; }
};

// The moments of the timeline's run: for every sample of the day one frame with the sky and, a
// little later each (so that a blink's lit phase is caught), seven frames without it; then the
// pattern's frames at the scene's clock and timer.
std::vector<Moment> TimelineMoments(const SceneSettings& scene, const Timeline& layout);

// Runs the timeline in one run of the emulated host. Progress lines go to `progress`.
Timeline RunTimeline(const Tools& tools, const SceneSettings& scene, std::ostream& progress);

// Adds the frames' items to the timeline (the frames of TimelineMoments, in order); what
// RunTimeline does with the emulated host's frames.
void CollectTimeline(const SceneSettings& scene, const std::vector<TraceFrame>& frames,
                     Timeline& timeline);

// The spans of the day in which a lane showed anything, as "HH:MM-HH:MM" texts in order (a span
// ends where the first sample without it begins); empty when it never did. "all day" when it
// always did.
std::vector<std::string> ShownSpans(const Timeline& timeline, const Lane& lane);

// Where TimelineSvg draws the day, in the SVG's own units: the plot from `left`, `width` wide for
// the whole day from the timeline's start, its lanes `row` apart from `top` on.
struct TimelineGeometry {
  static constexpr float kLeft = 190, kWidth = 760, kTop = 26, kRow = 22, kBar = 16;
};

// The timeline drawn as an SVG element: one lane per row, hours along, a line at `moment` (minutes
// of the day); and the pattern below it.
std::string TimelineSvg(const Timeline& timeline, int moment);

}  // namespace preview

#include "tools/preview/clip.h"

#include <cmath>
#include <stdexcept>

namespace preview {

std::vector<Moment> ClipMoments(const SceneSettings& scene, const ClipOptions& clip) {
  const int frames = clip.Frames();
  const int start = scene.hour * 60 + scene.minute;
  const int span = clip.timelapse ? ((clip.to - clip.from) % 1440 + 1440) % 1440 : 0;
  std::vector<Moment> moments;
  uint32_t previous = scene.timer;
  for (int k = 0; k < frames; ++k) {
    Moment m;
    // Whole milliseconds from the start, so that no rounding adds up over the frames; the host's
    // timer wraps as the game's does.
    const auto elapsed =
        static_cast<uint32_t>(std::llround(static_cast<double>(k) * 1000.0 / clip.fps));
    m.timer = scene.timer + elapsed;
    m.time_step = k == 0 ? 1.0f : static_cast<float>(m.timer - previous) / kFrameMs;
    previous = m.timer;
    const int offset = frames > 1 ? static_cast<int>(std::llround(static_cast<double>(k) * span /
                                                                  (frames - 1)))
                                  : 0;
    m.minute_of_day = (start + offset) % 1440;
    moments.push_back(m);
  }
  return moments;
}

ClipResult MakeClip(const Tools& tools, const SceneSettings& scene, const ClipOptions& clip,
                    int width, int height, const ApngWriter::Sink& sink, std::ostream& progress,
                    const std::string& trace_path) {
  const std::vector<Moment> moments = ClipMoments(scene, clip);
  ClipResult result;
  result.frames = static_cast<uint32_t>(moments.size());
  ApngWriter writer(width, height, result.frames, 1, static_cast<uint16_t>(clip.fps), sink);
  FrameRenderer renderer(scene, width, height);
  progress << "nightglass-preview: playing " << moments.size() << " frames in the emulated host\n"
           << std::flush;
  const std::size_t tenth = std::max<std::size_t>(1, moments.size() / 10);
  RunMoments(
      tools, scene, moments,
      [&](std::size_t index, const TraceFrame& frame) {
        const Image& picture = renderer.Render(moments[index].minute_of_day, frame);
        if (index == 0) {
          result.first = frame;
          result.first_picture = picture;
        }
        try {
          writer.AddFrame(picture);
        } catch (const std::runtime_error& e) {
          throw PreviewError(kExitFailure, std::string("cannot encode the clip: ") + e.what());
        }
        if ((index + 1) % tenth == 0 && index + 1 < moments.size())
          progress << "nightglass-preview: painted " << index + 1 << " of " << moments.size()
                   << " frames\n"
                   << std::flush;
      },
      trace_path);
  try {
    writer.Finish();
  } catch (const std::runtime_error& e) {
    throw PreviewError(kExitFailure, std::string("the emulated host played too few frames: ") +
                                         e.what());
  }
  return result;
}

}  // namespace preview

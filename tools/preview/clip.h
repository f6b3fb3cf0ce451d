// Clips: the frames of a stretch of the game played in one run of the emulated host, painted one
// after another and written as an animated PNG.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/preview/png.h"
#include "tools/preview/preview.h"

namespace preview {

// The moments of a clip's frames. The first is the scene's own moment (for a timelapse the scene
// must stand at its start); each later one runs the host's timer forward by the frame's time,
// rounded to whole milliseconds, with the time step that time makes (one unit for kFrameMs), and
// a timelapse moves the game clock evenly from its start to its end.
std::vector<Moment> ClipMoments(const SceneSettings& scene, const ClipOptions& clip);

struct ClipResult {
  uint32_t frames = 0;
  TraceFrame first;     // what the plugin handed over in the first frame
  Image first_picture;  // the first frame: the picture of the scene's moment
};

// Plays the clip in one run of the emulated host and hands the animated PNG's bytes to `sink` as
// its frames are painted. Progress lines go to `progress`. Throws PreviewError.
ClipResult MakeClip(const Tools& tools, const SceneSettings& scene, const ClipOptions& clip,
                    int width, int height, const ApngWriter::Sink& sink, std::ostream& progress,
                    const std::string& trace_path = "");

}  // namespace preview

// The night report: one self-contained HTML page about a settings file (no network, no other
// files), made of parts: the moment, the still with its background, the features (counts, each
// feature's items alone, why one shows nothing), the clip, the clock slider's pictures, the
// timeline and the settings file with nightglass-check's findings. Each part is a JSON object
// that the page's own script draws into its place, so that a part can be made and sent on its
// own; ReportPage embeds them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/preview/preview.h"
#include "tools/preview/timeline.h"
#include "tools/preview/why.h"

namespace preview {

struct ReportPart {
  std::string name;  // moment, still, features, clip, sheet, timeline, settings
  std::string json;
};

// A PNG file as a data URL.
std::string PngDataUrl(const std::vector<uint8_t>& png);

ReportPart MomentPart(const Options& options, const SceneSettings& scene, const Tools& tools);
// The picture and the scene alone under it.
ReportPart StillPart(const Image& still, const Image& background);
// Per group: what it handed over in `frame`, its items alone over `background` (only the pixels
// they change, the others transparent), and, where it shows nothing, why.
ReportPart FeaturesPart(const SceneSettings& scene, const TraceFrame& frame, int width, int height,
                        const SettingsCheck& check, const Timeline& timeline);
ReportPart ClipPart(const std::vector<uint8_t>& png, const ClipOptions& clip, uint32_t frames,
                    const SceneSettings& scene);
ReportPart SheetPart(const std::vector<int>& minutes, const std::vector<Image>& tiles);
ReportPart TimelinePart(const Timeline& timeline, int moment);
ReportPart SettingsPart(const SettingsCheck& check, const Tools& tools);

// The page with `parts` embedded.
std::string ReportPage(const std::vector<ReportPart>& parts);

struct ReportSummary {
  std::size_t bytes = 0;
  std::size_t findings = 0;  // errors and warnings of nightglass-check
};

// Makes every part (the clip and the still in one run of the emulated host, the timeline in a
// second, one run for each of the slider's pictures) and writes the page to `path`. Progress
// lines go to `progress`. Throws PreviewError.
ReportSummary WriteReport(const Tools& tools, const Options& options, const SceneSettings& scene,
                          const std::string& path, std::ostream& progress);

}  // namespace preview

#include "tools/preview/report.h"

#include <stdexcept>

#include "tools/preview/clip.h"
#include "tools/preview/png.h"
#include "tools/preview/text.h"

namespace preview {

namespace {

// The page, from report_page.html (made into this string by the build).
constexpr const char kPage[] =
#include "report_page.inc"
    ;
constexpr std::string_view kPartsMark = "<!-- parts -->";

// The report holds the clip in memory and as base64 text: a larger one belongs in a file of its
// own (--clip).
constexpr std::size_t kMostReportClipBytes = 64u << 20;

// A small writer of JSON objects and arrays, the keys and strings escaped.
class Json {
 public:
  Json& Open() { return Raw("{"); }
  Json& Close() { return Raw("}"); }
  Json& Key(std::string_view key) {
    Comma();
    text_ += JsonString(key) + ":";
    fresh_ = true;
    return *this;
  }
  Json& Str(std::string_view key, std::string_view value) { return Key(key).Value(JsonString(value)); }
  Json& Int(std::string_view key, int64_t value) { return Key(key).Value(std::to_string(value)); }
  Json& Bool(std::string_view key, bool value) { return Key(key).Value(value ? "true" : "false"); }
  Json& Null(std::string_view key) { return Key(key).Value("null"); }
  Json& Array(std::string_view key) {
    Key(key);
    return Raw("[");
  }
  Json& End() { return Raw("]"); }
  // An element of an array, or the value after a key.
  Json& Value(const std::string& json) {
    Comma();
    text_ += json;
    return *this;
  }
  Json& Object() {
    Comma();
    text_ += "{";
    fresh_ = true;
    return *this;
  }
  const std::string& Text() const { return text_; }

 private:
  Json& Raw(const char* text) {
    if (text[0] == '{' || text[0] == '[') Comma();
    text_ += text;
    fresh_ = text[0] == '{' || text[0] == '[';
    return *this;
  }
  void Comma() {
    if (!fresh_ && !text_.empty()) text_ += ",";
    fresh_ = false;
  }
  std::string text_;
  bool fresh_ = true;
};

std::string PngUrl(const Image& image) {
  const std::vector<uint8_t> png = EncodePng(image);
  if (png.empty()) throw PreviewError(kExitFailure, "cannot encode a picture of the report");
  return PngDataUrl(png);
}

// `alone` over `background`: its own pixels where they differ, transparent elsewhere. Nothing when
// they are the same picture.
std::string OverlayUrl(const Image& alone, const Image& background) {
  std::vector<uint8_t> rgba(4 * static_cast<std::size_t>(alone.width) * alone.height, 0);
  bool any = false;
  for (std::size_t i = 0, j = 0; i < alone.rgb.size(); i += 3, j += 4) {
    if (alone.rgb[i] == background.rgb[i] && alone.rgb[i + 1] == background.rgb[i + 1] &&
        alone.rgb[i + 2] == background.rgb[i + 2])
      continue;
    rgba[j] = alone.rgb[i];
    rgba[j + 1] = alone.rgb[i + 1];
    rgba[j + 2] = alone.rgb[i + 2];
    rgba[j + 3] = 255;
    any = true;
  }
  if (!any) return {};
  const std::vector<uint8_t> png = EncodePngRgba(alone.width, alone.height, rgba);
  if (png.empty()) throw PreviewError(kExitFailure, "cannot encode a picture of the report");
  return PngDataUrl(png);
}

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError: return "error";
    case Severity::kWarning: return "warning";
    case Severity::kNote: break;
  }
  return "note";
}

std::string LaneJson(const Lane& lane) {
  Json json;
  json.Open().Str("id", lane.id).Str("label", lane.label).Array("values");
  for (float v : lane.values) {
    // Three decimals are plenty for a plot and keep the page small.
    json.Value(v < 0 ? "-1" : JsonNumber(static_cast<float>(static_cast<int>(v * 1000 + 0.5f)) / 1000));
  }
  json.End().Close();
  return json.Text();
}

}  // namespace

std::string PngDataUrl(const std::vector<uint8_t>& png) {
  return "data:image/png;base64," + Base64(png);
}

ReportPart MomentPart(const Options& options, const SceneSettings& scene, const Tools& tools) {
  Json json;
  json.Open()
      .Str("clock", ClockText(scene.hour * 60 + scene.minute))
      .Int("minute", scene.hour * 60 + scene.minute)
      .Int("timer", scene.timer)
      .Str("camera", CameraName(scene.camera))
      .Array("size")
      .Value(std::to_string(options.width))
      .Value(std::to_string(options.height))
      .End()
      .Str("path", tools.settings_file.empty() ? tools.settings + " (none: defaults)"
                                               : tools.settings_file)
      .Close();
  return {"moment", json.Text()};
}

ReportPart StillPart(const Image& still, const Image& background) {
  Json json;
  json.Open().Str("png", PngUrl(still)).Str("background", PngUrl(background)).Close();
  return {"still", json.Text()};
}

ReportPart FeaturesPart(const SceneSettings& scene, const TraceFrame& frame, int width, int height,
                        const SettingsCheck& check, const Timeline& timeline) {
  const std::vector<PlacedVehicle> vehicles = PlaceVehicles(scene.models);
  const std::vector<int32_t> models =
      check.present ? VehicleModels(check.path) : std::vector<int32_t>{};
  // Each group's picture over the scene painted once; the background is the first.
  FrameRenderer renderer(scene, width, height);
  const int minute = scene.hour * 60 + scene.minute;
  const Image background = renderer.Render(minute, TraceFrame());
  Json json;
  json.Open().Array("groups");
  for (const ItemGroup& group : ItemGroups(scene, models)) {
    const TraceFrame items = ItemsOf(frame, group, vehicles);
    const bool shows = ShowsAnything(items);
    json.Object()
        .Str("id", group.id)
        .Str("name", group.name)
        .Str("feature", FeatureId(group.feature))
        .Int("sprites", static_cast<int64_t>(items.sprites.size()))
        .Int("glows", static_cast<int64_t>(items.glows.size()))
        .Int("lights", static_cast<int64_t>(items.lights.size()))
        .Bool("shows", shows);
    const std::string layer = OverlayUrl(renderer.Render(minute, items), background);
    if (layer.empty()) {
      json.Null("layer");
    } else {
      json.Str("layer", layer);
    }
    json.Array("why");
    if (!shows)
      for (const std::string& reason : WhyNothingShows(group, scene, check, timeline))
        json.Value(JsonString(reason));
    json.End().Close();
  }
  json.End().Close();
  return {"features", json.Text()};
}

ReportPart ClipPart(const std::vector<uint8_t>& png, const ClipOptions& clip, uint32_t frames,
                    const SceneSettings& scene) {
  Json json;
  json.Open()
      .Str("png", PngDataUrl(png))
      .Int("frames", frames)
      .Int("fps", clip.fps)
      .Key("seconds")
      .Value(JsonNumber(static_cast<float>(frames) / static_cast<float>(clip.fps)))
      .Int("timer", scene.timer);
  if (clip.timelapse) {
    json.Key("timelapse").Object().Str("from", ClockText(clip.from)).Str("to", ClockText(clip.to)).Close();
  } else {
    json.Null("timelapse");
  }
  json.Close();
  return {"clip", json.Text()};
}

ReportPart SheetPart(const std::vector<int>& minutes, const std::vector<Image>& tiles) {
  Json json;
  json.Open().Array("frames");
  for (std::size_t i = 0; i < tiles.size() && i < minutes.size(); ++i) {
    json.Object()
        .Str("clock", ClockText(minutes[i]))
        .Int("minute", minutes[i])
        .Str("png", PngUrl(tiles[i]))
        .Close();
  }
  json.End().Close();
  return {"sheet", json.Text()};
}

ReportPart TimelinePart(const Timeline& timeline, int moment) {
  const std::string svg = TimelineSvg(timeline, moment);
  Json json;
  json.Open()
      .Str("svg", svg)
      .Int("start", timeline.start)
      .Int("step", timeline.step)
      .Int("samples", timeline.samples);
  // Where the day's plot lies in the SVG, for the page's clock cursor.
  using G = TimelineGeometry;
  json.Key("geometry")
      .Object()
      .Key("left").Value(JsonNumber(G::kLeft))
      .Key("width").Value(JsonNumber(G::kWidth))
      .Int("start", timeline.start)
      .Key("top").Value(JsonNumber(G::kTop - 4))
      .Key("bottom").Value(JsonNumber(G::kTop + G::kRow * static_cast<float>(timeline.day.size())))
      .Close();
  json.Array("day");
  for (const Lane& lane : timeline.day) json.Value(LaneJson(lane));
  json.End();
  json.Key("pattern")
      .Object()
      .Int("timer", timeline.pattern_timer)
      .Int("step", timeline.pattern_step)
      .Str("clock", ClockText(timeline.pattern_minute))
      .Array("lanes");
  for (const Lane& lane : timeline.pattern) json.Value(LaneJson(lane));
  json.End().Close().Close();
  return {"timeline", json.Text()};
}

ReportPart SettingsPart(const SettingsCheck& check, const Tools& tools) {
  int errors = 0, warnings = 0, notes = 0;
  for (const Finding& f : check.findings) {
    errors += f.severity == Severity::kError;
    warnings += f.severity == Severity::kWarning;
    notes += f.severity == Severity::kNote;
  }
  Json json;
  json.Open()
      .Bool("present", check.present)
      .Str("path", check.path)
      .Str("folder", tools.settings)
      .Int("errors", errors)
      .Int("warnings", warnings)
      .Int("notes", notes)
      .Array("lines");
  for (const std::string& line : check.text) json.Value(JsonString(line));
  json.End().Array("findings");
  for (const Finding& f : check.findings) {
    json.Object()
        .Int("line", f.line)
        .Str("severity", SeverityName(f.severity))
        .Str("code", f.code)
        .Str("key", f.key)
        .Str("message", f.message)
        .Close();
  }
  json.End().Close();
  return {"settings", json.Text()};
}

std::string ReportPage(const std::vector<ReportPart>& parts) {
  const std::string_view page(kPage);
  const std::size_t mark = page.find(kPartsMark);
  std::string html(page.substr(0, mark));
  for (const ReportPart& part : parts) {
    // JsonString writes "<" as an escape, so no part can end its script element early.
    html += "<script type=\"application/json\" data-part=\"" + part.name + "\">" + part.json +
            "</script>\n";
  }
  html += page.substr(mark + kPartsMark.size());
  return html;
}

ReportSummary WriteReport(const Tools& tools, const Options& options, const SceneSettings& scene,
                          const std::string& path, std::ostream& progress) {
  const SettingsCheck check = CheckSettings(tools.settings_file);
  ReportSummary summary;
  for (const Finding& f : check.findings) summary.findings += f.severity != Severity::kNote;
  if (summary.findings > 0) {
    progress << "nightglass-preview: note: nightglass-check finds " << summary.findings
             << " errors or warnings in " << check.path
             << "; the report shows them beside their lines\n";
  }

  // The clip, whose first frame is the still.
  SceneSettings clip_scene = scene;
  if (options.clip.timelapse) {
    clip_scene.hour = options.clip.from / 60;
    clip_scene.minute = options.clip.from % 60;
  }
  std::vector<uint8_t> clip_png;
  const ClipResult clip = MakeClip(
      tools, clip_scene, options.clip, options.width, options.height,
      [&](const uint8_t* data, std::size_t size) {
        if (clip_png.size() + size > kMostReportClipBytes) {
          throw PreviewError(kExitFailure,
                             "the report's clip would be more than " +
                                 std::to_string(kMostReportClipBytes >> 20) +
                                 " MiB: give a shorter or smaller one (--clip, --size), or write "
                                 "it to a file of its own with --clip");
        }
        clip_png.insert(clip_png.end(), data, data + size);
      },
      progress, options.trace);
  // A timelapse's clip starts at its own time; the picture is the moment of --clock.
  TraceFrame still_frame = clip.first;
  Image still = clip.first_picture;
  if (options.clip.timelapse) {
    try {
      still_frame = ReadTrace(RunScene(tools, scene));
    } catch (const std::runtime_error& e) {
      throw PreviewError(kExitFailure, e.what());
    }
    still = RenderPicture(scene, still_frame, options.width, options.height);
  }

  const Timeline timeline = RunTimeline(tools, scene, progress);
  const std::vector<int> minutes =
      SheetMinutes(options.sheet_from, options.sheet_to, options.sheet_step);
  const std::vector<Image> tiles = SheetTiles(tools, scene, minutes, options.width,
                                              options.height, false, progress, nullptr);
  progress << "nightglass-preview: putting the report together\n" << std::flush;
  const int moment = scene.hour * 60 + scene.minute;
  FrameRenderer renderer(scene, options.width, options.height);
  const Image background = renderer.Render(moment, TraceFrame());
  const std::string html = ReportPage({
      MomentPart(options, scene, tools),
      StillPart(still, background),
      FeaturesPart(scene, still_frame, options.width, options.height, check, timeline),
      ClipPart(clip_png, options.clip, clip.frames, clip_scene),
      SheetPart(minutes, tiles),
      TimelinePart(timeline, moment),
      SettingsPart(check, tools),
  });
  WriteFileAtomically(path, "the report", html.data(), html.size());
  summary.bytes = html.size();
  return summary;
}

}  // namespace preview

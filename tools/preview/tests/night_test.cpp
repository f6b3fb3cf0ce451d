// Tests of the night in motion: the PNG and clip writer read back with a reader of our own and a
// PNG-only decoder, clips and timelines played by the real emulated host and plugin, the report's
// parts and the reasons it gives for a feature that shows nothing.
#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "tools/preview/child.h"
#include "tools/preview/clip.h"
#include "tools/preview/png.h"
#include "tools/preview/preview.h"
#include "tools/preview/report.h"
#include "tools/preview/tests/png_reader.h"
#include "tools/preview/text.h"
#include "tools/preview/timeline.h"
#include "tools/preview/why.h"

namespace preview {
namespace {

namespace fs = std::filesystem;
using preview_test::DecodePng;
using preview_test::DecodedPng;

// What a viewer that knows only PNG shows of a file: stb's decoder, as RGB.
std::vector<uint8_t> PlainPngPixels(const std::vector<uint8_t>& file, int* width, int* height) {
  int channels = 0;
  uint8_t* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), width,
                                          height, &channels, 3);
  if (pixels == nullptr) return {};
  std::vector<uint8_t> rgb(pixels, pixels + 3 * static_cast<std::size_t>(*width) * *height);
  stbi_image_free(pixels);
  return rgb;
}

Image Noise(int width, int height, uint32_t seed) {
  std::mt19937 random(seed);
  Image image{width, height, std::vector<uint8_t>(3 * static_cast<std::size_t>(width) * height)};
  for (uint8_t& byte : image.rgb) byte = static_cast<uint8_t>(random() % 7 * 40);
  return image;
}

// ---- the writer ----

TEST(PreviewPng, PicturesReadBackThePixelsTheyWereMadeOf) {
  for (auto [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {3, 2}, {97, 31}}) {
    const Image image = Noise(w, h, static_cast<uint32_t>(w * 1000 + h));
    const std::vector<uint8_t> png = EncodePng(image);
    const DecodedPng ours = DecodePng(png);
    ASSERT_EQ(ours.pictures.size(), 1u);
    EXPECT_EQ(ours.pictures[0], image.rgb);
    int sw = 0, sh = 0;
    EXPECT_EQ(PlainPngPixels(png, &sw, &sh), image.rgb);
    EXPECT_EQ(sw, w);
  }
  EXPECT_TRUE(EncodePng(Image{0, 5, {}}).empty());
  EXPECT_TRUE(EncodePng(Image{2, 2, std::vector<uint8_t>(5)}).empty());
}

TEST(PreviewPng, ClipsPlayEveryFrameAsPaintedAndShowTheFirstToPlainViewers) {
  // Frames that change nothing, a few pixels, one corner, and everything.
  std::vector<Image> frames{Noise(40, 30, 1)};
  frames.push_back(frames.back());
  frames.push_back(frames.back());
  frames.back().rgb[3 * (7 * 40 + 5)] ^= 0xFF;
  frames.back().rgb[3 * (20 * 40 + 33) + 2] ^= 0x01;
  frames.push_back(frames.back());
  frames.back().rgb[3 * (29 * 40 + 39)] ^= 0x80;
  frames.push_back(Noise(40, 30, 2));
  std::vector<uint8_t> file;
  ApngWriter writer(40, 30, static_cast<uint32_t>(frames.size()), 1, 25,
                    [&](const uint8_t* data, std::size_t size) { file.insert(file.end(), data, data + size); });
  for (const Image& frame : frames) writer.AddFrame(frame);
  EXPECT_THROW(writer.AddFrame(frames[0]), std::runtime_error);
  writer.Finish();

  const DecodedPng clip = DecodePng(file);
  EXPECT_EQ(clip.animation_frames, frames.size());
  EXPECT_EQ(clip.plays, 0u);
  ASSERT_EQ(clip.pictures.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(clip.pictures[i], frames[i].rgb) << i;
    EXPECT_EQ(clip.frames[i].delay_numerator, 1);
    EXPECT_EQ(clip.frames[i].delay_denominator, 25);
  }
  // Only what changed is in a frame: one pixel for no change, the changed pixels' rectangle else.
  EXPECT_EQ(clip.frames[1].width * clip.frames[1].height, 1u);
  EXPECT_EQ(clip.frames[2].x, 5u);
  EXPECT_EQ(clip.frames[2].y, 7u);
  EXPECT_EQ(clip.frames[2].width, 29u);
  EXPECT_EQ(clip.frames[2].height, 14u);
  EXPECT_EQ(clip.frames[3].x * 100 + clip.frames[3].y, 3929u);
  int w = 0, h = 0;
  EXPECT_EQ(PlainPngPixels(file, &w, &h), frames[0].rgb);

  ApngWriter short_clip(4, 4, 2, 1, 30, [](const uint8_t*, std::size_t) {});
  short_clip.AddFrame(Noise(4, 4, 3));
  EXPECT_THROW(short_clip.Finish(), std::runtime_error);
  EXPECT_THROW(short_clip.AddFrame(Noise(5, 4, 3)), std::runtime_error);
}

// ---- the trace read as features ----

TEST(PreviewTrace, EachItemIsTheFeaturesThatHandedItOver) {
  const std::string sprite = ",\"y\":2,\"z\":3,\"w\":4,\"h\":5,\"r\":6,\"g\":7,\"b\":8,\"i\":255,\"rz\":1,\"a\":9}\n";
  const auto draw = [&](int x) { return "{\"call\":\"DrawSprite\",\"x\":" + std::to_string(x) + sprite; };
  const std::string glow = ",\"r\":1,\"g\":2,\"b\":3,\"a\":4,\"pos\":[1,2,3],\"size\":5,\"far\":6,"
                           "\"more\":[0,0,0,0,0,0,0],\"last\":1.5}\n";
  const auto register_glow = [&](uint32_t id) {
    return "{\"call\":\"RegisterGlow\",\"id\":" + std::to_string(id) + glow;
  };
  const std::string projection =
      "{\"call\":\"ProjectToScreen\",\"world\":[1,2,3],\"ret\":1,\"screen\":[1,2,3],\"scale\":[1,1]}\n";
  const std::string trace =
      "{\"ev\":\"update\"}\n" + register_glow(0x48000010 + 1000) +
      "{\"call\":\"AddPointLight\",\"args\":[0,1,2,3,0,0,-1,2,1,0.5,0,0,1]}\n" +
      register_glow(0x48000010 + 1500 + 2000) + "{\"ev\":\"draw\"}\n" + projection + draw(1) +
      draw(2) + "{\"call\":\"DrawSprite\",\"x\":\"nan\"" + sprite + draw(3) + draw(4) +
      "{\"ev\":\"draw\"}\n" + projection + draw(3) + draw(4) + "{\"ev\":\"moon\"}\n" + draw(5) +
      "{\"ev\":\"logo-r\"}\n{\"call\":\"DrawSpriteAlt\",\"x\":6" + sprite + "{\"ev\":\"logo-star\"}\n" +
      draw(7) + "{\"ev\":\"trail\"}\n" + register_glow(102) + "{\"ev\":\"plane-glow\"}\n" +
      register_glow(3);
  const std::vector<TraceFrame> frames = ReadFrames(trace);
  ASSERT_EQ(frames.size(), 1u);
  const TraceFrame& f = frames[0];
  std::vector<std::pair<float, Feature>> sprites;
  for (const Sprite& s : f.sprites) sprites.push_back({s.x, s.feature});
  // The probe draw's two sprites are the first draw's last two: the shooting stars'. The sprite
  // that is not a number stays out but keeps its place.
  EXPECT_EQ(sprites, (std::vector<std::pair<float, Feature>>{
                         {1, Feature::kStarField},
                         {2, Feature::kStarField},
                         {3, Feature::kShootingStars},
                         {4, Feature::kShootingStars},
                         {5, Feature::kMoon},
                         {6, Feature::kSkySignR},
                         {7, Feature::kSkySignStar}}));
  ASSERT_EQ(f.glows.size(), 4u);
  EXPECT_EQ(f.glows[0].feature, Feature::kVehicleLights);
  EXPECT_EQ(f.glows[2].feature, Feature::kTrailGlows);
  EXPECT_EQ(f.glows[3].feature, Feature::kPlaneGlows);
  ASSERT_EQ(f.lights.size(), 1u);
  EXPECT_EQ(f.lights[0].glow, 0);
  EXPECT_TRUE(f.shooting_star_in_flight);  // projected in the probe draw

  // The vehicles of the glows, from the identifiers the plugin made of their addresses, and the
  // lights' names.
  const std::vector<PlacedVehicle> vehicles = PlaceVehicles({10, 11});
  EXPECT_EQ(VehicleOfGlow(f.glows[0], vehicles), 0);
  EXPECT_EQ(LightName(f.glows[0], 0), "left light");
  EXPECT_EQ(VehicleOfGlow(f.glows[1], vehicles), 1);
  EXPECT_EQ(LightName(f.glows[1], 1), "custom light 1");
  Glow stray = f.glows[0];
  stray.id = 5;
  stray.position = vehicles[1].position + Vec3{0, 0, 1};
  EXPECT_EQ(VehicleOfGlow(stray, vehicles), 1);  // the nearest, when the identifier does not tell
  EXPECT_EQ(LightName(stray, 1), "light");
  // A frame without a probe draw leaves every draw sprite to the star field.
  EXPECT_EQ(ReadTrace("{\"ev\":\"update\"}\n{\"ev\":\"draw\"}\n" + draw(1)).sprites[0].feature,
            Feature::kStarField);
}

// ---- with the emulated host ----

class PreviewNight : public ::testing::Test {
 protected:
  std::string Folder(const std::string& ini) {
    const fs::path folder = fs::temp_directory_path() /
                            ("nightglass-night-test-" + std::to_string(ProcessId()) + "-" +
                             std::to_string(folders_.size()));
    fs::create_directories(folder);
    std::ofstream(folder / "Nightglass.ini", std::ios::binary) << ini;
    folders_.push_back(folder);
    return folder.string();
  }
  static std::string Example() {
    std::ifstream in(NIGHTGLASS_SOURCE_DIR "/examples/Nightglass.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void TearDown() override {
    for (const fs::path& folder : folders_) fs::remove_all(folder);
  }
  static Tools ToolsFor(const std::string& folder) {
    Options options;
    options.settings = folder;
    options.hostsim = NIGHTGLASS_HOSTSIM_PATH;
    options.plugin = NIGHTGLASS_PLUGIN_PATH;
    return FindTools(options);
  }
  static SceneSettings SceneFor(const Tools& tools, int hour = 1) {
    SceneSettings scene;
    scene.hour = hour;
    scene.models = VehicleModels(tools.settings_file);
    return scene;
  }
  std::vector<fs::path> folders_;
};

TEST_F(PreviewNight, AClipOfTheExampleMovesTheShootingStarAndBlinksTheMoon) {
  // The example, its moon blinking lit 200 ms of every 1000.
  std::string ini = Example();
  ini.replace(ini.find("Moon_Type = 0"), 13, "Moon_Type = 1");
  const Tools tools = ToolsFor(Folder(ini));
  const SceneSettings scene = SceneFor(tools);
  ClipOptions length;  // 10 s at 30 frames a second
  std::vector<uint8_t> file;
  std::ostringstream progress;
  const ClipResult clip = MakeClip(tools, scene, length, 320, 180,
                                   [&](const uint8_t* data, std::size_t size) {
                                     file.insert(file.end(), data, data + size);
                                   },
                                   progress);
  EXPECT_EQ(clip.frames, 300u);
  EXPECT_NE(progress.str().find("painted 150 of 300 frames"), std::string::npos);

  // Read back: 300 frames of 1/30 s, the first the still picture of the same moment.
  const DecodedPng png = DecodePng(file);
  ASSERT_EQ(png.animation_frames, 300u);
  ASSERT_EQ(png.pictures.size(), 300u);
  for (const auto& frame : png.frames) {
    EXPECT_EQ(frame.delay_numerator, 1);
    EXPECT_EQ(frame.delay_denominator, 30);
  }
  const Image still = RenderPicture(scene, ReadTrace(RunScene(tools, scene)), 320, 180);
  int w = 0, h = 0;
  EXPECT_EQ(PlainPngPixels(file, &w, &h), still.rgb);
  EXPECT_EQ(png.pictures[0], still.rgb);

  // The moon's centre, from the host's moon in the scene script, is lit in the frames whose timer
  // lies in the first 200 ms of a second, and dark in the others.
  std::istringstream script(SceneScript(scene));
  std::string word;
  float mx = -1, my = -1;
  while (script >> word)
    if (word == "moon") script >> mx >> my;
  ASSERT_GT(mx, 0);
  const std::size_t moon = 3 * (static_cast<std::size_t>(my * 180 / 480) * 320 +
                                static_cast<std::size_t>(mx * 320 / 640));
  const std::vector<Moment> moments = ClipMoments(scene, length);
  int lit = 0, dark = 0;
  for (std::size_t k = 0; k < moments.size(); ++k) {
    const bool should_be_lit = moments[k].timer % 1000 < 200;
    const int level = png.pictures[k][moon + 1];
    if (should_be_lit) {
      EXPECT_GT(level, 150) << "frame " << k << " at " << moments[k].timer << " ms";
      ++lit;
    } else {
      EXPECT_LT(level, 60) << "frame " << k << " at " << moments[k].timer << " ms";
      ++dark;
    }
  }
  EXPECT_GT(lit, 50);
  EXPECT_GT(dark, 200);

  // The shooting star's head, its first sprite, moves from frame to frame while it flies.
  std::vector<float> heads;
  RunMoments(tools, scene, {moments[0], moments[1], moments[2]},
             [&](std::size_t, const TraceFrame& frame) {
               for (const Sprite& s : frame.sprites) {
                 if (s.feature != Feature::kShootingStars) continue;
                 heads.push_back(s.x);
                 break;
               }
             });
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_NE(heads[0], heads[1]);
  EXPECT_NE(heads[1], heads[2]);
  EXPECT_NE(png.pictures[1], png.pictures[2]);
}

TEST_F(PreviewNight, TimelapsePlaysTheClockFromItsStartToItsEnd) {
  SceneSettings scene;
  scene.hour = 19;
  ClipOptions length;
  length.seconds = 1;
  length.fps = 10;
  length.timelapse = true;
  length.from = 19 * 60;
  length.to = 1 * 60;  // past midnight
  const std::vector<Moment> moments = ClipMoments(scene, length);
  ASSERT_EQ(moments.size(), 10u);
  EXPECT_EQ(moments.front().minute_of_day, 19 * 60);
  EXPECT_EQ(moments[5].minute_of_day, 19 * 60 + 200);
  EXPECT_EQ(moments.back().minute_of_day, 60);
  EXPECT_EQ(moments[3].timer, scene.timer + 300);
  EXPECT_EQ(moments[3].time_step, 100.0f / kFrameMs);
}

TEST_F(PreviewNight, TheTimelineFollowsTheFadesAndHoursOfTheFile) {
  const Tools tools = ToolsFor(Folder(
      "[RStarLogo]\nRMinHour = 21\nRMaxHour = 3\nRFadeInEnable = 0\nRFadeOutEnable = 0\n"
      "[StarField]\nMinHour = 19\nMaxHour = 5\nStarFadeInDuration = 1.0\nFlickerDepth = 0.1\n"));
  std::ostringstream progress;
  const Timeline timeline = RunTimeline(tools, SceneFor(tools), progress);
  ASSERT_EQ(timeline.samples, 288);
  const Lane* stars = timeline.DayLane("star-field");
  const Lane* sign = timeline.DayLane("sky-sign-r");
  ASSERT_TRUE(stars && sign);
  const auto at = [&](const Lane* lane, int hour, int minute) {
    return lane->values[(((hour * 60 + minute) - timeline.start) % 1440 + 1440) % 1440 /
                        timeline.step];
  };
  // No star before 19:00; rising through the hour of the fade-in; full after it.
  EXPECT_LE(at(stars, 18, 55), 0.0f);
  float previous = 0;
  for (int minute = 5; minute < 60; minute += 10) {
    const float value = at(stars, 19, minute);
    EXPECT_GT(value, previous) << "19:" << minute;
    previous = value;
  }
  EXPECT_GT(at(stars, 21, 0), 0.9f);
  EXPECT_GE(at(stars, 21, 0), previous);
  // The R shows exactly from 21:00 to 03:00 at full strength, without fades.
  for (int i = 0; i < timeline.samples; ++i) {
    const int minute = timeline.MinuteOf(i);
    const bool inside = minute >= 21 * 60 || minute <= 3 * 60;
    EXPECT_EQ(sign->values[i] > 0, inside) << ClockText(minute);
  }
  EXPECT_EQ(ShownSpans(timeline, *sign), (std::vector<std::string>{"21:00-03:05"}));
  // The blinking of the example's third trail glow: lit 200 ms of every second.
  const Lane* trail = nullptr;
  for (const Lane& lane : timeline.pattern)
    if (lane.id == "trail-3") trail = &lane;
  ASSERT_TRUE(trail);
  int lit = 0;
  for (float v : trail->values) lit += v > 0;
  EXPECT_EQ(lit * timeline.pattern_step, 400);  // two seconds
  EXPECT_NE(TimelineSvg(timeline, 60).find("data-lane=\"sky-sign-r\""), std::string::npos);
}

TEST_F(PreviewNight, WhatShowsNothingIsToldWhy) {
  struct Case {
    const char* ini;
    int hour;
    const char* group;
    const char* reason;  // part of one of the reasons given
  };
  const std::string off_section = "[Veh_off_Taxi]\nModel = 1201\nMiddleLight_Offset = 0 0 1\n";
  const Case cases[] = {
      {"[StarField]\nNumStars = 0\n", 1, "star-field", "there are no stars: NumStars = 0 at line 2"},
      {"", 12, "star-field", "outside its hours: stars show 22:05-05:00"},
      {"[ShootingStars]\nEnable = 0\n", 1, "shooting-stars", "switched off: Enable = 0 at line 2"},
      {"", 12, "moon", "the game draws its moon only from 19:00 to 05:59"},
      {off_section.c_str(), 1, "vehicle-0", "section [Veh_off_Taxi] is skipped"},
      {"[Veh_Taxi]\nModel = taxi\nMiddleLight_Offset = 0 0 1\n", 1, "vehicle-lights",
       "section [Veh_Taxi] is skipped: its \"Model\" = \"taxi\" at line 2 is not a number"},
      {"[Veh_Taxi]\nModel = 1201\nMiddleLight_Offset = 0 0 1\nMiddleLight_HourOn = 20\n"
       "MiddleLight_HourOff = 22\n",
       1, "vehicle-0", "outside its hours: its lights show 20:00-22:00"},
      {"[VehicleLights]\nVehicleLightsGlobalEnable = 0\n[Veh_Taxi]\nModel = 1201\n"
       "MiddleLight_Offset = 0 0 1\n",
       1, "vehicle-0", "switched off: VehicleLightsGlobalEnable = 0 at line 2"},
      {"[Veh_1]\nModel = 1\n[Veh_2]\nModel = 2\n[Veh_3]\nModel = 3\n[Veh_4]\nModel = 4\n[Veh_5]\n"
       "Model = 5\n[Veh_6]\nModel = 6\n[Veh_7]\nModel = 7\n[Veh_8]\nModel = 8\n[Veh_9]\nModel = 9\n"
       "LeftLight_Offset = 1 1 1\n",
       1, "model-9", "no vehicle of model 9 in the scene"},
      {"; nothing\n", 1, "vehicle-lights", "the file has no vehicle section"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.group) + " with\n" + c.ini);
    const Tools tools = ToolsFor(Folder(c.ini));
    const SceneSettings scene = SceneFor(tools, c.hour);
    const SettingsCheck check = CheckSettings(tools.settings_file);
    std::ostringstream progress;
    const Timeline timeline = RunTimeline(tools, scene, progress);
    const TraceFrame frame = ReadTrace(RunScene(tools, scene));
    bool found = false;
    for (const ItemGroup& group : ItemGroups(scene, VehicleModels(tools.settings_file))) {
      if (group.id != c.group) continue;
      found = true;
      EXPECT_FALSE(ShowsAnything(ItemsOf(frame, group, PlaceVehicles(scene.models))));
      std::string told;
      for (const std::string& reason : WhyNothingShows(group, scene, check, timeline))
        told += reason + "\n";
      EXPECT_NE(told.find(c.reason), std::string::npos) << told;
    }
    EXPECT_TRUE(found);
  }
}

TEST_F(PreviewNight, TheReportShowsTheFileWithItsFindingsAndNeedsNothingElse) {
  // A file the checker rejects: a value that does not convert, and a mistyped key.
  const std::string folder = Folder(Example() + "\n[MoonSettings]\nMoon_Size = huge\nMoon_Colr = 1 2 3\n");
  Options options = ParseOptions({"--report", (fs::path(folder) / "night.html").string(),
                                  "--clip", "1@10", "--sheet=23:00-01:00", "--size", "160x90"});
  options.settings = folder;
  options.hostsim = NIGHTGLASS_HOSTSIM_PATH;
  options.plugin = NIGHTGLASS_PLUGIN_PATH;
  std::ostringstream out, err;
  ASSERT_EQ(RunPreview(options, out, err), kExitOk) << err.str();
  EXPECT_NE(err.str().find("the report shows them beside their lines"), std::string::npos);
  std::ifstream in(fs::path(folder) / "night.html", std::ios::binary);
  const std::string html((std::istreambuf_iterator<char>(in)), {});
  for (const char* part : {"moment", "still", "features", "clip", "sheet", "timeline", "settings"})
    EXPECT_NE(html.find(std::string("data-part=\"") + part + "\""), std::string::npos) << part;
  // The findings at their lines: the file's lines are numbered as the checker numbers them.
  const SettingsCheck check = CheckSettings((fs::path(folder) / "Nightglass.ini").string());
  const int last = static_cast<int>(check.text.size());
  EXPECT_EQ(check.text[last - 2], "Moon_Size = huge");
  EXPECT_NE(html.find("{\"line\":" + std::to_string(last - 1) + ",\"severity\":\"error\",\"code\":\"conversion-error\""),
            std::string::npos);
  EXPECT_NE(html.find("{\"line\":" + std::to_string(last) + ",\"severity\":\"error\",\"code\":\"unknown-key\""),
            std::string::npos);
  // Three pictures for the slider, and the page asks for nothing outside itself.
  EXPECT_NE(html.find("\"clock\":\"00:00\""), std::string::npos);
  for (const char* outside : {"src=\"http", "href=\"http", "<link", "src=\"/", "url(", "@import"})
    EXPECT_EQ(html.find(outside), std::string::npos) << outside;
  EXPECT_EQ(html.find("</script", html.find("data-part=\"settings\"") + 40),
            html.find("</script>\n", html.find("data-part=\"settings\"")));
}

TEST(PreviewText, JsonAndHtmlTextStaysInsideItsPlace) {
  EXPECT_EQ(JsonString("a\"b\\c\n</script>\t"), "\"a\\\"b\\\\c\\n\\u003c/script>\\t\"");
  EXPECT_EQ(JsonString("\xff\xc3\xa9\xe2\x80\xa8"), "\"\\ufffd\xc3\xa9\\u2028\"");
  EXPECT_EQ(JsonString(std::string("\x01", 1)), "\"\\u0001\"");
  EXPECT_EQ(XmlEscape("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
  EXPECT_EQ(Base64({'M', 'a', 'n'}), "TWFu");
  EXPECT_EQ(Base64({'M', 'a'}), "TWE=");
  EXPECT_EQ(Base64({'M'}), "TQ==");
  EXPECT_EQ(JsonNumber(0.5f), "0.5");
  EXPECT_EQ(JsonNumber(1.0f / 0.0f), "null");
}

}  // namespace
}  // namespace preview

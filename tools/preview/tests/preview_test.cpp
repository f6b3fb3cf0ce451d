// Tests of nightglass-preview: its parts on their own, and pictures made with the real emulated
// host and plugin whose pixels must follow the settings.
#include "tools/preview/preview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "hostsim/routines.h"
#include "tools/preview/child.h"
#include "tools/preview/png.h"
#include "tools/preview/trace.h"

namespace preview {
namespace {

namespace fs = std::filesystem;

// ---- parts ----

TEST(PreviewProjection, LandsWhereTheEmulatedHostProjects) {
  for (CameraPreset preset : {CameraPreset::kCity, CameraPreset::kSky, CameraPreset::kStreet}) {
    const Camera c = CameraFor(preset);
    for (Vec3 world : {Vec3{100, -40, 300}, Vec3{-800, -300, 90}, Vec3{-40, -25, 0.5f},
                       Vec3{5, 900, 10}, Vec3{-3000, -1200, 2500}}) {
      const float w[3] = {world.x, world.y, world.z},
                  p[3] = {c.position.x, c.position.y, c.position.z},
                  f[3] = {c.forward.x, c.forward.y, c.forward.z},
                  r[3] = {c.right.x, c.right.y, c.right.z};
      const hostsim::Projection host = hostsim::Project(w, p, f, r);
      const Projection ours = Project(c, world);
      ASSERT_EQ(ours.in_front, host.screen[2] > 0);
      if (!ours.in_front) continue;
      EXPECT_EQ(ours.x, host.screen[0]);
      EXPECT_EQ(ours.y, host.screen[1]);
      EXPECT_EQ(ours.depth, host.screen[2]);
      EXPECT_EQ(ours.scale, host.scale[0]);
    }
  }
}

TEST(PreviewTrace, ReadsTheLastFrameWithTheRenderStatesInForce) {
  const std::string trace =
      "{\"ev\":\"update\"}\n"
      "{\"call\":\"DrawSprite\",\"x\":1,\"y\":2,\"z\":3,\"w\":4,\"h\":5,\"r\":6,\"g\":7,\"b\":8,"
      "\"i\":255,\"rz\":1,\"a\":9}\n"
      "{\"call\":\"SetRenderState\",\"state\":10,\"value\":2}\n"
      "{\"call\":\"SetRenderState\",\"state\":11,\"value\":2}\n"
      "{\"call\":\"SetRenderState\",\"state\":6,\"value\":0}\n"
      "{\"ev\":\"update\"}\r\n"
      "{\"call\":\"DrawSprite\",\"x\":10.5,\"y\":20,\"z\":30,\"w\":4,\"h\":5,\"r\":300,\"g\":7,"
      "\"b\":8,\"i\":255,\"rz\":1,\"a\":9}\n"
      "{\"call\":\"DrawSprite\",\"x\":\"nan\",\"y\":20,\"z\":30,\"w\":4,\"h\":5,\"r\":6,\"g\":7,"
      "\"b\":8,\"i\":255,\"rz\":1,\"a\":9}\n"
      "{\"call\":\"SetRenderState\",\"state\":11,\"value\":6}\n"
      "{\"call\":\"DrawSpriteAlt\",\"x\":1,\"y\":2,\"z\":3,\"w\":4,\"h\":5,\"r\":6,\"g\":7,\"b\":8,"
      "\"i\":255,\"rz\":1,\"a\":9}\n"
      "{\"call\":\"RegisterGlow\",\"id\":\"pool+1000\",\"r\":1,\"g\":2,\"b\":3,\"a\":4,"
      "\"pos\":[1.5,-2,3e2],\"size\":5,\"far\":4000,\"more\":[0,0,0,0,0,0,0],\"last\":1.5}\n"
      "{\"call\":\"AddPointLight\",\"args\":[0,1,2,3,0,0,-1,2,1,0.5,0,0,1]}\n";
  const TraceFrame frame = ReadTrace(trace);
  ASSERT_EQ(frame.sprites.size(), 2u);  // the earlier frame's sprite and the NaN one left out
  EXPECT_EQ(frame.sprites[0].x, 10.5f);
  EXPECT_EQ(frame.sprites[0].r, 44);  // the low 8 bits, as the routine sees them
  EXPECT_TRUE(frame.sprites[0].additive);
  EXPECT_FALSE(frame.sprites[0].depth_test);
  EXPECT_FALSE(frame.sprites[1].additive);  // destination blend back to inverse source alpha
  ASSERT_EQ(frame.glows.size(), 1u);
  EXPECT_EQ(frame.glows[0].position.z, 300.0f);
  EXPECT_EQ(frame.glows[0].a, 4);
  ASSERT_EQ(frame.lights.size(), 1u);
  EXPECT_EQ(frame.lights[0].brightness, 2.0f);
  EXPECT_EQ(frame.lights[0].g, 0.5f);

  for (const char* bad : {"{\"ev\":\"update\"", "{\"ev\" \"update\"}", "not json", "{\"a\":[1,2}",
                          "{\"a\":1} trailing"}) {
    EXPECT_FALSE(TraceLine::Parse(bad)) << bad;
    try {
      ReadTrace(std::string("{\"ev\":\"load\"}\n") + bad + "\n");
      ADD_FAILURE() << bad;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    }
  }
}

TEST(PreviewOptions, ClockTimesAndSheets) {
  for (auto [text, minutes] : std::vector<std::pair<std::string, int>>{{"00:00", 0},
                                                                       {"1:05", 65},
                                                                       {"23:59", 1439},
                                                                       {"24:00", -1},
                                                                       {"12:60", -1},
                                                                       {"12:5", -1},
                                                                       {"123:00", -1},
                                                                       {":30", -1},
                                                                       {"ab:cd", -1},
                                                                       {"-1:00", -1},
                                                                       {"", -1},
                                                                       {"12:00 ", -1}})
    EXPECT_EQ(ParseClock(text), minutes) << text;
  EXPECT_EQ(SheetMinutes(19 * 60, 7 * 60, 60).size(), 13u);
  EXPECT_EQ(SheetMinutes(22 * 60, 2 * 60, 90), (std::vector<int>{1320, 1410, 60}));
  EXPECT_EQ(SheetMinutes(60, 60, 30), (std::vector<int>{60}));
  const Options sheet = ParseOptions({"--sheet=23:30-00:30/30", "--size", "64x48"});
  EXPECT_EQ(SheetMinutes(sheet.sheet_from, sheet.sheet_to, sheet.sheet_step),
            (std::vector<int>{1410, 0, 30}));
  EXPECT_EQ(sheet.width, 64);
  EXPECT_EQ(ParseOptions({"--sheet"}).width, 320);  // tiles are smaller than a picture
  EXPECT_EQ(ParseOptions({}).width, 1280);
}

// The vehicle models of a settings file holding `text`.
std::vector<int32_t> VehicleModelsOf(const std::string& text) {
  const fs::path file = fs::temp_directory_path() /
                        ("nightglass-preview-models-" + std::to_string(ProcessId()) + ".ini");
  std::ofstream(file, std::ios::binary) << text;
  const std::vector<int32_t> models = VehicleModels(file.string());
  fs::remove(file);
  return models;
}

TEST(PreviewScene, VehicleModelsOfEverySectionNamedForVehicles) {
  const std::string text =
      "Model = 1\n"                       // before any section
      "[Veh_off_Taxi]\r\nModel = 10\r\n"  // switched off: still put on the road
      "[Lights]\nModel = 2\n"             // not a vehicle section
      "[MyVeh_Bus]\nModel = 11 ; comment\n"
      "[Veh_Again]\nModel = 10\n"              // a model already there
      "[Veh_Typo]\nModel = bus\n"              // not a number
      "[Veh_Twice]\nModel = 12\nModel = 13\n"  // the last one counts
      "[Veh_Bad_Last]\nModel = 14\nModel = x\n";
  EXPECT_EQ(VehicleModelsOf(text), (std::vector<int32_t>{10, 11, 13}));
  // The file's last line, without a line end, keeps a CR at its end; a Ctrl-Z ends the file.
  EXPECT_EQ(VehicleModelsOf("[Veh_A]\nModel = 20\r"), (std::vector<int32_t>{20}));
  EXPECT_EQ(VehicleModelsOf("[Veh_A]\nModel = 20\n[Veh_B]\r"), (std::vector<int32_t>{20}));
  EXPECT_EQ(VehicleModelsOf("[Veh_A]\nModel = 20\x1A\n[Veh_B]\nModel = 21\n"),
            (std::vector<int32_t>{20}));
  EXPECT_EQ(VehicleModels((fs::temp_directory_path() / "nightglass-preview-no-such.ini").string()),
            std::vector<int32_t>{});
  std::vector<int32_t> many(12);
  for (int i = 0; i < 12; ++i) many[i] = i;
  EXPECT_EQ(PlaceVehicles(many).size(), kMaxVehicles);
}

TEST(PreviewRender, SplatsAddOrLayTheirColourWithinTheirRadius) {
  Canvas canvas(64, 48);
  const float red[3] = {1, 0, 0}, green[3] = {0, 1, 0};
  canvas.Splat(20, 20, 8, 4, red, 1, true);
  canvas.Splat(20, 20, 8, 4, red, 1, true);
  EXPECT_NEAR(
      canvas.Pixel(20, 20)[0],
      2 * (1 - 0.5f * 0.5f / 64 - 0.5f * 0.5f / 16) * (1 - 0.5f * 0.5f / 64 - 0.5f * 0.5f / 16),
      1e-5);
  EXPECT_EQ(canvas.Pixel(28, 20)[0], 0.0f);  // outside the half width
  EXPECT_EQ(canvas.Pixel(20, 24)[0], 0.0f);  // outside the half height
  canvas.Splat(40, 20, 4, 4, green, 0.5f, false);
  canvas.Splat(40, 20, 4, 4, green, 0.5f, false);
  const float layer = 0.5f * (1 - 0.03125f) * (1 - 0.03125f);  // alpha times the texture there
  EXPECT_NEAR(canvas.Pixel(40, 20)[1], 1 - (1 - layer) * (1 - layer), 1e-5);
  // A sprite far narrower than a pixel still shows, with the light of its size.
  canvas.Splat(10.5f, 40.5f, 0.075f, 0.75f, red, 1, true);
  EXPECT_NEAR(canvas.Pixel(10, 40)[0], 0.1f, 1e-6);
  // Splats off the picture or of absurd size paint what they cover and nothing else.
  canvas.Splat(-1e30f, 5, 1e30f, 1e30f, green, 1, true);
  canvas.Splat(1e9f, 1e9f, 3, 3, green, 1, true);
}

// The byte a channel of `value` (0 to 1) becomes in a picture.
int Byte(double value) { return static_cast<int>(std::min(1.0, value) * 255 + 0.5); }

// A world point straight ahead of the city camera, in the sky, at `distance`.
Vec3 AheadOfTheCamera(float distance) {
  const Camera c = CameraFor(CameraPreset::kCity);
  return c.position + c.forward * distance + c.Up() * (distance * 0.1f);
}

// What the item paints at the pixel under its projected centre, on a black canvas of 640x480
// (one pixel a reference pixel): its colour times the soft texture there.
double TextureAt(const Projection& p, float radius) {
  const float cx = p.x, cy = p.y;
  const int px = static_cast<int>(cx), py = static_cast<int>(cy);
  const double dx = (px + 0.5 - cx) / radius, dy = (py + 0.5 - cy) / radius;
  const double d2 = dx * dx + dy * dy;
  return (1 - d2) * (1 - d2);
}

TEST(PreviewRender, GlowsAndPointLightsPaintTheirColourAtTheirProjectedPlace) {
  const Camera camera = CameraFor(CameraPreset::kCity);
  struct Case {
    const char* what;
    bool glow;
    uint8_t r, g, b, a;  // a glow's colour and alpha
    float brightness;    // a point light's
  };
  for (const Case& c : {Case{"dim orange glow", true, 200, 100, 40, 128, 0},
                        Case{"full white glow", true, 255, 255, 255, 255, 0},
                        Case{"point light of brightness 2", false, 0, 0, 0, 0, 2.0f},
                        Case{"point light of brightness 3.5", false, 0, 0, 0, 0, 3.5f},
                        Case{"point light past the brightest", false, 0, 0, 0, 0, 9.0f}}) {
    SCOPED_TRACE(c.what);
    const Vec3 at = AheadOfTheCamera(300);
    const Projection p = Project(camera, at);
    ASSERT_TRUE(p.in_front);
    TraceFrame frame;
    double expected[3];
    float radius;
    if (c.glow) {
      Glow glow{at, 6.0f, 4000.0f, c.r, c.g, c.b, c.a};
      frame.glows.push_back(glow);
      radius = 6.0f * p.scale;
      const uint8_t colour[3] = {c.r, c.g, c.b};
      for (int k = 0; k < 3; ++k) expected[k] = colour[k] / 255.0 * (c.a / 255.0);
    } else {
      // A white light; its pool is 8 world units wide either side, as strong as its brightness
      // up to 4, and at most 0.6.
      frame.lights.push_back({at, c.brightness, 1.0f, 0.5f, 0.25f});
      radius = 8.0f * p.scale;
      const double k = std::min(c.brightness, 4.0f) / 4.0 * 0.6;
      expected[0] = k;
      expected[1] = 0.5 * k;
      expected[2] = 0.25 * k;
    }
    Canvas canvas(640, 480);
    canvas.PaintFrame(camera, frame);
    const Image image = canvas.ToImage();
    const double texture = TextureAt(p, radius);
    const uint8_t* pixel =
        &image.rgb[3 * (static_cast<std::size_t>(p.y) * 640 + static_cast<std::size_t>(p.x))];
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(pixel[k], Byte(expected[k] * texture), 1) << k;
    // Beyond its radius it paints nothing.
    const std::size_t beyond = static_cast<std::size_t>(p.x + radius + 2);
    EXPECT_EQ(image.rgb[3 * (static_cast<std::size_t>(p.y) * 640 + beyond)], 0);
  }
}

TEST(PreviewRender, ChannelsBecomeTheNearestByte) {
  // A grey laid over black at the centre of a pixel, where the texture is whole.
  for (auto [grey, byte] : std::vector<std::pair<float, int>>{
           {0.5f, 128}, {0.25f, 64}, {1.0f / 255, 1}, {0.4f / 255, 0}, {0.6f / 255, 1}, {1.0f, 255}}) {
    Canvas canvas(4, 4);
    const float colour[3] = {grey, grey, grey};
    canvas.Splat(2.5f, 2.5f, 1.5f, 1.5f, colour, 1.0f, false);
    const Image image = canvas.ToImage();
    EXPECT_EQ(image.rgb[3 * (2 * 4 + 2)], byte) << grey;
  }
  // Light beyond white stays white; the part of a rectangle takes the same conversion.
  Canvas canvas(4, 4);
  const float bright[3] = {3.0f, 0.5f, 0.0f};
  canvas.Splat(2.5f, 2.5f, 1.5f, 1.5f, bright, 1.0f, true);
  Image part{4, 4, std::vector<uint8_t>(48, 7)};
  canvas.ToImage({2, 2, 3, 3}, part);
  EXPECT_EQ((std::vector<uint8_t>(&part.rgb[30], &part.rgb[33])), (std::vector<uint8_t>{255, 128, 0}));
  EXPECT_EQ(part.rgb[27], 7);  // outside the rectangle, untouched
}

TEST(PreviewRender, FramesPaintedOneAfterAnotherAreThePicturesPaintedAlone) {
  SceneSettings scene;
  scene.models = {77, 78};
  FrameRenderer renderer(scene, 160, 90);
  // Items that move, appear and vanish from frame to frame, and a change of the game minute.
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    TraceFrame frame;
    for (int i = 0; i < k % 4; ++i) {
      const uint8_t level = static_cast<uint8_t>(80 + 40 * i);
      frame.sprites.push_back({100.0f + 60 * i + 9 * k, 80.0f + 5 * k, 900, 6, 6, level, 200, 90,
                               255, i % 2 == 0, i == 1});
    }
    if (k % 2 == 1)
      frame.glows.push_back({AheadOfTheCamera(200 + 30.0f * k), 8.0f, 4000.0f, 255, 60, 0, 200});
    if (k == 3) frame.lights.push_back({AheadOfTheCamera(120), 2.0f, 0.2f, 0.4f, 1.0f});
    SceneSettings at = scene;
    at.hour = k < 4 ? 1 : 19;
    at.minute = k < 4 ? 0 : 40;
    const Image& painted = renderer.Render(at.hour * 60 + at.minute, frame);
    EXPECT_EQ(painted.rgb, RenderPicture(at, frame, 160, 90).rgb);
  }
}

// ---- pictures made with the emulated host and the plugin ----

class PreviewPictures : public ::testing::Test {
 protected:
  // A settings folder holding `ini` as its Nightglass.ini.
  std::string Folder(const std::string& ini) {
    const fs::path folder =
        fs::temp_directory_path() / ("nightglass-preview-test-" + std::to_string(ProcessId()) +
                                     "-" + std::to_string(folders_.size()));
    fs::create_directories(folder);
    std::ofstream(folder / "Nightglass.ini", std::ios::binary) << ini;
    folders_.push_back(folder);
    return folder.string();
  }
  void TearDown() override {
    for (const fs::path& folder : folders_) fs::remove_all(folder);
  }

  Image Picture(const std::string& folder, int hour, int width = 320, int height = 240) {
    Options options;
    options.settings = folder;
    options.hostsim = NIGHTGLASS_HOSTSIM_PATH;
    options.plugin = NIGHTGLASS_PLUGIN_PATH;
    const Tools tools = FindTools(options);
    SceneSettings scene;
    scene.hour = hour;
    scene.models = VehicleModels(tools.settings_file);
    return RenderPicture(scene, ReadTrace(RunScene(tools, scene)), width, height);
  }

  static const uint8_t* At(const Image& image, int x, int y) {
    return &image.rgb[3 * (static_cast<std::size_t>(y) * image.width + x)];
  }

  std::vector<fs::path> folders_;
};

// The settings file of a folder is the one the plugin opens there: at the top, else in plugins,
// else in scripts.
TEST_F(PreviewPictures, FindsTheSettingsFileWhereThePluginLooks) {
  const fs::path folder = Folder("");
  Options options;
  options.settings = folder.string();
  options.hostsim = NIGHTGLASS_HOSTSIM_PATH;
  options.plugin = NIGHTGLASS_PLUGIN_PATH;
  const auto found = [&] {
    const std::string file = FindTools(options).settings_file;
    return file.empty() ? std::string() : fs::path(file).lexically_relative(folder).generic_string();
  };
  fs::remove(folder / "Nightglass.ini");
  EXPECT_EQ(found(), "");
  for (const char* place : {"scripts", "plugins"}) {
    fs::create_directories(folder / place);
    std::ofstream(folder / place / "Nightglass.ini") << "\n";
  }
  EXPECT_EQ(found(), "plugins/Nightglass.ini");
  fs::remove(folder / "plugins" / "Nightglass.ini");
  EXPECT_EQ(found(), "scripts/Nightglass.ini");
  std::ofstream(folder / "Nightglass.ini") << "\n";
  EXPECT_EQ(found(), "Nightglass.ini");
}

TEST_F(PreviewPictures, TheSameInputsGiveTheSameBytes) {
  const std::string folder = NIGHTGLASS_SOURCE_DIR "/examples";
  const auto png_hash = [&](int hour) {
    const std::vector<uint8_t> png = EncodePng(Picture(folder, hour));
    return std::hash<std::string>()(std::string(png.begin(), png.end()));
  };
  EXPECT_EQ(png_hash(1), png_hash(1));
  EXPECT_NE(png_hash(1), png_hash(22));  // the stars begin to fade in at 22:00
}

TEST_F(PreviewPictures, StarsShowAtNightOnlyAndNotWithoutStars) {
  const std::string quiet = "[ShootingStars]\nEnable = 0\n";
  const std::string stars = Folder(quiet), none = Folder(quiet + "[StarField]\nNumStars = 0\n"),
                    never = Folder(quiet + "[StarField]\nMinHour = 12\nMaxHour = 12\n");
  // At noon the stars are out of their window: the star field changes nothing.
  EXPECT_EQ(Picture(stars, 12).rgb, Picture(none, 12).rgb);
  // Without stars the night sky is exactly that of a star field that never shows.
  const Image empty = Picture(none, 1);
  EXPECT_EQ(empty.rgb, Picture(never, 1).rgb);
  // At 01:00 the stars add light to the sky, in many separate places, and take none away.
  const Image lit = Picture(stars, 1);
  int brighter = 0;
  for (std::size_t i = 0; i < lit.rgb.size(); ++i) {
    ASSERT_GE(lit.rgb[i], empty.rgb[i]);
    brighter += lit.rgb[i] > empty.rgb[i] + 30;
  }
  EXPECT_GT(brighter, 3 * 20);
}

TEST_F(PreviewPictures, TheCityCameraSeesTheNightsFirstShootingStar) {
  // Without the star field, the additive sprites of the frame are the shooting star's: all twelve
  // of them on the screen at 01:00, none at 12:00, outside the shooting stars' hours.
  const auto additive = [&](int hour) {
    Options options;
    options.settings = Folder("[StarField]\nNumStars = 0\n");
    options.hostsim = NIGHTGLASS_HOSTSIM_PATH;
    options.plugin = NIGHTGLASS_PLUGIN_PATH;
    SceneSettings scene;
    scene.hour = hour;
    int count = 0;
    for (const Sprite& sprite : ReadTrace(RunScene(FindTools(options), scene)).sprites)
      count += sprite.additive;
    return count;
  };
  EXPECT_EQ(additive(1), 12);
  EXPECT_EQ(additive(12), 0);
}

TEST_F(PreviewPictures, TheMoonTakesItsTint) {
  // The moon's centre: the host's moon line of the scene script.
  SceneSettings scene;
  std::istringstream script(SceneScript(scene));
  std::string word;
  float x = -1, y = -1;
  while (script >> word)
    if (word == "moon") script >> x >> y;
  ASSERT_GT(x, 0);
  const int px = static_cast<int>(x / 2), py = static_cast<int>(y / 2);  // 320x240 of 640x480
  const Image plain = Picture(Folder(""), 1);
  const uint8_t* white = At(plain, px, py);
  EXPECT_GT(white[1], 200);
  EXPECT_GT(white[2], 190);
  const Image tinted = Picture(Folder("[MoonSettings]\nMoon_Color = 255 0 0\n"), 1);
  const uint8_t* red = At(tinted, px, py);
  EXPECT_GT(red[0], 200);
  EXPECT_LT(red[1], 60);
  EXPECT_LT(red[2], 60);
}

TEST_F(PreviewPictures, AVehicleLightShowsWhereItsOffsetPutsIt) {
  // Where a light of the first vehicle on the road must show, worked out here in double
  // precision: the vehicle's position and axes, the offset along them, the city camera's pinhole
  // of 640x480 with a 70 degree vertical view (the picture is 640x480 too).
  const PlacedVehicle v = PlaceVehicles({77})[0];
  const Camera c = CameraFor(CameraPreset::kCity);
  const auto where = [&](double x, double y, double z) {
    const auto at = [](Vec3 e) { return std::array<double, 3>{e.x, e.y, e.z}; };
    const auto pos = at(v.position), a1 = at(v.axes[0]), a2 = at(v.axes[1]), a3 = at(v.axes[2]);
    const auto cam = at(c.position), f = at(c.forward), r = at(c.right);
    const std::array<double, 3> u{r[1] * f[2] - r[2] * f[1], r[2] * f[0] - r[0] * f[2],
                                  r[0] * f[1] - r[1] * f[0]};
    double d[3];
    for (int i = 0; i < 3; ++i) d[i] = pos[i] + x * a1[i] + y * a2[i] + z * a3[i] - cam[i];
    const auto dot = [&](const std::array<double, 3>& e) {
      return d[0] * e[0] + d[1] * e[1] + d[2] * e[2];
    };
    const double focal = 240 / std::tan(35 * 3.14159265358979 / 180);
    return std::pair<int, int>(static_cast<int>(320 + dot(r) * focal / dot(f)),
                               static_cast<int>(240 - dot(u) * focal / dot(f)));
  };
  // The left light is blue; the right one, also blue, waits far beyond the timer: it is
  // registered dark and must not show.
  const std::string lights =
      "Model = 77\nLeftLight_Offset = -1.5 4 2.5\nLeftLight_Color = 0 0 255\nLeftLight_Size = 0.5\n"
      "RightLight_Offset = 1.5 4 2.5\nRightLight_Color = 0 0 255\nRightLight_StartDelay = "
      "99000000\n";
  const Image on = Picture(Folder("[Veh_Test]\n" + lights), 1, 640, 480);
  const Image off = Picture(Folder("[Veh_off_Test]\n" + lights), 1, 640, 480);
  const auto [x, y] = where(-1.5, 4, 2.5);
  EXPECT_GT(At(on, x, y)[2], At(off, x, y)[2] + 150);
  EXPECT_LT(At(on, x, y)[0], 80);
  const auto pixel = [](const Image& image, int x, int y) {
    return std::vector<uint8_t>(At(image, x, y), At(image, x, y) + 3);
  };
  EXPECT_EQ(pixel(on, x + 6, y), pixel(off, x + 6, y));  // a few pixels away, nothing
  const auto [dark_x, dark_y] = where(1.5, 4, 2.5);
  EXPECT_EQ(pixel(on, dark_x, dark_y), pixel(off, dark_x, dark_y));
}

}  // namespace
}  // namespace preview

#include "tests/claims/scene.h"

#include <cstdint>
#include <sstream>
#include <string_view>
#include <vector>

namespace claims {

namespace {

// The camera over the city that the preview uses: at 25 units, looking along the road (azimuth
// 206 degrees) 12 degrees up.
constexpr const char* kCamera = "camera 0 0 25 -0.87916 -0.42879 0.20791 -0.43837 0.89879 0";

// The example's three models on the road ahead of the camera, each with its axes (right, forward,
// up): a taxi and a patrol car driving away, a bus coming towards the camera.
constexpr const char* kVehicles[] = {
    "vehicle 0 1201 -62.9 -30.7 0 1000 -0.43837 0.89879 0 -0.89879 -0.43837 0 0 0 1",
    "vehicle 1 1202 -88.1 -43.0 0 1000 -0.43837 0.89879 0 -0.89879 -0.43837 0 0 0 1",
    "vehicle 2 1203 -113.3 -55.2 0 1000 0.43837 -0.89879 0 0.89879 0.43837 0 0 0 1",
};

class Script {
 public:
  Script& Line(std::string_view line) {
    text_ << line << '\n';
    return *this;
  }
  Script& Time(uint32_t ms) {
    text_ << "time " << ms << '\n';
    return *this;
  }
  Script& Clock(int hour, int minute) {
    text_ << "clock " << hour << ' ' << minute << '\n';
    return *this;
  }
  // What the host draws through the sites the plugin takes over: the moon, the sky sign's R and
  // star, the three trails at their primary and secondary sites, the four plane glows.
  Script& HostSky() {
    Line("moon 320 100 0.99 20 20 235 235 215 255 1 255");
    Line("logo-r 300 200 0.99 12 12 255 255 255 255 1 255");
    Line("logo-star 350 190 0.99 12 12 255 255 255 255 1 255");
    for (int site = 1; site <= 6; ++site)
      text_ << "trail " << site << " 400 -120 " << 200 + site << '\n';
    for (int site = 1; site <= 4; ++site)
      text_ << "plane-glow " << site << ' ' << site << " 410 -110 205 0\n";
    return *this;
  }
  std::string Text() const { return text_.str(); }

 private:
  std::ostringstream text_;
};

}  // namespace

std::string SceneScript() {
  Script s;
  s.Line("# The claims test's scene.")
      .Line("build 100")
      .Line("scene 0")
      .Line("timestep 1")
      .Line(kCamera);
  s.Line("pool 3");
  for (const char* vehicle : kVehicles) s.Line(vehicle);
  // Loaded and started at 21:30, before the star field's and the shooting stars' hours.
  s.Clock(21, 30).Time(0).Line("skygate 1").Line("load").Line("startup");
  // The sky sign's hours as the plugin writes them into the host's code (the patched calls hold
  // addresses of the plugin, which differ from run to run).
  for (const char* operand : {"0x53FF09", "0x53FF12", "0x53FF26", "0x53FF2F", "0x53FF46"}) {
    s.Line(std::string("dump ") + operand + " 1");
  }

  uint32_t t = 0;
  // The vehicles from their first 150 ms on, across the right light's start delay, then their
  // lights' hours, blinks and pulses over a second at hours inside and outside the taxi's window.
  // Each update also steps the shooting stars (out of their hours at 21:30) and the plane branch.
  for (const auto& [hour, minute] :
       {std::pair{21, 30}, {6, 30}, {7, 30}, {12, 0}, {18, 30}, {19, 30}}) {
    s.Clock(hour, minute);
    for (int step = 0; step < 8; ++step) s.Time(t += 150).Line("update");
  }

  // The star field at hours across its window and fades, twinkling, before a start delay of 10 s
  // would end; one drawing in daylight.
  for (const auto& [hour, minute] : {std::pair{22, 30}, {1, 0}, {4, 30}, {12, 0}}) {
    s.Clock(hour, minute).Time(t += 50).Line("draw");
  }

  // The sky as the host draws it, over a second of blinks, at hours across the sky sign's window
  // and its fades, the moon's and the trails' flashing.
  for (const auto& [hour, minute] : {std::pair{19, 30},
                                     {20, 30},
                                     {21, 0},
                                     {22, 0},
                                     {23, 30},
                                     {2, 0},
                                     {4, 30},
                                     {5, 15},
                                     {5, 45},
                                     {6, 30},
                                     {12, 0}}) {
    s.Clock(hour, minute);
    for (int step = 0; step < 8; ++step) s.Time(t += 150).HostSky();
  }

  // The shooting stars: no vehicles on the road, a few seconds out of their hours (21:30), then 45
  // s in them at 05:30, after the star field's hours, so that only their sprites are drawn: updates
  // every 250 ms and a drawing every second, while several of them spawn, fly and expire.
  for (int slot = 0; slot < 3; ++slot) s.Line("free " + std::to_string(slot));
  s.Clock(21, 30);
  for (int step = 0; step < 24; ++step) s.Time(t += 250).Line("update");
  s.Clock(5, 30);
  for (int step = 0; step < 180; ++step) {
    s.Time(t += 250).Line("update");
    if (step % 4 == 3) s.Line("draw");
  }

  // The plane branch for five minutes, every ten seconds, as the update patch alternates its forms:
  // with its first test on 0 the check form returns 2 and the ignore form 1.
  while (t < 300000) s.Time(t += 10000).Line("update").Line("plane-branch 0 0");
  return s.Text();
}

namespace {

// Replaces the text before the comment of the first line of `text` that begins with `from` by
// `to`, keeping the comment; false when there is no such line.
bool ReplaceLine(std::string& text, std::string_view from, std::string_view to) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    if (std::string_view(text).substr(at, end - at).starts_with(from)) {
      const size_t stop = std::string_view(text).substr(at, end - at).find(';');
      const size_t length = stop == std::string_view::npos ? end - at : stop;
      text.replace(at, length, std::string(to) + (stop == std::string_view::npos ? "" : " "));
      return true;
    }
    at = end + 1;
  }
  return false;
}

}  // namespace

std::string LitFile(const std::string& example) {
  std::string text = example;
  // Each line as it begins in the example, and what it becomes.
  const std::vector<std::pair<std::string_view, std::string_view>> edits = {
      {"PermanentIgnore = 1", "PermanentIgnore = 0"},
      {"Moon_Type = 0", "Moon_Type = 1"},
      {"R_Type = 0", "R_Type = 1"},
      {"Star_Type = 0", "Star_Type = 1"},
      {"Trail1_Type = 0", "Trail1_Type = 1"},
      {"Trail2_Type = 0", "Trail2_Type = 1"},
      {"EnablePointLight = 0", "EnablePointLight = 1"},
      {"[Veh_off_Taxi]", "[Veh_Taxi]"},
      {"[Veh_off_Patrol]", "[Veh_Patrol]"},
      {"[Veh_off_Bus]", "[Veh_Bus]"},
      {"MiddleLight_HourOff = 7",
       "MiddleLight_HourOff = 7\nMiddleLight_PointLightBrightness = 2.0"},
      {"1-CustomLight_Color = 255 240 200",
       "1-CustomLight_Color = 255 240 200\n1-CustomLight_PointLightBrightness = 1.5"},
  };
  for (const auto& [from, to] : edits) {
    if (!ReplaceLine(text, from, to)) return "";
  }
  return text;
}

}  // namespace claims

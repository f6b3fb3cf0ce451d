// The standard night scene: a camera over a city, a road with vehicles, a plane with its trail,
// the sky sign and the moon, written as a script for the emulated host.
//
// The world is laid out in a local frame: u along the road (the city camera's horizontal view
// direction), v across it to the right, z up. The city camera faces where the night's first
// shooting star appears with the plugin's shared random sequence, so a preview inside the
// shooting stars' hours shows one in flight.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/preview/geometry.h"
#include "tools/preview/trace.h"

namespace preview {

enum class CameraPreset { kCity, kSky, kStreet };

// Everything a picture depends on besides the settings file.
struct SceneSettings {
  int hour = 1;
  int minute = 0;
  uint32_t timer = 60000;  // the host's millisecond timer at the picture
  CameraPreset camera = CameraPreset::kCity;
  std::vector<int32_t> models;  // vehicle models to put on the road
};

struct PlacedVehicle {
  int32_t model;
  Vec3 position;
  std::array<Vec3, 3> axes;  // right, forward, up
};

// A building of the skyline: a box standing at `base`, seen as a screen rectangle.
struct Building {
  Vec3 base;
  float half_width;
  float height;
  uint32_t seed;  // picks its lit windows
};

// Local frame to world.
Vec3 LocalToWorld(float u, float v, float z);
// Coordinates of a world point along the road (u) and across it (v).
float AlongRoad(Vec3 world);
float AcrossRoad(Vec3 world);
inline constexpr float kRoadHalfWidth = 6.0f;

Camera CameraFor(CameraPreset preset);
// "city", "sky" or "street", as the command line names it.
const char* CameraName(CameraPreset preset);
// The vehicles on the road: one per model, up to kMaxVehicles.
inline constexpr std::size_t kMaxVehicles = 8;
std::vector<PlacedVehicle> PlaceVehicles(const std::vector<int32_t>& models);
const std::vector<Building>& Skyline();
// Whether the host draws its moon at that hour (the night: 19:00 to 05:59).
bool HostDrawsMoon(int hour);

// One frame the emulated host plays after the scene's warm-up: the game clock and the host's
// timer and time step at that frame. A frame without the sky leaves out the draw event (the star
// field and the shooting stars), for samples that look at the other features alone.
struct Moment {
  int minute_of_day = 60;
  uint32_t timer = 60000;
  float time_step = 1.0f;
  bool sky = true;
};

// The scene's time step is one unit for each kFrameMs milliseconds, as in its warm-up frames.
inline constexpr uint32_t kFrameMs = 16;

// The frames the scene plays before its first moment, to bring the plugin's simulation up to the
// timer; each is an update event of the trace before the moments' frames.
uint32_t WarmUpFrames(const SceneSettings& settings);

// The emulator script of one picture: warm-up frames from shortly before the timer, then the
// picture frame and the host's own drawing of the moon, the sky sign, the trail glows and the
// plane glows.
std::string SceneScript(const SceneSettings& settings);

// The same warm-up, then one frame for each of `moments` in turn (the first is the picture's
// moment for a clip that starts at the picture). Each frame: the update event, the draw event and
// the probe draw (see ReadTrace), then the host's own drawing.
std::string MomentsScript(const SceneSettings& settings, const std::vector<Moment>& moments);

// The vehicle whose light `glow` is (an index into `vehicles`), -1 for none. The plugin makes a
// vehicle light's identifier from the vehicle's address, which the emulated host keeps the same
// from run to run (its first vehicle 16 bytes after 0x48000000, each next one 1500 bytes
// further); where an identifier does not fit that, the nearest vehicle is taken.
int VehicleOfGlow(const Glow& glow, const std::vector<PlacedVehicle>& vehicles);
// Which light of its vehicle the glow is: "left light", "right light", "middle light", "custom
// light N", or "light" when the identifier does not tell.
std::string LightName(const Glow& glow, int vehicle);

// The models of the vehicle sections of the settings file at `settings_file`: every section whose
// name holds "Veh_", also those switched off with a name beginning "Veh_off", in file order without
// repeats. A "Model" that is not a number is passed over. None when the file does not open.
std::vector<int32_t> VehicleModels(const std::string& settings_file);

// Formats a float as the shortest text that reads back as the same float.
std::string FloatText(float value);

}  // namespace preview

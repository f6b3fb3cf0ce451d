// The vehicle lights' frame over a full pool of 110 and of 1000 slots, every vehicle of a model
// with three fixed lights (steady, blinking, pulsing inside an hour window) and two custom ones,
// against a reference loop of the same glow calls alone, their arguments computed beforehand.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "features/vehicle_lights/vehicle_light_emission.h"

namespace bench {

namespace {

constexpr int32_t kModels = 20;
constexpr int32_t kFirstModel = 400;
constexpr int kLightsPerVehicle = 5;

VehicleLightTable MakeTable() {
  VehicleLightTable table;
  for (int32_t model = kFirstModel; model < kFirstModel + kModels; ++model) {
    VehicleLightSet& set = table[model];
    set[LightGroup::Left] = {.Offset = {-1, 2, 0.5f}, .Colour = {255, 0, 0}, .Enabled = true};
    set[LightGroup::Right] = {.Offset = {1, 2, 0.5f},
                              .Type = ElementType::Blink,
                              .OnTime = 250,
                              .OffTime = 750,
                              .Enabled = true};
    set[LightGroup::Middle] = {
        .Offset = {0, 2, 1}, .Type = ElementType::Pulse, .Enabled = true, .HourOn = 20, .HourOff = 6};
    set.CustomLights = {{.Offset = {0, -3, 0}, .Enabled = true},
                        {.Offset = {0, 3, 0}, .Enabled = true, .PointLightBrightness = 2}};
  }
  return table;
}

struct GlowCall {
  uint32_t id;
  uint8_t red, green, blue, alpha;
  float position[3];
  float size;
};

struct VehicleScene {
  int32_t slots;
  VehicleLightTable table = MakeTable();
  VehicleLightSettingsState settings;  // the defaults: glows, no point lights
  std::vector<GlowCall> glows;         // the reference's calls
  uint32_t time = 100000;
};

void FillPool(const VehicleScene& scene) {
  hostsim::HostState& state = Host().State();
  state.hour = 23;
  state.pool.Reset(scene.slots);
  for (int32_t slot = 0; slot < scene.slots; ++slot) {
    hostsim::Vehicle car;
    car.model = static_cast<int16_t>(kFirstModel + slot % kModels);
    car.position = {static_cast<float>(slot), 200.0f, 10.0f};
    car.axes = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    state.pool.Occupy(slot, car);
  }
  Host().ApplyState();
}

void AddVehicleLights(int32_t slots) {
  auto scene = std::make_shared<VehicleScene>();
  scene->slots = slots;
  scene->glows.resize(static_cast<size_t>(slots) * kLightsPerVehicle);
  for (size_t i = 0; i < scene->glows.size(); ++i) {
    const float x = static_cast<float>(i);
    scene->glows[i] = {static_cast<uint32_t>(i), 255, 0, 0, 255, {x, 200, 10}, 1};
  }
  Scenario s;
  s.group = "vehicle lights";
  s.name = "pool of " + std::to_string(slots) + ", 5 lights each";
  s.unit = "frame";
  s.target = 1.5;
  s.setup = [scene] { FillPool(*scene); };
  s.plugin = [scene](int frames) {
    for (int f = 0; f < frames; ++f) {
      SetHostTime(scene->time += 16);
      EmitVehicleLights(scene->table, scene->settings);
    }
  };
  s.reference = [scene](int frames) {
    for (int f = 0; f < frames; ++f) {
      SetHostTime(scene->time += 16);
      for (const GlowCall& g : scene->glows) {
        HostRegisterGlow(g.id, g.red, g.green, g.blue, g.alpha, g.position, g.size,
                         kVehicleGlowFarDistance, 0);
      }
    }
  };
  AddScenario(std::move(s));
}

}  // namespace

void AddVehicleLightScenarios() {
  AddVehicleLights(110);
  AddVehicleLights(1000);
}

}  // namespace bench

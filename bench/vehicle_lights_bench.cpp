// Cost of one frame of vehicle lights on the plugin's side, for a full pool of 110 and of 1000
// slots, against a host whose glow routine costs nearly nothing. Beside it, the same glow calls
// with their arguments ready, alone: the ratio of the two is what the pool walk, the model lookups,
// the positions and the alphas add per glow. Compare ratios, not clock times.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "features/vehicle_lights/vehicle_light_emission.h"

namespace {

struct BenchVehicleHost {
  static inline uint32_t pool = 0;
  static inline uint32_t time = 0;
  static inline float sink = 0.0f;
  static uint32_t PoolAddress() { return pool; }
  static uint32_t TimeMs() { return time; }
  static uint8_t ClockHour() { return 22; }
  static void RegisterGlow(uint32_t id, uint8_t red, uint8_t, uint8_t, uint8_t alpha, const float* position,
                           float size) {
    sink += position[0] + size + static_cast<float>(id + red + alpha);
  }
  static void AddPointLight(const LightVector& position, const LightVector&, float brightness, float, float,
                            float) {
    sink += position[0] + brightness;
  }
};

// A pool laid out as the host keeps it, every slot holding a vehicle of one of 20 models.
class BenchPool {
 public:
  explicit BenchPool(int32_t slots) : bytes_(16 + std::size_t{kVehicleStride} * slots + slots) {
    uint8_t* vehicles = bytes_.data() + 16;
    uint8_t* flags = vehicles + std::size_t{kVehicleStride} * slots;
    Put(bytes_.data(), Address(vehicles));
    Put(bytes_.data() + 4, Address(flags));
    Put(bytes_.data() + 8, slots);
    const float axes[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    for (int32_t i = 0; i < slots; ++i) {
      uint8_t* v = vehicles + std::size_t{kVehicleStride} * i;
      std::memcpy(v + kVehicleAxesOffset, axes, 12);
      std::memcpy(v + kVehicleAxesOffset + kVehicleAxisStride, axes + 3, 12);
      std::memcpy(v + kVehicleAxesOffset + 2 * kVehicleAxisStride, axes + 6, 12);
      const float position[3] = {static_cast<float>(i), 200.0f, 10.0f};
      std::memcpy(v + kVehiclePositionOffset, position, 12);
      Put(v + kVehicleModelOffset, static_cast<int16_t>(400 + i % 20));
      Put(v + kVehicleHealthOffset, 1000.0f);
      flags[i] = static_cast<uint8_t>(i & 0x7F);
    }
  }
  uint32_t Address() const { return Address(bytes_.data()); }

 private:
  template <typename T>
  static void Put(uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
  }
  static uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }
  std::vector<uint8_t> bytes_;
};

// 20 models, each with a steady left light, a blinking right light, a pulsing middle light with a
// window, and two custom lights, one casting a point light.
VehicleLightTable BenchTable() {
  VehicleLightTable table;
  for (int32_t model = 400; model < 420; ++model) {
    VehicleLightSet& set = table[model];
    set[LightGroup::Left] = {.Offset = {-1, 2, 0.5f}, .Colour = {255, 0, 0}, .Enabled = true};
    set[LightGroup::Right] = {.Offset = {1, 2, 0.5f}, .Type = kLightBlink, .OnTime = 250, .OffTime = 750,
                              .Enabled = true};
    set[LightGroup::Middle] = {.Offset = {0, 2, 1}, .Type = kLightPulse, .Enabled = true, .HourOn = 20,
                               .HourOff = 6};
    set.CustomLights = {{.Offset = {0, -3, 0}, .Enabled = true},
                        {.Offset = {0, 3, 0}, .Enabled = true, .PointLightBrightness = 2}};
  }
  return table;
}

constexpr int kLightsPerVehicle = 5;

void BM_VehicleLightsFrame(benchmark::State& state) {
  const BenchPool pool(static_cast<int32_t>(state.range(0)));
  const VehicleLightTable table = BenchTable();
  VehicleLightSettingsState settings;
  settings.EnablePointLight = true;
  BenchVehicleHost::pool = pool.Address();
  for (auto _ : state) {
    BenchVehicleHost::time += 16;
    EmitVehicleLightsWith<BenchVehicleHost>(table, settings);
  }
  benchmark::DoNotOptimize(BenchVehicleHost::sink);
  state.SetItemsProcessed(state.iterations() * state.range(0) * kLightsPerVehicle);
}
BENCHMARK(BM_VehicleLightsFrame)->Arg(110)->Arg(1000);

// The reference: the frame's glow calls alone, their arguments computed beforehand.
void BM_VehicleGlowCallsAlone(benchmark::State& state) {
  struct GlowArgs {
    uint32_t id;
    uint8_t red, alpha;
    float position[3];
  };
  std::vector<GlowArgs> glows(static_cast<std::size_t>(state.range(0)) * kLightsPerVehicle);
  for (std::size_t i = 0; i < glows.size(); ++i) {
    glows[i] = {static_cast<uint32_t>(i), 255, 255, {static_cast<float>(i), 200.0f, 10.0f}};
  }
  for (auto _ : state) {
    for (const GlowArgs& g : glows) {
      BenchVehicleHost::RegisterGlow(g.id, g.red, 0, 0, g.alpha, g.position, 1.0f);
    }
  }
  benchmark::DoNotOptimize(BenchVehicleHost::sink);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(glows.size()));
}
BENCHMARK(BM_VehicleGlowCallsAlone)->Arg(110)->Arg(1000);

}  // namespace

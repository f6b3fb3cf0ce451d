// Cost of one star field frame on the plugin's side, against a host whose projection and sprite
// routine cost nearly nothing, so the figure is the plugin's own work per frame. Compare the star
// counts with each other (ratios), not with a clock.
#include <benchmark/benchmark.h>

#include "features/stars/star_drawing.h"

namespace {

uint32_t rand_state = 1;

struct BenchSkyHost {
  static inline uint32_t time = 0;
  static inline float sink = 0.0f;
  static uint32_t TimeMs() { return time; }
  static bool SkyGateOpen() { return true; }
  static HostVector CameraPosition() { return {10.0f, 20.0f, 30.0f}; }
  static HostVector CameraForward() { return {0.0f, 1.0f, 0.0f}; }
  static uint32_t SpriteRaster() { return 1; }
  static int Rand() {
    rand_state = rand_state * 214013u + 2531011u;
    return static_cast<int>((rand_state >> 16) & 0x7FFF);
  }
  static uint8_t SceneCode() { return 0; }
  static uint8_t ClockHour() { return 0; }
  static uint8_t ClockMinute() { return 0; }
  static void SetRenderState(uint32_t, uint32_t) {}
  static bool Project(const HostVector& world, HostVector& screen, float& width, float& height) {
    screen = {world.x, world.z, world.y};
    width = height = 1.0f;
    return true;
  }
  static void DrawSprite(float x, float, float, float, float, uint8_t red, uint8_t, uint8_t, int32_t,
                         float, uint8_t) {
    sink += x + red;
  }
};

void BM_StarFieldFrame(benchmark::State& state) {
  StarFieldState field;
  StarSettings settings;
  settings.NumStars = static_cast<int32_t>(state.range(0));
  CommitStarSettings(field, settings);
  DrawStarFieldWith<BenchSkyHost>(field);  // the first frame generates the positions
  for (auto _ : state) {
    BenchSkyHost::time += 16;
    DrawStarFieldWith<BenchSkyHost>(field);
  }
  benchmark::DoNotOptimize(BenchSkyHost::sink);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StarFieldFrame)->Arg(200)->Arg(2000);

}  // namespace

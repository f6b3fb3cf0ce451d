// What nightglass-preview spends after the emulated host has run, for a 1920x1080 picture of the
// night scene from a recorded trace (bench/data/preview_night.trace: the city camera at 01:00
// with the vehicle lights of three models on and a point light): reading the trace, painting
// the scene and the plugin's items, and encoding the PNG. Their sum is the command's own time
// beyond start-up and the emulator's run.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

#include "tools/preview/png.h"
#include "tools/preview/render.h"
#include "tools/preview/trace.h"

namespace {

const std::string& RecordedTrace() {
  static const std::string text = [] {
    std::ifstream in(NIGHTGLASS_PREVIEW_TRACE, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  return text;
}

preview::SceneSettings Scene() {
  preview::SceneSettings scene;
  scene.models = {1201, 1202, 1203};
  return scene;
}

void BM_PreviewReadTrace(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(preview::ReadTrace(RecordedTrace()));
}
BENCHMARK(BM_PreviewReadTrace)->Unit(benchmark::kMillisecond);

void BM_PreviewPaint1920x1080(benchmark::State& state) {
  const preview::TraceFrame frame = preview::ReadTrace(RecordedTrace());
  if (frame.sprites.empty()) state.SkipWithError("the recorded trace holds no sprites");
  for (auto _ : state) benchmark::DoNotOptimize(preview::RenderPicture(Scene(), frame, 1920, 1080));
}
BENCHMARK(BM_PreviewPaint1920x1080)->Unit(benchmark::kMillisecond);

void BM_PreviewEncodePng1920x1080(benchmark::State& state) {
  const preview::Image image =
      preview::RenderPicture(Scene(), preview::ReadTrace(RecordedTrace()), 1920, 1080);
  for (auto _ : state) benchmark::DoNotOptimize(preview::EncodePng(image));
}
BENCHMARK(BM_PreviewEncodePng1920x1080)->Unit(benchmark::kMillisecond);

}  // namespace

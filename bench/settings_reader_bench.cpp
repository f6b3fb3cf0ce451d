// The start-up reads the settings file once per feature loader, about eight times. These measure
// one read of a 1 MiB file of several shapes against a bare read of the same bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "settings/reader.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kFileSize = 1 << 20;

}  // namespace

std::string bench::ManyKeysFile() {
  std::string text;
  for (int i = 0; text.size() < kFileSize; ++i) {
    if (i % 1000 == 0) text += "[Section" + std::to_string(i / 1000) + "]\r\n";
    text += "Key" + std::to_string(i) + " = " + std::to_string(i * 7) + " ; note\r\n";
  }
  return text;
}

namespace {

std::string OneLongLine() { return "Long = " + std::string(kFileSize, 'x'); }

std::string Garbage() {
  std::mt19937 random(7);
  std::string text(kFileSize, '\0');
  for (char& c : text) {
    c = static_cast<char>(random());
    if (c == '\x1a') c = ' ';
  }
  return text;
}

// Makes `content` the settings file of a temporary current directory for the benchmark's run.
class SettingsFolder {
 public:
  explicit SettingsFolder(const std::string& content) : previous_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "nightglass-bench-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    fs::current_path(path_);
    std::ofstream("Nightglass.ini", std::ios::binary) << content;
  }
  ~SettingsFolder() {
    fs::current_path(previous_);
    fs::remove_all(path_);
  }

 private:
  fs::path previous_;
  fs::path path_;
};

std::string Shape(int shape) {
  switch (shape) {
    case 0:
      return bench::ManyKeysFile();
    case 1:
      return OneLongLine();
    default:
      return Garbage();
  }
}

// Baseline: the same bytes read with fread and nothing else done with them.
void BM_BareRead(benchmark::State& state) {
  SettingsFolder folder(Shape(static_cast<int>(state.range(0))));
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    std::FILE* file = std::fopen("Nightglass.ini", "rb");
    size_t total = 0;
    while (const size_t got = std::fread(buffer.data(), 1, buffer.size(), file)) total += got;
    std::fclose(file);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFileSize));
}

void BM_ReadAllSettings(benchmark::State& state) {
  SettingsFolder folder(Shape(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(ReadAllSettings());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFileSize));
}

void BM_ReadSettingsSection(benchmark::State& state) {
  SettingsFolder folder(Shape(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(ReadSettingsSection("Section3"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFileSize));
}

// Arguments: 0 many entries, 1 one long line, 2 binary garbage.
BENCHMARK(BM_BareRead)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllSettings)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSettingsSection)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

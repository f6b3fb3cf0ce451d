// The suite's program. Without options: every scenario timed under Google Benchmark (which takes
// its own options), then the table of ratios. With --instructions=FILE, run under
//   valgrind --tool=callgrind --callgrind-out-file=FILE nightglass_bench --instructions=FILE
// one unit of each scenario is counted instead, and the table gives instructions.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "plugin/host_build.h"

namespace bench {

namespace {

std::vector<Scenario>& AllScenarios() {
  static std::vector<Scenario> scenarios;
  return scenarios;
}

}  // namespace

void LookStraightUp(float time_step) {
  hostsim::HostState& state = Host().State();
  state.hour = 23;
  state.minute = 0;
  state.scene = 0;
  state.time_step = time_step;
  state.camera_position = {10.0f, 20.0f, 30.0f};
  state.camera_forward = {0.0f, 0.0f, 1.0f};
  state.camera_right = {1.0f, 0.0f, 0.0f};
  Host().ApplyState();
}

hostsim::EmulatedHost& Host() {
  static hostsim::EmulatedHost* const host = [] {
    auto* made = new hostsim::EmulatedHost(100, hostsim::kDefaultBase, nullptr);
    made->State().hour = 23;
    made->State().camera_position = {10.0f, 20.0f, 30.0f};
    made->ApplyState();
    ResolveHostReferences();
    host_time =
        reinterpret_cast<volatile uint32_t*>(made->Image().At(made->Image().Layout().time_ms));
    return made;
  }();
  return *host;
}

volatile uint32_t* host_time = nullptr;

void AddScenario(Scenario scenario) { AllScenarios().push_back(std::move(scenario)); }

const std::vector<Scenario>& Scenarios() { return AllScenarios(); }

namespace {

// What one scenario cost per unit, the plugin's work and the reference, in seconds or instructions.
struct Cost {
  double plugin = 0.0;
  double reference = 0.0;
};

std::string Id(const Scenario& s) { return s.group + ": " + s.name; }

// --- Timed ---------------------------------------------------------------------------------------

double Seconds(const std::function<void()>& before, const std::function<void(int)>& work,
               int units) {
  if (before) before();
  const auto start = std::chrono::steady_clock::now();
  work(units);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunTimed(benchmark::State& state, const Scenario& s) {
  s.setup();
  // The first frame may generate or allocate; only later ones count.
  if (s.before_plugin) s.before_plugin();
  s.plugin(1);
  if (s.before_reference) s.before_reference();
  s.reference(1);
  double plugin = 0.0, reference = 0.0;
  bool plugin_first = true;
  for (auto _ : state) {
    double p = 0.0, r = 0.0;
    if (plugin_first) {
      p = Seconds(s.before_plugin, s.plugin, s.batch);
      r = Seconds(s.before_reference, s.reference, s.batch);
    } else {
      r = Seconds(s.before_reference, s.reference, s.batch);
      p = Seconds(s.before_plugin, s.plugin, s.batch);
    }
    plugin_first = !plugin_first;
    state.SetIterationTime(p);
    plugin += p;
    reference += r;
  }
  const double units = static_cast<double>(state.iterations()) * s.batch;
  state.counters["plugin_ns"] = plugin / units * 1e9;
  state.counters["reference_ns"] = reference / units * 1e9;
  state.counters["ratio"] = reference > 0.0 ? plugin / reference : 0.0;
}

// Keeps what Google Benchmark reports, by benchmark name, and shows it as the console does.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  // Coloured only on a terminal.
  TableReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto plugin = run.counters.find("plugin_ns");
      const auto reference = run.counters.find("reference_ns");
      // Only the scenarios have both; the suite's other benchmarks stay out of the table.
      if (run.error_occurred || plugin == run.counters.end() || reference == run.counters.end())
        continue;
      costs_[run.run_name.function_name] = {plugin->second.value, reference->second.value};
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, Cost>& costs() const { return costs_; }

 private:
  std::map<std::string, Cost> costs_;
};

// --- Counted -------------------------------------------------------------------------------------

// The instruction total of a callgrind profile file.
double ProfileTotal(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    for (const char* label : {"summary: ", "totals: "}) {
      if (line.rfind(label, 0) == 0) return std::stod(line.substr(std::strlen(label)));
    }
  }
  return std::nan("");
}

// The instruction total of callgrind's dump `number` of the profile FILE (written as FILE.number).
double DumpTotal(const std::string& file, int number) {
  return ProfileTotal(file + "." + std::to_string(number));
}

// The profiles that callgrind wrote for child processes: with --callgrind-out-file=PREFIX.%p,
// each child's is PREFIX.PID, one file at its end. The totals of those not in `seen`, which
// takes them in.
double ChildTotals(const std::string& prefix, std::set<std::string>& seen) {
  namespace fs = std::filesystem;
  const fs::path base(prefix);
  const std::string stem = base.filename().string() + ".";
  double total = 0.0;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(base.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(stem, 0) != 0) continue;
    const std::string pid = name.substr(stem.size());
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    if (pid == std::to_string(getpid()) || !seen.insert(name).second) continue;
    total += ProfileTotal(entry.path().string());
  }
  return total;
}

// --- The table -----------------------------------------------------------------------------------

std::string Amount(double value, bool instructions) {
  char text[32];
  if (std::isnan(value)) return "-";
  if (instructions) {
    if (value >= 1e6) {
      std::snprintf(text, sizeof text, "%.2f M", value / 1e6);
    } else {
      std::snprintf(text, sizeof text, "%.0f", value);
    }
  } else if (value >= 1e6) {
    std::snprintf(text, sizeof text, "%.2f ms", value / 1e6);
  } else if (value >= 1e3) {
    std::snprintf(text, sizeof text, "%.2f us", value / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f ns", value);
  }
  return text;
}

void PrintTable(const std::map<std::string, Cost>& costs, bool instructions) {
  std::printf("\n%s per unit of each scenario (plugin against its reference, same run)\n\n",
              instructions ? "Instructions (callgrind)" : "Time (Google Benchmark)");
  std::printf("%-52s %-9s %12s %12s %7s %8s  %s\n", "scenario", "unit", "plugin", "reference",
              "ratio", "target", "met");
  const auto amount = [instructions](double value) { return Amount(value, instructions); };
  std::string group;
  for (const Scenario& s : Scenarios()) {
    const auto found = costs.find(Id(s));
    if (found == costs.end()) continue;
    const Cost& c = found->second;
    const double ratio = c.reference > 0.0 ? c.plugin / c.reference : std::nan("");
    std::string target = "-", met = "";
    if (s.target > 0.0) {
      char text[16];
      std::snprintf(text, sizeof text, "%.2f", s.target);
      target = text;
      met = ratio <= s.target ? "yes" : "no";
    }
    if (instructions && s.instruction_budget > 0.0) {
      char text[16];
      std::snprintf(text, sizeof text, "<%.0f M", s.instruction_budget / 1e6);
      target = text;
      met = c.plugin < s.instruction_budget ? "yes" : "no";
    }
    if (s.group != group) {
      group = s.group;
      std::printf("%s\n", group.c_str());
    }
    char ratio_text[16];
    std::snprintf(ratio_text, sizeof ratio_text, "%.2f", ratio);
    std::printf("  %-50s %-9s %12s %12s %7s %8s  %-3s %s\n", s.name.c_str(), s.unit.c_str(),
                Amount(c.plugin, instructions).c_str(), Amount(c.reference, instructions).c_str(),
                ratio_text, target.c_str(), met.c_str(),
                s.note ? s.note(c.plugin, c.reference, amount).c_str() : "");
  }
  std::printf("\n");
}

int RunCounted(std::string file) {
  if (!RUNNING_ON_VALGRIND) {
    std::fprintf(stderr, "nightglass_bench: --instructions needs valgrind --tool=callgrind\n");
    return 2;
  }
  // FILE.%p, as callgrind names its files when it follows child processes: ours has our pid.
  std::string children;
  if (file.size() > 3 && file.compare(file.size() - 3, 3, ".%p") == 0) {
    children = file.substr(0, file.size() - 3);
    file = children + "." + std::to_string(getpid());
  }
  std::set<std::string> seen;
  if (!children.empty()) ChildTotals(children, seen);
  std::map<std::string, Cost> costs;
  int dumps = 0;
  for (const Scenario& s : Scenarios()) {
    s.setup();
    if (s.before_plugin) s.before_plugin();
    s.plugin(1);
    if (s.before_reference) s.before_reference();
    s.reference(1);
    s.setup();
    const std::string name = Id(s);
    Cost& cost = costs[name];
    struct Part {
      const std::function<void()>* before;
      const std::function<void(int)>* work;
      double* out;
    };
    for (const Part& part : {Part{&s.before_plugin, &s.plugin, &cost.plugin},
                             Part{&s.before_reference, &s.reference, &cost.reference}}) {
      if (*part.before) (*part.before)();
      if (s.counts_children && !children.empty()) ChildTotals(children, seen);
      CALLGRIND_ZERO_STATS;
      (*part.work)(s.batch);
      CALLGRIND_DUMP_STATS_AT(name.c_str());
      *part.out = DumpTotal(file, ++dumps);
      if (s.counts_children && !children.empty()) *part.out += ChildTotals(children, seen);
      *part.out /= s.batch;
    }
  }
  PrintTable(costs, true);
  return 0;
}

}  // namespace

}  // namespace bench

int main(int argc, char** argv) {
  bench::AddEventDispatchScenarios();
  bench::AddStarFieldScenarios();
  bench::AddShootingStarScenarios();
  bench::AddVehicleLightScenarios();
  bench::AddHookScenarios();
  bench::AddStartupScenarios();
  bench::AddClipScenarios();

  for (int i = 1; i < argc; ++i) {
    constexpr const char* kOption = "--instructions=";
    if (std::strncmp(argv[i], kOption, std::strlen(kOption)) == 0) {
      return bench::RunCounted(argv[i] + std::strlen(kOption));
    }
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  for (const bench::Scenario& s : bench::Scenarios()) {
    benchmark::RegisterBenchmark(bench::Id(s).c_str(), [&s](benchmark::State& state) {
      bench::RunTimed(state, s);
    })->UseManualTime();
  }
  bench::TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  bench::PrintTable(reporter.costs(), false);
  return 0;
}

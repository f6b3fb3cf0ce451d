// The benchmark suite's frame: every scenario sets the plugin's work beside a reference, the least
// work the same result needs, and both run in the same process against the emulated host, whose
// routines record nothing, so that what is measured is the plugin's own share of the game's frame.
//
// Two ways to run a scenario (bench_main.cpp):
//   - timed, under Google Benchmark: batches of the plugin's work and of the reference alternate,
//     so that a busy machine slows both alike, and the ratio of their sums is reported;
//   - counted, with --instructions under callgrind: one unit of each (a frame, a call, a
//     start-up) after the warm-up, between client requests that name a dump after the scenario.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"

namespace bench {

// The emulated host of build 100 at 0x400000, recording nothing, with the plugin's build-dependent
// references resolved against it. Created on first use and kept for the whole run.
hostsim::EmulatedHost& Host();

// The sky scenarios' host: 23:00, scene code 0, the camera at (10, 20, 30) looking straight up
// with the x axis to its right, and the frame time step `time_step`.
void LookStraightUp(float time_step);

// About 40,000 short lines in 40 sections, each key different (and read by no loader), to 1 MiB:
// the worst case for the reader's table.
std::string ManyKeysFile();

// The host's millisecond timer, in a data page of the image: written directly, as the game does.
extern volatile uint32_t* host_time;
inline void SetHostTime(uint32_t ms) { *host_time = ms; }

struct Scenario {
  std::string group;  // the table's section ("star field")
  std::string name;   // its row ("200 stars, all in front")
  std::string unit;   // what one unit is: "frame", "call", "start-up"
  // The ratio the plugin's work must stay within, plugin / reference; 0 for none.
  double target = 0.0;
  // An absolute budget in instructions for one unit of the plugin's work; 0 for none.
  double instruction_budget = 0.0;
  // Puts the host and the plugin's state in place; run before every measurement.
  std::function<void()> setup;
  // Run `units` units of the plugin's work, or of the reference.
  std::function<void(int units)> plugin;
  std::function<void(int units)> reference;
  // Units per timed batch: enough that reading the clock is lost in the batch.
  int batch = 1;
  // When set, run before every batch of the plugin's work or of the reference, outside what is
  // measured (a hook's site takes the plugin's bytes or the game's).
  std::function<void()> before_plugin;
  std::function<void()> before_reference;
  // The work runs other programs (the preview's emulated host): under callgrind their
  // instructions are counted with the work's (bench.sh follows child processes).
  bool counts_children = false;
  // When set, a remark for the row from the plugin's cost and the reference's, with `amount`
  // writing a cost in the table's unit.
  std::function<std::string(double plugin, double reference,
                            const std::function<std::string(double)>& amount)>
      note;
};

// Adds a scenario to the suite, in the order of the table.
void AddScenario(Scenario scenario);
const std::vector<Scenario>& Scenarios();

// Each file of the suite adds its scenarios; bench_main.cpp calls these in the table's order.
void AddEventDispatchScenarios();
void AddStarFieldScenarios();
void AddShootingStarScenarios();
void AddVehicleLightScenarios();
void AddHookScenarios();
void AddStartupScenarios();
void AddClipScenarios();

// Keeps `value` from being optimised away.
template <typename T>
inline void Keep(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

}  // namespace bench

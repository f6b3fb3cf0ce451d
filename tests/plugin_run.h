// The real plugin loaded into the test process as the game loads it: a game folder holding the
// given settings file, the emulated host laid out in this process, and the trace of every host
// routine call the plugin causes. For bodies run with EXPECT_ISOLATED, since the plugin and the
// image at 0x400000 are the process's own.
//
//   PluginRun run("[MoonSettings]\nMoon_Type = 1\n");
//   run.Host().State().time_ms = 5; run.Host().ApplyState();
//   run.Startup();
//   run.Trace();  // the lines so far
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"
#include "tests/game_folder.h"

class PluginRun {
 public:
  // `before_load` sets the host state the plugin finds when it is loaded.
  explicit PluginRun(const std::string& settings, int32_t build = 100,
                     uint32_t base = hostsim::kDefaultBase,
                     const std::function<void(hostsim::HostState&)>& before_load = {})
      : folder_(settings), host_(build, base, &trace_) {
    if (before_load) before_load(host_.State());
    host_.ApplyState();
    Load();
  }

  ~PluginRun() { Unload(); }

  hostsim::EmulatedHost& Host() { return host_; }
  hostsim::HostState& State() { return host_.State(); }

  void Load() {
    plugin_ = dlopen(NIGHTGLASS_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (plugin_ == nullptr) ADD_FAILURE() << dlerror();
  }
  void Unload() {
    if (plugin_ != nullptr) dlclose(plugin_);
    plugin_ = nullptr;
  }
  // Replaces the settings file (the plugin reads it again only at a start-up).
  void WriteSettings(const std::string& settings) { folder_.WriteSettings(settings); }

  // The host passes its event sites; each returns what the site handed back.
  uint32_t Startup() { return Site(host_.Image().Layout().startup_site); }
  uint32_t Update() { return Site(host_.Image().Layout().update_site); }
  uint32_t Draw() { return Site(host_.Image().Layout().draw_site); }
  // The timer moves on by `ms` (wrapping at 2^32), then an update and a draw.
  void Frame(uint32_t ms) {
    host_.State().time_ms += ms;
    host_.ApplyState();
    Update();
    Draw();
  }
  // Any other site, with its caller's arguments.
  uint32_t Site(uint32_t site, std::vector<uint32_t> args = {}) {
    host_.ApplyState();
    return host_.CallSite(site, args);
  }

  // The trace lines recorded since the last call.
  std::vector<std::string> Trace() {
    std::vector<std::string> lines;
    std::istringstream in(trace_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    trace_.str("");
    return lines;
  }
  // How many of the trace lines since the last call record a call of `routine`.
  int Calls(const std::string& routine) {
    const std::vector<std::string> lines = Trace();
    const std::string tag = "{\"call\":\"" + routine + "\"";
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.rfind(tag, 0) == 0;
    }));
  }

 private:
  std::ostringstream trace_;
  GameFolder folder_;  // the current directory while the run lives
  hostsim::EmulatedHost host_;
  void* plugin_ = nullptr;
};

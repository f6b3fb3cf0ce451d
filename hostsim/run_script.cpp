// Runs a checked script against the emulated host: host state commands, plugin loading, executing
// the host's sites, and the commands that look into the image.
#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <optional>
#include <stdexcept>

#include "hostsim/crash.h"
#include "hostsim/hostsim.h"
#include "hostsim/os.h"

namespace hostsim {

namespace {

// A failure while running a command that the script could not have prevented.
struct RunError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }
float AsFloat(uint32_t bits) { return std::bit_cast<float>(bits); }

class ScriptRunner {
 public:
  ScriptRunner(TextOut& out, const Options& options)
      : out_(out), options_(options), host_(100, options.base, &out) {}

  ~ScriptRunner() {
    if (plugin_ != nullptr) os::UnloadPlugin(plugin_);
  }

  void Execute(const Command& c) {
    const auto& a = c.args;
    HostState& state = host_.State();
    const std::string& n = c.name;
    if (n == "build") {
      host_.Rebuild(static_cast<int32_t>(a[0]));
    } else if (n == "poke") {
      host_.Poke(a[0], c.bytes);
    } else if (n == "scene") {
      state.scene = static_cast<uint8_t>(a[0]);
    } else if (n == "clock") {
      state.hour = static_cast<uint8_t>(a[0]);
      state.minute = static_cast<uint8_t>(a[1]);
    } else if (n == "time") {
      state.time_ms = a[0];
    } else if (n == "timestep") {
      state.time_step = AsFloat(a[0]);
    } else if (n == "camera") {
      for (int i = 0; i < 3; ++i) {
        state.camera_position[i] = AsFloat(a[i]);
        state.camera_forward[i] = AsFloat(a[3 + i]);
        state.camera_right[i] = AsFloat(a[6 + i]);
      }
    } else if (n == "skygate") {
      state.sky_gate = static_cast<uint8_t>(a[0]);
    } else if (n == "trace-skygate") {
      host_.TraceSkyGate(a[0] != 0);
    } else if (n == "texture") {
      state.texture = static_cast<TextureState>(a[0]);
    } else if (n == "pool") {
      state.pool.Reset(c.none ? std::nullopt : std::optional<int32_t>(static_cast<int32_t>(a[0])));
    } else if (n == "vehicle") {
      state.pool.Occupy(static_cast<int32_t>(a[0]), MakeVehicle(a));
    } else if (n == "free") {
      state.pool.Free(static_cast<int32_t>(a[0]));
    } else if (n == "frame") {
      for (uint32_t k = 1; k <= a[0]; ++k) {
        Print(JsonLine().Str("ev", "frame").Int("n", k));
        state.time_ms += a[1];
        host_.ApplyState();
        RunEvent("update", host_.Image().Layout().update_site);
        RunEvent("draw", host_.Image().Layout().draw_site);
      }
    } else {
      RunCommand(c);
    }
    host_.ApplyState();
  }

 private:
  // The commands that execute host or plugin code or look into the image.
  void RunCommand(const Command& c) {
    const auto& a = c.args;
    const std::string& n = c.name;
    const BuildLayout& layout = host_.Image().Layout();
    if (n == "load") {
      Print(JsonLine().Str("ev", "load"));
      if (!snapshot_) snapshot_ = host_.Image().CodeBytes();
      std::string error;
      plugin_ = os::LoadPlugin(options_.plugin_path, &error);
      if (plugin_ == nullptr) throw RunError("cannot load the plugin: " + error);
    } else if (n == "unload") {
      Print(JsonLine().Str("ev", "unload"));
      os::UnloadPlugin(plugin_);
      plugin_ = nullptr;
    } else if (n == "startup") {
      RunEvent("startup", layout.startup_site);
    } else if (n == "update") {
      RunEvent("update", layout.update_site);
    } else if (n == "draw") {
      RunEvent("draw", layout.draw_site);
    } else if (n == "moon" || n == "logo-r" || n == "logo-star") {
      Print(JsonLine().Str("ev", n));
      host_.CallSite(n == "moon" ? kMoonSite : n == "logo-r" ? kLogoRSite : kLogoStarSite, a);
    } else if (n == "trail") {
      Print(JsonLine().Str("ev", n));
      CallTrail(a[0], {AsFloat(a[1]), AsFloat(a[2]), AsFloat(a[3])});
    } else if (n == "plane-glow") {
      Print(JsonLine().Str("ev", n));
      point_ = {AsFloat(a[2]), AsFloat(a[3]), AsFloat(a[4])};
      // ID, colour 1 2 3, alpha 4, the position, size 5, far 6, ARG9, 10..15, 16.0
      const std::array<uint32_t, kGlowArgs> args{
          a[1], 1,  2,  3,  4,  PointAddress(), Bits(5), Bits(6), a[5], 10,
          11,   12, 13, 14, 15, Bits(16)};
      host_.CallSite(a[0], args);
    } else if (n == "plane-branch") {
      Print(JsonLine().Str("ev", n));
      const uint32_t result = host_.CallSite(kPlaneDecisionSite, a);
      Print(JsonLine().Str("ev", "return").Int("value", result));
    } else if (n == "dump") {
      const std::vector<uint8_t> bytes = host_.Image().Read(a[0], a[1]);
      Print(JsonLine()
                .Str("ev", "bytes")
                .Str("addr", FormatAddress(a[0]))
                .Str("hex", FormatHex(bytes.data(), bytes.size())));
    } else if (n == "protect") {
      Print(JsonLine()
                .Str("ev", "protect")
                .Str("addr", FormatAddress(a[0]))
                .Str("prot", host_.Image().Protection(a[0])));
    } else if (n == "changes") {
      Print(JsonLine().Str("ev", "changes").Raw("ranges", Changes()));
    }
  }

  // Executes an event site: its line, the calls, and what the site handed back.
  void RunEvent(const char* name, uint32_t site) {
    Print(JsonLine().Str("ev", name));
    const uint32_t result = host_.CallSite(site, {});
    Print(JsonLine().Str("ev", "return").Int("value", result));
  }

  void CallTrail(uint32_t site, std::array<float, 3> point) {
    point_ = point;
    const auto index = static_cast<std::size_t>(
        std::find(kTrailSites.begin(), kTrailSites.end(), site) - kTrailSites.begin());
    const uint32_t id = kTrailIds[index];
    std::array<uint32_t, kGlowArgs> args{};
    if (index < 3) {
      // The glow routine's own arguments: id, colour 1 2 3, alpha 4, the position, size 5, far 6,
      // 7..13, 14.0.
      args = {id, 1, 2, 3, 4, PointAddress(), Bits(5), Bits(6), 7, 8, 9, 10, 11, 12, 13, Bits(14)};
    } else {
      // The secondary routine's: id, the position, then 3..16.
      args = {id, PointAddress(), 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    }
    host_.CallSite(site, args);
  }

  static Vehicle MakeVehicle(const std::vector<uint32_t>& a) {
    Vehicle v;
    v.model = static_cast<int16_t>(a[1]);
    for (int i = 0; i < 3; ++i) v.position[i] = AsFloat(a[2 + i]);
    if (a.size() > 5) v.health = AsFloat(a[5]);
    if (a.size() > 6) {
      for (int i = 0; i < 9; ++i) v.axes[i] = AsFloat(a[6 + i]);
    }
    return v;
  }

  // The code bytes that differ from the snapshot taken before the first load, as JSON ranges.
  std::string Changes() const {
    std::string ranges = "[";
    if (!snapshot_) return ranges + "]";
    const std::vector<uint8_t> now = host_.Image().CodeBytes();
    for (std::size_t i = 0; i < now.size();) {
      if (now[i] == (*snapshot_)[i]) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < now.size() && now[end] != (*snapshot_)[end]) ++end;
      ranges += (ranges.size() > 1 ? "," : "") +
                JsonLine()
                    .Str("addr", FormatAddress(host_.Image().FirstCodeAddress() +
                                               static_cast<uint32_t>(i)))
                    .Str("hex", FormatHex(now.data() + i, end - i))
                    .Text();
      i = end;
    }
    return ranges + "]";
  }

  uint32_t PointAddress() const {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(point_.data()));
  }
  void Print(const JsonLine& line) { WriteLine(out_, line); }

  TextOut& out_;
  const Options& options_;
  EmulatedHost host_;
  void* plugin_ = nullptr;
  std::optional<std::vector<uint8_t>> snapshot_;
  std::array<float, 3> point_{};  // the position that trail and plane glow calls point to
};

// Enters `dir` for the lifetime of the object and returns to the previous directory after.
class DirectoryScope {
 public:
  explicit DirectoryScope(const std::string& dir) {
    if (dir.empty()) return;
    previous_ = os::CurrentDirectory();
    if (previous_.empty()) throw std::runtime_error("cannot read the current directory");
    if (!os::ChangeDirectory(dir)) throw std::runtime_error("cannot enter directory " + dir);
  }
  ~DirectoryScope() {
    // Nothing sensible is left to do when this fails: the run is over.
    if (!previous_.empty()) os::ChangeDirectory(previous_);
  }

 private:
  std::string previous_;
};

}  // namespace

int RunScript(TextIn& script, TextOut& out, TextOut& err, const Options& options) {
  std::vector<Command> commands;
  ScriptError error;
  if (!ParseScript(script, &commands, &error)) {
    err << "line " << error.line << ": " << error.message << '\n';
    return kExitMalformed;
  }
  std::unique_ptr<DirectoryScope> directory;
  try {
    directory = std::make_unique<DirectoryScope>(options.dir);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return kExitMalformed;
  }
  std::unique_ptr<ScriptRunner> runner;
  try {
    runner = std::make_unique<ScriptRunner>(out, options);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return kExitFailure;
  }
  for (const Command& command : commands) {
    SetCrashContext(command.line, command.name);
    try {
      runner->Execute(command);
    } catch (const std::exception& e) {
      err << "line " << command.line << ": " << e.what() << '\n';
      return kExitFailure;
    }
  }
  SetCrashContext(commands.empty() ? 0 : commands.back().line, "unload at the end of the script");
  runner.reset();
  return kExitOk;
}

}  // namespace hostsim

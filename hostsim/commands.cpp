#include "hostsim/commands.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "hostsim/os.h"

namespace hostsim {

namespace {

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }
float AsFloat(uint32_t bits) { return std::bit_cast<float>(bits); }

// Whether argument `i` of `c`, read as a signed 32-bit number, lies in [low, high].
bool InRange(const Command& c, std::size_t i, int64_t low, int64_t high) {
  const auto value = static_cast<int64_t>(static_cast<int32_t>(c.args[i]));
  return value >= low && value <= high;
}

// A site given by its number in the list (1-based) or by its host address.
template <std::size_t N>
std::optional<uint32_t> ResolveSite(uint32_t value, const std::array<uint32_t, N>& sites) {
  if (value >= 1 && value <= N) return sites[value - 1];
  if (std::find(sites.begin(), sites.end(), value) != sites.end()) return value;
  return std::nullopt;
}

// The checks of `vehicle` and `free`: a pool, and the slot inside it.
const char* CheckSlot(const ScriptState& state, const Command& c) {
  if (state.pool_slots < 0) return "there is no vehicle pool (use `pool N` first)";
  if (!InRange(c, 0, 0, state.pool_slots - 1)) return "slot outside the pool";
  return nullptr;
}

Vehicle MakeVehicle(const std::vector<uint32_t>& a) {
  Vehicle v;
  v.model = static_cast<int16_t>(a[1]);
  for (int i = 0; i < 3; ++i) v.position[i] = AsFloat(a[2 + i]);
  if (a.size() > 5) v.health = AsFloat(a[5]);
  if (a.size() > 6) {
    for (int i = 0; i < 9; ++i) v.axes[i] = AsFloat(a[6 + i]);
  }
  return v;
}

// Calls a trail site (an address of kTrailSites) with a pointer to `position`.
void CallTrail(Session& s, uint32_t site, std::array<float, 3> position) {
  const uint32_t point = s.PointTo(position);
  const auto index = static_cast<std::size_t>(
      std::find(kTrailSites.begin(), kTrailSites.end(), site) - kTrailSites.begin());
  const uint32_t id = kTrailIds[index];
  std::array<uint32_t, kGlowArgs> args{};
  if (index < 3) {
    // The glow routine's own arguments: id, colour 1 2 3, alpha 4, the position, size 5, far 6,
    // 7..13, 14.0.
    args = {id, 1, 2, 3, 4, point, Bits(5), Bits(6), 7, 8, 9, 10, 11, 12, 13, Bits(14)};
  } else {
    // The secondary routine's: id, the position, then 3..16.
    args = {id, point, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  }
  s.host.CallSite(site, args);
}

// The code bytes that differ from the snapshot taken before the first load, as JSON ranges.
std::string Changes(const Session& s) {
  std::string ranges = "[";
  if (!s.snapshot) return ranges + "]";
  const std::vector<uint8_t>& before = *s.snapshot;
  const std::vector<uint8_t> now = s.host.Image().CodeBytes();
  for (std::size_t i = 0; i < now.size();) {
    if (now[i] == before[i]) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < now.size() && now[end] != before[end]) ++end;
    ranges += (ranges.size() > 1 ? "," : "") +
              JsonLine()
                  .Str("addr",
                       FormatAddress(s.host.Image().FirstCodeAddress() + static_cast<uint32_t>(i)))
                  .Str("hex", FormatHex(now.data() + i, end - i))
                  .Text();
    i = end;
  }
  return ranges + "]";
}

// The host draws through the sprite site `site` with the command's 11 arguments.
void DrawThrough(Session& s, const Command& c, uint32_t site) {
  s.Print(JsonLine().Str("ev", c.name));
  s.host.CallSite(site, c.args);
}

// The arguments of the host's sprite draws: X Y Z W H, then R G B I, RZ and A.
constexpr const char* kSpriteKinds = "fffffiiiifi";

// The commands in the order --help lists them.

constexpr CommandEntry kCommands[] = {
    {.heading = "Host state (any time)",
     .name = "build",
     .kinds = "i",
     .usage = "build N",
     .help = "before the first load: 100 (default), 110, 120, or 0 (unrecognised host:\n"
             "build 100 without its probe bytes). Lays the image out anew: earlier pokes\n"
             "are lost, host state is kept.",
     .check = [](ScriptState& state, Command& c) -> const char* {
       if (state.loaded_ever) return "build must come before the first load";
       const uint32_t build = c.args[0];
       if (build != 0 && build != 100 && build != 110 && build != 120)
         return "build must be 0, 100, 110 or 120";
       return nullptr;
     },
     .run = [](Session& s, const Command& c) { s.host.Rebuild(static_cast<int32_t>(c.args[0])); }},
    {.name = "poke",
     .kinds = "ix",
     .usage = "poke ADDR HEX",
     .help = "write bytes (e.g. 55 89 E5 53 as 5589E553) at a host address",
     .check = [](ScriptState&, Command& c) -> const char* {
       if (!HostImage::Contains(c.args[0], static_cast<uint32_t>(c.bytes.size())))
         return "range outside the host image";
       return nullptr;
     },
     .run = [](Session& s, const Command& c) { s.host.Poke(c.args[0], c.bytes); }},
    {.name = "scene",
     .kinds = "i",
     .usage = "scene N",
     .help = "scene code byte (default 0)",
     .check = [](ScriptState&, Command& c) -> const char* {
       return InRange(c, 0, 0, 255) ? nullptr : "scene code must be 0 to 255";
     },
     .run =
         [](Session& s, const Command& c) {
           s.State().scene = static_cast<uint8_t>(c.args[0]);
         }},
    {.name = "clock",
     .kinds = "ii",
     .usage = "clock H M",
     .help = "game clock (default 00:00)",
     .check = [](ScriptState&, Command& c) -> const char* {
       if (!InRange(c, 0, 0, 255) || !InRange(c, 1, 0, 255))
         return "hour and minute must be 0 to 255";
       return nullptr;
     },
     .run =
         [](Session& s, const Command& c) {
           s.State().hour = static_cast<uint8_t>(c.args[0]);
           s.State().minute = static_cast<uint8_t>(c.args[1]);
         }},
    {.name = "time",
     .kinds = "i",
     .usage = "time MS",
     .help = "millisecond timer (default 0)",
     .run = [](Session& s, const Command& c) { s.State().time_ms = c.args[0]; }},
    {.name = "timestep",
     .kinds = "f",
     .usage = "timestep F",
     .help = "frame time step (default 1)",
     .run = [](Session& s, const Command& c) { s.State().time_step = AsFloat(c.args[0]); }},
    {.name = "camera",
     .kinds = "fffffffff",
     .usage = "camera PX PY PZ FX FY FZ RX RY RZ",
     .help = "position, forward, right (default 0 0 0, 0 1 0, 1 0 0)",
     .run =
         [](Session& s, const Command& c) {
           HostState& state = s.State();
           for (int i = 0; i < 3; ++i) {
             state.camera_position[i] = AsFloat(c.args[i]);
             state.camera_forward[i] = AsFloat(c.args[3 + i]);
             state.camera_right[i] = AsFloat(c.args[6 + i]);
           }
         }},
    {.name = "skygate",
     .kinds = "i",
     .usage = "skygate 0|1",
     .help = "what the sky gate routine returns (default 1)",
     .check = [](ScriptState&, Command& c) -> const char* {
       return InRange(c, 0, 0, 1) ? nullptr : "skygate must be 0 or 1";
     },
     .run =
         [](Session& s, const Command& c) {
           s.State().sky_gate = static_cast<uint8_t>(c.args[0]);
         }},
    {.name = "trace-skygate",
     .kinds = "i",
     .usage = "trace-skygate 0|1",
     .help = "record the sky gate routine's calls from here on (1) or not (0, default)",
     .check = [](ScriptState&, Command& c) -> const char* {
       return InRange(c, 0, 0, 1) ? nullptr : "trace-skygate must be 0 or 1";
     },
     .run = [](Session& s, const Command& c) { s.host.TraceSkyGate(c.args[0] != 0); }},
    {.name = "texture",
     .kinds = "i",
     .usage = "texture 0|1|2",
     .help = "sprite texture pointer null / texture with null raster / valid (default 2;\n"
             "the raster handle is 0xC0FFEE)",
     .check = [](ScriptState&, Command& c) -> const char* {
       return InRange(c, 0, 0, 2) ? nullptr : "texture must be 0, 1 or 2";
     },
     .run =
         [](Session& s, const Command& c) {
           s.State().texture = static_cast<TextureState>(c.args[0]);
         }},
    {.name = "pool",
     .kinds = "n",
     .usage = "pool N | pool none",
     .help = "vehicle pool with N free slots / null pool pointer (default none)",
     .check = [](ScriptState& state, Command& c) -> const char* {
       if (!c.none && !InRange(c, 0, 0, 100000)) return "pool size must be 0 to 100000";
       state.pool_slots = c.none ? -1 : static_cast<int32_t>(c.args[0]);
       return nullptr;
     },
     .run =
         [](Session& s, const Command& c) {
           s.State().pool.Reset(c.none ? std::nullopt
                                       : std::optional<int32_t>(static_cast<int32_t>(c.args[0])));
         }},
    {.name = "vehicle",
     .kinds = "iifff[f[fffffffff]]",
     .usage = "vehicle SLOT MODEL PX PY PZ [HEALTH [A1x A1y A1z A2x A2y A2z A3x A3y A3z]]",
     .help = "occupy a slot (health default 1000, axes default identity)",
     .check = [](ScriptState& state, Command& c) -> const char* {
       if (const char* problem = CheckSlot(state, c)) return problem;
       return InRange(c, 1, -32768, 32767) ? nullptr : "model must be a 16-bit number";
     },
     .run =
         [](Session& s, const Command& c) {
           s.State().pool.Occupy(static_cast<int32_t>(c.args[0]), MakeVehicle(c.args));
         }},
    {.name = "free",
     .kinds = "i",
     .usage = "free SLOT",
     .help = "free a slot",
     .check = [](ScriptState& state, Command& c) { return CheckSlot(state, c); },
     .run =
         [](Session& s, const Command& c) {
           s.State().pool.Free(static_cast<int32_t>(c.args[0]));
         }},

    {.heading = "Plugin and host execution",
     .name = "load",
     .kinds = "",
     .usage = "load",
     .help = "load / unload the plugin (dlopen / dlclose, LoadLibrary / FreeLibrary)",
     .check = [](ScriptState& state, Command&) -> const char* {
       if (state.loaded) return "the plugin is already loaded";
       state.loaded = state.loaded_ever = true;
       return nullptr;
     },
     .run =
         [](Session& s, const Command&) {
           s.Print(JsonLine().Str("ev", "load"));
           if (!s.snapshot) s.snapshot = s.host.Image().CodeBytes();
           std::string error;
           s.plugin = os::LoadPlugin(s.options.plugin_path, &error);
           if (s.plugin == nullptr) throw std::runtime_error("cannot load the plugin: " + error);
         }},
    {.name = "unload",
     .kinds = "",
     .usage = "unload",
     .help = nullptr,
     .check = [](ScriptState& state, Command&) -> const char* {
       if (!state.loaded) return "the plugin is not loaded";
       state.loaded = false;
       return nullptr;
     },
     .run =
         [](Session& s, const Command&) {
           s.Print(JsonLine().Str("ev", "unload"));
           os::UnloadPlugin(s.plugin);
           s.plugin = nullptr;
         }},
    {.name = "startup",
     .kinds = "",
     .usage = "startup",
     .help = "execute that event's call site",
     .run =
         [](Session& s, const Command&) {
           s.RunEvent("startup", s.host.Image().Layout().startup_site);
         }},
    {.name = "update",
     .kinds = "",
     .usage = "update",
     .help = nullptr,
     .run =
         [](Session& s, const Command&) {
           s.RunEvent("update", s.host.Image().Layout().update_site);
         }},
    {.name = "draw",
     .kinds = "",
     .usage = "draw",
     .help = nullptr,
     .run =
         [](Session& s, const Command&) {
           s.RunEvent("draw", s.host.Image().Layout().draw_site);
         }},
    {.name = "frame",
     .kinds = "ii",
     .usage = "frame N MS",
     .help = "N times: timer += MS, update, draw (frames numbered from 1)",
     .check = [](ScriptState&, Command& c) -> const char* {
       return InRange(c, 0, 0, 1000000) ? nullptr : "frame count must be 0 to 1000000";
     },
     .run =
         [](Session& s, const Command& c) {
           for (uint32_t k = 1; k <= c.args[0]; ++k) {
             s.Print(JsonLine().Str("ev", "frame").Int("n", k));
             s.State().time_ms += c.args[1];
             s.host.ApplyState();
             s.RunEvent("update", s.host.Image().Layout().update_site);
             s.RunEvent("draw", s.host.Image().Layout().draw_site);
           }
         }},
    {.name = "moon",
     .kinds = kSpriteKinds,
     .usage = "moon X Y Z W H R G B I RZ A",
     .help = "the host draws its moon through its site",
     .run = [](Session& s, const Command& c) { DrawThrough(s, c, kMoonSite); }},
    {.name = "logo-r",
     .kinds = kSpriteKinds,
     .usage = "logo-r ...",
     .help = "the same 11 arguments, the sky sign's R / star",
     .run = [](Session& s, const Command& c) { DrawThrough(s, c, kLogoRSite); }},
    {.name = "logo-star",
     .kinds = kSpriteKinds,
     .usage = "logo-star ...",
     .help = nullptr,
     .run = [](Session& s, const Command& c) { DrawThrough(s, c, kLogoStarSite); }},
    {.name = "trail",
     .kinds = "ifff",
     .usage = "trail SITE X Y Z",
     .help = "trail site 1-6 (or its address: 0x54CE94 0x54D06A 0x54D242 primary,\n"
             "0x54CEB6 0x54D08C 0x54D265 secondary), position (X, Y, Z)",
     .check = [](ScriptState&, Command& c) -> const char* {
       const std::optional<uint32_t> site = ResolveSite(c.args[0], kTrailSites);
       if (!site) return "unknown trail site (1 to 6 or its address)";
       c.args[0] = *site;
       return nullptr;
     },
     .run =
         [](Session& s, const Command& c) {
           s.Print(JsonLine().Str("ev", c.name));
           CallTrail(s, c.args[0], {AsFloat(c.args[1]), AsFloat(c.args[2]), AsFloat(c.args[3])});
         }},
    {.name = "plane-glow",
     .kinds = "iifffi",
     .usage = "plane-glow SITE ID X Y Z ARG9",
     .help = "plane glow site 1-4 (or 0x5B2820 0x5B2964 0x5B2A11 0x5B2AB4)",
     .check = [](ScriptState&, Command& c) -> const char* {
       const std::optional<uint32_t> site = ResolveSite(c.args[0], kPlaneGlowSites);
       if (!site) return "unknown plane glow site (1 to 4 or its address)";
       c.args[0] = *site;
       return nullptr;
     },
     .run =
         [](Session& s, const Command& c) {
           const auto& a = c.args;
           s.Print(JsonLine().Str("ev", c.name));
           const uint32_t point = s.PointTo({AsFloat(a[2]), AsFloat(a[3]), AsFloat(a[4])});
           // ID, colour 1 2 3, alpha 4, the position, size 5, far 6, ARG9, 10..15, 16.0
           const std::array<uint32_t, kGlowArgs> args{
               a[1], 1, 2, 3, 4, point, Bits(5), Bits(6), a[5], 10, 11, 12, 13, 14, 15, Bits(16)};
           s.host.CallSite(a[0], args);
         }},
    {.name = "plane-branch",
     .kinds = "ii",
     .usage = "plane-branch A B",
     .help = "run the plane update decision; returns 2 or 1",
     .run =
         [](Session& s, const Command& c) {
           s.Print(JsonLine().Str("ev", c.name));
           const uint32_t result = s.host.CallSite(kPlaneDecisionSite, c.args);
           s.Print(JsonLine().Str("ev", "return").Int("value", result));
         }},
    {.name = "dump",
     .kinds = "ii",
     .usage = "dump ADDR LEN",
     .help = "bytes at a host address",
     .check = [](ScriptState&, Command& c) -> const char* {
       if (c.args[1] == 0 || c.args[1] > 0x10000) return "length must be 1 to 65536";
       if (!HostImage::Contains(c.args[0], c.args[1])) return "range outside the host image";
       return nullptr;
     },
     .run =
         [](Session& s, const Command& c) {
           const std::vector<uint8_t> bytes = s.host.Image().Read(c.args[0], c.args[1]);
           s.Print(JsonLine()
                       .Str("ev", "bytes")
                       .Str("addr", FormatAddress(c.args[0]))
                       .Str("hex", FormatHex(bytes.data(), bytes.size())));
         }},
    {.name = "protect",
     .kinds = "i",
     .usage = "protect ADDR",
     .help = "protection of the page at a host address",
     .check = [](ScriptState&, Command& c) -> const char* {
       return HostImage::Contains(c.args[0], 1) ? nullptr : "address outside the host image";
     },
     .run =
         [](Session& s, const Command& c) {
           s.Print(JsonLine()
                       .Str("ev", "protect")
                       .Str("addr", FormatAddress(c.args[0]))
                       .Str("prot", s.host.Image().Protection(c.args[0])));
         }},
    {.name = "changes",
     .kinds = "",
     .usage = "changes",
     .help = "code bytes changed since just before the first load",
     .run =
         [](Session& s, const Command&) {
           s.Print(JsonLine().Str("ev", "changes").Raw("ranges", Changes(s)));
         }},
};

// Appends one --help line for `usage`: the first line of `help` at column 21, or at 35 after a
// longer usage, or three blanks after a longer one still, or on a line of its own where it would
// pass column 100; the later lines of `help` at column 21.
void AppendHelpLine(std::string& text, const std::string& usage, std::string_view help) {
  constexpr std::size_t kColumn = 21;
  constexpr std::size_t kLongColumn = 35;
  constexpr std::size_t kWidth = 100;
  std::string line = "  " + usage;
  const std::string_view first = help.substr(0, help.find('\n'));
  const std::size_t column = line.size() < kColumn       ? kColumn
                             : line.size() < kLongColumn ? kLongColumn
                                                         : line.size() + 3;
  if (column + first.size() > kWidth) {
    text += line + '\n';
    line.clear();
  }
  line.resize(line.empty() ? kColumn : column, ' ');
  for (std::size_t start = 0;;) {
    const std::size_t end = help.find('\n', start);
    text += line;
    text += help.substr(start, end - start);
    text += '\n';
    if (end == std::string_view::npos) break;
    start = end + 1;
    line.assign(kColumn, ' ');
  }
}

}  // namespace

std::span<const CommandEntry> Commands() { return kCommands; }

const CommandEntry* FindCommand(std::string_view name) {
  for (const CommandEntry& entry : kCommands) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

std::string CommandHelp() {
  std::string text;
  for (const CommandEntry* entry = std::begin(kCommands); entry != std::end(kCommands);) {
    if (entry->heading != nullptr) text += std::string("\n") + entry->heading + ":\n";
    std::string usage = entry->usage;
    const char* help = entry->help;
    for (++entry; entry != std::end(kCommands) && entry->help == nullptr; ++entry)
      usage += std::string(" | ") + entry->usage;
    AppendHelpLine(text, usage, help);
  }
  return text;
}

}  // namespace hostsim

// The emulated host itself: the image per build, its page protections, the code it executes, the
// script checks, the table of commands, and the emulator process (crash reporting, rebasing,
// frames).
#include "hostsim/hostsim.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "hostsim/commands.h"
#include "hostsim/crash.h"
#include "hostsim/machine_code.h"

namespace hostsim {
namespace {

// In-process images go here, clear of any image another test keeps at 0x400000 and of the shadow
// memory that AddressSanitizer keeps from 0x20000000 on in a sanitizer build.
constexpr uint32_t kTestBase = 0x10000000;

uint32_t Actual(const HostImage& image, uint32_t address) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image.At(address)));
}

// Target of the E8/E9 rel32 instruction at a host address, as an actual address.
uint32_t BranchTarget(const HostImage& image, uint32_t address) {
  int32_t rel = 0;
  std::memcpy(&rel, image.At(address) + 1, 4);
  return Actual(image, address) + 5 + static_cast<uint32_t>(rel);
}

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

TEST(HostImageLayout, EachBuildHasOnlyItsOwnProbeEventSitesAndRoutines) {
  for (int32_t build : {100, 110, 120, 0}) {
    SCOPED_TRACE(build);
    HostImage image(build, kTestBase);
    const BuildLayout& own = *FindBuild(build);
    for (const BuildLayout& layout : kBuilds) {
      const bool is_own = &layout == &own;
      const bool probed = is_own && build != 0;
      EXPECT_EQ(image.Read(layout.probe, 4) == Bytes({0x55, 0x89, 0xE5, 0x53}), probed)
          << layout.build;
      for (uint32_t site : {layout.startup_site, layout.update_site, layout.draw_site}) {
        EXPECT_EQ(*image.At(site), is_own ? 0xE8 : 0xCC) << std::hex << site;
      }
      EXPECT_EQ(*image.At(layout.sky_gate), is_own ? 0xE9 : 0xCC);
      EXPECT_EQ(*image.At(layout.add_point_light), is_own ? 0xE9 : 0xCC);
    }
    // Executing each event site reaches its routine, whose 32-bit result comes back whole.
    EXPECT_EQ(image.CallSite(own.startup_site, {}), kStartupResult);
    EXPECT_EQ(image.CallSite(own.update_site, {}), kUpdateResult);
    EXPECT_EQ(image.CallSite(own.draw_site, {}), kDrawResult);
  }
}

TEST(HostImageLayout, PatchSitesCallTheirRoutinesAsTheGameHasThem) {
  HostImage image(100, kTestBase);
  const std::vector<std::pair<uint32_t, uint32_t>> calls = {
      {kMoonSite, kDrawSprite},
      {kLogoRSite, kDrawSpriteAlt},
      {kLogoStarSite, kDrawSprite},
      {kTrailSites[0], kRegisterGlow},
      {kTrailSites[2], kRegisterGlow},
      {kTrailSites[3], kTrailSecondaryRoutine},
      {kTrailSites[5], kTrailSecondaryRoutine},
      {kPlaneGlowSites[0], kRegisterGlow},
      {kPlaneGlowSites[3], kRegisterGlow},
      {kPlaneDecisionSite, kPlaneDecision}};
  for (const auto& [site, routine] : calls) {
    SCOPED_TRACE(site);
    ASSERT_EQ(*image.At(site), 0xE8);
    EXPECT_EQ(BranchTarget(image, site), Actual(image, routine));
  }
  for (std::size_t i = 0; i < kHourOperands.size(); ++i) {
    EXPECT_EQ(image.Read(kHourOperands[i] - 2, 3), Bytes({0x80, 0xF9, kHourOperandValues[i]}));
  }
  EXPECT_EQ(image.Read(kPlaneStretch1, 2), Bytes({0xD9, 0x05}));
  EXPECT_EQ(image.Read(kPlaneStretch2, 2), Bytes({0x0F, 0x85}));
  EXPECT_EQ(image.Read(kPlaneBranch1, 2), Bytes({0x74, 0x2E}));
  EXPECT_EQ(image.Read(kPlaneBranch2, 2), Bytes({0x75, 0x0C}));
  EXPECT_EQ(*image.At(0x401000), 0xCC);
  EXPECT_EQ(*image.At(kDataStart + 0x10), 0xCC);
}

TEST(HostImageLayout, CodePagesAreReadExecuteAndWritesGiveProtectionBack) {
  HostImage image(110, kTestBase);
  EXPECT_EQ(image.Protection(kHeaderStart), "r--");
  EXPECT_EQ(image.Protection(kCodeStart), "r-x");
  EXPECT_EQ(image.Protection(kDataStart - 1), "r-x");
  EXPECT_EQ(image.Protection(kDataStart), "rw-");
  EXPECT_EQ(image.Protection(kImageEnd - 1), "rw-");
  EXPECT_EQ(ProtectionOf(image.At(kImageEnd)), "---");

  // A write across the code/data boundary lands and leaves each page as it was.
  image.Write(kDataStart - 2, Bytes({1, 2, 3, 4}));
  EXPECT_EQ(image.Read(kDataStart - 2, 4), Bytes({1, 2, 3, 4}));
  EXPECT_EQ(image.Protection(kDataStart - 1), "r-x");
  EXPECT_EQ(image.Protection(kDataStart), "rw-");
}

TEST(HostImageLayout, PlaneDecisionRunsBothFormsOfItsBranches) {
  HostImage image(120, kTestBase);
  auto decide = [&](uint32_t a, uint32_t b) {
    const uint32_t args[] = {a, b};
    return image.CallSite(kPlaneDecisionSite, args);
  };
  // Check form: 2 when a == 0 or b != 0.
  EXPECT_EQ(decide(0, 0), 2u);
  EXPECT_EQ(decide(0, 5), 2u);
  EXPECT_EQ(decide(7, 5), 2u);
  EXPECT_EQ(decide(7, 0), 1u);
  // Ignore form: EB 22 (JMP to 0x5B1DA9) and 90 90: always continues at 0x5B1DA9.
  image.Write(kPlaneBranch1, Bytes({0xEB, 0x22}));
  image.Write(kPlaneBranch2, Bytes({0x90, 0x90}));
  EXPECT_EQ(decide(0, 0), 1u);
  EXPECT_EQ(decide(7, 5), 1u);
  // Only the second branch removed: a == 0 still skips.
  image.Write(kPlaneBranch1, Bytes({0x74, 0x2E}));
  EXPECT_EQ(decide(0, 5), 2u);
  EXPECT_EQ(decide(7, 5), 1u);
  EXPECT_EQ(image.Protection(kPlaneBranch1), "r-x");
}

TEST(SiteThunk, JumpsToTheSiteAndComesBackAfterIt) {
  uint32_t return_offset = 0;
  const uint32_t thunk = 0x30000000, site = 0x53FEF9;
  const std::vector<uint8_t> code = MakeThunk(thunk, site, 11, &return_offset);
  ASSERT_GE(return_offset, 5u);
  ASSERT_EQ(code[return_offset - 5], 0xE9);
  int32_t rel = 0;
  std::memcpy(&rel, &code[return_offset - 4], 4);
  EXPECT_EQ(thunk + return_offset + static_cast<uint32_t>(rel), site);
  // 11 pushes of [ESI+4i], last argument first.
  const std::vector<uint8_t> first_push = {0xFF, 0x76, 40};
  EXPECT_NE(std::search(code.begin(), code.end(), first_push.begin(), first_push.end()),
            code.end());
  EXPECT_EQ(code.back(), 0xC3);
}

TEST(VehiclePoolLayout, SlotsAndVehiclesLieWhereTheGameKeepsThem) {
  VehiclePool pool;
  EXPECT_EQ(pool.Address(), 0u);
  pool.Reset(3);
  Vehicle car;
  car.model = -2;
  car.position = {10, 20, 30};
  car.health = 500;
  pool.Occupy(1, car);
  const auto* record = reinterpret_cast<const uint32_t*>(static_cast<uintptr_t>(pool.Address()));
  const auto* first = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(record[0]));
  const auto* flags = reinterpret_cast<const int8_t*>(static_cast<uintptr_t>(record[1]));
  EXPECT_EQ(static_cast<int32_t>(record[2]), 3);
  EXPECT_LT(flags[0], 0);
  EXPECT_GE(flags[1], 0);
  EXPECT_LT(flags[2], 0);
  const uint8_t* v = first + 1500;
  auto f = [v](uint32_t offset) {
    float value;
    std::memcpy(&value, v + offset, 4);
    return value;
  };
  int16_t model;
  std::memcpy(&model, v + 0x5C, 2);
  EXPECT_EQ(model, -2);
  EXPECT_EQ(f(0x34), 10);
  EXPECT_EQ(f(0x3C), 30);
  EXPECT_EQ(f(0x204), 500);
  EXPECT_EQ(f(0x04), 1);  // A1 = (1, 0, 0)
  EXPECT_EQ(f(0x18), 1);  // A2 = (0, 1, 0)
  EXPECT_EQ(f(0x2C), 1);  // A3 = (0, 0, 1)
  EXPECT_EQ(f(0x28), 0);
  pool.Free(1);
  EXPECT_LT(flags[1], 0);
}

TEST(Projection, PinholeOfSeventyDegreesWithoutFarClipping) {
  const float camera[3] = {100, 0, 0}, forward[3] = {0, 1, 0}, right[3] = {1, 0, 0};
  auto at = [&](float x, float y, float z) {
    const float world[3] = {camera[0] + x, y, z};
    return Project(world, camera, forward, right);
  };
  const Projection ahead = at(0, 10, 0);
  EXPECT_TRUE(ahead.on_screen);
  EXPECT_FLOAT_EQ(ahead.screen[0], 320);
  EXPECT_FLOAT_EQ(ahead.screen[1], 240);
  EXPECT_FLOAT_EQ(ahead.screen[2], 10);
  EXPECT_FLOAT_EQ(at(0, 20, 0).scale[0] * 2, ahead.scale[0]);  // shrinks with depth
  EXPECT_TRUE(at(0, 1e9f, 0).on_screen);
  EXPECT_FALSE(at(0, -10, 0).on_screen);
  EXPECT_FALSE(at(5, 0, 0).on_screen);
  const float deg = 3.14159265f / 180;
  EXPECT_TRUE(at(0, 10, 10 * std::tan(34 * deg)).on_screen);  // up is +z: toward y = 0
  EXPECT_LT(at(0, 10, 10 * std::tan(34 * deg)).screen[1], 240);
  EXPECT_FALSE(at(0, 10, 10 * std::tan(36 * deg)).on_screen);
  const float half_width = std::atan(std::tan(35 * deg) * 4 / 3);
  EXPECT_TRUE(at(10 * std::tan(half_width - deg), 10, 0).on_screen);
  EXPECT_FALSE(at(10 * std::tan(half_width + deg), 10, 0).on_screen);
}

TEST(TraceFormat, FloatsShortestRoundTripNonFiniteAsStrings) {
  EXPECT_EQ(FormatFloat(0.1f), "0.1");
  EXPECT_EQ(FormatFloat(-1.5f), "-1.5");
  EXPECT_EQ(FormatFloat(16777216.0f), "16777216");
  EXPECT_EQ(std::strtof(FormatFloat(3.0e-7f).c_str(), nullptr), 3.0e-7f);
  EXPECT_EQ(FormatFloat(NAN), "\"nan\"");
  EXPECT_EQ(FormatFloat(INFINITY), "\"inf\"");
  EXPECT_EQ(FormatFloat(-INFINITY), "\"-inf\"");
  EXPECT_EQ(FormatAddress(0x53FF09), "0x53FF09");
  EXPECT_EQ(JsonLine().Str("ev", "x").Ints("more", {-1, 4294967295}).Text(),
            "{\"ev\":\"x\",\"more\":[-1,4294967295]}");
}

TEST(EmulatorScript, MalformedScriptNamesItsLineAndRunsNothing) {
  struct Case {
    const char* script;
    int line;
    const char* message;
  };
  const Case cases[] = {
      {"startup\nfly 3\n", 2, "unknown command"},
      {"startup\n\n# note\ncamera 1 2 3 # too few\n", 4, "takes 9"},
      {"clock 23 x5\n", 1, "bad integer"},
      {"timestep fast\n", 1, "bad number"},
      {"poke 0x53FF09 1\n", 1, "bad hex"},
      {"load\nbuild 110\n", 2, "before the first load"},
      {"load\nunload\nunload\n", 3, "not loaded"},
      {"load\nload\n", 2, "already loaded"},
      {"build 130\n", 1, "build must be"},
      {"vehicle 0 400 1 2 3\n", 1, "no vehicle pool"},
      {"pool 2\nvehicle 2 400 1 2 3\n", 2, "slot outside"},
      {"pool 2\nvehicle 1 400 1 2 3 4 5\n", 2, "5 or 6 or 15"},
      {"dump 0xA78FFF 2\n", 1, "outside"},
      {"trail 7 1 2 3\n", 1, "trail site"},
      {"skygate 2\n", 1, "skygate"},
      {"trace-skygate 2\n", 1, "trace-skygate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    std::istringstream script(c.script);
    std::ostringstream out, err;
    EXPECT_EQ(RunScript(script, out, err, Options{}), kExitMalformed);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str().rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << err.str();
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
}

TEST(EmulatorScript, NumbersCommentsAndSitesAreReadAsWritten) {
  std::istringstream script(
      "time 0xFFFFFFFF   # the timer's last value\n"
      "scene -0x0\n"
      "timestep -1.5e-3\n"
      "poke 0x53FF09 0x17aB\n"
      "trail 3 nan inf 0x10\n"
      "plane-glow 0x5B2964 4294967295 1 2 3 -2147483648\n"
      "pool none\n");
  std::vector<Command> commands;
  ScriptError error;
  ASSERT_TRUE(ParseScript(script, &commands, &error)) << error.line << ": " << error.message;
  ASSERT_EQ(commands.size(), 7u);
  EXPECT_EQ(commands[0].args, std::vector<uint32_t>{0xFFFFFFFF});
  EXPECT_EQ(commands[1].args, std::vector<uint32_t>{0});
  EXPECT_EQ(std::bit_cast<float>(commands[2].args[0]), -1.5e-3f);
  EXPECT_EQ(commands[3].bytes, Bytes({0x17, 0xAB}));
  EXPECT_EQ(commands[4].args[0], kTrailSites[2]);  // site by number
  EXPECT_TRUE(std::isnan(std::bit_cast<float>(commands[4].args[1])));
  EXPECT_EQ(std::bit_cast<float>(commands[4].args[3]), 16.0f);
  EXPECT_EQ(commands[5].args,
            (std::vector<uint32_t>{kPlaneGlowSites[1], 0xFFFFFFFF, std::bit_cast<uint32_t>(1.0f),
                                   std::bit_cast<uint32_t>(2.0f), std::bit_cast<uint32_t>(3.0f),
                                   0x80000000}));
  EXPECT_TRUE(commands[6].none);
  EXPECT_EQ(commands[6].line, 7);
}

// A command added to the table must be reachable by its name, runnable, well formed in its argument
// kinds, and listed once in --help; the help lines must stay inside 100 columns.
TEST(EmulatorCommands, EveryCommandRunsAndHasItsLineInTheHelp) {
  const std::string help = CommandHelp();
  std::vector<std::string> lines;
  std::istringstream text(help);
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), 100u) << line;
    if (line.rfind("   ", 0) == 0) {
      EXPECT_EQ(line.find_first_not_of(' '), 21u) << line;
    }
  }
  ASSERT_FALSE(Commands().empty());
  EXPECT_NE(Commands().front().heading, nullptr);
  for (const CommandEntry& entry : Commands()) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(FindCommand(entry.name), &entry);  // names are unique
    EXPECT_NE(entry.run, nullptr);
    if (entry.heading != nullptr) {
      EXPECT_NE(entry.help, nullptr);
    }
    const std::string usage = entry.usage;
    EXPECT_EQ(usage.rfind(entry.name, 0), 0u);
    // Kinds are letters the parser knows; each '[' opens an optional tail that closes at the end.
    const std::string kinds = entry.kinds;
    const std::size_t letters_end = kinds.find_last_not_of(']') + 1;
    EXPECT_EQ(kinds.substr(0, letters_end).find_first_not_of("ifxn["), std::string::npos) << kinds;
    EXPECT_EQ(kinds.size() - letters_end,
              static_cast<std::size_t>(std::count(kinds.begin(), kinds.end(), '[')))
        << kinds;
    int listed = 0;
    for (const std::string& line : lines) {
      if (line.rfind("  " + usage, 0) == 0 || line.find(" | " + usage) != std::string::npos)
        ++listed;
    }
    EXPECT_EQ(listed, 1) << help;
  }
}

// The emulator as its own process.
struct ProcessRun {
  int status;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs the emulator on `script` with `args`, from the folder `cwd` when given.
ProcessRun RunHostsim(const std::string& script, const std::string& args,
                      const std::string& cwd = "") {
  char dir[] = "/tmp/hostsim_test.XXXXXX";
  if (mkdtemp(dir) == nullptr) return {-1, "", "mkdtemp failed"};
  const std::string base = dir;
  std::ofstream(base + "/run.script") << script;
  const std::string command = (cwd.empty() ? "" : "cd " + cwd + " && ") +
                              std::string(NIGHTGLASS_HOSTSIM_PATH) + " " + args + " " + base +
                              "/run.script >" + base + "/out 2>" + base + "/err";
  const int status = std::system(command.c_str());
  ProcessRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(base + "/out"),
                 ReadFile(base + "/err")};
  std::system(("rm -rf " + base).c_str());
  return run;
}

TEST(EmulatorProcess, PluginCrashIsReportedAsFailure) {
  const ProcessRun run = RunHostsim("clock 1 2\nstartup\nload\nstartup\n",
                                    std::string("--plugin ") + NIGHTGLASS_CRASH_PLUGIN_PATH);
  EXPECT_EQ(run.status, kCrashExitStatus);
  EXPECT_NE(run.err.find("SIGSEGV"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("line 3: load"), std::string::npos) << run.err;
  // Everything printed before the crash is there; nothing after it.
  EXPECT_EQ(run.out,
            "{\"ev\":\"startup\"}\n"
            "{\"call\":\"StartupRoutine\",\"ret\":3235774720}\n"
            "{\"ev\":\"return\",\"value\":3235774720}\n"
            "{\"ev\":\"load\"}\n");
}

class EmulatorAtBase : public testing::TestWithParam<const char*> {};

// A plugin that redirects the moon site sees the image at the chosen base, its hook gets the host's
// arguments on a 16-byte aligned stack, and the sprite routine it calls at its fixed address is
// there; unloading puts the site back.
TEST_P(EmulatorAtBase, PluginPatchesTheImageAndCallsFixedRoutines) {
  const ProcessRun run = RunHostsim(
      "dump 0x667BF0 4\nload\nprotect 0x53FEF9\nchanges\nmoon 1 2 3 4 5 6 7 8 9 10 11\n"
      "unload\nchanges\nmoon 1 2 3 4 5 6 7 8 9 10 11\nplane-branch 3 0\n",
      std::string("--plugin ") + NIGHTGLASS_HOOK_PLUGIN_PATH + " " + GetParam());
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::vector<std::string> out;
  for (std::string line; std::getline(lines, line);) out.push_back(line);
  ASSERT_EQ(out.size(), 12u) << run.out;
  EXPECT_EQ(out[0], "{\"ev\":\"bytes\",\"addr\":\"0x667BF0\",\"hex\":\"5589E553\"}");
  EXPECT_EQ(out[2], "{\"ev\":\"protect\",\"addr\":\"0x53FEF9\",\"prot\":\"r-x\"}");
  EXPECT_EQ(out[3].rfind("{\"ev\":\"changes\",\"ranges\":[{\"addr\":\"0x53FEFA\",\"hex\":\"", 0),
            0u)
      << out[3];
  EXPECT_EQ(out[5],
            "{\"call\":\"DrawSprite\",\"x\":1,\"y\":2,\"z\":3,\"w\":8,\"h\":10,\"r\":6,\"g\":7,"
            "\"b\":8,\"i\":1,\"rz\":10,\"a\":11}");
  EXPECT_EQ(out[7], "{\"ev\":\"changes\",\"ranges\":[]}");
  EXPECT_EQ(out[9],
            "{\"call\":\"DrawSprite\",\"x\":1,\"y\":2,\"z\":3,\"w\":4,\"h\":5,\"r\":6,\"g\":7,"
            "\"b\":8,\"i\":9,\"rz\":10,\"a\":11}");
  EXPECT_EQ(out[11], "{\"ev\":\"return\",\"value\":1}");
}

INSTANTIATE_TEST_SUITE_P(Bases, EmulatorAtBase, testing::Values("", "--base 0x1000000"));

TEST(EmulatorProcess, FramesAdvanceTheTimerOfTheChosenBuild) {
  const ProcessRun run = RunHostsim("build 120\ntime 5\nframe 2 10\ndump 0x973B34 4\n", "");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string frame;
  for (int n = 1; n <= 2; ++n) {
    frame += "{\"ev\":\"frame\",\"n\":" + std::to_string(n) +
             "}\n"
             "{\"ev\":\"update\"}\n{\"call\":\"UpdateRoutine\",\"ret\":3235774976}\n"
             "{\"ev\":\"return\",\"value\":3235774976}\n"
             "{\"ev\":\"draw\"}\n{\"call\":\"DrawRoutine\",\"ret\":3235775232}\n"
             "{\"ev\":\"return\",\"value\":3235775232}\n";
  }
  EXPECT_EQ(run.out, frame + "{\"ev\":\"bytes\",\"addr\":\"0x973B34\",\"hex\":\"19000000\"}\n");
}

TEST(EmulatorProcess, HostStateLandsAtTheChosenBuildsAddresses) {
  const ProcessRun run = RunHostsim(
      "build 110\nscene 4\nclock 5 30\ntimestep 0.5\ntexture 1\npool 2\n"
      "dump 0xA10A42 1\ndump 0xA10B6B 1\ndump 0xA10B92 1\ndump 0x97542C 4\ndump 0x695600 4\n"
      "dump 0xA0FDEC 4\npool none\ndump 0xA0FDEC 4\n",
      "");
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::vector<std::string> hex;
  for (std::string line; std::getline(lines, line);)
    hex.push_back(line.substr(line.rfind(':') + 2));
  ASSERT_EQ(hex.size(), 7u) << run.out;
  EXPECT_EQ(hex[0], "04\"}");
  EXPECT_EQ(hex[1], "05\"}");
  EXPECT_EQ(hex[2], "1E\"}");
  EXPECT_EQ(hex[3], "0000003F\"}");  // 0.5f
  EXPECT_EQ(hex[4], "00000000\"}");  // texture object without a raster
  EXPECT_NE(hex[5], "00000000\"}");  // the pool
  EXPECT_EQ(hex[6], "00000000\"}");
}

// The plugin path is resolved before the emulator enters --dir; a folder that is not there is a
// command-line error.
TEST(EmulatorProcess, DirIsEnteredAfterResolvingThePluginPath) {
  const std::string plugin = NIGHTGLASS_HOOK_PLUGIN_PATH;
  const std::string folder = plugin.substr(0, plugin.rfind('/'));
  const std::string name = plugin.substr(plugin.rfind('/') + 1);
  const ProcessRun run = RunHostsim("load\nmoon 1 2 3 4 5 6 7 8 9 10 11\n",
                                    "--plugin " + name + " --dir /tmp", folder);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"w\":8,\"h\":10"), std::string::npos) << run.out;
  EXPECT_EQ(RunHostsim("load\n", "--plugin " + plugin + " --dir /nonexistent/folder").status,
            kExitMalformed);
}

// Each site hands its routine the arguments its caller pushes, the position read through the
// pointer at the moment of the call.
TEST(EmulatorProcess, HostSitesHandTheirRoutinesTheCallersArguments) {
  const ProcessRun run = RunHostsim(
      "logo-r 1 2 3 4 5 300 7 8 -9 0.5 11\ntrail 2 1 2.5 -3\ntrail 0x54D08C 1 2 3\n"
      "plane-glow 4 4294967295 7 8 9 -9\n",
      "");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"ev\":\"logo-r\"}\n"
            "{\"call\":\"DrawSpriteAlt\",\"x\":1,\"y\":2,\"z\":3,\"w\":4,\"h\":5,\"r\":44,\"g\":7,"
            "\"b\":8,\"i\":-9,\"rz\":0.5,\"a\":11}\n"
            "{\"ev\":\"trail\"}\n"
            "{\"call\":\"RegisterGlow\",\"id\":102,\"r\":1,\"g\":2,\"b\":3,\"a\":4,"
            "\"pos\":[1,2.5,-3],\"size\":5,\"far\":6,\"more\":[7,8,9,10,11,12,13],\"last\":14}\n"
            "{\"ev\":\"trail\"}\n"
            "{\"call\":\"TrailSecondaryRoutine\"}\n"
            "{\"ev\":\"plane-glow\"}\n"
            "{\"call\":\"RegisterGlow\",\"id\":4294967295,\"r\":1,\"g\":2,\"b\":3,\"a\":4,"
            "\"pos\":[7,8,9],\"size\":5,\"far\":6,\"more\":[-9,10,11,12,13,14,15],\"last\":16}\n");
}

}  // namespace
}  // namespace hostsim

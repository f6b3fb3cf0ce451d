// The emulator's commands, each declared once in one table (commands.cpp): its name, the kinds and
// numbers of its arguments, its help, the checks that depend on its meaning, and what running it
// does. The script parser, the runner and --help all read the table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/hostsim.h"

namespace hostsim {

// What a command's check knows of the commands before it in the script.
struct ScriptState {
  bool loaded = false;
  bool loaded_ever = false;
  int32_t pool_slots = -1;  // the default host has no pool
};

// What the commands work on while a script runs: the emulated host, the trace and the plugin.
struct Session {
  // Lays out the default build; throws std::runtime_error when the image cannot be mapped.
  Session(TextOut& trace, const Options& options);
  // Unloads a plugin that is still loaded.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  HostState& State() { return host.State(); }
  void Print(const JsonLine& line) { WriteLine(out, line); }
  // Executes an event site: its line, the calls, and what the site handed back.
  void RunEvent(const char* name, uint32_t site);
  // Sets `point` and returns its address, for the calls that hand the host a position.
  uint32_t PointTo(std::array<float, 3> position);

  TextOut& out;
  const Options& options;
  EmulatedHost host;
  void* plugin = nullptr;
  std::optional<std::vector<uint8_t>> snapshot;  // the code bytes just before the first load
  std::array<float, 3> point{};  // the position that trail and plane glow calls point to
};

struct CommandEntry {
  // Where set, --help starts a new group of commands with this heading before this one.
  const char* heading = nullptr;
  const char* name;
  // One letter per argument: 'i' a 32-bit integer (signed or unsigned), 'f' a float, 'x' contiguous
  // hex bytes, 'n' an integer or the word `none`. A '[' opens the optional rest of the list, so
  // "ii[f[ff]]" takes 2, 3 or 5 arguments.
  const char* kinds;
  const char* usage;  // the command and its arguments as --help shows them
  // The --help text; its lines after the first are indented to the first's column. nullptr: the
  // command is described on the line of the command before it ("load | unload").
  const char* help;
  // Returns nullptr when `c` is acceptable after the commands that `state` has seen, else the
  // message; records `c` in `state` and may rewrite its arguments (sites become addresses).
  // nullptr: any arguments of the right kinds are acceptable.
  const char* (*check)(ScriptState& state, Command& c) = nullptr;
  // Runs the checked command; throws std::runtime_error on a failure the script cannot prevent.
  void (*run)(Session& session, const Command& c);
};

// Every command, in the order --help lists them.
std::span<const CommandEntry> Commands();

// The entry named `name`, or nullptr.
const CommandEntry* FindCommand(std::string_view name);

// The commands' part of --help: each group's heading after a blank line, then a line per command.
std::string CommandHelp();

}  // namespace hostsim

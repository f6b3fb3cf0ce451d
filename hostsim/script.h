// The emulator's script language: one command per line, '#' starts a comment, numbers decimal or
// 0x-hex. The whole script is parsed and checked before anything runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/text_stream.h"

namespace hostsim {

struct CommandEntry;

struct Command {
  int line = 0;
  std::string name;
  const CommandEntry* entry = nullptr;  // its entry in the table of commands (commands.h)
  std::vector<uint32_t>
      args;  // integers as their 32-bit pattern, floats bit-cast; sites as addresses
  std::vector<uint8_t> bytes;  // the bytes of `poke`
  bool none = false;           // `pool none`
};

struct ScriptError {
  int line = 0;
  std::string message;
};

// Parses `script` and checks every command: its name, the count and the form of its arguments, and
// the checks of its entry in the table of commands (ranges, and the order rules: `build` only
// before the first `load`, no `load` while loaded, no `unload` while not, vehicle slots inside the
// pool). Returns false and the first error when the script is malformed.
bool ParseScript(TextIn& script, std::vector<Command>* commands, ScriptError* error);

}  // namespace hostsim

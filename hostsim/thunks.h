// Calling through a host site the way the game's own caller does: a thunk outside the image pushes
// the arguments and jumps to the site; the site's CALL is followed by a JMP back into the thunk,
// which removes the arguments and returns what the call left in EAX.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace hostsim {

// A site the emulator executes: its address in this process and the number of 32-bit arguments
// its caller pushes.
struct CallableSite {
  uint32_t address;
  unsigned arg_count;
};

// Machine code of one thunk placed at `thunk`: cdecl `uint32_t f(const uint32_t* args)` that
// aligns the stack so that ESP is 16-byte aligned after pushing args[arg_count-1] .. args[0],
// jumps to `site`, and on coming back (at offset *return_offset) restores EBX, ESI, EDI, EBP and
// the stack and returns EAX.
std::vector<uint8_t> MakeThunk(uint32_t thunk, uint32_t site, unsigned arg_count,
                               uint32_t* return_offset);

// One executable page of thunks, one per site.
class SiteThunks {
 public:
  explicit SiteThunks(const std::vector<CallableSite>& sites);  // throws std::runtime_error
  ~SiteThunks();
  SiteThunks(const SiteThunks&) = delete;
  SiteThunks& operator=(const SiteThunks&) = delete;

  // Where the site's trailing JMP must lead.
  uint32_t ReturnLabel(uint32_t site) const;
  // Executes the site with exactly its number of arguments; returns EAX.
  uint32_t Call(uint32_t site, std::span<const uint32_t> args) const;

  // The thunk of a site itself, for callers that execute it many times (benchmarks): takes the
  // site's arguments, exactly its number of them, and returns EAX.
  using Entry = uint32_t (*)(const uint32_t* args);
  Entry EntryOf(uint32_t site) const;

 private:
  struct Thunk {
    CallableSite site;
    uint32_t entry;
    uint32_t return_label;
  };
  const Thunk& Find(uint32_t site) const;
  uint8_t* page_ = nullptr;
  std::size_t size_ = 0;
  std::vector<Thunk> thunks_;
};

}  // namespace hostsim

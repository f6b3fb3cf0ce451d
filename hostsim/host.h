// The emulated host: the image the plugin works on (at the chosen base), a second image at 0x400000
// for the items used at one fixed address when the base differs, the host state written into both,
// and the routines' context.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "hostsim/host_state.h"
#include "hostsim/image.h"
#include "hostsim/routines.h"
#include "hostsim/text_stream.h"

namespace hostsim {

// Empty when an image can be laid out at `base` (page aligned, room for the image, not overlapping
// the one at 0x400000 unless it is 0x400000), else why not.
std::string BaseProblem(uint32_t base);

class EmulatedHost {
 public:
  // Lays out `build` at `base` (and at 0x400000 too when base differs); the routines write their
  // calls to `trace` (nullptr: not recorded). Publishes the base as nightglass_host_image_base and
  // takes over the routines' context until destroyed, when both get their previous values back.
  // Throws std::runtime_error when it cannot map.
  EmulatedHost(int32_t build, uint32_t base, TextOut* trace);
  ~EmulatedHost();
  EmulatedHost(const EmulatedHost&) = delete;
  EmulatedHost& operator=(const EmulatedHost&) = delete;

  // The image the plugin sees as the game's executable; sites execute here.
  HostImage& Image() { return *rebased_; }
  const HostImage& Image() const { return *rebased_; }
  HostState& State() { return state_; }
  // Lays out another build; the state is kept, earlier pokes are lost.
  void Rebuild(int32_t build);
  // Writes State() into every image; call after changing it.
  void ApplyState();
  // Whether the sky gate routine's calls are recorded (off at first).
  void TraceSkyGate(bool on) { Routines().trace_sky_gate = on; }
  // Writes bytes at a host address of every image.
  void Poke(uint32_t address, std::span<const uint8_t> bytes);
  // Executes a site of the rebased image; returns EAX.
  uint32_t CallSite(uint32_t site, std::span<const uint32_t> args) {
    return rebased_->CallSite(site, args);
  }

 private:
  void Map(int32_t build);

  uint32_t base_;
  TextOut* trace_;
  uint8_t* previous_base_;
  RoutineContext previous_routines_;
  HostState state_;
  std::unique_ptr<HostImage> fixed_;  // only when base_ is not 0x400000
  std::unique_ptr<HostImage> rebased_;
};

}  // namespace hostsim

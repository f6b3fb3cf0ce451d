#include "hostsim/host.h"

#include <stdexcept>

#include "hostsim/routines.h"

namespace hostsim {

std::string BaseProblem(uint32_t base) {
  if (base % 0x1000 != 0) return "the image base must be a multiple of 0x1000";
  if (base < 0x10000 || uint64_t{base} + kImageSize > 0xC0000000u)
    return "no room for the image at that base";
  if (base != kDefaultBase && base < kImageEnd && uint64_t{base} + kImageSize > kHeaderStart) {
    return "the image at that base would overlap the one at 0x400000";
  }
  return {};
}

EmulatedHost::EmulatedHost(int32_t build, uint32_t base, TextOut* trace)
    : base_(base),
      trace_(trace),
      previous_base_(nightglass_host_image_base),
      previous_routines_(Routines()) {
  if (const std::string problem = BaseProblem(base); !problem.empty())
    throw std::runtime_error(problem);
  Map(build);
}

EmulatedHost::~EmulatedHost() {
  nightglass_host_image_base = previous_base_;
  Routines() = previous_routines_;
}

void EmulatedHost::Map(int32_t build) {
  rebased_.reset();
  fixed_.reset();
  if (base_ != kDefaultBase) fixed_ = std::make_unique<HostImage>(build, kDefaultBase);
  rebased_ = std::make_unique<HostImage>(build, base_);
  nightglass_host_image_base = rebased_->At(kDefaultBase);
  Routines().trace = trace_;
  Routines().variables = (fixed_ ? fixed_ : rebased_)->At(kDefaultBase);
  ApplyState();
}

void EmulatedHost::Rebuild(int32_t build) { Map(build); }

void EmulatedHost::ApplyState() {
  Routines().sky_gate = state_.sky_gate;
  WriteState(state_, *rebased_);
  if (fixed_) WriteState(state_, *fixed_);
}

void EmulatedHost::Poke(uint32_t address, std::span<const uint8_t> bytes) {
  rebased_->Write(address, bytes);
  if (fixed_) fixed_->Write(address, bytes);
}

}  // namespace hostsim

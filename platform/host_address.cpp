#include "platform/host_address.h"

#include "platform/platform.h"

namespace {

constexpr uint32_t kListedBase = 0x400000;

}  // namespace

uint8_t* HostModuleBase() noexcept {
  static uint8_t* const base = platform::HostExecutableBase();
  return base;
}

uint8_t* RebaseHostAddress(uint32_t address) noexcept {
  const uint32_t base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HostModuleBase()));
  return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(base + address - kListedBase));
}

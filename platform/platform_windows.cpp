// What the host platform provides: page protection, the host module and the runtime's rand().
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

namespace platform {

bool ChangeProtection(void* address, uint32_t size, uint32_t protection, uint32_t* previous) noexcept {
  DWORD old = 0;
  if (!VirtualProtect(address, size, protection, &old)) return false;
  *previous = old;
  return true;
}

uint8_t* HostExecutableBase() noexcept {
  return reinterpret_cast<uint8_t*>(GetModuleHandleA(nullptr));
}

int HostRand() noexcept { return std::rand(); }

}  // namespace platform

// Everything the operating system provides, behind one small layer, so that the patching code above
// it is the same on Windows and on the Linux stand-in for the host.
#pragma once

#include <cstdint>

namespace platform {

// Protection values as the host platform numbers them.
inline constexpr uint32_t kPageNoAccess = 0x01;
inline constexpr uint32_t kPageReadOnly = 0x02;
inline constexpr uint32_t kPageReadWrite = 0x04;
inline constexpr uint32_t kPageExecute = 0x10;
inline constexpr uint32_t kPageExecuteRead = 0x20;
inline constexpr uint32_t kPageExecuteReadWrite = 0x40;

// Changes the protection of the pages covering [address, address + size) to `protection` and
// stores the protection they had before in `previous`. Returns false when the change failed.
bool ChangeProtection(void* address, uint32_t size, uint32_t protection, uint32_t* previous) noexcept;

// Load address of the host executable.
uint8_t* HostExecutableBase() noexcept;

// The host platform's rand(): 0 to 32767, one shared sequence for every caller in the plugin.
int HostRand() noexcept;

}  // namespace platform

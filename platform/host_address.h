// Where a host address lies in this process. Host addresses are written for an executable loaded
// at 0x400000; the host may have been loaded elsewhere.
#pragma once

#include <cstdint>

// Load address of the host executable; computed once and cached.
uint8_t* HostModuleBase() noexcept;

// HostModuleBase() + address - 0x400000, for an address written for base 0x400000 (wraps, no checks).
uint8_t* RebaseHostAddress(uint32_t address) noexcept;

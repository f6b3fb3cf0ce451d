// Which host build is running, where a host address lies in this process, and the few host
// references whose address depends on the build.
#pragma once

#include <cstdint>

// 100, 110, 120, or 0 when the build is not recognised.
using HostBuild = int32_t;

// Load address of the host executable; computed once and cached.
uint8_t* HostModuleBase() noexcept;

// HostModuleBase() + address - 0x400000, for an address written for base 0x400000 (wraps, no checks).
uint8_t* RebaseHostAddress(uint32_t address) noexcept;

// Probes the host's code for the three known builds; the first match wins.
HostBuild DetectHostBuild() noexcept;

// DetectHostBuild() on the first call, the cached result afterwards.
HostBuild CurrentHostBuild() noexcept;

// The address for the running build (0 when unrecognised), rebased.
uint8_t* ResolveHostReference(uint32_t build100, uint32_t build110, uint32_t build120) noexcept;

// Fills the five build-dependent references below, in this order; run once at load, before any feature.
void ResolveHostReferences() noexcept;

// The five build-dependent references, resolved at load. Not to be used with build 0.
extern uint8_t* HostVehiclePool;    // variable holding the pointer to the vehicle pool
extern uint8_t* HostSkyGate;        // routine: no arguments, returns a byte
extern uint8_t* HostAddPointLight;  // routine
extern uint8_t* HostTimeMs;         // variable: unsigned 32-bit millisecond counter
extern uint8_t* HostTimeStep;       // variable: float time step of the current frame

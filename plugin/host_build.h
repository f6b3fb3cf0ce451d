// Which host build is running, and the few host references whose address depends on the build.
#pragma once

#include <cstdint>

// The references below are rebased addresses; users of this header rebase with it too.
#include "platform/host_address.h"

// 100, 110, 120, or 0 when the build is not recognised.
using HostBuild = int32_t;

// Probes the host's code for the three known builds; the first match wins.
HostBuild DetectHostBuild() noexcept;

// DetectHostBuild() on the first call, the cached result afterwards.
HostBuild CurrentHostBuild() noexcept;

// The address for the running build (0 when unrecognised), rebased.
uint8_t* ResolveHostReference(uint32_t build100, uint32_t build110, uint32_t build120) noexcept;

// Fills the five build-dependent references below, in this order; run once at load, before any feature.
void ResolveHostReferences() noexcept;

// The host routines reached through a build-dependent reference.
// Like every host routine they throw nothing (host_interface.h).
using HostSkyGateRoutine = uint8_t (*)() noexcept;  // non-zero when the sky may be drawn this frame
// 0, position x y z, direction x y z, brightness, red green blue (0..1), 0, 1.
using HostAddPointLightRoutine = void (*)(int32_t kind, float x, float y, float z, float dx, float dy,
                                          float dz, float brightness, float red, float green,
                                          float blue, int32_t arg11, int32_t arg12) noexcept;

// The five build-dependent references, resolved at load, each typed as what lies at its address.
// Not to be used with build 0, where each holds the rebased address 0.
extern const volatile uint32_t* HostVehiclePool;     // variable: the 32-bit address of the vehicle pool
extern HostSkyGateRoutine HostSkyGate;               // routine, called by HostSkyGateOpen()
extern HostAddPointLightRoutine HostAddPointLight;   // routine
extern const volatile uint32_t* HostTimeMs;          // variable: millisecond counter, see HostTimeNow()
extern const volatile float* HostTimeStep;           // variable: time step of the current frame

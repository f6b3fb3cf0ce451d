#include "plugin/host_build.h"

#include "injector/patching.h"
#include "platform/host_address.h"

namespace {

// The four bytes 55 89 E5 53 (push ebp; mov ebp, esp; push ebx) read as one little-endian value.
constexpr uint32_t kProbeValue = 0x53E58955;

struct BuildProbe {
  uint32_t address;
  HostBuild build;
};

// Tried in this order; the first match decides.
constexpr BuildProbe kBuildProbes[] = {
    {0x667BF0, 100},
    {0x667C40, 110},
    {0x666BA0, 120},
};

}  // namespace

const volatile uint32_t* HostVehiclePool = nullptr;
HostSkyGateRoutine HostSkyGate = nullptr;
HostAddPointLightRoutine HostAddPointLight = nullptr;
const volatile uint32_t* HostTimeMs = nullptr;
const volatile float* HostTimeStep = nullptr;

HostBuild DetectHostBuild() noexcept {
  for (const BuildProbe& probe : kBuildProbes) {
    if (ReadHostDword(probe.address) == kProbeValue) return probe.build;
  }
  return 0;
}

HostBuild CurrentHostBuild() noexcept {
  static const HostBuild build = DetectHostBuild();
  return build;
}

uint8_t* ResolveHostReference(uint32_t build100, uint32_t build110, uint32_t build120) noexcept {
  uint32_t address = 0;
  switch (CurrentHostBuild()) {
    case 100: address = build100; break;
    case 110: address = build110; break;
    case 120: address = build120; break;
    default: break;
  }
  return RebaseHostAddress(address);
}

void ResolveHostReferences() noexcept {
  HostVehiclePool =
      reinterpret_cast<const volatile uint32_t*>(ResolveHostReference(0xA0FDE4, 0xA0FDEC, 0xA0EDEC));
  HostSkyGate = reinterpret_cast<HostSkyGateRoutine>(ResolveHostReference(0x4A4390, 0x4A43B0, 0x4A4250));
  HostAddPointLight =
      reinterpret_cast<HostAddPointLightRoutine>(ResolveHostReference(0x567700, 0x567720, 0x5675F0));
  HostTimeMs = reinterpret_cast<const volatile uint32_t*>(ResolveHostReference(0x974B2C, 0x974B34, 0x973B34));
  HostTimeStep = reinterpret_cast<const volatile float*>(ResolveHostReference(0x975424, 0x97542C, 0x97442C));
}

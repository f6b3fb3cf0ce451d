#include "features/planes/plane_update.h"

#include "injector/hooking.h"
#include "plugin/events.h"
#include "plugin/host_interface.h"

// Constant-initialised: the constructor of UpdatePlanesPatch writes it while the plugin loads.
constinit PlaneModeState PlaneMode;

bool StepPlaneMode(const PlaneUpdateSettings& settings, PlaneModeState& state, uint32_t now) noexcept {
  if (settings.PermanentIgnore) return false;
  const uint32_t limit = state.PlaneIgnoreActive ? settings.IgnoreDuration : settings.CheckDuration;
  const uint32_t elapsed = now - state.LastPlaneModeSwitch;  // wraps
  if (elapsed <= limit) return false;
  state.LastPlaneModeSwitch = now;
  state.PlaneIgnoreActive = !state.PlaneIgnoreActive;
  return true;
}

void SetPlaneIgnoreMode(bool ignore) {
  // Each byte on its own, in this order.
  if (ignore) {
    WriteHostByte(kHostPlaneBranch1, 0xEB);  // EB 22: JMP 0x5B1DA9
    WriteHostByte(kHostPlaneBranch1 + 1, 0x22);
    PatchNop(kHostPlaneBranch2, 2);  // 90 90: NOP NOP
    return;
  }
  WriteHostByte(kHostPlaneBranch1, 0x74);  // 74 2E: JE 0x5B1DB5
  WriteHostByte(kHostPlaneBranch1 + 1, 0x2E);
  WriteHostByte(kHostPlaneBranch2, 0x75);  // 75 0C: JNE 0x5B1DB5
  WriteHostByte(kHostPlaneBranch2 + 1, 0x0C);
}

UpdatePlanesPatch::UpdatePlanesPatch() {
  LoadPlaneUpdateSettings(PlaneUpdate);
  StartupEvent += [] {
    // Also when the host passes its start-up site again: the form written and the state agree.
    PlaneMode.PlaneIgnoreActive = true;
    SetPlaneIgnoreMode(true);
  };
  UpdateEvent += [] {
    if (StepPlaneMode(PlaneUpdate, PlaneMode, HostTimeNow())) SetPlaneIgnoreMode(PlaneMode.PlaneIgnoreActive);
  };
}

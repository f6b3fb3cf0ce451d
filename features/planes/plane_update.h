// The plane update patch: one decision in the host's plane update code, switched between two
// forms. The ignore form overrides the host's two branches so that it always continues at
// 0x5B1DA9; the check form puts the branches back. The ignore form goes in at start-up and, by
// default, stays; with "PermanentIgnore" off the forms alternate on the host's millisecond counter.
#pragma once

#include <cstdint>

#include "features/planes/plane_update_settings.h"

// The two branches, the same in every build.
inline constexpr uint32_t kHostPlaneBranch1 = 0x5B1D85;  // 74 2E: JE 0x5B1DB5
inline constexpr uint32_t kHostPlaneBranch2 = 0x5B1DA7;  // 75 0C: JNE 0x5B1DB5

// Which form is in the host, and since when.
struct PlaneModeState {
  bool PlaneIgnoreActive = true;
  uint32_t LastPlaneModeSwitch = 0;  // host time of the last switch; the first period starts at 0
};

// Constant-initialised, like the settings.
extern PlaneModeState PlaneMode;

// One frame's decision at host time `now`: unless the ignore form is permanent, switches the form
// once more than its duration has passed since the last switch (unsigned 32-bit, so a timer that
// went backwards counts as a very long time). Returns true when it switched.
bool StepPlaneMode(const PlaneUpdateSettings& settings, PlaneModeState& state, uint32_t now) noexcept;

// Writes a form into the host: ignore EB 22 at 0x5B1D85 and two NOPs at 0x5B1DA7; check the fixed
// bytes 74 2E and 75 0C.
void SetPlaneIgnoreMode(bool ignore);

// The feature: its one instance reads the settings at load, writes the ignore form at start-up and
// switches the forms on every update.
class UpdatePlanesPatch {
 public:
  // The settings loader that it runs when the plugin is loaded.
  static constexpr const SettingsLoader* kSettingsLoader = &kPlaneUpdateLoader;
  UpdatePlanesPatch();
};

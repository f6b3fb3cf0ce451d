// The plane update patch: one decision in the host's plane update code, switched between two
// forms. The ignore form overrides the host's two branches so that it always continues at
// 0x5B1DA9; the check form puts the branches back. The ignore form goes in at start-up and, by
// default, stays; with "PermanentIgnore" off the forms alternate on the host's millisecond counter.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "settings/reader.h"

// The two branches, the same in every build.
inline constexpr uint32_t kHostPlaneBranch1 = 0x5B1D85;  // 74 2E: JE 0x5B1DB5
inline constexpr uint32_t kHostPlaneBranch2 = 0x5B1DA7;  // 75 0C: JNE 0x5B1DB5

// Read once when the plugin is loaded, from the whole settings file.
struct PlaneUpdateSettings {
  bool PermanentIgnore = true;     // keep the ignore form for the whole run
  uint32_t IgnoreDuration = 90000;  // milliseconds; a negative setting is a very long time
  uint32_t CheckDuration = 20000;   // milliseconds; likewise
};

// Which form is in the host, and since when.
struct PlaneModeState {
  bool PlaneIgnoreActive = true;
  uint32_t LastPlaneModeSwitch = 0;  // host time of the last switch; the first period starts at 0
};

extern PlaneUpdateSettings PlaneUpdate;
extern PlaneModeState PlaneMode;

// The keys the plane update patch reads from the whole settings file, in their order.
inline constexpr std::array<std::string_view, 3> kPlaneUpdateKeys{
    "PermanentIgnore", "IgnoreDuration", "CheckDuration"};

// Converts "PermanentIgnore", "IgnoreDuration", "CheckDuration" in that order, each only when
// present. The first conversion error ends the conversions: that key and the later ones keep their
// values.
void LoadPlaneUpdateSettings(const SettingsTable& table, PlaneUpdateSettings& settings) noexcept;

// The loader run at load: converts those keys of the whole settings file into `settings`.
void LoadPlaneUpdateSettings(PlaneUpdateSettings& settings) noexcept;

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
  UpdatePlanesPatch();
};

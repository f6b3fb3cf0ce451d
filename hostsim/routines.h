// The host routines of the emulator: C++ functions with the host's C calling convention and
// argument lists, reached from the image through a JMP at the routine's host address. Each call is
// written to the trace as one line.
#pragma once

#include <cstdint>
#include <vector>

#include "hostsim/addresses.h"
#include "hostsim/text_stream.h"

namespace hostsim {

// What the event routines hand back to their call sites: distinct values with the top bit set, so
// that a result cut to 8 or 16 bits or sign-extended on the way back shows in the trace.
inline constexpr uint32_t kStartupResult = 0xC0DE0100;
inline constexpr uint32_t kUpdateResult = 0xC0DE0200;
inline constexpr uint32_t kDrawResult = 0xC0DE0300;
// What the glow routine hands back (the hooks that replace host glow calls pass it on).
inline constexpr uint32_t kRegisterGlowResult = 1;

// Screen of the pinhole projection.
inline constexpr float kScreenWidth = 640.0f;
inline constexpr float kScreenHeight = 480.0f;
inline constexpr double kVerticalFovDegrees = 70.0;

// State the routines read or write besides host memory.
struct RoutineContext {
  TextOut* trace = nullptr;            // where each call is recorded; nullptr records nothing
  uint8_t sky_gate = 1;                // what the sky gate routine returns
  bool trace_sky_gate = false;         // whether its calls are recorded (older traces lack them)
  const uint8_t* variables = nullptr;  // the mapping holding the fixed variables (the camera)
};

// The one context of the process (the host is single-threaded, like the game's main thread).
RoutineContext& Routines();

// Host address and C++ function of every routine laid out in the image for `layout`.
struct RoutineEntry {
  uint32_t address;
  const void* function;
};
std::vector<RoutineEntry> HostRoutines(const BuildLayout& layout);

// The pinhole projection of a world point for the camera at `position` looking along `forward`
// with `right` to the right (up = right x forward). Returns true when the point is in front of the
// camera and inside the screen rectangle (edges included); `screen` is (x, y, depth).
struct Projection {
  bool on_screen;
  float screen[3];
  float scale[2];
};
Projection Project(const float world[3], const float position[3], const float forward[3],
                   const float right[3]);

}  // namespace hostsim

#include "hostsim/routines.h"

#include <cmath>
#include <cstring>
#include <string>

#include "hostsim/trace.h"

// Host routines are entered from machine code with the stack only 4-byte aligned: realign it.
#define HOST_ROUTINE __attribute__((force_align_arg_pointer, cdecl))

namespace hostsim {

RoutineContext& Routines() {
  static RoutineContext context;
  return context;
}

namespace {

void Record(const JsonLine& line) {
  if (Routines().trace != nullptr) WriteLine(*Routines().trace, line);
}

// Whether calls are recorded: the lines of the busiest routines are only made then.
bool Tracing() { return Routines().trace != nullptr; }

// Reads three floats of a fixed host variable.
void ReadVector(uint32_t address, float out[3]) {
  std::memcpy(out, Routines().variables + (address - kDefaultBase), 3 * sizeof(float));
}

HOST_ROUTINE uint32_t StartupRoutine() {
  Record(JsonLine().Str("call", "StartupRoutine").Int("ret", kStartupResult));
  return kStartupResult;
}

HOST_ROUTINE uint32_t UpdateRoutine() {
  Record(JsonLine().Str("call", "UpdateRoutine").Int("ret", kUpdateResult));
  return kUpdateResult;
}

HOST_ROUTINE uint32_t DrawRoutine() {
  Record(JsonLine().Str("call", "DrawRoutine").Int("ret", kDrawResult));
  return kDrawResult;
}

// The gate is a query, not something the plugin hands the game: recorded only when asked for, so
// that the traces of scripts that do not ask stay as they were.
HOST_ROUTINE uint32_t SkyGateRoutine() {
  const uint8_t open = Routines().sky_gate;
  if (Routines().trace_sky_gate) Record(JsonLine().Str("call", "SkyGate").Int("ret", open));
  return open;
}

HOST_ROUTINE uint32_t SetRenderStateRoutine(uint32_t state, uint32_t value) {
  if (Tracing()) Record(JsonLine().Str("call", "SetRenderState").Int("state", state).Int("value", value));
  return 1;
}

HOST_ROUTINE uint32_t ProjectToScreenRoutine(const float* world, float* screen, float* width_scale,
                                             float* height_scale, int32_t /*zero*/) {
  float position[3], forward[3], right[3];
  ReadVector(kCameraPosition, position);
  ReadVector(kCameraForward, forward);
  ReadVector(kCameraRight, right);
  const Projection p = Project(world, position, forward, right);
  std::memcpy(screen, p.screen, sizeof p.screen);
  *width_scale = p.scale[0];
  *height_scale = p.scale[1];
  if (!Tracing()) return p.on_screen ? 1 : 0;
  Record(JsonLine()
             .Str("call", "ProjectToScreen")
             .Floats("world", {world[0], world[1], world[2]})
             .Int("ret", p.on_screen ? 1 : 0)
             .Floats("screen", {p.screen[0], p.screen[1], p.screen[2]})
             .Floats("scale", {p.scale[0], p.scale[1]}));
  return p.on_screen ? 1 : 0;
}

void RecordSprite(const char* name, float x, float y, float z, float w, float h, uint8_t r,
                  uint8_t g, uint8_t b, int32_t i, float rz, uint8_t a) {
  if (!Tracing()) return;
  Record(JsonLine()
             .Str("call", name)
             .Float("x", x)
             .Float("y", y)
             .Float("z", z)
             .Float("w", w)
             .Float("h", h)
             .Int("r", r)
             .Int("g", g)
             .Int("b", b)
             .Int("i", i)
             .Float("rz", rz)
             .Int("a", a));
}

HOST_ROUTINE uint32_t DrawSpriteRoutine(float x, float y, float z, float w, float h, uint8_t r,
                                        uint8_t g, uint8_t b, int32_t i, float rz, uint8_t a) {
  RecordSprite("DrawSprite", x, y, z, w, h, r, g, b, i, rz, a);
  return 0;
}

HOST_ROUTINE uint32_t DrawSpriteAltRoutine(float x, float y, float z, float w, float h, uint8_t r,
                                           uint8_t g, uint8_t b, int32_t i, float rz, uint8_t a) {
  RecordSprite("DrawSpriteAlt", x, y, z, w, h, r, g, b, i, rz, a);
  return 0;
}

HOST_ROUTINE uint32_t RegisterGlowRoutine(uint32_t id, uint8_t r, uint8_t g, uint8_t b, uint8_t a,
                                          const float* pos, float size, float far, int32_t m0,
                                          int32_t m1, int32_t m2, int32_t m3, int32_t m4,
                                          int32_t m5, int32_t m6, float last) {
  if (!Tracing()) return kRegisterGlowResult;
  Record(JsonLine()
             .Str("call", "RegisterGlow")
             .Int("id", id)
             .Int("r", r)
             .Int("g", g)
             .Int("b", b)
             .Int("a", a)
             .Floats("pos", {pos[0], pos[1], pos[2]})
             .Float("size", size)
             .Float("far", far)
             .Ints("more", {m0, m1, m2, m3, m4, m5, m6})
             .Float("last", last));
  return kRegisterGlowResult;
}

// 0, position, direction, brightness, red, green, blue, 0, 1: the first and last two are integers.
HOST_ROUTINE uint32_t AddPointLightRoutine(int32_t kind, float px, float py, float pz, float dx,
                                           float dy, float dz, float brightness, float red,
                                           float green, float blue, int32_t fog, int32_t shadow) {
  if (!Tracing()) return 1;
  std::string args = "[" + std::to_string(kind);
  for (float v : {px, py, pz, dx, dy, dz, brightness, red, green, blue})
    args += "," + FormatFloat(v);
  args += "," + std::to_string(fog) + "," + std::to_string(shadow) + "]";
  Record(JsonLine().Str("call", "AddPointLight").Raw("args", args));
  return 1;
}

HOST_ROUTINE uint32_t TrailSecondaryRoutine() {
  Record(JsonLine().Str("call", "TrailSecondaryRoutine"));
  return 0;
}

}  // namespace

std::vector<RoutineEntry> HostRoutines(const BuildLayout& layout) {
  return {
      {kStartupRoutine, reinterpret_cast<const void*>(&StartupRoutine)},
      {kUpdateRoutine, reinterpret_cast<const void*>(&UpdateRoutine)},
      {kDrawRoutine, reinterpret_cast<const void*>(&DrawRoutine)},
      {layout.sky_gate, reinterpret_cast<const void*>(&SkyGateRoutine)},
      {layout.add_point_light, reinterpret_cast<const void*>(&AddPointLightRoutine)},
      {kSetRenderState, reinterpret_cast<const void*>(&SetRenderStateRoutine)},
      {kProjectToScreen, reinterpret_cast<const void*>(&ProjectToScreenRoutine)},
      {kDrawSprite, reinterpret_cast<const void*>(&DrawSpriteRoutine)},
      {kDrawSpriteAlt, reinterpret_cast<const void*>(&DrawSpriteAltRoutine)},
      {kRegisterGlow, reinterpret_cast<const void*>(&RegisterGlowRoutine)},
      {kTrailSecondaryRoutine, reinterpret_cast<const void*>(&TrailSecondaryRoutine)},
  };
}

Projection Project(const float world[3], const float position[3], const float forward[3],
                   const float right[3]) {
  static const float kFocal = static_cast<float>(
      (kScreenHeight / 2) / std::tan(kVerticalFovDegrees / 2 * 3.14159265358979323846 / 180));
  const float d[3] = {world[0] - position[0], world[1] - position[1], world[2] - position[2]};
  const float up[3] = {right[1] * forward[2] - right[2] * forward[1],
                       right[2] * forward[0] - right[0] * forward[2],
                       right[0] * forward[1] - right[1] * forward[0]};
  const float depth = d[0] * forward[0] + d[1] * forward[1] + d[2] * forward[2];
  if (!(depth > 0.0f)) return {false, {0.0f, 0.0f, depth}, {0.0f, 0.0f}};
  const float across = d[0] * right[0] + d[1] * right[1] + d[2] * right[2];
  const float above = d[0] * up[0] + d[1] * up[1] + d[2] * up[2];
  const float scale = kFocal / depth;
  const float x = kScreenWidth / 2 + across * scale;
  const float y = kScreenHeight / 2 - above * scale;
  const bool inside = x >= 0.0f && x <= kScreenWidth && y >= 0.0f && y <= kScreenHeight;
  return {inside, {x, y, depth}, {scale, scale}};
}

}  // namespace hostsim

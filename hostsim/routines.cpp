#include "hostsim/routines.h"

#include <cmath>
#include <cstring>
#include <string>

#include "hostsim/trace.h"

// Host routines are entered from machine code with the stack only 4-byte aligned: realign it.
#define HOST_ROUTINE __attribute__((force_align_arg_pointer, cdecl))
// A routine that does nothing but record its call is entered without realigning the stack: it
// returns at once when nothing is recorded, and only the recording, which needs the alignment, is
// done in a HOST_RECORDER of its own. So a routine whose calls are not recorded costs little more
// than the call, and what the plugin adds to a frame can be measured against it.
#define HOST_ENTRY __attribute__((cdecl))
#define HOST_RECORDER __attribute__((force_align_arg_pointer, cdecl, noinline))

namespace hostsim {

RoutineContext& Routines() {
  static RoutineContext context;
  return context;
}

namespace {

bool Recording() { return Routines().trace != nullptr; }

void Record(const JsonLine& line) { WriteLine(*Routines().trace, line); }

// Reads three floats of a fixed host variable.
void ReadVector(uint32_t address, float out[3]) {
  std::memcpy(out, Routines().variables + (address - kDefaultBase), 3 * sizeof(float));
}

HOST_RECORDER void RecordEventRoutine(const char* name, uint32_t result) {
  Record(JsonLine().Str("call", name).Int("ret", result));
}

HOST_ENTRY uint32_t StartupRoutine() {
  if (Recording()) RecordEventRoutine("StartupRoutine", kStartupResult);
  return kStartupResult;
}

HOST_ENTRY uint32_t UpdateRoutine() {
  if (Recording()) RecordEventRoutine("UpdateRoutine", kUpdateResult);
  return kUpdateResult;
}

HOST_ENTRY uint32_t DrawRoutine() {
  if (Recording()) RecordEventRoutine("DrawRoutine", kDrawResult);
  return kDrawResult;
}

// The gate is a query, not something the plugin hands the game: recorded only when asked for, so
// that the traces of scripts that do not ask stay as they were.
HOST_ROUTINE uint32_t SkyGateRoutine() {
  const uint8_t open = Routines().sky_gate;
  if (Recording() && Routines().trace_sky_gate)
    Record(JsonLine().Str("call", "SkyGate").Int("ret", open));
  return open;
}

HOST_RECORDER void RecordRenderState(uint32_t state, uint32_t value) {
  Record(JsonLine().Str("call", "SetRenderState").Int("state", state).Int("value", value));
}

HOST_ENTRY uint32_t SetRenderStateRoutine(uint32_t state, uint32_t value) {
  if (Recording()) RecordRenderState(state, value);
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
  if (Recording())
    Record(JsonLine()
               .Str("call", "ProjectToScreen")
               .Floats("world", {world[0], world[1], world[2]})
               .Int("ret", p.on_screen ? 1 : 0)
               .Floats("screen", {p.screen[0], p.screen[1], p.screen[2]})
               .Floats("scale", {p.scale[0], p.scale[1]}));
  return p.on_screen ? 1 : 0;
}

HOST_RECORDER void RecordSprite(const char* name, float x, float y, float z, float w, float h,
                                uint8_t r, uint8_t g, uint8_t b, int32_t i, float rz, uint8_t a) {
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

HOST_ENTRY uint32_t DrawSpriteRoutine(float x, float y, float z, float w, float h, uint8_t r,
                                      uint8_t g, uint8_t b, int32_t i, float rz, uint8_t a) {
  if (Recording()) RecordSprite("DrawSprite", x, y, z, w, h, r, g, b, i, rz, a);
  return 0;
}

HOST_ENTRY uint32_t DrawSpriteAltRoutine(float x, float y, float z, float w, float h, uint8_t r,
                                         uint8_t g, uint8_t b, int32_t i, float rz, uint8_t a) {
  if (Recording()) RecordSprite("DrawSpriteAlt", x, y, z, w, h, r, g, b, i, rz, a);
  return 0;
}

HOST_RECORDER void RecordGlow(uint32_t id, uint8_t r, uint8_t g, uint8_t b, uint8_t a,
                              const float* pos, float size, float far, int32_t m0, int32_t m1,
                              int32_t m2, int32_t m3, int32_t m4, int32_t m5, int32_t m6,
                              float last) {
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
}

HOST_ENTRY uint32_t RegisterGlowRoutine(uint32_t id, uint8_t r, uint8_t g, uint8_t b, uint8_t a,
                                        const float* pos, float size, float far, int32_t m0,
                                        int32_t m1, int32_t m2, int32_t m3, int32_t m4, int32_t m5,
                                        int32_t m6, float last) {
  if (Recording()) RecordGlow(id, r, g, b, a, pos, size, far, m0, m1, m2, m3, m4, m5, m6, last);
  return kRegisterGlowResult;
}

// 0, position, direction, brightness, red, green, blue, 0, 1: the first and last two are integers.
HOST_RECORDER void RecordPointLight(int32_t kind, float px, float py, float pz, float dx, float dy,
                                    float dz, float brightness, float red, float green, float blue,
                                    int32_t fog, int32_t shadow) {
  std::string args = "[" + std::to_string(kind);
  for (float v : {px, py, pz, dx, dy, dz, brightness, red, green, blue})
    args += "," + FormatFloat(v);
  args += "," + std::to_string(fog) + "," + std::to_string(shadow) + "]";
  Record(JsonLine().Str("call", "AddPointLight").Raw("args", args));
}

HOST_ENTRY uint32_t AddPointLightRoutine(int32_t kind, float px, float py, float pz, float dx,
                                         float dy, float dz, float brightness, float red,
                                         float green, float blue, int32_t fog, int32_t shadow) {
  if (Recording()) {
    RecordPointLight(kind, px, py, pz, dx, dy, dz, brightness, red, green, blue, fog, shadow);
  }
  return 1;
}

HOST_RECORDER void RecordTrailSecondary() {
  Record(JsonLine().Str("call", "TrailSecondaryRoutine"));
}

HOST_ENTRY uint32_t TrailSecondaryRoutine() {
  if (Recording()) RecordTrailSecondary();
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

// Encodings of the few x86 instructions the emulator writes, as pure functions of the addresses
// involved. The caller writes the bytes; nothing here touches memory.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

namespace hostsim {

template <std::size_t N>
using Code = std::array<uint8_t, N>;

// Little-endian bytes of a 32-bit value.
constexpr Code<4> Le32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// Displacement of a relative branch whose instruction ends at `next` and that lands on `target`.
constexpr uint32_t Rel32(uint32_t next, uint32_t target) { return target - next; }

// E8 xxxxxxxx: CALL +5+xxxxxxxx, placed at `site`.
constexpr Code<5> MakeCall(uint32_t site, uint32_t target) {
  const Code<4> rel = Le32(Rel32(site + 5, target));
  return {0xE8, rel[0], rel[1], rel[2], rel[3]};
}

// E9 xxxxxxxx: JMP +5+xxxxxxxx, placed at `site`.
constexpr Code<5> MakeJmp(uint32_t site, uint32_t target) {
  const Code<4> rel = Le32(Rel32(site + 5, target));
  return {0xE9, rel[0], rel[1], rel[2], rel[3]};
}

// 80 F9 ib: CMP CL, imm8, then 7C 02: JL +2 (the shape of an hour test). The operand is byte 2.
constexpr Code<5> MakeHourCompare(uint8_t hour) { return {0x80, 0xF9, hour, 0x7C, 0x02}; }

// D9 05 xxxxxxxx: FLD dword [xxxxxxxx], a 6-byte load of a float variable.
constexpr Code<6> MakeFloatLoad(uint32_t variable) {
  const Code<4> a = Le32(variable);
  return {0xD9, 0x05, a[0], a[1], a[2], a[3]};
}

// 0F 85 xxxxxxxx: JNE +6+xxxxxxxx, placed at `site` (a 6-byte conditional jump).
constexpr Code<6> MakeJneNear(uint32_t site, uint32_t target) {
  const Code<4> rel = Le32(Rel32(site + 6, target));
  return {0x0F, 0x85, rel[0], rel[1], rel[2], rel[3]};
}

// Offsets of the two branches inside MakePlaneDecision's code.
inline constexpr uint32_t kPlaneBranch1Offset = 0x0B;
inline constexpr uint32_t kPlaneBranch2Offset = 0x2D;

// The host's plane update decision as a cdecl routine `int decide(int a, int b)` starting at
// `entry`: 2 when a == 0 or b != 0 (both branches reach entry+0x3B), else 1 (entry+0x2F).
constexpr Code<0x42> MakePlaneDecision() {
  Code<0x42> c{};
  std::size_t i = 0;
  auto put = [&](std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) c[i++] = b;
  };
  put({0x55});                                           // +00 55: PUSH EBP
  put({0x89, 0xE5});                                     // +01 89 E5: MOV EBP, ESP
  put({0x8B, 0x45, 0x08});                               // +03 8B 45 08: MOV EAX, [EBP+8]   (a)
  put({0x8B, 0x4D, 0x0C});                               // +06 8B 4D 0C: MOV ECX, [EBP+12]  (b)
  put({0x85, 0xC0});                                     // +09 85 C0: TEST EAX, EAX
  put({0x74, 0x2E});                                     // +0B 74 2E: JE +2+2E (to +3B)
  for (int k = 0; k < 10; ++k) put({0x8D, 0x76, 0x00});  // +0D 8D 76 00: LEA ESI, [ESI+0] (x10)
  put({0x85, 0xC9});                                     // +2B 85 C9: TEST ECX, ECX
  put({0x75, 0x0C});                                     // +2D 75 0C: JNE +2+0C (to +3B)
  put({0xB8, 1, 0, 0, 0});                               // +2F B8 01000000: MOV EAX, 1
  put({0x5D, 0xC3});                                     // +34 5D C3: POP EBP; RET
  put({0xCC, 0xCC, 0xCC, 0xCC, 0xCC});                   // +36 filler
  put({0xB8, 2, 0, 0, 0});                               // +3B B8 02000000: MOV EAX, 2
  put({0x5D, 0xC3});                                     // +40 5D C3: POP EBP; RET
  return c;
}

}  // namespace hostsim

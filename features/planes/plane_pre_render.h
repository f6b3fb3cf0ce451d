// The plane pre-render patch: the light glows that the host's plane pre-render code registers become
// two red, one green and one pulsing amber glow of size 1.5, whatever the host passes for colour,
// alpha and size; two 6-byte stretches of that code are removed. All at start-up.
#pragma once

#include <array>
#include <cstdint>

// The host's plane pre-render code, the same in every build.
inline constexpr uint32_t kHostPlaneStretch1 = 0x5B2663;  // 6 bytes filled with NOPs
inline constexpr uint32_t kHostPlaneStretch2 = 0x5B2A23;  // 6 bytes filled with NOPs
inline constexpr std::array<uint32_t, 2> kHostPlaneRedGlowSites{0x5B2820, 0x5B2964};
inline constexpr uint32_t kHostPlaneGreenGlowSite = 0x5B2A11;
inline constexpr uint32_t kHostPlaneAmberGlowSite = 0x5B2AB4;

// In place of the host's glow calls: the glow routine's sixteen 32-bit slots. Each registers the
// glow with the host's identifier, position and ninth argument, its own colour and alpha, size 1.5
// and far distance 4000, and returns what the glow routine returned.
uint32_t __attribute__((cdecl)) PlaneRedGlowHook(uint32_t id, uint32_t red, uint32_t green, uint32_t blue,
                                                 uint32_t alpha, const float* position, float size,
                                                 float far_distance, uint32_t arg9, uint32_t arg10,
                                                 uint32_t arg11, uint32_t arg12, uint32_t arg13,
                                                 uint32_t arg14, uint32_t arg15, float last);
uint32_t __attribute__((cdecl)) PlaneGreenGlowHook(uint32_t id, uint32_t red, uint32_t green, uint32_t blue,
                                                   uint32_t alpha, const float* position, float size,
                                                   float far_distance, uint32_t arg9, uint32_t arg10,
                                                   uint32_t arg11, uint32_t arg12, uint32_t arg13,
                                                   uint32_t arg14, uint32_t arg15, float last);
// Amber 255 210 0 with the glow pulse: alpha 127 at 0 ms, 255 at 625, 0 at 1875, every 2500 ms.
uint32_t __attribute__((cdecl)) PlaneAmberGlowHook(uint32_t id, uint32_t red, uint32_t green, uint32_t blue,
                                                   uint32_t alpha, const float* position, float size,
                                                   float far_distance, uint32_t arg9, uint32_t arg10,
                                                   uint32_t arg11, uint32_t arg12, uint32_t arg13,
                                                   uint32_t arg14, uint32_t arg15, float last);

// Fills the two stretches with NOPs (their bytes kept in NopOriginals), then points the four glow
// calls to the hooks.
void PatchPlanePreRender();

// The feature: its one instance registers the start-up patches.
class PlanePreRenderDirectPatch {
 public:
  PlanePreRenderDirectPatch();
};

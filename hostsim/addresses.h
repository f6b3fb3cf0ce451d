// Where the emulated host keeps its code and data. Every address is written for an image loaded at
// 0x400000; the image layout adds (base - 0x400000) for the mapping it writes into.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

namespace hostsim {

inline constexpr uint32_t kDefaultBase = 0x400000;
inline constexpr uint32_t kHeaderStart = 0x400000;  // read-only header page
inline constexpr uint32_t kCodeStart = 0x401000;    // read+execute code pages
inline constexpr uint32_t kDataStart = 0x680000;    // read+write data pages
inline constexpr uint32_t kImageEnd = 0xA79000;
inline constexpr uint32_t kImageSize = kImageEnd - kHeaderStart;

// The items that move with the build. Event sites and per-build routines are code; the rest data.
struct BuildLayout {
  int32_t build;
  uint32_t probe;         // 4 bytes 55 89 E5 53
  uint32_t startup_site;  // E8 rel32 CALL of the start-up routine
  uint32_t update_site;
  uint32_t draw_site;
  uint32_t vehicle_pool;     // variable: pointer to the vehicle pool
  uint32_t sky_gate;         // routine: returns a byte
  uint32_t add_point_light;  // routine: 13 arguments
  uint32_t time_ms;          // variable: unsigned 32-bit millisecond timer
  uint32_t time_step;        // variable: float frame time step
};

inline constexpr std::array<BuildLayout, 3> kBuilds{{
    {100, 0x667BF0, 0x600411, 0x4A5DA0, 0x4A61D6, 0xA0FDE4, 0x4A4390, 0x567700, 0x974B2C, 0x975424},
    {110, 0x667C40, 0x600431, 0x4A5DC0, 0x4A61F6, 0xA0FDEC, 0x4A43B0, 0x567720, 0x974B34, 0x97542C},
    {120, 0x666BA0, 0x600071, 0x4A5C70, 0x4A60A6, 0xA0EDEC, 0x4A4250, 0x5675F0, 0x973B34, 0x97442C},
}};

// The layout of `build` (build 0 uses build 100's), or nullptr for an unknown build number.
constexpr const BuildLayout* FindBuild(int32_t build) {
  if (build == 0) return &kBuilds[0];
  for (const BuildLayout& layout : kBuilds) {
    if (layout.build == build) return &layout;
  }
  return nullptr;
}

// Routines at one fixed address for every build.
inline constexpr uint32_t kSetRenderState = 0x649BA0;
inline constexpr uint32_t kProjectToScreen = 0x5778B0;
inline constexpr uint32_t kDrawSprite = 0x576FE0;
inline constexpr uint32_t kDrawSpriteAlt = 0x577350;
inline constexpr uint32_t kRegisterGlow = 0x5427A0;
// The emulator's own choice: the routines that the event sites and the secondary trail sites call.
inline constexpr uint32_t kStartupRoutine = 0x600F00;
inline constexpr uint32_t kUpdateRoutine = 0x4A5F00;
inline constexpr uint32_t kDrawRoutine = 0x4A6300;
inline constexpr uint32_t kTrailSecondaryRoutine = 0x542600;

// Variables at one fixed address.
inline constexpr uint32_t kSceneCode = 0xA10A42;
inline constexpr uint32_t kClockHour = 0xA10B6B;
inline constexpr uint32_t kClockMinute = 0xA10B92;
inline constexpr uint32_t kCameraPosition = 0x7E46B8;
inline constexpr uint32_t kCameraForward = 0x7E4698;
inline constexpr uint32_t kCameraRight = 0x7E4688;
inline constexpr uint32_t kSpriteTexture = 0x695538;  // pointer to a texture object
inline constexpr uint32_t kTextureObject = 0x695600;  // the emulator's texture: raster handle first
inline constexpr uint32_t kRasterHandle = 0x00C0FFEE;

// Patch sites, the same for every build.
inline constexpr uint32_t kMoonSite = 0x53FEF9;  // CALL DrawSprite
inline constexpr std::array<uint32_t, 5> kHourOperands{0x53FF09, 0x53FF12, 0x53FF26, 0x53FF2F,
                                                       0x53FF46};
inline constexpr std::array<uint8_t, 5> kHourOperandValues{20, 6, 20, 6,
                                                           20};  // min, max, min, max, min
inline constexpr uint32_t kLogoRSite = 0x5401AE;                 // CALL DrawSpriteAlt
inline constexpr uint32_t kLogoStarSite = 0x540335;              // CALL DrawSprite
// Trail sites: three primary (CALL RegisterGlow) then three secondary (CALL TrailSecondaryRoutine),
// each bound to the trail id at the same index of kTrailIds.
inline constexpr std::array<uint32_t, 6> kTrailSites{0x54CE94, 0x54D06A, 0x54D242,
                                                     0x54CEB6, 0x54D08C, 0x54D265};
inline constexpr std::array<uint32_t, 6> kTrailIds{101, 102, 103, 101, 102, 103};
// Plane pre-render code: four CALLs of RegisterGlow and two 6-byte instructions.
inline constexpr std::array<uint32_t, 4> kPlaneGlowSites{0x5B2820, 0x5B2964, 0x5B2A11, 0x5B2AB4};
inline constexpr uint32_t kPlaneStretch1 = 0x5B2663;
inline constexpr uint32_t kPlaneStretch2 = 0x5B2A23;
inline constexpr uint32_t kPlaneFloatVariable = 0x8D8C10;  // the float the first stretch loads
// Plane update decision: a call site (emulator's choice) calling the decision routine that holds
// the two branches.
inline constexpr uint32_t kPlaneDecisionSite = 0x5B1D50;
inline constexpr uint32_t kPlaneDecision = 0x5B1D7A;
inline constexpr uint32_t kPlaneBranch1 = 0x5B1D85;   // 74 2E: JE 0x5B1DB5
inline constexpr uint32_t kPlaneBranch2 = 0x5B1DA7;   // 75 0C: JNE 0x5B1DB5
inline constexpr uint32_t kPlaneContinue = 0x5B1DA9;  // returns 1
inline constexpr uint32_t kPlaneSkip = 0x5B1DB5;      // returns 2

// The page of the lowest host address that any build lays out (build 120's sky gate routine). On
// Windows the emulator's own executable occupies the image below it.
inline constexpr uint32_t kLowestHostPage = 0x4A4000;

constexpr bool AllAtOrAbove(std::initializer_list<uint32_t> addresses, uint32_t lowest) {
  for (uint32_t address : addresses) {
    if (address < lowest) return false;
  }
  return true;
}
static_assert([] {
  for (const BuildLayout& b : kBuilds) {
    if (!AllAtOrAbove({b.probe, b.startup_site, b.update_site, b.draw_site, b.vehicle_pool,
                       b.sky_gate, b.add_point_light, b.time_ms, b.time_step},
                      kLowestHostPage))
      return false;
  }
  return AllAtOrAbove({kSetRenderState, kProjectToScreen, kDrawSprite, kDrawSpriteAlt,
                       kRegisterGlow, kStartupRoutine, kUpdateRoutine, kDrawRoutine,
                       kTrailSecondaryRoutine, kSceneCode, kClockHour, kCameraRight,
                       kSpriteTexture, kMoonSite, kHourOperands[0] - 2, kLogoRSite,
                       kTrailSites[0], kPlaneGlowSites[0], kPlaneStretch1, kPlaneFloatVariable,
                       kPlaneDecisionSite},
                      kLowestHostPage);
}(), "a host address lies below kLowestHostPage");

}  // namespace hostsim

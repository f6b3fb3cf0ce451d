// The moon's drawing: the host's one moon sprite call, redirected at start-up to MoonSpriteHook,
// which tints, resizes, blinks or pulses the moon and then draws it with the host's own sprite
// routine.
#pragma once

#include <cstdint>

#include "features/moon/moon_settings.h"

// Host code site of the CALL that draws the moon sprite, the same in every build.
inline constexpr uint32_t kHostMoonSpriteSite = 0x53FEF9;

// The moon settings in force, which every moon draw reads; defaults until start-up has read the
// file.
extern MoonSettingsState MoonSettings;

// Stands in for the host sprite routine at the moon site: the same eleven 32-bit stack slots with
// the C calling convention. The 8-bit arguments are declared as whole slots so that the bits the
// host left above the low byte reach the host routine unchanged. Shades by MoonSettings.
void __attribute__((cdecl)) MoonSpriteHook(float x, float y, float z, float width, float height,
                                           uint32_t red, uint32_t green, uint32_t blue,
                                           int32_t intensity, float recip_z, uint32_t alpha);

// Points the CALL at `site` (an actual address) to MoonSpriteHook.
void PatchMoonSprite(uint8_t* site) noexcept;

// The sky sign's drawing: the R and star sprites that the host draws in the night sky come to
// LogoRSpriteHook and LogoStarSpriteHook, which recolour, rescale, fade and flash them within their
// hour windows.
#pragma once

#include <cstdint>

#include "features/sky_logo/sky_logo_settings.h"

// The host's second screen-sprite routine, with the same arguments as HostDrawSprite.
inline constexpr uint32_t kHostDrawSpriteAltAddress = 0x577350;

// The pulses of the two sprites (see ElementBlinkFactor).
inline constexpr LogoPulse kRPulse{0.0031415927f, 1.5f};     // a period of 2000 ms
inline constexpr LogoPulse kStarPulse{0.0020943952f, 3.0f};  // a period of 3000 ms

// Share 0 to 1 of the sprite's strength at the game clock's hour and minute, counted in minutes of
// the day: 0 outside the window, ramping up over the fade-in after the window opens and down over
// the fade-out before it closes. A fade of no length keeps its boundary minute dark; a negative or
// NaN length is no fade. Counts in 64-bit minutes, so every 32-bit hour is exact.
float HourWindowFade(const SkyLogoWindow& window, uint32_t hour, uint32_t minute) noexcept;

// One colour channel at strength `share`: colour * share truncated toward zero, kept within 0 to
// 255 (a NaN share gives 0).
uint8_t LogoChannel(uint8_t colour, float share) noexcept;

// Stand in for the host sprite routines at the R and star sites: the same eleven 32-bit stack slots
// with the C calling convention. The colour, the integer and the alpha the host passes are not
// used. Return what the host routine returned, or 0 when nothing is drawn.
uint32_t __attribute__((cdecl)) LogoRSpriteHook(float x, float y, float z, float width, float height,
                                                uint32_t red, uint32_t green, uint32_t blue,
                                                int32_t intensity, float recip_z, uint32_t alpha);
uint32_t __attribute__((cdecl)) LogoStarSpriteHook(float x, float y, float z, float width, float height,
                                                   uint32_t red, uint32_t green, uint32_t blue,
                                                   int32_t intensity, float recip_z, uint32_t alpha);

// Render state ids and values as the host numbers them: what the sky effects set around their
// sprites, and what the preview reads back from the emulated host's trace.
#pragma once

#include <cstdint>

inline constexpr uint32_t kRenderTextureRaster = 1;
inline constexpr uint32_t kRenderDepthTest = 6;
inline constexpr uint32_t kRenderDepthWrite = 8;
inline constexpr uint32_t kRenderSourceBlend = 10;
inline constexpr uint32_t kRenderDestBlend = 11;
inline constexpr uint32_t kRenderVertexAlpha = 12;
inline constexpr uint32_t kBlendOne = 2;
inline constexpr uint32_t kBlendSourceAlpha = 5;
inline constexpr uint32_t kBlendInverseSourceAlpha = 6;

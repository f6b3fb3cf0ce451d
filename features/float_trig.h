// Sine and cosine of a single-precision angle as every feature takes them: in double precision,
// rounded back to float, so that the result does not depend on a float routine of the library.
#pragma once

#include <cmath>

inline float SinF(float angle) noexcept { return static_cast<float>(std::sin(static_cast<double>(angle))); }
inline float CosF(float angle) noexcept { return static_cast<float>(std::cos(static_cast<double>(angle))); }

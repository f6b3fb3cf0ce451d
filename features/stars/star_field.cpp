#include "features/stars/star_field.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "features/float_trig.h"
#include "features/stars/star_brightness.h"
#include "platform/host_guard.h"

StarFieldState* StarField = nullptr;

namespace {

// The trigonometry runs in double precision and is rounded back to single precision.
float AcosF(float value) { return static_cast<float>(std::acos(static_cast<double>(value))); }

}  // namespace

int32_t StarCountFor(int32_t num_stars) noexcept { return std::clamp(num_stars, 0, kMaxStarCount); }

void CommitStarSettings(StarFieldState& field, const StarSettings& settings) noexcept {
  field.Settings = settings;
  field.Positions.reset();
  field.Twinkles.reset();
  field.StarCount = 0;
  field.Generated = false;
  const int32_t count = StarCountFor(settings.NumStars);
  // Value-initialised: every position starts at (0, 0, 0).
  field.Positions.reset(new (std::nothrow) StarPosition[count]());
  field.Twinkles.reset(new (std::nothrow) StarTwinkleTiming[count]);
  if (!field.Positions || !field.Twinkles) {
    field.Positions.reset();
    field.Twinkles.reset();
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    field.Twinkles[i] = {StarTwinkleRate(i, settings.FlickerSpeed), StarTwinkleOffset(i)};
  }
  field.StarCount = count;
}

void LoadStarSettings(StarFieldState& field) noexcept {
  StarSettings settings;
  // Only reading the file can still throw here (out of memory); the defaults are committed then.
  platform::IgnoreFailure(
      [&] { ConvertStarSettings(ReadAllSettings(SettingsKeys(KeyNames(kStarSettingKeys))), settings); });
  CommitStarSettings(field, settings);
}

void GenerateStarPositions(StarFieldState& field, int (*next_rand)()) noexcept {
  const StarSettings& s = field.Settings;
  // Zenith angles, measured from straight up; the limits are clamped to the upper hemisphere.
  const float top = AcosF(std::min(s.HeightMax, 1.0f));
  const float bottom = AcosF(std::max(s.HeightMin, 0.0f));
  for (int32_t i = 0; i < field.StarCount; ++i) {
    const float azimuth = static_cast<float>(next_rand() % 360) * 0.0174533f;
    // Spread evenly in angle between the limits, whichever of them is the higher.
    const float zenith = top + static_cast<float>(next_rand() % 1000) / 1000.0f * (bottom - top);
    const float distance = static_cast<float>(next_rand() % 400) + s.SkyRadius;
    const float horizontal = SinF(zenith) * distance;
    field.Positions[i] = {CosF(azimuth) * horizontal, SinF(azimuth) * horizontal, CosF(zenith) * distance};
  }
  field.Generated = true;
}

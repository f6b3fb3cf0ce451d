// The shooting stars' update and drawing with 1 and with 100 live stars, each a trail of twelve
// sprites in view, against the host calls alone: the projection and the sprite of every trail
// sprite, at points computed beforehand. No spawn happens while measuring, and the host's time
// step is 0 so that the stars stay where they are.
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "features/shooting_stars/shooting_star_drawing.h"
#include "features/shooting_stars/shooting_star_simulation.h"

namespace bench {

namespace {

struct ShootingScene {
  ShootingStarSettings settings;
  ShootingStarList stars;
  // Set at the scene's start time, due only a whole turn of the timer later: no spawn disturbs.
  SpawnSchedule next_spawn{100000, 99999};
  std::vector<HostVector> points;  // the reference's trail sprites
  uint32_t time = 100000;
};

std::shared_ptr<ShootingScene> MakeScene(int count) {
  auto scene = std::make_shared<ShootingScene>();
  scene->settings.Lifetime = 1e9f;
  scene->stars.reserve(kMaxShootingStars);
  for (int i = 0; i < count; ++i) {
    const float x = static_cast<float>(i % 10) * 150.0f - 700.0f;
    const float y = static_cast<float>(i / 10) * 150.0f - 700.0f;
    scene->stars.push_back({{x, y, 3600.0f}, {60.0f, 20.0f, -10.0f}, 100000, true});
  }
  for (const ShootingStar& star : scene->stars) {
    for (int32_t i = 0; i < scene->settings.NumSprites; ++i) {
      const float along = static_cast<float>(i) * scene->settings.TrailSpacing;
      scene->points.push_back({star.Position.x - along, star.Position.y, star.Position.z});
    }
  }
  return scene;
}

// Stars that do not move: the same trails in every frame.
void LookUpStill() { LookStraightUp(0.0f); }

void AddShootingStars(int count) {
  const std::shared_ptr<ShootingScene> scene = MakeScene(count);
  Scenario s;
  s.group = "shooting stars";
  s.name = std::to_string(count) + (count == 1 ? " star" : " stars") + ", update and draw";
  s.unit = "frame";
  s.setup = LookUpStill;
  s.plugin = [scene](int frames) {
    for (int f = 0; f < frames; ++f) {
      SetHostTime(scene->time += 16);
      StepShootingStars(scene->settings, scene->stars, scene->next_spawn);
      DrawShootingStars(scene->settings, scene->stars);
    }
  };
  s.reference = [scene](int frames) {
    for (int f = 0; f < frames; ++f) {
      SetHostTime(scene->time += 16);
      for (const HostVector& point : scene->points) {
        HostVector screen{};
        float width = 0.0f, height = 0.0f;
        if (!HostProjectToScreen(point, screen, width, height)) continue;
        HostDrawSprite(screen.x, screen.y, screen.z, width, height, 255, 255, 255, 255,
                       1.0f / screen.z, 255);
      }
    }
  };
  s.batch = count == 1 ? 50 : 1;
  AddScenario(std::move(s));
}

}  // namespace

void AddShootingStarScenarios() {
  AddShootingStars(1);
  AddShootingStars(100);
}

}  // namespace bench

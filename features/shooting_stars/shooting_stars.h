// Shooting stars that streak across the night sky.
#pragma once

#include <list>

struct ShootingStar {};
using ShootingStarList = std::list<ShootingStar>;

class ShootingStarsManager {
 public:
  ShootingStarsManager();
};

// The program-wide list; defined with the plugin's start-up, where its construction order is fixed.
extern ShootingStarList* ShootingStars;

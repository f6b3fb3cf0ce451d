#include "features/shooting_stars/shooting_star_drawing.h"

void DrawShootingStars(const ShootingStarSettings& settings, const ShootingStarList& stars) {
  DrawShootingStarsWith<LiveSkyHost>(settings, stars);
}

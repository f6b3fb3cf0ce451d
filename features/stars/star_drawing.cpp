#include "features/stars/star_drawing.h"

void DrawStarField(StarFieldState& field) { DrawStarFieldWith<LiveSkyHost>(field); }

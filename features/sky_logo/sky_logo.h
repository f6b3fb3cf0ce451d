// The restyled sky sign: an R sprite and a star sprite.
#pragma once

class RStarLogoPatch {
 public:
  RStarLogoPatch();
};

// The three features that patch the host's plane code.
#pragma once

// Restyles the glows of distant planes and removes two stretches of their pre-render code.
class PlanePreRenderDirectPatch {
 public:
  PlanePreRenderDirectPatch();
};

// Switches a branch of the host's plane update code; reads its settings at load.
class UpdatePlanesPatch {
 public:
  UpdatePlanesPatch();
};

// Restyles the glows of the plane trails.
class PlaneTrailsPatch_New {
 public:
  PlaneTrailsPatch_New();
};

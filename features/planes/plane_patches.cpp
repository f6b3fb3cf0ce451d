#include "features/planes/plane_patches.h"

#include "plugin/events.h"

// The plane features register their callbacks in their final places; what the callbacks patch
// comes with the plane patches themselves.

PlanePreRenderDirectPatch::PlanePreRenderDirectPatch() {
  StartupEvent += [] {};
}

UpdatePlanesPatch::UpdatePlanesPatch() {
  StartupEvent += [] {};
  UpdateEvent += [] {};
}

PlaneTrailsPatch_New::PlaneTrailsPatch_New() {
  StartupEvent += [] {};
}

// The three features that patch the host's plane code.
#pragma once

#include "features/planes/plane_pre_render.h"
#include "features/planes/plane_trails.h"
#include "features/planes/plane_update.h"

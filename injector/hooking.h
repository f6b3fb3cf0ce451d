// The code patching layer in one include: primitives, the restorable patch and hook chaining.
#pragma once

#include "injector/function_hooker.h"
#include "injector/patching.h"
#include "injector/scoped_patch.h"

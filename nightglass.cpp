// The plugin's start-up. Loading the library constructs the program-wide objects of StartupObjects
// (startup.h) in their order; unloading destroys them in reverse: the containers are freed, the
// event call sites get their original bytes back, and last of all the NOP bookkeeping is released.
#include "startup.h"

namespace {

StartupObjects program_wide_objects;

}  // namespace

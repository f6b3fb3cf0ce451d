// A test plugin that crashes the way a careless plugin would: at load it writes into the host's
// code without first making the page writable.
#include <dlfcn.h>

#include <cstdint>

namespace {

struct CrashAtLoad {
  CrashAtLoad() {
    auto* base =
        *static_cast<uint8_t* volatile*>(dlsym(RTLD_DEFAULT, "nightglass_host_image_base"));
    volatile uint8_t* moon_site = base + (0x53FEF9 - 0x400000);
    *moon_site = 0x90;  // the page is read+execute: this faults
  }
} crash_at_load;

}  // namespace

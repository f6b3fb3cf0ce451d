// Built only into the test copy of the plugin (nightglass_probe.so): the shipping plugin plus a few
// exported functions through which the tests look at what the start-up registered and reach the
// patching primitives.
#include <cstdint>

#include "features/stars/star_field.h"
#include "injector/patching.h"
#include "plugin/events.h"

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

PROBE_EXPORT void nightglass_probe_registrations(int* counts) {
  counts[0] = static_cast<int>(plugin::StartupEventType::Instance().size());
  counts[1] = static_cast<int>(plugin::UpdateEventType::Instance().size());
  counts[2] = static_cast<int>(plugin::DrawEventType::Instance().size());
  counts[3] = StarField != nullptr ? 1 : 0;
}

// The type name of the callback at `index` of an event (0 start-up, 1 update, 2 draw), as the
// runtime gives it (mangled), or null past the last one. A lambda's names the function around it.
PROBE_EXPORT const char* nightglass_probe_callback_type(int event, int index) {
  auto name = [index](const auto& callbacks) -> const char* {
    if (index < 0 || static_cast<std::size_t>(index) >= callbacks.size()) return nullptr;
    return callbacks[index].target_type().name();
  };
  switch (event) {
    case 0: return name(plugin::StartupEventType::Instance().callbacks());
    case 1: return name(plugin::UpdateEventType::Instance().callbacks());
    case 2: return name(plugin::DrawEventType::Instance().callbacks());
    default: return nullptr;
  }
}

// PatchNop at a listed host address, as a feature's start-up would do it.
PROBE_EXPORT void nightglass_probe_patch_nop(uint32_t listed_address, uint32_t size) {
  PatchNop(listed_address, size);
}

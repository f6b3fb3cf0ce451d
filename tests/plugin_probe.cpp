// Built only into the test copy of the plugin (nightglass_probe.so): the shipping plugin plus one
// exported function through which the tests look at what the start-up registered.
#include "features/stars/star_field.h"
#include "plugin/events.h"

extern "C" __attribute__((visibility("default"))) void nightglass_probe_registrations(int* counts) {
  counts[0] = static_cast<int>(plugin::StartupEventType::Instance().size());
  counts[1] = static_cast<int>(plugin::UpdateEventType::Instance().size());
  counts[2] = static_cast<int>(plugin::DrawEventType::Instance().size());
  counts[3] = StarField != nullptr ? 1 : 0;
}

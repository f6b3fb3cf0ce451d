// The three host events. Features register their callbacks during load:
//   StartupEvent += [] { ... };
// The first registration on an event redirects that event's host call site to a dispatcher that
// runs the host routine first and then every callback in registration order. The machinery behind
// them (the event template, hook installation, the registration handle) is in event_base.h.
#pragma once

#include "plugin/event_base.h"

namespace plugin {

using NoArgs = ArgPick<ArgTypes<>>;

// Each event with its call sites per build, in the order 100, 110, 120.
using StartupEventType = BaseEventI<injector::function_hooker,
                                    RefList<Ref<0x600411, 100>, Ref<0x600431, 110>, Ref<0x600071, 120>>,
                                    NoArgs, void()>;
using UpdateEventType = BaseEventI<injector::function_hooker,
                                   RefList<Ref<0x4A5DA0, 100>, Ref<0x4A5DC0, 110>, Ref<0x4A5C70, 120>>,
                                   NoArgs, void()>;
using DrawEventType = BaseEventI<injector::function_hooker,
                                 RefList<Ref<0x4A61D6, 100>, Ref<0x4A61F6, 110>, Ref<0x4A60A6, 120>>,
                                 NoArgs, void()>;

}  // namespace plugin

// One-time initialisation of every feature: settings reading and code patches.
inline constexpr plugin::EventHandle<plugin::StartupEventType> StartupEvent{};
// Per-frame work that draws nothing.
inline constexpr plugin::EventHandle<plugin::UpdateEventType> UpdateEvent{};
// Per-frame drawing.
inline constexpr plugin::EventHandle<plugin::DrawEventType> DrawEvent{};

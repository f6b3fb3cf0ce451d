// The three host events. Features register their callbacks during load:
//   StartupEvent += [] { ... };
// The first registration on an event redirects that event's host call site to a dispatcher that
// runs the host routine first and then every callback in registration order.
#pragma once

#include <functional>

namespace plugin {

// Registration handle of one event; the event object itself is created on first use.
template <typename Event>
struct EventHandle {
  void operator+=(std::function<void()> callback) const { Event::Instance() += std::move(callback); }
};

}  // namespace plugin

#include "plugin/events_impl.h"

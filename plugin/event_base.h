// The machinery of the host events (events.h): a list of callbacks run at one host call site, after
// the host routine there, and the handle through which features register.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <vector>

#include "injector/hooking.h"
#include "platform/host_guard.h"
#include "plugin/host_build.h"

namespace plugin {

// One call site of an event: the listed site address and the build it belongs to. The three
// further fields are unused.
template <uint32_t SiteAddress, HostBuild Build, int32_t Extra1 = 0, int32_t Extra2 = 0, int32_t Extra3 = 0>
struct Ref {
  static constexpr uint32_t address = SiteAddress;
  static constexpr HostBuild build = Build;
};

// An event's call sites, one per build, in the order 100, 110, 120.
template <typename... Refs>
struct RefList {};

// The argument types an event passes to its callbacks, and which of them are picked.
template <typename... Args>
struct ArgTypes {};
template <typename Types>
struct ArgPick {};

// The hookers attached for one event at one site, kept alive until unload.
template <typename Event, uint32_t Site>
std::list<injector::function_hooker<Site>>& HookKeeper() {
  static std::list<injector::function_hooker<Site>> keeper;
  return keeper;
}

template <template <uint32_t> class Hooker, typename Refs, typename Pick, typename Signature>
class BaseEventI;

template <template <uint32_t> class Hooker, typename... Refs, typename Pick>
class BaseEventI<Hooker, RefList<Refs...>, Pick, void()> {
 public:
  using Callback = std::function<void()>;

  // The one program-wide instance, created on first use.
  static BaseEventI& Instance() {
    static BaseEventI event;
    return event;
  }

  // Appends a callback. A plain function already on the list is not added twice. The first
  // registration redirects the running build's call site.
  void operator+=(Callback callback) {
    if (const auto* function = callback.template target<void (*)()>()) {
      for (const Callback& existing : after_) {
        const auto* other = existing.template target<void (*)()>();
        if (other != nullptr && *other == *function) return;
      }
    }
    if (!installed_) {
      installed_ = true;
      const HostBuild build = CurrentHostBuild();
      ((Refs::build == build ? PatchAll<Refs>() : void()), ...);
    }
    after_.push_back(std::move(callback));
  }

  // Installs the event's hook at one build's site.
  template <typename Ref>
  void PatchAll() {
    Hooker<Ref::address> hooker;
    hooker.AttachHook([this](injector::original_callable original) { return Invoke(original); });
    HookKeeper<BaseEventI, Ref::address>().push_back(std::move(hooker));
  }

  std::size_t size() const noexcept { return after_.size(); }
  // The after list, in registration order.
  const std::vector<Callback>& callbacks() const noexcept { return after_; }

 private:
  BaseEventI() = default;

  // Runs the before list, the host routine, the after list; returns the routine's result. A
  // callback that throws is stopped there, so the host still gets its routine's result.
  uint32_t Invoke(const injector::original_callable& original) {
    for (const Callback& callback : before_) {
      Callback copy = callback;
      platform::GuardHostCall(copy);
    }
    const uint32_t result = original();
    for (const Callback& callback : after_) {
      Callback copy = callback;
      platform::GuardHostCall(copy);
    }
    return result;
  }

  bool installed_ = false;
  std::vector<Callback> before_;
  std::vector<Callback> after_;
};

// Registration handle of one event; the event object itself is created on first use.
template <typename Event>
struct EventHandle {
  void operator+=(std::function<void()> callback) const { Event::Instance() += std::move(callback); }
};

}  // namespace plugin

// Hook chaining on one 5-byte CALL site: several hooks may be attached to a site; the most recently
// attached runs first, each hook's original callable leads to the one attached before it, and the
// first hook's original callable is the host routine the CALL reached before.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "injector/scoped_patch.h"
#include "platform/host_address.h"
#include "platform/host_guard.h"

namespace injector {

// Calls the host routine (or the next hook down the chain) and returns its 32-bit result.
using original_callable = std::function<uint32_t()>;
// A hook: given the original callable, does its work and returns the result for the host.
using hook_function = std::function<uint32_t(original_callable)>;

class function_hooker_base;

// The state of one call site. Per-site behaviour (its static entry point) is added by
// function_hooker_manager<Site>.
class function_hooker_manager_base : public scoped_call {
 public:
  struct hook_entry {
    function_hooker_base* owner;
    hook_function hook;
  };

  ~function_hooker_manager_base() override {
    hooks_.clear();
    count_ = 0;
    // The saved bytes go back through scoped_basic's destructor.
  }

  // Empties the hook list and writes the saved bytes back, once.
  void restore() override {
    if (!installed_) return;
    installed_ = false;
    hooks_.clear();
    count_ = 0;
    scoped_call::restore();
  }

  // Adds (or replaces) the hook of `owner`; redirects the site to `entry` on the first hook.
  void attach(function_hooker_base* owner, hook_function hook, uint32_t listed_site, void* entry) {
    bool replaced = false;
    for (hook_entry& e : hooks_) {
      if (e.owner == owner) {
        e.hook = std::move(hook);
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      hooks_.push_back({owner, std::move(hook)});
      ++count_;
    }
    if (installed_) return;
    uint8_t* site = RebaseHostAddress(listed_site);
    save(site, 5, true);
    original_ = PatchCall(site, entry);
    installed_ = true;
  }

  // Removes the hook of `owner`; restores the site when no hook is left. False if it had none.
  bool detach(const function_hooker_base* owner) {
    for (auto it = hooks_.begin(); it != hooks_.end(); ++it) {
      if (it->owner != owner) continue;
      hooks_.erase(it);
      --count_;
      if (hooks_.empty()) restore();
      return true;
    }
    return false;
  }

  // Hands `from`'s entry to `to`, moving it to the end of the list; nothing is restored.
  void transfer(const function_hooker_base* from, function_hooker_base* to) {
    for (auto it = hooks_.begin(); it != hooks_.end(); ++it) {
      if (it->owner != from) continue;
      hook_function hook = std::move(it->hook);
      hooks_.erase(it);
      hooks_.push_back({to, std::move(hook)});
      return;
    }
  }

  // Runs the chain as the host's CALL would have run the original routine.
  uint32_t dispatch() {
    const auto original = reinterpret_cast<uint32_t (*)()>(original_);
    if (hooks_.empty()) return original();
    original_callable chain = [original] { return original(); };
    if (hooks_.size() == 1) return hooks_.front().hook(chain);
    for (const hook_entry& e : hooks_) {
      chain = [hook = e.hook, previous = std::move(chain)] { return hook(previous); };
    }
    return chain();
  }

  uint32_t hook_count() const noexcept { return count_; }
  bool installed() const noexcept { return installed_; }
  void* original_destination() const noexcept { return original_; }

 private:
  void* original_ = nullptr;
  std::vector<hook_entry> hooks_;
  uint32_t count_ = 0;
  bool installed_ = false;
};

// The manager of the site at listed address `Site`, created on first use and shared by every
// hooker attached there.
template <uint32_t Site>
class function_hooker_manager : public function_hooker_manager_base {
 public:
  static const std::shared_ptr<function_hooker_manager_base>& instance() {
    static const std::shared_ptr<function_hooker_manager_base> manager =
        std::make_shared<function_hooker_manager>();
    return manager;
  }

  // The new destination of the redirected CALL: no arguments, a 32-bit result, as the host expects.
  static uint32_t call_hooks() noexcept {
    return platform::GuardHostCall(uint32_t{0}, [] { return instance()->dispatch(); });
  }
};

// The handle through which one hook is attached to a site. Destroying it, or restore(), detaches.
class function_hooker_base : public scoped_base {
 public:
  function_hooker_base(uint32_t listed_site, std::shared_ptr<function_hooker_manager_base> manager)
      : site_(listed_site), manager_(std::move(manager)) {}

  // The moved-to hooker takes over the entry of the moved-from one, which then owns nothing.
  function_hooker_base(function_hooker_base&& other) noexcept
      : site_(other.site_), has_hook_(other.has_hook_), manager_(other.manager_) {
    if (has_hook_) manager_->transfer(&other, this);
    other.has_hook_ = false;
  }

  ~function_hooker_base() override { detach(); }
  void restore() override { detach(); }

  virtual void AttachHook(hook_function hook) = 0;

  uint32_t site() const noexcept { return site_; }
  bool has_hook() const noexcept { return has_hook_; }

 protected:
  void detach() noexcept {
    has_hook_ = false;
    if (manager_) platform::IgnoreFailure([&] { manager_->detach(this); });
  }

  uint32_t site_;
  bool has_hook_ = false;
  std::shared_ptr<function_hooker_manager_base> manager_;
};

template <uint32_t Site>
class function_hooker : public function_hooker_base {
 public:
  function_hooker() : function_hooker_base(Site, function_hooker_manager<Site>::instance()) {}
  function_hooker(function_hooker&&) noexcept = default;

  void AttachHook(hook_function hook) override {
    has_hook_ = true;
    manager_->attach(this, std::move(hook), Site,
                     reinterpret_cast<void*>(&function_hooker_manager<Site>::call_hooks));
  }
};

}  // namespace injector

// Event dispatch: the host executing an event's call site once the plugin has redirected it, with
// one and with eight callbacks that do nothing, against the host executing a call site of the same
// kind that is left as the game has it (the start-up site, whose routine is alike). The last row
// sets eight callbacks against one, so that what one more callback adds shows on its own.
#include <cstdint>

#include "bench/bench.h"
#include "plugin/events.h"

namespace bench {

namespace {

constexpr int kCalls = 1000;

// The draw site with one callback, the update site with eight; registered once, when the emulated
// host exists, since registering redirects the running build's site.
void RegisterCallbacks() {
  static const bool registered = [] {
    Host();
    DrawEvent += [] {};
    for (int i = 0; i < 8; ++i) UpdateEvent += [] {};
    return true;
  }();
  Keep(registered);
}

// Runs a site of the emulated host `calls` times, as the game's caller would.
void Execute(uint32_t site, int calls) {
  const hostsim::SiteThunks::Entry entry = Host().Image().SiteEntry(site);
  for (int i = 0; i < calls; ++i) Keep(entry(nullptr));
}

void Add(const char* name, uint32_t (*plugin_site)(), uint32_t (*reference_site)(),
         decltype(Scenario::note) note) {
  Scenario s;
  s.note = std::move(note);
  s.group = "event dispatch";
  s.name = name;
  s.unit = "dispatch";
  s.setup = RegisterCallbacks;
  s.plugin = [plugin_site](int calls) { Execute(plugin_site(), calls); };
  s.reference = [reference_site](int calls) { Execute(reference_site(), calls); };
  s.batch = kCalls;
  AddScenario(std::move(s));
}

uint32_t DrawSite() { return Host().Image().Layout().draw_site; }
uint32_t UpdateSite() { return Host().Image().Layout().update_site; }
uint32_t StartupSite() { return Host().Image().Layout().startup_site; }

}  // namespace

void AddEventDispatchScenarios() {
  const auto added = [](double plugin, double reference, const auto& amount) {
    return "adds " + amount(plugin - reference);
  };
  Add("1 callback, against the bare site", DrawSite, StartupSite, added);
  Add("8 callbacks, against the bare site", UpdateSite, StartupSite, added);
  Add("8 callbacks, against 1 callback", UpdateSite, DrawSite,
      [](double plugin, double reference, const auto& amount) {
        return amount((plugin - reference) / 7) + " per callback";
      });
}

}  // namespace bench

// Host events and hook chaining, executed through the emulated host's real call sites.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"
#include "injector/hooking.h"
#include "plugin/events.h"
#include "tests/isolated.h"

namespace {

constexpr uint32_t kStartupSite = 0x600411;  // build 100
constexpr uint32_t kUpdateSite = 0x4A5DA0;
constexpr uint32_t kDrawSite = 0x4A61D6;

std::vector<std::string> Lines(const std::ostringstream& trace) {
  std::istringstream in(trace.str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::ostringstream* trace_out = nullptr;

void Note(const char* what) { *trace_out << what << '\n'; }

int plain_calls = 0;
void PlainCallback() { ++plain_calls; }

template <typename Event>
void ExpectRoutineThenCallbacks(uint32_t site, const char* routine_line, uint32_t routine_result) {
  EXPECT_ISOLATED({
    std::ostringstream trace;
    trace_out = &trace;
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, &trace);
    plugin::EventHandle<Event> event;
    event += [] { Note("first"); };
    event += [] { Note("second"); };
    event += [] { throw std::runtime_error("a callback that fails"); };
    event += [] { Note("third"); };
    EXPECT_EQ(host.CallSite(site, {}), routine_result);
    EXPECT_EQ(Lines(trace), (std::vector<std::string>{routine_line, "first", "second", "third"}));
  });
}

TEST(HostEvent, RunsTheHostRoutineThenTheCallbacksInOrderAndHandsBackItsResult) {
  ExpectRoutineThenCallbacks<plugin::StartupEventType>(
      kStartupSite, "{\"call\":\"StartupRoutine\",\"ret\":3235774720}", 0xC0DE0100);
  ExpectRoutineThenCallbacks<plugin::UpdateEventType>(
      kUpdateSite, "{\"call\":\"UpdateRoutine\",\"ret\":3235774976}", 0xC0DE0200);
  ExpectRoutineThenCallbacks<plugin::DrawEventType>(
      kDrawSite, "{\"call\":\"DrawRoutine\",\"ret\":3235775232}", 0xC0DE0300);
}

TEST(HostEvent, PlainFunctionRegisteredTwiceRunsOnceLambdasEachRun) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    static int lambda_calls = 0;
    UpdateEvent += PlainCallback;
    UpdateEvent += PlainCallback;
    UpdateEvent += [] { ++lambda_calls; };
    UpdateEvent += [] { ++lambda_calls; };
    EXPECT_EQ(plugin::UpdateEventType::Instance().size(), 3u);
    host.CallSite(kUpdateSite, {});
    host.CallSite(kUpdateSite, {});
    EXPECT_EQ(plain_calls, 2);
    EXPECT_EQ(lambda_calls, 4);
  });
}

TEST(HostEvent, OtherBuildsSitesAreLeftAlone) {
  for (int32_t build : {110, 120, 0}) {
    EXPECT_ISOLATED({
      hostsim::EmulatedHost host(build, hostsim::kDefaultBase, nullptr);
      const std::vector<uint8_t> before = host.Image().CodeBytes();
      DrawEvent += [] {};
      const std::vector<uint8_t> after = host.Image().CodeBytes();
      if (build == 0) {
        EXPECT_EQ(after, before) << "an unrecognised host is not touched";
      } else {
        // Exactly the running build's draw site changed.
        const uint32_t site = host.Image().Layout().draw_site;
        for (size_t i = 0; i < before.size(); ++i) {
          const uint32_t address = hostsim::kCodeStart + static_cast<uint32_t>(i);
          if (address > site && address < site + 5) continue;
          ASSERT_EQ(after[i], before[i]) << std::hex << address;
        }
      }
      EXPECT_EQ(plugin::DrawEventType::Instance().size(), 1u);
    });
  }
}

TEST(FunctionHooker, LaterHookRunsFirstAndDetachingRestoresTheSite) {
  EXPECT_ISOLATED({
    std::ostringstream trace;
    trace_out = &trace;
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, &trace);
    const std::vector<uint8_t> original = host.Image().Read(kUpdateSite, 5);
    auto hook = [](const char* before, const char* after) {
      return [before, after](injector::original_callable call_original) {
        Note(before);
        const uint32_t result = call_original();
        Note(after);
        return result + 1;  // each hook's result is what its caller sees
      };
    };
    auto a = std::make_unique<injector::function_hooker<kUpdateSite>>();
    a->AttachHook(hook("A before", "A after"));
    auto b = std::make_unique<injector::function_hooker<kUpdateSite>>();
    b->AttachHook(hook("B before", "B after"));
    EXPECT_EQ(host.Image().Read(kUpdateSite, 1), std::vector<uint8_t>{0xE8});

    EXPECT_EQ(host.CallSite(kUpdateSite, {}), 0xC0DE0202u);
    EXPECT_EQ(Lines(trace), (std::vector<std::string>{"B before", "A before",
                                                      "{\"call\":\"UpdateRoutine\",\"ret\":3235774976}",
                                                      "A after", "B after"}));

    // Without B the chain is A alone; without A the site is the host's again.
    b.reset();
    trace.str("");
    EXPECT_EQ(host.CallSite(kUpdateSite, {}), 0xC0DE0201u);
    EXPECT_EQ(Lines(trace).front(), "A before");
    a.reset();
    EXPECT_EQ(host.Image().Read(kUpdateSite, 5), original);
    EXPECT_EQ(host.Image().Protection(kUpdateSite), "r-x");
    EXPECT_EQ(injector::function_hooker_manager<kUpdateSite>::instance()->hook_count(), 0u);
  });
}

TEST(FunctionHooker, MovedHookerKeepsTheEntryAndTheSiteStaysRedirected) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    const std::vector<uint8_t> original = host.Image().Read(kDrawSite, 5);
    auto manager = injector::function_hooker_manager<kDrawSite>::instance();
    {
      std::list<injector::function_hooker<kDrawSite>> keeper;
      {
        injector::function_hooker<kDrawSite> temporary;
        temporary.AttachHook([](injector::original_callable call) { return call() + 7; });
        keeper.push_back(std::move(temporary));
      }
      EXPECT_EQ(manager->hook_count(), 1u);
      EXPECT_TRUE(manager->installed());
      EXPECT_EQ(host.CallSite(kDrawSite, {}), 0xC0DE0307u);
    }
    EXPECT_EQ(host.Image().Read(kDrawSite, 5), original);
    EXPECT_FALSE(manager->installed());
  });
}

}  // namespace

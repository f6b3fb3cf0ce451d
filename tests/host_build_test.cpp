// Recognising the host build from its probe bytes, and rebasing.
#include <gtest/gtest.h>

#include <vector>

#include "hostsim/hostsim.h"
#include "plugin/host_build.h"
#include "tests/isolated.h"
#include "tests/protection_count.h"

namespace {

std::vector<uint8_t> Probe() { return {0x55, 0x89, 0xE5, 0x53}; }

TEST(DetectHostBuild, EachBuildByItsProbe) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    for (int32_t build : {100, 110, 120, 0}) {
      host.Rebuild(build);
      EXPECT_EQ(DetectHostBuild(), build);
    }
  });
}

TEST(DetectHostBuild, FirstMatchWinsAndLaterProbesAreNotRead) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    // Build 100's probe with the other two present as well.
    host.Poke(0x667C40, Probe());
    host.Poke(0x666BA0, Probe());
    {
      ProtectionCount count;
      EXPECT_EQ(DetectHostBuild(), 100);
      // One probe read: one change to writable and one back, on the probe's page only.
      ASSERT_EQ(count.changes().size(), 2u);
      for (const ProtectionChange& change : count.changes())
        EXPECT_EQ(change.page, reinterpret_cast<uintptr_t>(host.Image().At(0x667000)));
    }
    // Only the third probe matches: all three are read.
    host.Rebuild(120);
    ProtectionCount count;
    EXPECT_EQ(DetectHostBuild(), 120);
    EXPECT_EQ(count.changes().size(), 6u);
  });
}

TEST(CurrentHostBuild, DetectsOnceAndKeepsAnUnrecognisedBuild) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(0, hostsim::kDefaultBase, nullptr);
    EXPECT_EQ(CurrentHostBuild(), 0);
    host.Poke(0x667BF0, Probe());  // the probe now matches, but the answer is cached
    ProtectionCount count;
    EXPECT_EQ(CurrentHostBuild(), 0);
    EXPECT_TRUE(count.changes().empty()) << "the cached result is not probed again";
    // With build 0 every resolved reference is the rebased address 0.
    EXPECT_EQ(ResolveHostReference(0xA0FDE4, 0xA0FDEC, 0xA0EDEC), RebaseHostAddress(0));
  });
}

TEST(RebaseHostAddress, FollowsTheImageBase) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(110, 0x1000000, nullptr);
    EXPECT_EQ(HostModuleBase(), reinterpret_cast<uint8_t*>(0x1000000));
    EXPECT_EQ(RebaseHostAddress(0x667BF0), reinterpret_cast<uint8_t*>(0x1267BF0));
    EXPECT_EQ(RebaseHostAddress(0x400000), reinterpret_cast<uint8_t*>(0x1000000));
    EXPECT_EQ(CurrentHostBuild(), 110);
    ResolveHostReferences();
    EXPECT_EQ(HostTimeMs, reinterpret_cast<const volatile uint32_t*>(host.Image().At(0x974B34)));
    EXPECT_EQ(reinterpret_cast<uint8_t*>(HostSkyGate), host.Image().At(0x4A43B0));
  });
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(120, hostsim::kDefaultBase, nullptr);
    EXPECT_EQ(RebaseHostAddress(0x667BF0), reinterpret_cast<uint8_t*>(0x667BF0));
    ResolveHostReferences();
    EXPECT_EQ(HostVehiclePool, reinterpret_cast<const volatile uint32_t*>(0xA0EDEC));
    EXPECT_EQ(reinterpret_cast<uint8_t*>(HostAddPointLight), reinterpret_cast<uint8_t*>(0x5675F0));
    EXPECT_EQ(HostTimeStep, reinterpret_cast<const volatile float*>(0x97442C));
  });
}

}  // namespace

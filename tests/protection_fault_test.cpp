// A protection change that the platform refuses. The access it was to allow is made all the same,
// and since nothing was changed, nothing is restored: each guarded access asks once, for
// read+write+execute, and never again. The accesses here are on a read+write data page, where the
// refused change does not matter to the access itself.
#include <gtest/gtest.h>

#include <functional>
#include <sys/mman.h>
#include <vector>

#include "hostsim/hostsim.h"
#include "injector/hooking.h"
#include "plugin/host_build.h"
#include "tests/isolated.h"
#include "tests/protection_count.h"

namespace {

constexpr uint32_t kData = 0xA70000;  // a data page of the image (read+write), free bytes

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

TEST(RefusedProtectionChange, TheAccessIsStillMadeAndNoRestoreIsAttempted) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    host.Poke(kData + 0x10, Bytes({0x90, 0x90, 0x90, 0x90, 0x90}));
    host.Poke(kData + 0x20, Bytes({1, 2, 3, 4, 5, 6}));
    const uint8_t source[3] = {7, 8, 9};
    struct Case {
      const char* name;
      std::function<void()> access;
      size_t asked;  // protection changes asked for, one per guarded access
      std::function<bool()> made;
    };
    const Case cases[] = {
        {"WriteHostByte", [] { WriteHostByte(kData, 0x5A); }, 1,
         [&] { return image.Read(kData, 1) == Bytes({0x5A}); }},
        // The opcode read finds no CALL; then the opcode and the displacement are written.
        {"PatchCall", [&] { PatchCall(image.At(kData + 0x10), image.At(kData + 0x105)); }, 3,
         [&] { return image.Read(kData + 0x10, 5) == Bytes({0xE8, 0xF0, 0x00, 0x00, 0x00}); }},
        // Four bytes read one by one for the bookkeeping, then one write of the NOPs.
        {"PatchNop", [] { PatchNop(kData + 0x20, 4); }, 5,
         [&] { return image.Read(kData + 0x20, 6) == Bytes({0x90, 0x90, 0x90, 0x90, 5, 6}); }},
        {"WriteHostBytes", [&] { WriteHostBytes(image.At(kData + 0x30), source, 3, true); }, 1,
         [&] { return image.Read(kData + 0x30, 3) == Bytes({7, 8, 9}); }},
        // The probe of build 100 is read from its read+execute page all the same.
        {"ReadHostDword", [] { EXPECT_EQ(ReadHostDword(0x667BF0), 0x53E58955u); }, 1, [] { return true; }},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      ProtectionCount count;
      count.RefuseChanges();
      c.access();
      ASSERT_EQ(count.changes().size(), c.asked);
      for (const ProtectionChange& change : count.changes())
        EXPECT_EQ(change.protection, PROT_READ | PROT_WRITE | PROT_EXEC) << "a restore was attempted";
      EXPECT_TRUE(c.made());
    }
    EXPECT_EQ(image.Protection(kData), "rw-");
    EXPECT_EQ(image.Protection(0x667BF0), "r-x");
  });
}

}  // namespace

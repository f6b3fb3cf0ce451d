// Reading and patching host code on the read+execute pages of the emulated image: every primitive's
// bytes, its result, and the page protection after it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hostsim/hostsim.h"
#include "injector/hooking.h"
#include "tests/isolated.h"
#include "tests/protection_count.h"

namespace {

// Free code bytes of the image (0xCC filler), far from every laid-out site.
constexpr uint32_t kScratch = 0x401100;
constexpr uint32_t kScratch2 = 0x401200;
// A data page (read+write).
constexpr uint32_t kDataScratch = 0xA70000;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) { return bytes; }

uint32_t Actual(const hostsim::HostImage& image, uint32_t address) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image.At(address)));
}

std::vector<uint8_t> Le32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

void Concat(std::vector<uint8_t>& to, const std::vector<uint8_t>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

TEST(ReadCallTarget, DecodesRelativeAndIndirectCallsAndJumps) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    const uint8_t* site = image.At(kScratch);

    // E8 00 01 00 00: CALL +5+0x100
    host.Poke(kScratch, Bytes({0xE8, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(ReadCallTarget(site), image.At(kScratch + 0x105));
    // E9 F0 FF FF FF: JMP +5-0x10 (backwards)
    host.Poke(kScratch, Bytes({0xE9, 0xF0, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ReadCallTarget(site), image.At(kScratch + 5 - 0x10));

    // FF 15 / FF 25 P: CALL / JMP through the pointer stored at P.
    host.Poke(kDataScratch, Le32(0x12345678));
    for (uint8_t modrm : {0x15, 0x25}) {
      std::vector<uint8_t> code{0xFF, modrm};
      Concat(code, Le32(Actual(image, kDataScratch)));
      host.Poke(kScratch, code);
      EXPECT_EQ(ReadCallTarget(site), reinterpret_cast<void*>(0x12345678)) << int(modrm);
    }
    // FF 10 (CALL [EAX]) and opcodes other than E8, E9, FF are not understood.
    host.Poke(kScratch, Bytes({0xFF, 0x10, 0, 0, 0, 0}));
    EXPECT_EQ(ReadCallTarget(site), nullptr);
    for (uint8_t opcode : {0x90, 0xEB, 0xC3, 0xCC}) {
      host.Poke(kScratch, Bytes({opcode, 0, 0, 0, 0}));
      EXPECT_EQ(ReadCallTarget(site), nullptr) << int(opcode);
    }
    EXPECT_EQ(image.Protection(kScratch), "r-x");
  });
}

TEST(PatchCall, WritesACallAndReturnsThePreviousDestination) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    uint8_t* site = image.At(kScratch);
    const uint8_t* target = image.At(kScratch2);
    const std::vector<uint8_t> expected_call = [&] {
      std::vector<uint8_t> call{0xE8};
      Concat(call, Le32(kScratch2 - (kScratch + 5)));
      return call;
    }();

    host.Poke(kScratch, Bytes({0xE8, 0x00, 0x01, 0x00, 0x00, 0x77}));
    EXPECT_EQ(PatchCall(site, target), image.At(kScratch + 0x105));
    EXPECT_EQ(image.Read(kScratch, 5), expected_call);
    EXPECT_EQ(image.Read(kScratch + 5, 1), Bytes({0x77})) << "exactly 5 bytes change";
    EXPECT_EQ(image.Protection(kScratch), "r-x");

    // A JMP becomes a CALL too.
    host.Poke(kScratch, Bytes({0xE9, 0x10, 0x00, 0x00, 0x00}));
    EXPECT_EQ(PatchCall(site, target), image.At(kScratch + 0x15));
    EXPECT_EQ(image.Read(kScratch, 5), expected_call);

    // FF 15 P: the previous destination is the value stored at P.
    host.Poke(kDataScratch, Le32(0xCAFE0000));
    std::vector<uint8_t> indirect{0xFF, 0x15};
    Concat(indirect, Le32(Actual(image, kDataScratch)));
    host.Poke(kScratch, indirect);
    EXPECT_EQ(PatchCall(site, target), reinterpret_cast<void*>(0xCAFE0000));
    EXPECT_EQ(image.Read(kScratch, 5), expected_call);
    EXPECT_EQ(image.Read(kScratch + 5, 1), Bytes({indirect[5]}));

    // Anything else: no previous destination, and the CALL is written all the same.
    host.Poke(kScratch, Bytes({0x90, 0x90, 0x90, 0x90, 0x90}));
    EXPECT_EQ(PatchCall(site, target), nullptr);
    EXPECT_EQ(image.Read(kScratch, 5), expected_call);
    EXPECT_EQ(image.Protection(kScratch), "r-x");
  });
}

TEST(PatchCall, ListedSiteIsRebasedToTheImage) {
  EXPECT_ISOLATED({
    // Nothing is mapped at the listed address itself: only the rebased site can be written.
    hostsim::EmulatedHost host(100, 0x1000000, nullptr);
    hostsim::HostImage& image = host.Image();
    host.Poke(kScratch, Bytes({0xE8, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(PatchCall(kScratch, image.At(kScratch2)), image.At(kScratch + 0x105));
    std::vector<uint8_t> call{0xE8};
    Concat(call, Le32(kScratch2 - (kScratch + 5)));
    EXPECT_EQ(image.Read(kScratch, 5), call);
    EXPECT_EQ(image.Protection(kScratch), "r-x");
  });
}

TEST(PatchCall, PageSpanningSiteKeepsBothPagesProtection) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    constexpr uint32_t kEdge = 0x401FFE;  // the displacement runs into the next page
    PatchCall(image.At(kEdge), image.At(kScratch2));
    EXPECT_EQ(image.Read(kEdge, 1), Bytes({0xE8}));
    EXPECT_EQ(image.Protection(kEdge), "r-x");
    EXPECT_EQ(image.Protection(kEdge + 4), "r-x");
  });
}

TEST(PatchNop, FillsWithNopsAndRemembersOnlyTheFirstBytesPerAddress) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    host.Poke(kScratch, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));

    PatchNop(kScratch, 2);
    EXPECT_EQ(image.Read(kScratch, 8), Bytes({0x90, 0x90, 3, 4, 5, 6, 7, 8}));
    PatchNop(kScratch, 6);
    EXPECT_EQ(image.Read(kScratch, 8), Bytes({0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 7, 8}));
    ASSERT_NE(NopOriginals, nullptr);
    EXPECT_EQ(NopOriginals->at(kScratch), Bytes({1, 2}));
    EXPECT_EQ(image.Protection(kScratch), "r-x");

    // Size 0: no byte and no protection changes, but a new address is still recorded.
    {
      ProtectionCount count;
      PatchNop(kScratch2, 0);
      EXPECT_TRUE(count.changes().empty());
    }
    EXPECT_EQ(image.Read(kScratch2, 1), Bytes({0xCC}));
    ASSERT_EQ(NopOriginals->count(kScratch2), 1u);
    EXPECT_TRUE(NopOriginals->at(kScratch2).empty());

    // Releasing the record writes nothing back.
    ReleaseNopOriginals();
    EXPECT_EQ(NopOriginals, nullptr);
    EXPECT_EQ(image.Read(kScratch, 2), Bytes({0x90, 0x90}));
  });
}

TEST(HostBytes, ByteAccessesAndUnprotectFlag) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();

    WriteHostByte(kScratch, 0x42);
    EXPECT_EQ(ReadHostByte(image.At(kScratch)), 0x42);
    host.Poke(kScratch, Bytes({0x55, 0x89, 0xE5, 0x53}));
    EXPECT_EQ(ReadHostDword(kScratch), 0x53E58955u);
    EXPECT_EQ(image.Protection(kScratch), "r-x");
    // Each page gets back exactly what it had, whatever that was.
    WriteHostByte(kDataScratch, 0x43);
    EXPECT_EQ(image.Protection(kDataScratch), "rw-");
    EXPECT_EQ(ReadHostByte(image.At(0x400010)), 0xCC);
    EXPECT_EQ(image.Protection(0x400010), "r--");

    uint8_t buffer[3] = {};
    const uint8_t source[3] = {7, 8, 9};
    WriteHostBytes(image.At(kScratch), source, 3, true);
    ReadHostBytes(buffer, image.At(kScratch), 3, true);
    EXPECT_EQ(std::memcmp(buffer, source, 3), 0);
    EXPECT_EQ(image.Protection(kScratch), "r-x");

    // Without the unprotect flag (and with size 0) no protection is touched.
    ProtectionCount count;
    WriteHostBytes(image.At(kDataScratch), source, 3, false);
    ReadHostBytes(buffer, image.At(kDataScratch), 3, false);
    WriteHostBytes(image.At(kScratch), source, 0, true);
    EXPECT_TRUE(count.changes().empty());
    EXPECT_EQ(image.Read(kDataScratch, 3), Bytes({7, 8, 9}));
  });
}

TEST(ScopedCall, PutsTheSavedBytesBackOnRestoreAndAtItsEnd) {
  EXPECT_ISOLATED({
    hostsim::EmulatedHost host(100, hostsim::kDefaultBase, nullptr);
    hostsim::HostImage& image = host.Image();
    const std::vector<uint8_t> original = Bytes({0xE8, 0x11, 0x22, 0x33, 0x44});
    host.Poke(kScratch, original);
    uint8_t* site = image.At(kScratch);

    {
      injector::scoped_call patch;
      patch.save(site, 5, true);
      PatchCall(site, image.At(kScratch2));
      EXPECT_NE(image.Read(kScratch, 5), original);
      patch.restore();
      EXPECT_EQ(image.Read(kScratch, 5), original);
      EXPECT_FALSE(patch.has_saved());
      patch.restore();  // nothing held: nothing written
      EXPECT_EQ(image.Read(kScratch, 5), original);

      patch.save(site, 5, true);
      PatchCall(site, image.At(kScratch2));
    }
    EXPECT_EQ(image.Read(kScratch, 5), original) << "destruction restores";
    EXPECT_EQ(image.Protection(kScratch), "r-x");

    // A second save puts the first back before it saves again.
    {
      injector::scoped_call patch;
      patch.save(site, 5, true);
      PatchCall(site, image.At(kScratch2));
      patch.save(site, 5, true);
      EXPECT_EQ(image.Read(kScratch, 5), original);
    }
    EXPECT_EQ(image.Read(kScratch, 5), original);

    // More than the capacity is refused rather than overrunning the buffer.
    injector::scoped_call oversized;
    oversized.save(site, 6, true);
    EXPECT_FALSE(oversized.has_saved());
  });
}

}  // namespace

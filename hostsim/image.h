// The host image: one mapping of every host address from 0x400000 to 0xA79000, laid out for one
// build at a chosen base. Header page read-only, code pages read+execute, data pages read+write,
// 0xCC wherever nothing is laid out. On Windows the image is the emulator's own executable: the
// host's part begins after the emulator's header, code and data (OwnedStart), below the first
// address any build uses.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hostsim/addresses.h"
#include "hostsim/os.h"
#include "hostsim/thunks.h"

// The base of the image the plugin works on (set by EmulatedHost); the plugin finds it by name, in
// place of the module handle of the game's executable.
extern "C" __attribute__((visibility("default"))) uint8_t* nightglass_host_image_base;

namespace hostsim {

// Argument counts of the sites the emulator calls through.
inline constexpr unsigned kSpriteArgs = 11;
inline constexpr unsigned kGlowArgs = 16;
inline constexpr unsigned kPlaneBranchArgs = 2;

// The sites of `layout` the emulator executes, as written for base 0x400000.
std::vector<CallableSite> HostSites(const BuildLayout& layout);

// "r-x" style protection of the page holding `address` in this process, "---" when unmapped.
std::string ProtectionOf(const void* address);

class HostImage {
 public:
  // Maps and lays out `build` (100, 110, 120, or 0) at `base`; throws std::runtime_error when the
  // build is unknown or the range cannot be mapped (for instance when another image holds it).
  HostImage(int32_t build, uint32_t base = kDefaultBase);
  ~HostImage();
  HostImage(const HostImage&) = delete;
  HostImage& operator=(const HostImage&) = delete;

  uint32_t Base() const { return base_; }
  const BuildLayout& Layout() const { return *layout_; }
  int32_t Build() const { return build_; }

  // Where a host address (written for base 0x400000) lies in this mapping.
  uint8_t* At(uint32_t address) const { return mapping_ + (address - kDefaultBase); }
  static bool Contains(uint32_t address, uint32_t size) {
    return address >= kHeaderStart && size <= kImageEnd - address;
  }

  // Where the host's part of the image begins: 0x400000, or on Windows the first page after the
  // emulator's own header, code and data.
  uint32_t OwnedStart() const;
  // The first code address laid out by the emulator (0x401000 unless OwnedStart is later).
  uint32_t FirstCodeAddress() const { return std::max(kCodeStart, OwnedStart()); }

  // Writes whatever the pages' protection, which is afterwards what it was. Throws
  // std::runtime_error below OwnedStart.
  void Write(uint32_t address, std::span<const uint8_t> bytes);
  template <typename T>
  void Set(uint32_t address, const T& value) {
    Write(address, {reinterpret_cast<const uint8_t*>(&value), sizeof value});
  }
  std::vector<uint8_t> Read(uint32_t address, std::size_t size) const;
  // Protection of the page holding `address`, "r-x" style.
  std::string Protection(uint32_t address) const { return ProtectionOf(At(address)); }
  // The code pages from FirstCodeAddress to 0x680000.
  std::vector<uint8_t> CodeBytes() const {
    return Read(FirstCodeAddress(), kDataStart - FirstCodeAddress());
  }

  // Executes the site (as written for base 0x400000) with its caller's arguments; returns EAX.
  uint32_t CallSite(uint32_t site, std::span<const uint32_t> args) const;
  // The code that CallSite runs for the site, to be called with exactly its arguments.
  SiteThunks::Entry SiteEntry(uint32_t site) const { return thunks_->EntryOf(Actual(site)); }

 private:
  void LayOut();
  // Writes code at a host address of the still-writable mapping.
  template <typename Bytes>
  void Put(uint32_t address, const Bytes& bytes);
  // An actual address in this process as a 32-bit value.
  uint32_t Actual(uint32_t address) const { return base_ + (address - kDefaultBase); }

  int32_t build_;
  const BuildLayout* layout_;
  uint32_t base_;
  os::ImageMemory memory_{};
  uint8_t* mapping_ = nullptr;
  std::unique_ptr<SiteThunks> thunks_;
};

}  // namespace hostsim

#include "hostsim/image.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "hostsim/machine_code.h"
#include "hostsim/os.h"
#include "hostsim/routines.h"

uint8_t* nightglass_host_image_base = nullptr;

namespace hostsim {

namespace {

constexpr uint32_t kPageSize = 0x1000;

}  // namespace

std::vector<CallableSite> HostSites(const BuildLayout& layout) {
  std::vector<CallableSite> sites = {
      {layout.startup_site, 0},
      {layout.update_site, 0},
      {layout.draw_site, 0},
      {kMoonSite, kSpriteArgs},
      {kLogoRSite, kSpriteArgs},
      {kLogoStarSite, kSpriteArgs},
      {kPlaneDecisionSite, kPlaneBranchArgs},
  };
  for (uint32_t site : kTrailSites) sites.push_back({site, kGlowArgs});
  for (uint32_t site : kPlaneGlowSites) sites.push_back({site, kGlowArgs});
  return sites;
}

std::string ProtectionOf(const void* address) { return os::ProtectionOf(address); }

HostImage::HostImage(int32_t build, uint32_t base)
    : build_(build), layout_(FindBuild(build)), base_(base) {
  if (layout_ == nullptr) throw std::runtime_error("unknown build " + std::to_string(build));
  if (base % kPageSize != 0 || base < 0x10000 || uint64_t{base} + kImageSize > 0xC0000000u) {
    throw std::runtime_error("image base must be page aligned and leave room for the image");
  }
  memory_ = os::AcquireImage(base, kImageSize);
  mapping_ = memory_.start;
  std::vector<CallableSite> sites = HostSites(*layout_);
  for (CallableSite& site : sites) site.address = Actual(site.address);
  thunks_ = std::make_unique<SiteThunks>(sites);
  LayOut();
  if (OwnedStart() == kHeaderStart) os::SetProtection(At(kHeaderStart), kPageSize, "r--");
  os::SetProtection(At(FirstCodeAddress()), kDataStart - FirstCodeAddress(), "r-x");
}

HostImage::~HostImage() { os::ReleaseImage(memory_, kImageSize); }

uint32_t HostImage::OwnedStart() const {
  return kHeaderStart + static_cast<uint32_t>(memory_.owned - memory_.start);
}

template <typename Bytes>
void HostImage::Put(uint32_t address, const Bytes& bytes) {
  std::memcpy(At(address), bytes.data(), bytes.size());
}

void HostImage::LayOut() {
  const BuildLayout& b = *layout_;
  std::memset(memory_.owned, 0xCC, kImageEnd - OwnedStart());
  // On Windows the header page is the emulator's own, which starts with MZ too.
  if (OwnedStart() == kHeaderStart) Put(kHeaderStart, Code<2>{'M', 'Z'});
  // 55 89 E5 53: PUSH EBP; MOV EBP, ESP; PUSH EBX -- the probed routine start.
  if (build_ != 0) Put(b.probe, Code<4>{0x55, 0x89, 0xE5, 0x53});

  // Every host routine: E9 xxxxxxxx: JMP +5+xxxxxxxx into the recording C++ function.
  for (const RoutineEntry& routine : HostRoutines(b)) {
    Put(routine.address,
        MakeJmp(Actual(routine.address),
                static_cast<uint32_t>(reinterpret_cast<uintptr_t>(routine.function))));
  }

  // A call site: E8 xxxxxxxx: CALL routine, then (at site+5) E9 xxxxxxxx: JMP back into the thunk
  // that entered the site.
  auto call_site = [this](uint32_t site, uint32_t routine) {
    Put(site, MakeCall(Actual(site), Actual(routine)));
    Put(site + 5, MakeJmp(Actual(site + 5), thunks_->ReturnLabel(Actual(site))));
  };
  call_site(b.startup_site, kStartupRoutine);
  call_site(b.update_site, kUpdateRoutine);
  call_site(b.draw_site, kDrawRoutine);
  call_site(kMoonSite, kDrawSprite);
  call_site(kLogoRSite, kDrawSpriteAlt);
  call_site(kLogoStarSite, kDrawSprite);
  for (std::size_t i = 0; i < kTrailSites.size(); ++i) {
    call_site(kTrailSites[i], i < 3 ? kRegisterGlow : kTrailSecondaryRoutine);
  }
  for (uint32_t site : kPlaneGlowSites) call_site(site, kRegisterGlow);
  call_site(kPlaneDecisionSite, kPlaneDecision);

  // The sky sign's hour tests: 80 F9 ib: CMP CL, hour; 7C 02: JL +2. The hour is the third byte.
  for (std::size_t i = 0; i < kHourOperands.size(); ++i) {
    Put(kHourOperands[i] - 2, MakeHourCompare(kHourOperandValues[i]));
  }
  // The two 6-byte stretches of the plane pre-render code:
  // D9 05 xxxxxxxx: FLD dword [xxxxxxxx], and 0F 85 xxxxxxxx: JNE +6+xxxxxxxx.
  Put(kPlaneStretch1, MakeFloatLoad(kPlaneFloatVariable));
  Put(kPlaneStretch2, MakeJneNear(Actual(kPlaneStretch2), Actual(kPlaneStretch2 + 0x91)));
  Put(kPlaneFloatVariable, Le32(0x3F800000));  // 1.0f
  // The plane update decision with its two branches (74 2E at 0x5B1D85, 75 0C at 0x5B1DA7).
  static_assert(kPlaneDecision + kPlaneBranch1Offset == kPlaneBranch1);
  static_assert(kPlaneDecision + kPlaneBranch2Offset == kPlaneBranch2);
  Put(kPlaneDecision, MakePlaneDecision());

  // The sprite texture: a pointer to a texture object whose first field is the raster handle.
  Put(kTextureObject, Le32(kRasterHandle));
}

void HostImage::Write(uint32_t address, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  if (address < OwnedStart()) {
    char text[96];
    std::snprintf(text, sizeof text, "0x%X is the emulator's own memory here, not the host's",
                  address);
    throw std::runtime_error(text);
  }
  uint8_t* first = At(address);
  if (address >= kDataStart) {  // data pages stay read+write: no protection to juggle
    std::memcpy(first, bytes.data(), bytes.size());
    return;
  }
  const uintptr_t page_start = reinterpret_cast<uintptr_t>(first) & ~uintptr_t{kPageSize - 1};
  const uintptr_t page_end = reinterpret_cast<uintptr_t>(first + bytes.size());
  std::vector<std::pair<uintptr_t, std::string>> previous;
  for (uintptr_t page = page_start; page < page_end; page += kPageSize) {
    previous.emplace_back(page, os::ProtectionOf(reinterpret_cast<void*>(page)));
  }
  os::SetProtection(reinterpret_cast<void*>(page_start), page_end - page_start, "rw-");
  std::memcpy(first, bytes.data(), bytes.size());
  for (const auto& [page, text] : previous)
    os::SetProtection(reinterpret_cast<void*>(page), kPageSize, text);
}

std::vector<uint8_t> HostImage::Read(uint32_t address, std::size_t size) const {
  const uint8_t* first = At(address);
  return std::vector<uint8_t>(first, first + size);
}

uint32_t HostImage::CallSite(uint32_t site, std::span<const uint32_t> args) const {
  return thunks_->Call(Actual(site), args);
}

}  // namespace hostsim

#include "hostsim/image.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "hostsim/machine_code.h"
#include "hostsim/routines.h"

uint8_t* nightglass_host_image_base = nullptr;

namespace hostsim {

namespace {

constexpr uint32_t kPageSize = 0x1000;

int ProtFlags(const std::string& text) {
  int flags = PROT_NONE;
  if (text.size() >= 3) {
    if (text[0] == 'r') flags |= PROT_READ;
    if (text[1] == 'w') flags |= PROT_WRITE;
    if (text[2] == 'x') flags |= PROT_EXEC;
  }
  return flags;
}

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

std::string ProtectionOf(const void* address) {
  const auto target = reinterpret_cast<uintptr_t>(address);
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long start = 0, end = 0;
    char perms[8] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %7s", &start, &end, perms) != 3) continue;
    if (target >= start && target < end) return std::string(perms, 3);
  }
  return "---";
}

HostImage::HostImage(int32_t build, uint32_t base)
    : build_(build), layout_(FindBuild(build)), base_(base) {
  if (layout_ == nullptr) throw std::runtime_error("unknown build " + std::to_string(build));
  if (base % kPageSize != 0 || base < 0x10000 || uint64_t{base} + kImageSize > 0xC0000000u) {
    throw std::runtime_error("image base must be page aligned and leave room for the image");
  }
  void* want = reinterpret_cast<void*>(static_cast<uintptr_t>(base));
  void* got = mmap(want, kImageSize, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (got == MAP_FAILED || got != want) {
    if (got != MAP_FAILED) munmap(got, kImageSize);
    char text[96];
    std::snprintf(text, sizeof text, "cannot map the host image at 0x%X (address range in use)",
                  base);
    throw std::runtime_error(text);
  }
  mapping_ = static_cast<uint8_t*>(got);
  std::vector<CallableSite> sites = HostSites(*layout_);
  for (CallableSite& site : sites) site.address = Actual(site.address);
  thunks_ = std::make_unique<SiteThunks>(sites);
  LayOut();
  mprotect(At(kHeaderStart), kCodeStart - kHeaderStart, PROT_READ);
  mprotect(At(kCodeStart), kDataStart - kCodeStart, PROT_READ | PROT_EXEC);
}

HostImage::~HostImage() { munmap(mapping_, kImageSize); }

template <typename Bytes>
void HostImage::Put(uint32_t address, const Bytes& bytes) {
  std::memcpy(At(address), bytes.data(), bytes.size());
}

void HostImage::LayOut() {
  const BuildLayout& b = *layout_;
  std::memset(mapping_, 0xCC, kImageSize);
  Put(kHeaderStart, Code<2>{'M', 'Z'});
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
  uint8_t* first = At(address);
  if (address >= kDataStart) {  // data pages stay read+write: no protection to juggle
    std::memcpy(first, bytes.data(), bytes.size());
    return;
  }
  const uintptr_t page_start = reinterpret_cast<uintptr_t>(first) & ~uintptr_t{kPageSize - 1};
  const uintptr_t page_end = reinterpret_cast<uintptr_t>(first + bytes.size());
  std::vector<std::pair<uintptr_t, int>> previous;
  for (uintptr_t page = page_start; page < page_end; page += kPageSize) {
    previous.emplace_back(page, ProtFlags(ProtectionOf(reinterpret_cast<void*>(page))));
  }
  mprotect(reinterpret_cast<void*>(page_start), page_end - page_start, PROT_READ | PROT_WRITE);
  std::memcpy(first, bytes.data(), bytes.size());
  for (const auto& [page, flags] : previous)
    mprotect(reinterpret_cast<void*>(page), kPageSize, flags);
}

std::vector<uint8_t> HostImage::Read(uint32_t address, std::size_t size) const {
  const uint8_t* first = At(address);
  return std::vector<uint8_t>(first, first + size);
}

uint32_t HostImage::CallSite(uint32_t site, std::span<const uint32_t> args) const {
  return thunks_->Call(Actual(site), args);
}

}  // namespace hostsim

#include "hostsim/thunks.h"

#include <cstring>
#include <stdexcept>

#include "hostsim/machine_code.h"
#include "hostsim/os.h"

namespace hostsim {

std::vector<uint8_t> MakeThunk(uint32_t thunk, uint32_t site, unsigned arg_count,
                               uint32_t* return_offset) {
  std::vector<uint8_t> c;
  auto put = [&c](std::initializer_list<uint8_t> bytes) { c.insert(c.end(), bytes); };
  auto put4 = [&c](uint32_t value) {
    const Code<4> b = Le32(value);
    c.insert(c.end(), b.begin(), b.end());
  };
  const uint32_t arg_bytes = 4 * arg_count;
  put({0x55});                   // 55: PUSH EBP
  put({0x89, 0xE5});             // 89 E5: MOV EBP, ESP
  put({0x53, 0x56, 0x57});       // 53 56 57: PUSH EBX; PUSH ESI; PUSH EDI
  put({0x8B, 0x75, 0x08});       // 8B 75 08: MOV ESI, [EBP+8]   (the argument array)
  put({0x89, 0xE0});             // 89 E0: MOV EAX, ESP
  put({0x2D}), put4(arg_bytes);  // 2D xxxxxxxx: SUB EAX, 4*N
  put({0x83, 0xE0, 0xF0});       // 83 E0 F0: AND EAX, -16
  put({0x05}), put4(arg_bytes);  // 05 xxxxxxxx: ADD EAX, 4*N
  put({0x89, 0xC4});             // 89 C4: MOV ESP, EAX        (ESP - 4*N is now 16-aligned)
  for (unsigned i = arg_count; i-- > 0;) {
    put({0xFF, 0x76, static_cast<uint8_t>(4 * i)});  // FF 76 dd: PUSH dword [ESI+dd]
  }
  const uint32_t jmp_at = thunk + static_cast<uint32_t>(c.size());
  const Code<5> jmp = MakeJmp(jmp_at, site);  // E9 xxxxxxxx: JMP +5+xxxxxxxx (to the site)
  c.insert(c.end(), jmp.begin(), jmp.end());
  *return_offset = static_cast<uint32_t>(c.size());
  put({0x8D, 0x65, 0xF4});        // 8D 65 F4: LEA ESP, [EBP-12]  (drops the arguments)
  put({0x5F, 0x5E, 0x5B, 0x5D});  // 5F 5E 5B 5D: POP EDI; POP ESI; POP EBX; POP EBP
  put({0xC3});                    // C3: RET
  return c;
}

SiteThunks::SiteThunks(const std::vector<CallableSite>& sites) {
  size_ = 4096;
  page_ = os::AllocatePages(size_);
  std::memset(page_, 0xCC, size_);
  std::size_t offset = 0;
  for (const CallableSite& site : sites) {
    const uint32_t entry = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(page_ + offset));
    uint32_t return_offset = 0;
    const std::vector<uint8_t> code =
        MakeThunk(entry, site.address, site.arg_count, &return_offset);
    if (offset + code.size() > size_) throw std::runtime_error("too many thunks for one page");
    std::memcpy(page_ + offset, code.data(), code.size());
    thunks_.push_back({site, entry, entry + return_offset});
    offset = (offset + code.size() + 15) & ~std::size_t{15};
  }
  os::SetProtection(page_, size_, "r-x");
}

SiteThunks::~SiteThunks() { os::FreePages(page_, size_); }

const SiteThunks::Thunk& SiteThunks::Find(uint32_t site) const {
  for (const Thunk& thunk : thunks_) {
    if (thunk.site.address == site) return thunk;
  }
  throw std::logic_error("no thunk for this site");
}

uint32_t SiteThunks::ReturnLabel(uint32_t site) const { return Find(site).return_label; }

uint32_t SiteThunks::Call(uint32_t site, std::span<const uint32_t> args) const {
  const Thunk& thunk = Find(site);
  if (args.size() != thunk.site.arg_count) throw std::logic_error("wrong argument count for site");
  return reinterpret_cast<Entry>(static_cast<uintptr_t>(thunk.entry))(args.data());
}

SiteThunks::Entry SiteThunks::EntryOf(uint32_t site) const {
  return reinterpret_cast<Entry>(static_cast<uintptr_t>(Find(site).entry));
}

}  // namespace hostsim

#include "injector/patching.h"

#include <cstring>

#include "platform/host_address.h"
#include "platform/platform.h"

UnprotectScope::UnprotectScope(void* address, uint32_t size) noexcept : address_(address), size_(size) {
  succeeded_ =
      platform::ChangeProtection(address_, size_, platform::kPageExecuteReadWrite, &previous_protection_);
}

UnprotectScope::~UnprotectScope() {
  if (!succeeded_) return;
  uint32_t discarded = 0;
  platform::ChangeProtection(address_, size_, previous_protection_, &discarded);
}

namespace {

void* AsPointer(uint32_t address) noexcept { return reinterpret_cast<void*>(static_cast<uintptr_t>(address)); }

uint32_t AsAddress(const void* pointer) noexcept {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

uint32_t LoadDword(const void* address) noexcept {
  uint32_t value;
  std::memcpy(&value, address, sizeof value);
  return value;
}

}  // namespace

uint8_t ReadHostByte(const uint8_t* address) noexcept {
  UnprotectScope scope(const_cast<uint8_t*>(address), 1);
  return *static_cast<const volatile uint8_t*>(address);
}

uint32_t ReadHostDword(uint32_t listed_address) noexcept {
  uint8_t* address = RebaseHostAddress(listed_address);
  UnprotectScope scope(address, 4);
  return LoadDword(address);
}

void WriteHostByte(uint32_t listed_address, uint8_t value) noexcept {
  uint8_t* address = RebaseHostAddress(listed_address);
  UnprotectScope scope(address, 1);
  *static_cast<volatile uint8_t*>(address) = value;
}

void ReadHostBytes(void* destination, const uint8_t* address, uint32_t size, bool unprotect) noexcept {
  if (unprotect && size != 0) {
    UnprotectScope scope(const_cast<uint8_t*>(address), size);
    std::memcpy(destination, address, size);
    return;
  }
  std::memcpy(destination, address, size);
}

void WriteHostBytes(uint8_t* address, const void* source, uint32_t size, bool unprotect) noexcept {
  if (unprotect && size != 0) {
    UnprotectScope scope(address, size);
    std::memcpy(address, source, size);
    return;
  }
  std::memcpy(address, source, size);
}

void* ReadCallTarget(const uint8_t* address) noexcept {
  const uint8_t opcode = ReadHostByte(address);
  if (opcode == 0xE8 || opcode == 0xE9) {
    // E8/E9 xxxxxxxx: CALL/JMP +5+xxxxxxxx
    uint32_t displacement;
    {
      UnprotectScope scope(const_cast<uint8_t*>(address + 1), 4);
      displacement = LoadDword(address + 1);
    }
    return AsPointer(AsAddress(address) + 5 + displacement);
  }
  if (opcode == 0xFF) {
    // FF 15 xxxxxxxx / FF 25 xxxxxxxx: CALL/JMP [xxxxxxxx]
    const uint8_t modrm = ReadHostByte(address + 1);
    if (modrm != 0x15 && modrm != 0x25) return nullptr;
    uint32_t operand;
    {
      UnprotectScope scope(const_cast<uint8_t*>(address + 2), 4);
      operand = LoadDword(address + 2);
    }
    return AsPointer(LoadDword(AsPointer(operand)));
  }
  return nullptr;
}

void* PatchCall(uint8_t* address, const void* target) noexcept {
  void* previous = ReadCallTarget(address);
  {
    UnprotectScope scope(address, 1);
    *address = 0xE8;  // E8 xxxxxxxx: CALL +5+xxxxxxxx
  }
  {
    UnprotectScope scope(address + 1, 4);
    const uint32_t displacement = RelativeDisplacement(AsAddress(address), AsAddress(target));
    std::memcpy(address + 1, &displacement, sizeof displacement);
  }
  return previous;
}

void* PatchCall(uint32_t listed_address, const void* target) noexcept {
  return PatchCall(RebaseHostAddress(listed_address), target);
}

NopOriginalsMap* NopOriginals = nullptr;

void PatchNop(uint32_t listed_address, uint32_t size) {
  if (NopOriginals == nullptr) NopOriginals = new NopOriginalsMap();
  uint8_t* address = RebaseHostAddress(listed_address);
  if (NopOriginals->find(listed_address) == NopOriginals->end()) {
    std::vector<uint8_t> original;
    original.reserve(size);
    for (uint32_t i = 0; i < size; ++i) {
      UnprotectScope scope(address + i, 1);
      original.push_back(address[i]);
    }
    NopOriginals->emplace(listed_address, std::move(original));
  }
  if (size == 0) return;
  UnprotectScope scope(address, size);
  std::memset(address, 0x90, size);  // 90: NOP
}

void ReleaseNopOriginals() noexcept {
  delete NopOriginals;
  NopOriginals = nullptr;
}

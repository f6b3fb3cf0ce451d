// Reading and patching host code. Every access makes exactly the bytes it touches writable for the
// length of that one access and then gives them back their previous protection.
//
// Addresses are unsigned 32-bit host addresses. "Listed" addresses are written for an executable
// loaded at 0x400000 and are rebased here; "actual" addresses are already rebased by the caller.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

// Makes [address, address + size) read/write/execute for its lifetime and restores the previous
// protection at its end, but only if the change succeeded. The guarded access is made either way.
class UnprotectScope {
 public:
  UnprotectScope(void* address, uint32_t size) noexcept;
  ~UnprotectScope();
  UnprotectScope(const UnprotectScope&) = delete;
  UnprotectScope& operator=(const UnprotectScope&) = delete;

  bool succeeded() const noexcept { return succeeded_; }

 private:
  void* address_;
  uint32_t size_;
  uint32_t previous_protection_ = 0;
  bool succeeded_ = false;
};

// E8 xxxxxxxx: CALL +5+xxxxxxxx. The displacement a 5-byte relative CALL or JMP at `site` needs to
// reach `target`.
constexpr uint32_t RelativeDisplacement(uint32_t site, uint32_t target) noexcept {
  return target - (site + 5);
}

uint8_t ReadHostByte(const uint8_t* address) noexcept;               // actual
uint32_t ReadHostDword(uint32_t listed_address) noexcept;              // listed
void WriteHostByte(uint32_t listed_address, uint8_t value) noexcept;  // listed

// Copies `size` bytes; with `unprotect` set and a non-zero size the range is unprotected around it.
void ReadHostBytes(void* destination, const uint8_t* address, uint32_t size, bool unprotect) noexcept;
void WriteHostBytes(uint8_t* address, const void* source, uint32_t size, bool unprotect) noexcept;

// The destination of the CALL / JMP at `address` (E8, E9, FF 15, FF 25), or null for anything else.
void* ReadCallTarget(const uint8_t* address) noexcept;

// Writes a 5-byte CALL of `target` at `address`; returns the destination the instruction had before.
void* PatchCall(uint8_t* address, const void* target) noexcept;                // actual
void* PatchCall(uint32_t listed_address, const void* target) noexcept;          // listed

// Fills `size` bytes at the listed address with 0x90, remembering the first bytes found per address.
void PatchNop(uint32_t listed_address, uint32_t size);

// Original bytes per listed address, as the first PatchNop there found them. Null until the first
// PatchNop; nothing reads it back and nothing is ever written back from it.
using NopOriginalsMap = std::unordered_map<uint32_t, std::vector<uint8_t>>;
extern NopOriginalsMap* NopOriginals;

// Frees NopOriginals without writing anything back; run at unload after every other object.
void ReleaseNopOriginals() noexcept;

// The host's live state that scripts set (clock, timer, camera, vehicles...) and how it is written
// into an image.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "hostsim/image.h"

namespace hostsim {

// One occupied vehicle slot.
struct Vehicle {
  int16_t model = 0;
  std::array<float, 3> position{};
  float health = 1000.0f;
  std::array<float, 9> axes{1, 0, 0, 0, 1, 0, 0, 0, 1};  // A1, A2, A3
};

// The host's vehicle pool, laid out as the game keeps it: a record {first vehicle, slot flags,
// slot count}, vehicles 1500 bytes apart, one flag byte per slot (0x80: free, 0..0x7F: in use).
class VehiclePool {
 public:
  static constexpr uint32_t kVehicleSize = 1500;
  static constexpr uint32_t kAxesOffset = 0x04;  // A1, A2, A3 at 0x04, 0x14, 0x24
  static constexpr uint32_t kPositionOffset = 0x34;
  static constexpr uint32_t kModelOffset = 0x5C;
  static constexpr uint32_t kHealthOffset = 0x204;
  static constexpr uint8_t kFreeFlag = 0x80;
  // Where the pool lies whenever that address is free, so that vehicle addresses repeat from run to
  // run: outside every host image, clear of where programs and libraries are placed, and above the
  // shadow memory that AddressSanitizer keeps at 0x20000000-0x3FFFFFFF in a sanitizer build.
  static constexpr uint32_t kVehiclePoolAddress = 0x48000000;

  VehiclePool() = default;
  ~VehiclePool();
  VehiclePool(const VehiclePool&) = delete;
  VehiclePool& operator=(const VehiclePool&) = delete;

  // A pool of `slots` free slots, or no pool at all.
  void Reset(std::optional<int32_t> slots);
  bool Exists() const { return memory_ != nullptr; }
  int32_t Slots() const { return slots_; }
  void Occupy(int32_t slot, const Vehicle& vehicle);
  void Free(int32_t slot);
  // Address of the pool record (what the host's pool variable holds), 0 without a pool.
  uint32_t Address() const;
  uint8_t* VehicleAt(int32_t slot) const;

 private:
  void Release();
  uint8_t* memory_ = nullptr;  // record, then vehicles, then flags
  std::size_t bytes_ = 0;
  int32_t slots_ = 0;
};

// What the sprite texture pointer shows.
enum class TextureState { kNull = 0, kNoRaster = 1, kValid = 2 };

struct HostState {
  uint8_t scene = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint32_t time_ms = 0;
  float time_step = 1.0f;
  std::array<float, 3> camera_position{0, 0, 0};
  std::array<float, 3> camera_forward{0, 1, 0};
  std::array<float, 3> camera_right{1, 0, 0};
  uint8_t sky_gate = 1;
  TextureState texture = TextureState::kValid;
  VehiclePool pool;
};

// Writes every host variable of `state` into `image` (at the build's addresses where they move).
void WriteState(const HostState& state, HostImage& image);

}  // namespace hostsim

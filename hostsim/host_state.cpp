#include "hostsim/host_state.h"

#include <cstring>

#include "hostsim/os.h"

namespace hostsim {

namespace {

constexpr uint32_t kRecordBytes = 16;

uint32_t Address32(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

}  // namespace

VehiclePool::~VehiclePool() { Release(); }

void VehiclePool::Release() {
  if (memory_ != nullptr) os::FreePages(memory_, bytes_);
  memory_ = nullptr;
  bytes_ = 0;
  slots_ = 0;
}

void VehiclePool::Reset(std::optional<int32_t> slots) {
  Release();
  if (!slots) return;
  slots_ = *slots;
  // A negative slot count is kept in the record for the plugin to see, with no slots behind it.
  const std::size_t usable = slots_ > 0 ? static_cast<std::size_t>(slots_) : 0;
  bytes_ = kRecordBytes + (std::size_t{kVehicleSize} + 1) * usable;
  // Zero-filled pages at one fixed address, so that what the plugin derives from a vehicle's
  // address (its glow ids) is the same on every run and platform.
  memory_ = os::AllocatePages(bytes_, kVehiclePoolAddress);
  uint8_t* vehicles = memory_ + kRecordBytes;
  uint8_t* flags = vehicles + std::size_t{kVehicleSize} * usable;
  std::memset(flags, kFreeFlag, usable);
  const uint32_t record[3] = {Address32(vehicles),  // first vehicle object
                              Address32(flags),     // one flag byte per slot
                              static_cast<uint32_t>(slots_)};
  std::memcpy(memory_, record, sizeof record);
}

uint8_t* VehiclePool::VehicleAt(int32_t slot) const {
  return memory_ + kRecordBytes +
         std::size_t{kVehicleSize} * slot;
}

void VehiclePool::Occupy(int32_t slot, const Vehicle& vehicle) {
  uint8_t* v = VehicleAt(slot);
  std::memcpy(v + kAxesOffset, &vehicle.axes[0], 12);
  std::memcpy(v + kAxesOffset + 0x10, &vehicle.axes[3], 12);
  std::memcpy(v + kAxesOffset + 0x20, &vehicle.axes[6], 12);
  std::memcpy(v + kPositionOffset, vehicle.position.data(), 12);
  std::memcpy(v + kModelOffset, &vehicle.model, 2);
  std::memcpy(v + kHealthOffset, &vehicle.health, 4);
  VehicleAt(slots_)[slot] = static_cast<uint8_t>(slot & 0x7F);  // flags follow the last vehicle
}

void VehiclePool::Free(int32_t slot) { VehicleAt(slots_)[slot] = kFreeFlag; }

uint32_t VehiclePool::Address() const { return memory_ ? Address32(memory_) : 0; }

void WriteState(const HostState& state, HostImage& image) {
  const BuildLayout& layout = image.Layout();
  image.Set(kSceneCode, state.scene);
  image.Set(kClockHour, state.hour);
  image.Set(kClockMinute, state.minute);
  image.Set(layout.time_ms, state.time_ms);
  image.Set(layout.time_step, state.time_step);
  image.Set(kCameraPosition, state.camera_position);
  image.Set(kCameraForward, state.camera_forward);
  image.Set(kCameraRight, state.camera_right);
  image.Set(kSpriteTexture, state.texture == TextureState::kNull ? uint32_t{0} : kTextureObject);
  image.Set(kTextureObject, state.texture == TextureState::kValid ? kRasterHandle : uint32_t{0});
  image.Set(layout.vehicle_pool, state.pool.Address());
}

}  // namespace hostsim

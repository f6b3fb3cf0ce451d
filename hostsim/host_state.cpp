#include "hostsim/host_state.h"

#include <cstring>

namespace hostsim {

namespace {

constexpr uint32_t kRecordBytes = 16;

uint32_t Address32(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

}  // namespace

void VehiclePool::Reset(std::optional<int32_t> slots) {
  memory_.reset();
  slots_ = 0;
  if (!slots) return;
  slots_ = *slots;
  const std::size_t bytes = kRecordBytes + std::size_t{kVehicleSize} * slots_ + slots_;
  memory_ = std::make_unique<uint32_t[]>((bytes + 3) / 4);  // zero-filled
  auto* base = reinterpret_cast<uint8_t*>(memory_.get());
  uint8_t* vehicles = base + kRecordBytes;
  uint8_t* flags = vehicles + std::size_t{kVehicleSize} * slots_;
  std::memset(flags, kFreeFlag, slots_);
  memory_[0] = Address32(vehicles);  // first vehicle object
  memory_[1] = Address32(flags);     // one flag byte per slot
  memory_[2] = static_cast<uint32_t>(slots_);
}

uint8_t* VehiclePool::VehicleAt(int32_t slot) const {
  return reinterpret_cast<uint8_t*>(memory_.get()) + kRecordBytes +
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

uint32_t VehiclePool::Address() const { return memory_ ? Address32(memory_.get()) : 0; }

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

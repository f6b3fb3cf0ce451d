// The restorable patch: it owns the bytes it replaced and puts them back on restore or at the end of
// its life. Copying is impossible, since a copy would put the bytes back twice.
#pragma once

#include <cstdint>

#include "injector/patching.h"

namespace injector {

class scoped_base {
 public:
  scoped_base() = default;
  scoped_base(const scoped_base&) = delete;
  scoped_base& operator=(const scoped_base&) = delete;
  virtual ~scoped_base() = default;
  virtual void restore() = 0;
};

// Saves up to `bufsize` bytes at an actual address and writes them back on restore.
template <uint32_t bufsize>
class scoped_basic : public scoped_base {
 public:
  scoped_basic() = default;
  ~scoped_basic() override { restore_bytes(); }

  // Puts the saved bytes back, if any are held.
  void restore() override { restore_bytes(); }

  // Puts back what is held, then saves `size` bytes at `address`. A size above the capacity saves
  // nothing: refusing is safer inside the host than ending its process.
  virtual void save(uint8_t* address, uint32_t size, bool unprotect) {
    if (size > bufsize) return;
    restore_bytes();
    address_ = address;
    size_ = size;
    unprotect_ = unprotect;
    saved_ = true;
    ReadHostBytes(buffer_, address, size, unprotect);
  }

  bool has_saved() const noexcept { return saved_; }
  uint8_t* address() const noexcept { return address_; }

 private:
  // Non-virtual, so the destructor can use it.
  void restore_bytes() noexcept {
    if (!saved_) return;
    WriteHostBytes(address_, buffer_, size_, unprotect_);
    saved_ = false;
  }

  uint8_t buffer_[bufsize] = {};
  uint8_t* address_ = nullptr;
  uint32_t size_ = 0;
  bool saved_ = false;
  bool unprotect_ = false;
};

// The restorable patch of one 5-byte CALL site: save its bytes, then PatchCall over them.
class scoped_call : public scoped_basic<5> {};

}  // namespace injector

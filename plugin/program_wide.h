// Owner of a program-wide feature container: creates it where its owner is constructed and
// destroys it when the owner is, so the container's place in the load and unload order is the
// owner's place.
#pragma once

template <typename T>
class ProgramWide {
 public:
  explicit ProgramWide(T*& slot) : slot_(slot) { slot_ = new T(); }
  ~ProgramWide() {
    delete slot_;
    slot_ = nullptr;
  }
  ProgramWide(const ProgramWide&) = delete;
  ProgramWide& operator=(const ProgramWide&) = delete;

 private:
  T*& slot_;
};

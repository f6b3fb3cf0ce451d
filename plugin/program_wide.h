// The program-wide objects of the plugin's start-up: the owner of a feature container, and a list
// of objects that are constructed in their order and destroyed in reverse.
#pragma once

// Owner of the program-wide container that `Slot` points to: creates it where the owner is
// constructed and destroys it when the owner is, so the container's place in the load and unload
// order is the owner's place.
template <typename T, T*& Slot>
class ProgramWide {
 public:
  ProgramWide() { Slot = new T(); }
  ~ProgramWide() {
    delete Slot;
    Slot = nullptr;
  }
  ProgramWide(const ProgramWide&) = delete;
  ProgramWide& operator=(const ProgramWide&) = delete;
};

// One object of each of `Objects`, constructed in the order they are listed and destroyed in the
// reverse order (unlike the elements of a std::tuple, whose order is not fixed).
template <typename... Objects>
struct InOrder {};

template <typename First, typename... Rest>
struct InOrder<First, Rest...> {
  First first;
  InOrder<Rest...> rest;
};

// The last-resort guard of every function the host calls (event dispatchers and the sprite and glow
// hooks): nothing thrown below it may unwind into the host's code, which would end the game.
#pragma once

#include <utility>

namespace platform {

// Runs `body` and returns its result; if it throws, swallows the exception and returns `fallback`.
template <typename R, typename Body>
R GuardHostCall(R fallback, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return fallback;
  }
}

// The same for bodies that return nothing.
template <typename Body>
void GuardHostCall(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

// Runs work inside the plugin whose failure leaves things as they were (a loader's read of the file
// that runs out of memory keeps the defaults): what it throws goes no further.
template <typename Body>
void IgnoreFailure(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

}  // namespace platform

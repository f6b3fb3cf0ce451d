// The last-resort guard of every function the host calls (event dispatchers and the sprite and glow
// hooks): nothing thrown below it may unwind into the host's code, which would end the game.
#pragma once

#include <utility>

namespace plugin {

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

}  // namespace plugin

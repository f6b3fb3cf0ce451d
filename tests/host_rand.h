// The host runtime's random generator, written out independently of the plugin's platform code:
// state * 214013 + 2531011, bits 16 to 30 of the new state. Counts its draws.
#pragma once

#include <cstdint>

struct HostRand {
  uint32_t state = 1;
  int draws = 0;
  int Next() {
    ++draws;
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

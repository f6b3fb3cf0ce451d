// A well-behaved test plugin: at load it redirects the host's moon sprite call (unprotecting the
// page and giving it back its protection), and at unload it puts the original bytes back. Its hook
// passes the host's arguments on to the host sprite routine at its fixed address, with the size
// doubled and, in place of the integer argument, 1 when the stack was 16-byte aligned at the call.
#include <dlfcn.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr uint32_t kMoonSite = 0x53FEF9;
constexpr uintptr_t kDrawSprite = 0x576FE0;

using Sprite = void (*)(float, float, float, float, float, uint8_t, uint8_t, uint8_t, int32_t,
                        float, uint8_t);

uint8_t* Site() {
  auto* base = *static_cast<uint8_t**>(dlsym(RTLD_DEFAULT, "nightglass_host_image_base"));
  return base + (kMoonSite - 0x400000);
}

void WriteCode(uint8_t* at, const uint8_t* bytes) {
  auto* page = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(at) & ~uintptr_t{0xFFF});
  mprotect(page, 0x2000, PROT_READ | PROT_WRITE | PROT_EXEC);
  std::memcpy(at, bytes, 5);
  mprotect(page, 0x2000, PROT_READ | PROT_EXEC);
}

void MoonHook(float x, float y, float z, float w, float h, uint8_t r, uint8_t g, uint8_t b, int32_t,
              float rz, uint8_t a) {
  // The first argument lies where the stack pointer was just before the host's CALL.
  const int32_t aligned = reinterpret_cast<uintptr_t>(&x) % 16 == 0 ? 1 : 0;
  reinterpret_cast<Sprite>(kDrawSprite)(x, y, z, 2 * w, 2 * h, r, g, b, aligned, rz, a);
}

struct MoonRedirect {
  uint8_t original[5];
  MoonRedirect() {
    uint8_t* site = Site();
    std::memcpy(original, site, 5);
    const auto rel = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&MoonHook) -
                                           (reinterpret_cast<uintptr_t>(site) + 5));
    // E8 xxxxxxxx: CALL +5+xxxxxxxx
    const uint8_t call[5] = {0xE8, static_cast<uint8_t>(rel), static_cast<uint8_t>(rel >> 8),
                             static_cast<uint8_t>(rel >> 16), static_cast<uint8_t>(rel >> 24)};
    WriteCode(site, call);
  }
  ~MoonRedirect() { WriteCode(Site(), original); }
} moon_redirect;

}  // namespace

// What the fuzz targets share: a game folder of their own, in which each input is written as the
// settings file, and a check that ends the run with a message when a property does not hold (the
// fuzzer then keeps the input as a crash).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// A fresh temporary folder, entered for the rest of the run and removed with its settings file at
// exit. The plugin looks for "Nightglass.ini" in the current folder first.
inline void EnterGameFolder() {
  static std::string folder;
  const char* tmp = std::getenv("TMPDIR");
  folder = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/nightglass-fuzz-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) {
    std::perror("cannot make the fuzzer's game folder");
    std::abort();
  }
  std::atexit([] {
    std::remove((folder + "/Nightglass.ini").c_str());
    rmdir(folder.c_str());
  });
}

// Writes `text` as the settings file of the current folder.
inline void WriteSettingsFile(std::string_view text) {
  std::FILE* file = std::fopen("Nightglass.ini", "wb");
  if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
      std::fclose(file) != 0) {
    std::perror("cannot write the settings file");
    std::abort();
  }
}

// Ends the run when `property` does not hold; the fuzzer reports it like a crash.
inline void Require(bool property, const char* what) {
  if (property) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

}  // namespace fuzz

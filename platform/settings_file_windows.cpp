#include <share.h>

#include "platform/settings_file.h"

const std::array<const char*, 3> kSettingsFilePaths = {
    "Nightglass.ini", "plugins\\Nightglass.ini", "scripts\\Nightglass.ini"};

std::FILE* OpenSharedForReading(const char* path) noexcept {
  // Binary mode: the reader handles CR LF and Ctrl-Z itself, the same way on every platform.
  return _fsopen(path, "rb", _SH_DENYNO);
}

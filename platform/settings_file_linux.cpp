#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/settings_file.h"

const std::array<const char*, 3> kSettingsFilePaths = {
    "Nightglass.ini", "plugins/Nightglass.ini", "scripts/Nightglass.ini"};

std::FILE* OpenSharedForReading(const char* path) noexcept {
  // Non-blocking, so that a FIFO of that name cannot stall the start-up; only regular files
  // count, so that a directory or a device is passed over as the host platform does.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

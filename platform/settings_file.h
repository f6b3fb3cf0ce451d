// The operating system's part of finding and opening the settings file.
#pragma once

#include <array>
#include <cstdio>

// Where the settings file is looked for, in order, relative to the current directory, written
// with the platform's path separator.
extern const std::array<const char*, 3> kSettingsFilePaths;

// Opens `path` for binary reading without locking other readers or writers out. Returns nullptr
// unless it names a regular file that opened.
std::FILE* OpenSharedForReading(const char* path) noexcept;

// What the emulator needs from the operating system, in one place: the host image's memory and its
// page protection, executable memory for the site thunks, loading the plugin, the crash handler,
// the standard streams and directories. os_linux.cpp and os_windows.cpp implement it; the rest of
// the emulator is the same code on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "hostsim/text_stream.h"

namespace hostsim::os {

// Whether a host image can be laid out elsewhere than at 0x400000 (not on Windows, where the
// image is the emulator's own executable).
bool ImageCanMove();

// The plugin's file name, looked for beside the emulator when no path is given.
const char* DefaultPluginName();

// The memory of one host image: `size` bytes at `start`, read+write. Only the part from `owned` on
// belongs to the image; before it (on Windows) lie the emulator's own header, code and data.
struct ImageMemory {
  uint8_t* start;
  uint8_t* owned;
};
// Takes the range for an image at `base`; throws std::runtime_error when it cannot (range in use,
// base not possible here).
ImageMemory AcquireImage(uint32_t base, uint32_t size);
void ReleaseImage(const ImageMemory& memory, uint32_t size);

// Protection of the page holding `address` as "r-x" style text, "---" when nothing is mapped there.
std::string ProtectionOf(const void* address);
// Gives the pages covering `size` bytes at `address` the protection `text` ("r-x" style).
void SetProtection(void* address, std::size_t size, std::string_view text);

// Zero-filled read+write pages outside the image (for machine code, made executable with
// SetProtection, and for the vehicle pool), at `preferred` when that range is free and `preferred`
// is not 0, anywhere else otherwise; throws std::runtime_error.
uint8_t* AllocatePages(std::size_t size, uint32_t preferred = 0);
void FreePages(uint8_t* pages, std::size_t size);

// Loads the plugin as the host loads its libraries; nullptr and the reason in `error` on failure.
void* LoadPlugin(const std::string& path, std::string* error);
void UnloadPlugin(void* plugin);

// Calls `report` with the name of the fault when the process faults (invalid memory access,
// illegal instruction, ...); `report` must not return. Safe to use from the report: WriteError and
// ExitNow.
void InstallCrashHandler(void (*report)(const char* fault));
void WriteError(const char* text);
[[noreturn]] void ExitNow(int status);

// The standard streams, and a text file to read (nullptr when it cannot be opened).
TextIn& StandardInput();
TextOut& StandardOutput();
TextOut& StandardError();
std::unique_ptr<TextIn> OpenText(const std::string& path);
// Makes standard output write exactly the bytes given (no line-ending translation).
void UseBinaryOutput();

// The current directory, empty when it cannot be read; entering another, false on failure.
std::string CurrentDirectory();
bool ChangeDirectory(const std::string& dir);
// The folder of the running emulator, with a trailing separator.
std::string ProgramFolder();
// `path` made absolute against the current directory (it need not exist).
std::string AbsolutePath(const std::string& path);

}  // namespace hostsim::os

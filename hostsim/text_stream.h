// The text streams the emulator reads scripts from and writes traces and messages to. On Linux they
// are the standard streams, so tests can hand in string streams. On Windows the emulator's own
// code must stay small, since it lies below the host image in the same executable, and the
// standard streams would bring in the whole locale machinery of the C++ runtime: there they are
// thin stand-ins over C stdio with the few operations the emulator uses.
#pragma once

#include <string>

#if defined(_WIN32)
#include <cstdio>
#include <string_view>
#else
#include <istream>
#include <ostream>
#endif

namespace hostsim {

#if defined(_WIN32)

class TextOut {
 public:
  explicit TextOut(std::FILE* file) : file_(file) {}
  TextOut& operator<<(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file_);
    return *this;
  }
  TextOut& operator<<(const char* text) { return *this << std::string_view(text); }
  TextOut& operator<<(char c) {
    std::fputc(c, file_);
    return *this;
  }
  TextOut& operator<<(int value) {
    std::fprintf(file_, "%d", value);
    return *this;
  }
  TextOut& flush() {
    std::fflush(file_);
    return *this;
  }

 private:
  std::FILE* file_;
};

class TextIn {
 public:
  explicit TextIn(std::FILE* file) : file_(file) {}
  ~TextIn() {
    if (file_ != nullptr && file_ != stdin) std::fclose(file_);
  }
  TextIn(const TextIn&) = delete;
  TextIn& operator=(const TextIn&) = delete;
  std::FILE* File() const { return file_; }

 private:
  std::FILE* file_;
};

// Reads the next line without its line end into `line`; false at the end of the input.
inline bool ReadLine(TextIn& in, std::string& line) {
  line.clear();
  if (in.File() == nullptr) return false;
  int c = 0;
  while ((c = std::fgetc(in.File())) != EOF && c != '\n') line += static_cast<char>(c);
  return c == '\n' || !line.empty();
}

#else

using TextOut = std::ostream;
using TextIn = std::istream;

// Reads the next line without its line end into `line`; false at the end of the input.
inline bool ReadLine(TextIn& in, std::string& line) {
  return static_cast<bool>(std::getline(in, line));
}

#endif

}  // namespace hostsim

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tools/preview/child.h"

extern char** environ;

namespace preview {

namespace {

std::string ReadAndRemove(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  unlink(path.c_str());
  return text;
}

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& temp_folder, const std::string& out_file) {
  ChildResult result;
  static int counter = 0;
  const std::string stem = temp_folder + "/nightglass-preview-" + std::to_string(getpid()) + "-" +
                           std::to_string(++counter);
  const std::string out_path = out_file.empty() ? stem + ".out" : out_file;
  const std::string err_path = stem + ".err";
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    result.failure = std::strerror(error);
    unlink(out_path.c_str());
    unlink(err_path.c_str());
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (out_file.empty()) result.out = ReadAndRemove(out_path);
  result.err = ReadAndRemove(err_path);
  // glibc reports a failed exec as exit status 127 from the child.
  result.started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127 && result.out.empty());
  if (!result.started) {
    result.failure = "it could not be run";
  } else if (WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.failure = std::string("it was ended by signal ") + strsignal(WTERMSIG(status));
  }
  return result;
}

std::string ProgramFolder() {
  char path[4096];
  const ssize_t size = readlink("/proc/self/exe", path, sizeof path - 1);
  if (size <= 0) return "./";
  const std::string text(path, static_cast<std::size_t>(size));
  return text.substr(0, text.rfind('/') + 1);
}

const char* ProgramSuffix() { return ""; }
const char* PluginName() { return "Nightglass.so"; }
unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace preview

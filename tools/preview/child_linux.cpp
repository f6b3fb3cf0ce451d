#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "tools/preview/child.h"

extern char** environ;

namespace preview {

namespace {

// The signals that ask the program to end: Ctrl-C, the terminal closing, a request to end.
sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

// A child starts with every signal unblocked and at its default, whatever this program does with
// them (the workbench blocks the ending signals for its own threads and ignores SIGPIPE).
void ChildSignals(posix_spawnattr_t* attributes) {
  posix_spawnattr_init(attributes);
  sigset_t none, defaults = EndSignals();
  sigemptyset(&none);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(attributes, &none);
  posix_spawnattr_setsigdefault(attributes, &defaults);
  posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

std::mutex end_mutex;
std::function<void()> end_request;

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
  posix_spawnattr_t attributes;
  ChildSignals(&attributes);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
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

void OnEndRequest(std::function<void()> on_end) {
  {
    std::lock_guard<std::mutex> lock(end_mutex);
    end_request = std::move(on_end);
  }
  // The signals are blocked here and in every thread started after, and taken by one thread that
  // waits for them, so that ending runs as ordinary code rather than in a signal handler.
  const sigset_t set = EndSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A browser that goes away mid-answer must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  std::thread([set] {
    for (;;) {
      int signal = 0;
      if (sigwait(&set, &signal) != 0) continue;
      std::lock_guard<std::mutex> lock(end_mutex);
      if (end_request) {
        end_request();
      } else {
        _exit(128 + signal);
      }
    }
  }).detach();
}

void EndRequestDone() {
  std::lock_guard<std::mutex> lock(end_mutex);
  end_request = nullptr;
}

bool OpenInBrowser(const std::string& url, std::string* why) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  ChildSignals(&attributes);
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, "xdg-open", &actions, &attributes,
                                 const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    *why = error == ENOENT ? "there is no xdg-open here" : std::strerror(error);
    return false;
  }
  // Some browsers keep xdg-open waiting as long as they run: it is waited for on the side.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace preview

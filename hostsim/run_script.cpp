// Runs a checked script against the emulated host, a command at a time through its entry in the
// table of commands.
#include <memory>
#include <stdexcept>

#include "hostsim/commands.h"
#include "hostsim/crash.h"
#include "hostsim/hostsim.h"
#include "hostsim/os.h"

namespace hostsim {

Session::Session(TextOut& trace, const Options& options)
    : out(trace), options(options), host(100, options.base, &trace) {}

Session::~Session() {
  if (plugin != nullptr) os::UnloadPlugin(plugin);
}

void Session::RunEvent(const char* name, uint32_t site) {
  Print(JsonLine().Str("ev", name));
  const uint32_t result = host.CallSite(site, {});
  Print(JsonLine().Str("ev", "return").Int("value", result));
}

uint32_t Session::PointTo(std::array<float, 3> position) {
  point = position;
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(point.data()));
}

namespace {

// Enters `dir` for the lifetime of the object and returns to the previous directory after.
class DirectoryScope {
 public:
  explicit DirectoryScope(const std::string& dir) {
    if (dir.empty()) return;
    previous_ = os::CurrentDirectory();
    if (previous_.empty()) throw std::runtime_error("cannot read the current directory");
    if (!os::ChangeDirectory(dir)) throw std::runtime_error("cannot enter directory " + dir);
  }
  ~DirectoryScope() {
    // Nothing sensible is left to do when this fails: the run is over.
    if (!previous_.empty()) os::ChangeDirectory(previous_);
  }

 private:
  std::string previous_;
};

}  // namespace

int RunScript(TextIn& script, TextOut& out, TextOut& err, const Options& options) {
  std::vector<Command> commands;
  ScriptError error;
  if (!ParseScript(script, &commands, &error)) {
    err << "line " << error.line << ": " << error.message << '\n';
    return kExitMalformed;
  }
  std::unique_ptr<DirectoryScope> directory;
  try {
    directory = std::make_unique<DirectoryScope>(options.dir);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return kExitMalformed;
  }
  std::unique_ptr<Session> session;
  try {
    session = std::make_unique<Session>(out, options);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return kExitFailure;
  }
  for (const Command& command : commands) {
    SetCrashContext(command.line, command.name);
    try {
      command.entry->run(*session, command);
      session->host.ApplyState();
    } catch (const std::exception& e) {
      err << "line " << command.line << ": " << e.what() << '\n';
      return kExitFailure;
    }
  }
  SetCrashContext(commands.empty() ? 0 : commands.back().line, "unload at the end of the script");
  session.reset();
  return kExitOk;
}

}  // namespace hostsim

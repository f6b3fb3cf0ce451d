#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>

#include "tools/preview/child.h"

namespace preview {

namespace {

// One argument quoted so that the child's command-line parser gives it back unchanged.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

HANDLE Inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                     disposition, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::string ReadAndRemove(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  DeleteFileA(path.c_str());
  return text;
}

std::string LastError() {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, text, sizeof text, nullptr);
  std::string message = text;
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(GetLastError()) : message;
}

std::mutex end_mutex;
std::function<void()> end_request;
HANDLE end_done = nullptr;

// Runs on a thread of the system's for each console event. After a close, logoff or shutdown
// event the system ends the program once this returns, so it returns only when the program has
// cleaned up (or after 4 s, within the system's own 5 s).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  {
    std::lock_guard<std::mutex> lock(end_mutex);
    if (!end_request) return FALSE;  // done already: the default, ending the program
    end_request();
  }
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    WaitForSingleObject(end_done, 4000);
  return TRUE;
}

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& temp_folder, const std::string& out_file) {
  ChildResult result;
  static int counter = 0;
  const std::string stem = temp_folder + "\\nightglass-preview-" +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  const std::string out_path = out_file.empty() ? stem + ".out" : out_file;
  const std::string err_path = stem + ".err";
  std::string command_line = Quote(program);
  for (const std::string& arg : args) command_line += " " + Quote(arg);

  HANDLE in = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = Inheritable(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = Inheritable(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                       CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, nullptr, &startup, &process);
  if (!started) result.failure = LastError();
  for (HANDLE handle : {in, out, err})
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (started) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.started = true;
    result.status = static_cast<int>(code);
  }
  if (out_file.empty()) result.out = ReadAndRemove(out_path);
  result.err = ReadAndRemove(err_path);
  return result;
}

std::string ProgramFolder() {
  char path[MAX_PATH * 4];
  const DWORD size = GetModuleFileNameA(nullptr, path, sizeof path);
  if (size == 0 || size >= sizeof path) return ".\\";
  const std::string text(path, size);
  return text.substr(0, text.find_last_of("\\/") + 1);
}

const char* ProgramSuffix() { return ".exe"; }
const char* PluginName() { return "Nightglass.dll"; }
unsigned long ProcessId() { return GetCurrentProcessId(); }

void OnEndRequest(std::function<void()> on_end) {
  std::lock_guard<std::mutex> lock(end_mutex);
  end_request = std::move(on_end);
  if (end_done == nullptr) end_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void EndRequestDone() {
  {
    std::lock_guard<std::mutex> lock(end_mutex);
    end_request = nullptr;
  }
  if (end_done != nullptr) SetEvent(end_done);
}

bool OpenInBrowser(const std::string& url, std::string* why) {
  // The shell opens an address with the default browser; some handlers it hands the address to
  // need COM on the calling thread. It answers a number above 32 when it did.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result > 32) return true;
  *why = "the shell could not open it: " + LastError();
  return false;
}

}  // namespace preview

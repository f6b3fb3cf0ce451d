// What the checker tells about a settings file: findings at its lines, like a compiler's.
#pragma once

#include <string>
#include <vector>

#include "tools/check/file_lines.h"
#include "tools/check/loader_runs.h"

enum class Severity {
  kError,    // the line does not do what it says
  kWarning,  // the line does something other than it seems to
  kNote,     // more about a finding, or something done on purpose
};

struct Finding {
  int line = 0;
  Severity severity = Severity::kError;
  std::string code;  // a short stable name of the kind of finding, for scripts
  std::string key;   // the key the finding is about, when there is one
  std::string message;
};

// Everything worth telling about the file, in line order.
std::vector<Finding> CheckSettingsFile(const FileLines& lines, const LoaderRuns& runs);

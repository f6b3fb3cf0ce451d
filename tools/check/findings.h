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
  // The plugin's own text of the conversion error the finding tells of ("invalid stoi argument"),
  // for tools; empty when there is none. The message says it in words for modders.
  std::string error;
  // What the finding is about has no effect: deleting the line (or the lines from `line` to
  // `last_line`) leaves everything the plugin does as it was.
  bool no_effect = false;
  // The last line the finding is about, when that is more than its own line (a section, from its
  // header on); 0 otherwise.
  int last_line = 0;
};

// Everything worth telling about the file, in line order, at most one finding per line: what
// every loader that reads the line does with it.
std::vector<Finding> CheckSettingsFile(const FileLines& lines, const LoaderRuns& runs);

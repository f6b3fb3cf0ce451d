// The findings written out: for people like a compiler's messages, for editors and scripts as JSON
// lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/check/findings.h"

// "FILE:LINE: SEVERITY: MESSAGE" lines, then a count of the findings.
void WriteText(std::FILE* out, const std::string& file, const std::vector<Finding>& findings);

// One JSON object per finding and line:
// {"file":..,"line":..,"severity":..,"code":..,"key":..,"error":..,"no_effect":true,"last_line":..,
//  "message":..}, with "key", "error", "no_effect" and "last_line" only when the finding has them.
void WriteJsonLines(std::FILE* out, const std::string& file, const std::vector<Finding>& findings);

// 1 when a finding says that the file does not do what it says (an error or a warning), else 0.
int ExitCodeFor(const std::vector<Finding>& findings);

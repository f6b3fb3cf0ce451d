#include "tools/check/report.h"

#include <array>

#include "tools/check/text.h"

namespace {

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNote:
      return "note";
  }
  return "note";
}

// A JSON string of text that Printable or Quoted made: UTF-8 without control characters.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Plural(size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

void WriteText(std::FILE* out, const std::string& file, const std::vector<Finding>& findings) {
  const std::string name = Printable(file);
  std::array<size_t, 3> counts{};
  for (const Finding& finding : findings) {
    ++counts[static_cast<size_t>(finding.severity)];
    std::fprintf(out, "%s:%d: %s: %s\n", name.c_str(), finding.line, SeverityName(finding.severity),
                 finding.message.c_str());
  }
  if (findings.empty()) {
    std::fprintf(out, "%s: no findings\n", name.c_str());
  } else {
    std::fprintf(out, "%s: %s, %s, %s\n", name.c_str(), Plural(counts[0], "error").c_str(),
                 Plural(counts[1], "warning").c_str(), Plural(counts[2], "note").c_str());
  }
}

void WriteJsonLines(std::FILE* out, const std::string& file, const std::vector<Finding>& findings) {
  const std::string name = JsonString(Printable(file));
  for (const Finding& finding : findings) {
    std::string line = "{\"file\":" + name + ",\"line\":" + std::to_string(finding.line) +
                       ",\"severity\":\"" + SeverityName(finding.severity) + "\",\"code\":\"" +
                       finding.code + "\"";
    if (!finding.key.empty()) line += ",\"key\":" + JsonString(Printable(finding.key));
    if (!finding.error.empty()) line += ",\"error\":" + JsonString(finding.error);
    if (finding.no_effect) line += ",\"no_effect\":true";
    if (finding.last_line != 0) line += ",\"last_line\":" + std::to_string(finding.last_line);
    line += ",\"message\":" + JsonString(finding.message) + "}\n";
    std::fputs(line.c_str(), out);
  }
}

int ExitCodeFor(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    if (finding.severity != Severity::kNote) return 1;
  }
  return 0;
}

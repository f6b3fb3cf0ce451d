// Arbitrary bytes never crash the checker: random files, and the fixtures with random damage, each
// run through the whole check and both kinds of output. Also checks what every run prints: findings
// at lines of the file, text that is UTF-8 without control characters, one JSON object per line.
// Usage: check_fuzz FIXTURES_DIR [ROUNDS]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/check/file_lines.h"
#include "tools/check/findings.h"
#include "tools/check/loader_runs.h"
#include "tools/check/report.h"

namespace {

namespace fs = std::filesystem;

// Pieces that reach deep into the grammar and the loaders, among plain random bytes.
const std::vector<std::string> kPieces = {
    "\n", "\r\n", "\r", "=", "[", "]", ";", " ", "\t", ",", "-", "0", "7", "-1", "1e39", "nan",
    "\x1a", std::string(1, '\0'), "\xEF\xBB\xBF", "\xC3\xA9", "\xFF", "\xE2\x82", "[ShootingStars]\n",
    "[RStarLogo]\n", "[MoonSettings]\n", "[Veh_Taxi]\n", "[Veh_off]\n", "Model = ", "NumStars = ",
    "MinHour = ", "StarFadeInEnable = ", "Moon_Color = ", "LeftLight_Offset = ", "3-CustomLight_",
    "x-CustomLight_Size = ", "ZTestEnable = ", "255,0,0", "1 2", "Speed = fast",
};

std::string RandomText(std::mt19937& random) {
  std::string text;
  const size_t pieces = random() % 200;
  for (size_t i = 0; i < pieces; ++i) {
    if (random() % 3 == 0) {
      text += static_cast<char>(random() % 256);
    } else {
      text += kPieces[random() % kPieces.size()];
    }
  }
  return text;
}

// `text` with a few bytes replaced, inserted or removed.
std::string Damaged(std::string text, std::mt19937& random) {
  const int changes = 1 + static_cast<int>(random() % 8);
  for (int i = 0; i < changes; ++i) {
    const size_t at = text.empty() ? 0 : random() % text.size();
    switch (random() % 3) {
      case 0:
        if (!text.empty()) text[at] = static_cast<char>(random() % 256);
        break;
      case 1:
        text.insert(at, kPieces[random() % kPieces.size()]);
        break;
      default:
        if (!text.empty()) text.erase(at, 1 + random() % 8);
    }
  }
  return text;
}

bool IsCleanUtf8Line(const std::string& line) {
  for (size_t pos = 0; pos < line.size();) {
    const auto lead = static_cast<unsigned char>(line[pos]);
    if (lead < 0x20 || lead == 0x7F) return false;
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || pos + length > line.size()) return false;
    for (size_t i = 1; i < length; ++i) {
      if ((static_cast<unsigned char>(line[pos + i]) & 0xC0) != 0x80) return false;
    }
    pos += length;
  }
  return true;
}

// What `write` prints, line by line.
template <typename Write>
std::vector<std::string> Printed(Write&& write) {
  std::FILE* out = std::tmpfile();
  write(out);
  std::rewind(out);
  std::vector<std::string> lines(1);
  for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += static_cast<char>(c);
    }
  }
  std::fclose(out);
  lines.pop_back();  // after the last line end
  return lines;
}

// Checks one file; returns what is wrong with the outcome, or nothing.
std::string CheckOne(const std::string& bytes, const fs::path& file) {
  std::ofstream(file, std::ios::binary) << bytes;
  const std::string path = file.string();
  FileLines lines;
  if (!ReadFileLines(path.c_str(), lines)) return "the file did not open";
  const std::vector<Finding> findings = CheckSettingsFile(lines, RunLoaders(path.c_str(), lines));
  for (const Finding& finding : findings) {
    if (finding.line < 1 || finding.line > static_cast<int>(lines.lines.size())) return "a finding off the file";
  }
  for (const std::string& line : Printed([&](std::FILE* out) { WriteText(out, path, findings); })) {
    if (!IsCleanUtf8Line(line)) return "text output that is not clean UTF-8: " + line;
  }
  const std::vector<std::string> json = Printed([&](std::FILE* out) { WriteJsonLines(out, path, findings); });
  if (json.size() != findings.size()) return "not one JSON line per finding";
  for (const std::string& line : json) {
    if (!IsCleanUtf8Line(line) || !line.starts_with("{\"file\":") || !line.ends_with("\"}")) {
      return "a JSON line out of shape: " + line;
    }
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: check_fuzz FIXTURES_DIR [ROUNDS]\n", stderr);
    return 2;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 1000;
  std::vector<std::string> fixtures;
  for (const auto& entry : fs::directory_iterator(argv[1])) {
    if (entry.path().extension() != ".ini") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    fixtures.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (fixtures.empty()) {
    std::fputs("check_fuzz: no fixtures\n", stderr);
    return 2;
  }

  const fs::path file = fs::temp_directory_path() / ("nightglass-check-fuzz-" + std::to_string(getpid()) + ".ini");
  std::mt19937 random(20240611);
  int failed = 0;
  // A line far longer than the reader's chunks, once.
  std::vector<std::string> inputs = {std::string(200000, 'x') + "=" + std::string(70000, '1')};
  for (int round = 0; round < rounds; ++round) {
    inputs.push_back(RandomText(random));
    inputs.push_back(Damaged(fixtures[random() % fixtures.size()], random));
  }
  for (const std::string& input : inputs) {
    if (const std::string problem = CheckOne(input, file); !problem.empty()) {
      std::printf("FAILED on an input of %zu bytes: %s\n", input.size(), problem.c_str());
      ++failed;
    }
  }
  fs::remove(file);
  std::printf("%zu inputs checked, %d failed\n", inputs.size(), failed);
  return failed == 0 ? 0 : 1;
}

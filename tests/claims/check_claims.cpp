// check_claims: holds what nightglass-check claims against what the plugin does in the emulated
// host, over a scene in which every feature shows (scene.h).
//
// Claims of no effect: in the example settings file, in the example with its switches on, and in
// damaged variants of the example (damage.h), every line that a finding calls without effect is
// deleted (a section with its header), and the host's trace of the scene must stay byte for byte
// what it was with the line. Claims of effect: in the example with its switches on, which the
// checker finds clean, every line that it calls effective is changed, and the trace must change,
// except for the lines listed below, which the scene cannot show.
//
// Usage: check_claims --hostsim PATH --plugin PATH --example PATH [--variants N] [--seed S]
//                     [--fixtures DIR] [--only V] [--keep DIR] [--print-scene] [--print-lit]
//   --fixtures DIR the claims of no effect also in every DIR/*.ini (the checker's fixtures)
//   --variants N   damaged variants to check (default 12); --seed S their first seed (default 1)
//   --only V       only variant V (its seed), to look into one
//   --keep DIR     write each file whose claim fails to DIR
// Exit code: 0 every claim held, 1 a claim failed, 2 a bad command line or no emulator run.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "settings/line_splitter.h"
#include "tests/claims/damage.h"
#include "tests/claims/scene.h"
#include "tools/check/file_lines.h"
#include "tools/check/findings.h"
#include "tools/check/loader_runs.h"
#include "tools/check/report.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using claims::JoinLines;
using claims::SplitLines;

// The lines of the example with its switches on that the scene cannot show a change of, and why.
const std::map<std::string, std::string> kCannotShow = {};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The longest trace the test waits for: a hundred times the scene's trace with the example.
constexpr rlim_t kTraceLimit = 32 << 20;

// The emulated host running the scene on one settings file at a time, as a child process.
class Emulator {
 public:
  Emulator(std::string hostsim, std::string plugin, const fs::path& folder)
      : hostsim_(std::move(hostsim)), plugin_(std::move(plugin)), folder_(folder) {
    fs::create_directories(folder_ / "game");
    WriteFile(folder_ / "scene.script", claims::SceneScript());
  }

  // The settings file that the checker and the emulator read.
  fs::path SettingsPath() const { return folder_ / "game" / "Nightglass.ini"; }

  // The trace of the scene with `settings` as the settings file; false when the emulator did not
  // run the scene to its end (then `trace` holds why, and `too_long` whether the trace outgrew
  // kTraceLimit: a file of millions of stars makes a trace the test does not wait for).
  bool Run(const std::string& settings, std::string& trace, bool* too_long = nullptr) {
    ++runs;
    WriteFile(SettingsPath(), settings);
    const std::string out = (folder_ / "trace").string(), err = (folder_ / "errors").string();
    const std::string dir = (folder_ / "game").string(),
                      script = (folder_ / "scene.script").string();
    std::vector<std::string> args = {hostsim_, "--plugin", plugin_, "--dir", dir, script};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      const rlimit limit{kTraceLimit, kTraceLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      const int in = open("/dev/null", O_RDONLY);
      const int to = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int errors = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (in < 0 || to < 0 || errors < 0 || dup2(in, 0) < 0 || dup2(to, 1) < 0 ||
          dup2(errors, 2) < 0)
        _exit(126);
      execve(argv[0], argv.data(), environ);
      _exit(127);
    }
    if (pid < 0) {
      trace = "the emulator did not start";
      return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (too_long != nullptr) *too_long = WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
    trace = ReadFile(out);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    trace = "the emulator ended with status " + std::to_string(status) + ": " + ReadFile(err);
    return false;
  }

  int runs = 0;

 private:
  std::string hostsim_, plugin_;
  fs::path folder_;
};

// Where two traces first differ, for a report.
std::string FirstDifference(const std::string& expected, const std::string& got) {
  const std::vector<std::string> a = SplitLines(expected), b = SplitLines(got);
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const std::string x = i < a.size() ? a[i] : "(end)", y = i < b.size() ? b[i] : "(end)";
    if (x != y)
      return "trace line " + std::to_string(i + 1) + ":\n      with:    " + x +
             "\n      without: " + y;
  }
  return "no difference";
}

// Changes of a value that show in the scene when the line has an effect there: for a number, half
// of it, one more and far more (or from 0, 1 and far more); for a list, every number moved.
std::vector<std::string> OtherValues(std::string_view value) {
  std::vector<std::string> words;
  for (size_t at = 0; at < value.size();) {
    while (at < value.size() && IsSettingsBlank(value[at])) ++at;
    const size_t start = at;
    while (at < value.size() && !IsSettingsBlank(value[at])) ++at;
    if (at > start) words.emplace_back(value.substr(start, at - start));
  }
  std::vector<double> numbers;
  bool whole = true;
  for (const std::string& word : words) {
    char* end = nullptr;
    numbers.push_back(std::strtod(word.c_str(), &end));
    if (*end != '\0' || end == word.c_str()) return {};
    whole = whole && word.find('.') == std::string::npos;
  }
  const auto text = [whole](double number) {
    char out[32];
    std::snprintf(out, sizeof out, whole ? "%.0f" : "%g", number);
    return std::string(out);
  };
  std::vector<std::string> values;
  if (numbers.size() == 3) {
    for (const double step : {64.0, 1.0}) {
      std::string list;
      for (const double number : numbers) {
        list +=
            (list.empty() ? "" : " ") +
            text(whole ? static_cast<double>((static_cast<long>(number + step) % 256 + 256) % 256)
                       : number + step);
      }
      values.push_back(list);
    }
    return values;
  }
  if (numbers.size() != 1) return {};
  const double v = numbers[0];
  if (whole) {
    if (v == 0) return {"1", "10000", "100000"};
    if (v == 1) return {"0", "2", "5"};
    return {text(static_cast<double>(static_cast<long>(v) / 2)), text(v + 1), text(v * 2 + 1000)};
  }
  if (v == 0) return {"0.5", "1", "10"};
  return {text(v / 2), text(v * 2), text(v + 1)};
}

struct Figures {
  int files = 0;
  int variants = 0;
  int no_effect_held = 0, no_effect_failed = 0;
  int lines_deleted = 0;
  int effect_lines = 0, effect_shown = 0, effect_failed = 0;
  std::vector<std::string> cannot_show;
  std::vector<std::string> too_long;  // files whose trace outgrows kTraceLimit, left unchecked
};

class ClaimsCheck {
 public:
  ClaimsCheck(Emulator& emulator, std::string keep) : emulator_(emulator), keep_(std::move(keep)) {}

  // The findings of nightglass-check on `text`.
  std::vector<Finding> Check(const std::string& text) {
    WriteFile(emulator_.SettingsPath(), text);
    const std::string path = emulator_.SettingsPath().string();
    FileLines lines;
    if (!ReadFileLines(path.c_str(), lines)) return {};
    return CheckSettingsFile(lines, RunLoaders(path.c_str(), lines));
  }

  // Deletes each line (or section) that a finding calls without effect; the trace must not change.
  void HoldNoEffect(const std::string& label, const std::string& text,
                    const std::vector<std::string>& damages) {
    ++figures.files;
    const std::vector<Finding> findings = Check(text);
    std::string base;
    bool too_long = false;
    if (!emulator_.Run(text, base, &too_long)) {
      if (too_long) {
        figures.too_long.push_back(label);
        return;
      }
      ++figures.no_effect_failed;
      Fail(label, text, damages, "the file itself: " + base);
      return;
    }
    const std::vector<std::string> lines = SplitLines(text);
    for (const Finding& finding : findings) {
      if (!finding.no_effect) continue;
      const int last = finding.last_line != 0 ? finding.last_line : finding.line;
      if (finding.line < 1 || last < finding.line || last > static_cast<int>(lines.size())) {
        ++figures.no_effect_failed;
        Fail(label, text, damages, "a finding at line " + std::to_string(finding.line) + " off the file");
        continue;
      }
      std::vector<std::string> without = lines;
      without.erase(without.begin() + (finding.line - 1), without.begin() + last);
      figures.lines_deleted += last - finding.line + 1;
      // The file's last line keeps its line end, or its lack of one.
      std::string deleted = JoinLines(without);
      if (!text.ends_with('\n') && !deleted.empty()) deleted.pop_back();
      std::string trace;
      const bool ran = emulator_.Run(deleted, trace);
      if (ran && trace == base) {
        ++figures.no_effect_held;
        continue;
      }
      ++figures.no_effect_failed;
      Fail(label, text, damages,
           "line " + std::to_string(finding.line) +
               (last != finding.line ? "-" + std::to_string(last) : "") +
               " is said to have no effect (" + finding.code + ": " + finding.message +
               "), but without it " + (ran ? FirstDifference(base, trace) : trace));
    }
  }

  // Changes each line of the clean file `text` that the checker calls effective; the trace must
  // change, but for the lines of kCannotShow.
  void HoldEffect(const std::string& text) {
    const std::vector<Finding> findings = Check(text);
    if (ExitCodeFor(findings) != 0) {
      ++figures.effect_failed;
      Fail("the example with its switches on", text, {}, "the checker does not find it clean");
      return;
    }
    std::set<int> without_effect;
    for (const Finding& finding : findings) {
      if (!finding.no_effect) continue;
      for (int line = finding.line; line <= std::max(finding.line, finding.last_line); ++line)
        without_effect.insert(line);
    }
    std::string base;
    if (!emulator_.Run(text, base)) {
      ++figures.effect_failed;
      Fail("the example with its switches on", text, {}, base);
      return;
    }
    const std::vector<std::string> lines = SplitLines(text);
    std::set<std::string> unshown;
    for (size_t i = 0; i < lines.size(); ++i) {
      const SettingsLine line = SplitSettingsLine(lines[i]);
      if (!line.is_entry || line.is_header || without_effect.contains(static_cast<int>(i) + 1))
        continue;
      ++figures.effect_lines;
      bool shown = false;
      for (const std::string& value : OtherValues(line.value)) {
        std::vector<std::string> changed = lines;
        changed[i] = std::string(line.key) + " = " + value;
        std::string trace;
        if (emulator_.Run(JoinLines(changed), trace) && trace != base) {
          shown = true;
          break;
        }
      }
      const std::string key(line.key);
      if (shown) {
        ++figures.effect_shown;
        if (kCannotShow.contains(key)) {
          ++figures.effect_failed;
          std::printf(
              "FAILED: line %zu (%s) is listed as one the scene cannot show, but it shows\n", i + 1,
              key.c_str());
        }
      } else if (const auto reason = kCannotShow.find(key); reason != kCannotShow.end()) {
        figures.cannot_show.push_back("line " + std::to_string(i + 1) + " (" + key +
                                      "): " + reason->second);
      } else {
        ++figures.effect_failed;
        std::printf(
            "FAILED: line %zu is effective as the checker tells, but no change of it shows: %s\n",
            i + 1, lines[i].c_str());
      }
    }
  }

  Figures figures;

 private:
  void Fail(const std::string& label, const std::string& text,
            const std::vector<std::string>& damages, const std::string& what) {
    std::printf("FAILED in %s: %s\n", label.c_str(), what.c_str());
    for (const std::string& damage : damages) std::printf("    damage: %s\n", damage.c_str());
    if (keep_.empty()) return;
    fs::create_directories(keep_);
    std::string name = label;
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    WriteFile(fs::path(keep_) / (name + ".ini"), text);
  }

  Emulator& emulator_;
  std::string keep_;
};

int Usage(const char* message) {
  std::fprintf(
      stderr,
      "check_claims: %s\nusage: check_claims --hostsim PATH --plugin PATH --example PATH "
      "[--variants N] "
      "[--seed S] [--fixtures DIR] [--only V] [--keep DIR] [--print-scene] [--print-lit]\n",
      message);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string hostsim, plugin, example_path, keep, fixtures;
  long variants = 12, seed = 1, only = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--print-scene") {
      std::fputs(claims::SceneScript().c_str(), stdout);
      return 0;
    } else if (arg == "--hostsim" && has_value) {
      hostsim = argv[++i];
    } else if (arg == "--plugin" && has_value) {
      plugin = argv[++i];
    } else if (arg == "--example" && has_value) {
      example_path = argv[++i];
    } else if (arg == "--fixtures" && has_value) {
      fixtures = argv[++i];
    } else if (arg == "--keep" && has_value) {
      keep = argv[++i];
    } else if (arg == "--variants" && has_value) {
      variants = std::atol(argv[++i]);
    } else if (arg == "--seed" && has_value) {
      seed = std::atol(argv[++i]);
    } else if (arg == "--only" && has_value) {
      only = std::atol(argv[++i]);
    } else if (arg == "--print-lit" && !example_path.empty()) {
      std::fputs(claims::LitFile(ReadFile(example_path)).c_str(), stdout);
      return 0;
    } else {
      return Usage(("unknown or incomplete argument " + arg).c_str());
    }
  }
  if (hostsim.empty() || plugin.empty() || example_path.empty())
    return Usage("--hostsim, --plugin and --example are needed");
  const std::string example = ReadFile(example_path);
  if (example.empty()) return Usage("the example does not open");

  std::string pattern = (fs::temp_directory_path() / "nightglass-claims-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return Usage("no temporary folder");
  const fs::path folder = pattern;
  const auto started = std::chrono::steady_clock::now();
  Emulator emulator(hostsim, fs::absolute(plugin).string(), folder);
  ClaimsCheck check(emulator, keep);
  std::string trace;
  if (!emulator.Run(example, trace)) {
    std::printf("the emulator does not run the scene: %s\n", trace.c_str());
    fs::remove_all(folder);
    return 2;
  }

  const std::string lit = claims::LitFile(example);
  if (only < 0) {
    check.HoldNoEffect("the example", example, {});
    if (lit.empty()) {
      std::printf("FAILED: the example no longer holds the lines that switch it on\n");
      ++check.figures.effect_failed;
    } else {
      check.HoldNoEffect("the example with its switches on", lit, {});
      check.HoldEffect(lit);
    }
    // The checker's own fixtures, each made to show a kind of finding.
    if (!fixtures.empty()) {
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(fixtures)) {
        if (entry.path().extension() == ".ini") files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files)
        check.HoldNoEffect("fixture " + file.filename().string(), ReadFile(file), {});
    }
  }
  const long first = only >= 0 ? only : seed;
  const long count = only >= 0 ? 1 : variants;
  for (long v = first; v < first + count; ++v) {
    const claims::Variant variant = claims::Damage(example, static_cast<uint32_t>(v));
    ++check.figures.variants;
    check.HoldNoEffect("variant " + std::to_string(v), variant.text, variant.damages);
  }
  fs::remove_all(folder);

  const Figures& f = check.figures;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "claims of no effect: %d files (the example, the example switched on, %d fixtures and %d "
      "damaged "
      "variants from seed %ld): %d lines deleted for %d claims, %d held, %d failed\n",
      f.files, f.files - f.variants - (only < 0 ? 2 : 0), f.variants, first, f.lines_deleted,
      f.no_effect_held + f.no_effect_failed, f.no_effect_held, f.no_effect_failed);
  if (only < 0) {
    std::printf(
        "claims of effect: %d lines of the example switched on changed, %d change the trace, %zu "
        "the scene "
        "cannot show, %d failed\n",
        f.effect_lines, f.effect_shown, f.cannot_show.size(), f.effect_failed);
    for (const std::string& line : f.cannot_show) std::printf("  cannot show: %s\n", line.c_str());
  }
  for (const std::string& label : f.too_long) {
    std::printf("  not checked: %s, whose trace is longer than %d MiB\n", label.c_str(),
                static_cast<int>(kTraceLimit >> 20));
  }
  std::printf("%d emulator runs in %.1f s\n", emulator.runs, seconds);
  return f.no_effect_failed == 0 && f.effect_failed == 0 ? 0 : 1;
}

#include "tools/check/findings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "features/shooting_stars/shooting_star_drawing.h"
#include "features/shooting_stars/shooting_star_settings.h"
#include "features/shooting_stars/shooting_star_simulation.h"
#include "features/stars/star_field.h"
#include "features/vehicle_lights/vehicle_light_settings.h"
#include "settings/convert.h"
#include "settings/line_splitter.h"
#include "tools/check/text.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Wording

std::string Section(const std::string& name) { return "[" + Printable(name) + "]"; }

// "the star field reads" / "the shooting stars read".
std::string Says(const LoaderRun& run, const char* singular, const char* plural) {
  return "the " + run.loader + " " + (run.plural ? plural : singular);
}

std::string LineRef(const FileLine& line) { return "line " + std::to_string(line.number); }

// "it" / "they", "its" / "their" for the part of the plugin that `run` is.
const char* They(const LoaderRun& run) { return run.plural ? "they" : "it"; }
const char* Their(const LoaderRun& run) { return run.plural ? "their" : "its"; }

// ---------------------------------------------------------------------------------------------
// Ranges of the values that are read

// What is wrong with `value` of a key under `range`, or nothing.
std::optional<std::string> OutOfRange(ValueRange range, double value) {
  if (std::isnan(value)) return "is not a number";
  switch (range) {
    case ValueRange::kAny:
    case ValueRange::kDiscarded:
      break;
    case ValueRange::kHour:
      if (value < 0 || value > 23) return "is not an hour of the day (0-23)";
      break;
    case ValueRange::kHourOrNone:
      if (value < -1 || value > 23)
        return "is neither an hour of the day (0-23) nor -1 (no window)";
      break;
    case ValueRange::kNotNegative:
      if (value < 0) return "is negative, where only 0 or more makes sense";
      break;
    case ValueRange::kPause:
      if (value < 0) return "is negative: a pause below 0 is a pause of 0";
      break;
    case ValueRange::kPattern:
      if (value < 0 || value > 2)
        return "is no flashing type (0 steady, 1 blink, 2 pulse): it acts as 0";
      break;
    case ValueRange::kChannel:
      if (value < 0 || value > 255) return "is outside 0-255: only its low 8 bits count";
      break;
    case ValueRange::kVehicleModel:
      if (value < -32768 || value > 32767) {
        return "never matches a vehicle: vehicle models are numbered from -32768 to 32767";
      }
      break;
    case ValueRange::kStarCount:
      if (value < 0) return "is negative: the plugin makes no stars";
      if (value > kMaxStarCount) {
        return "is more than the " + std::to_string(kMaxStarCount) +
               " stars the plugin makes at most";
      }
      break;
  }
  return std::nullopt;
}

// The sensible values of `key` as `run`'s loader reads it; nothing for a key it does not name.
std::optional<ValueRange> RangeOf(const LoaderRun& run, std::string_view key) {
  if (run.scope == TableScope::kVehicleSection) {
    if (const KeyInfo* info = VehicleSectionKeyInfo(key)) return info->range;
    return std::nullopt;
  }
  for (const KeyInfo& info : run.settings_loader->keys) {
    if (info.name == key) return info.range;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// The shooting stars' bounds: how many stars live at once, and how many sprites a frame draws

// The frame rate the checker takes as the fastest a game runs: the stars live at once when one may
// spawn on every update depend on it.
constexpr uint32_t kFastestUpdatesPerSecond = 1000;

// What the shooting stars' settings make of the bound on the live stars, said at the line of
// "MinInterval" (or of "Lifetime" where the file has no "MinInterval"); nothing when they stay
// below it.
std::optional<std::pair<Severity, std::string>> LiveStarBound(const ShootingStarSettings& s) {
  const uint64_t lifetime = LifetimeMs(s.Lifetime);
  const std::string bound =
      "the plugin keeps at most " + std::to_string(kMaxShootingStars) + " shooting stars alive (" +
      std::to_string(kMaxShootingStars * sizeof(ShootingStar) / 1024) + " KiB)";
  if (MostLiveShootingStars(s, 0.0) == UINT64_MAX) {
    // A star on every update: as many live as the game makes updates in a lifetime.
    const uint64_t fastest = MostLiveShootingStars(s, 1000.0 / kFastestUpdatesPerSecond);
    const uint64_t reached = (kMaxShootingStars * 1000 + lifetime - 1) / lifetime;
    std::string message = "a pause of " + std::to_string(s.MinInterval) +
                          " ms lets a shooting star spawn on every update, so as many live at once "
                          "as the game makes updates in their lifetime of " +
                          std::to_string(lifetime) + " ms: " + std::to_string(fastest) + " at " +
                          std::to_string(kFastestUpdatesPerSecond) + " updates a second; " + bound +
                          ", reached above " + std::to_string(reached) + " updates a second";
    return std::pair{fastest > kMaxShootingStars ? Severity::kWarning : Severity::kNote, message};
  }
  const uint64_t most = MostLiveShootingStars(s, 0.0);
  if (most <= kMaxShootingStars) return std::nullopt;
  return std::pair{Severity::kWarning,
                   "a pause of " + std::to_string(s.MinInterval) + " ms and a lifetime of " +
                       std::to_string(lifetime) + " ms let up to " + std::to_string(most) +
                       " shooting stars live at once; " + bound +
                       ": the later ones are left out until earlier ones expire"};
}

// What the settings make of the bound on the trail sprites a frame draws, said at "NumSprites".
std::optional<std::string> TrailSpriteBound(const ShootingStarSettings& s) {
  const uint64_t sprites = TrailSpriteCount(s);
  const std::string bound = "the " + std::to_string(kMaxTrailSpritesPerFrame) +
                            " sprites the plugin draws at most in a frame";
  if (sprites > kMaxTrailSpritesPerFrame) {
    return "a trail of " + std::to_string(sprites) + " sprites is longer than " + bound +
           ": only its first " + std::to_string(kMaxTrailSpritesPerFrame) + " are drawn";
  }
  const bool every_update = MostLiveShootingStars(s, 0.0) == UINT64_MAX;
  const uint64_t live = std::min<uint64_t>(
      MostLiveShootingStars(s, every_update ? 1000.0 / kFastestUpdatesPerSecond : 0.0),
      kMaxShootingStars);
  if (live * sprites <= kMaxTrailSpritesPerFrame) return std::nullopt;
  return "up to " + std::to_string(live) + " shooting stars alive at once" +
         (every_update ? " (at " + std::to_string(kFastestUpdatesPerSecond) + " updates a second)"
                       : "") +
         " with " + std::to_string(sprites) + " sprites each make " +
         std::to_string(live * sprites) + " sprites a frame, more than " + bound +
         ": the trails of the later stars are cut short";
}

// ---------------------------------------------------------------------------------------------
// What of a value the plugin reads

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigitAt(std::string_view text, size_t at) {
  return at < text.size() && text[at] >= '0' && text[at] <= '9';
}
bool IsHexDigitAt(std::string_view text, size_t at) {
  return IsDigitAt(text, at) ||
         (at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])));
}

std::string_view TrimCSpace(std::string_view text) {
  while (!text.empty() && IsCSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsCSpace(text.back())) text.remove_suffix(1);
  return text;
}

// One thing said of a line: a finding in the making.
struct Statement {
  Severity severity = Severity::kNote;
  std::string code;
  std::string text;
};

// The decimal text of the hexadecimal whole number that `digits` begins with, when it fits a whole
// number of the plugin's; empty otherwise.
std::string HexInDecimal(std::string_view digits, bool negative) {
  int64_t value = 0;
  for (size_t i = 0; IsHexDigitAt(digits, i); ++i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(digits[i])));
    value = value * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
    if (value > (int64_t{1} << 31)) return "";
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return "";
  return std::to_string(value);
}

// When the plugin reads a number at the start of a value of one number and not the whole text:
// "is read as 1: ...", with what to write instead.
std::optional<Statement> ReadInPart(const std::string& key, const std::string& value,
                                    SettingsValueKind kind) {
  const bool whole = kind == SettingsValueKind::kInt;
  const size_t length = whole ? IntPrefixLength(value) : FloatPrefixLength(value);
  const std::string_view rest = std::string_view(value).substr(length);
  if (length == 0 || TrimCSpace(rest).empty()) return std::nullopt;
  const std::string read(TrimCSpace(std::string_view(value).substr(0, length)));
  const std::string said = "is read as " + read + ": ";
  const char next = rest.front();
  if (whole && (next == '.' || next == ',') && IsDigitAt(rest, 1)) {
    return Statement{Severity::kWarning, "not-whole-number",
                     said + Quoted(key) +
                         " takes a whole number, and the plugin reads no further than the \"" +
                         std::string(1, next) + "\""};
  }
  const bool zero = read == "0" || read == "+0" || read == "-0";
  const std::string_view digits = zero ? rest.substr(1) : std::string_view();
  if (whole && (next == 'x' || next == 'X') && IsHexDigitAt(digits, 0)) {
    std::string text = said + "whole numbers are read in decimal only";
    if (const std::string decimal = HexInDecimal(digits, read.front() == '-'); !decimal.empty()) {
      text += ": write " + Quoted(decimal);
    }
    return Statement{Severity::kWarning, "hexadecimal", text};
  }
  const bool exponent =
      (next == 'e' || next == 'E') &&
      (IsDigitAt(rest, 1) ||
       ((rest.size() > 1 && (rest[1] == '+' || rest[1] == '-')) && IsDigitAt(rest, 2)));
  if (whole && exponent) {
    std::string text = said + "whole numbers are read without an exponent";
    // What the text means as a decimal, when that is a whole number.
    if (TrimCSpace(std::string_view(value).substr(FloatPrefixLength(value))).empty()) {
      try {
        const double meant = ParseFloat(value);
        if (meant == std::floor(meant) && std::fabs(meant) < 2147483648.0) {
          text += ": write " + Quoted(std::to_string(static_cast<int64_t>(meant)));
        }
      } catch (const SettingsConversionError&) {
        // Too large or too small for a decimal: no whole number to suggest.
      }
    }
    return Statement{Severity::kWarning, "not-whole-number", text};
  }
  if (!whole && next == ',' && IsDigitAt(rest, 1)) {
    std::string meant = value;
    meant[length] = '.';
    return Statement{Severity::kWarning, "decimal-comma",
                     said + "decimals are written with a point: " + Quoted(meant)};
  }
  return Statement{Severity::kWarning, "trailing-text",
                   said + "the rest, " + Quoted(std::string(TrimCSpace(rest))) + ", is not read"};
}

// Whether the commas in a list's value stand between its numbers ("255,0,0", "1, 2, 3") rather
// than inside them as decimal commas ("0,5 1,5 2"): a colour has no decimals, and a comma next to a
// blank or two commas in one word separate numbers.
bool CommasSeparate(std::string_view value, SettingsValueKind kind) {
  if (kind == SettingsValueKind::kColourList) return true;
  size_t commas_in_word = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if (IsCSpace(value[i])) {
      commas_in_word = 0;
    } else if (value[i] == ',') {
      if (++commas_in_word > 1 || i + 1 == value.size() || IsCSpace(value[i + 1]) || i == 0 ||
          IsCSpace(value[i - 1])) {
        return true;
      }
    }
  }
  return false;
}

// What is worth telling of a list's value as the plugin reads it: phrases that follow
// "KEY = VALUE" ("gives 2 of its 3 numbers").
void ListNotes(const std::string& value, SettingsValueKind kind, std::vector<Statement>& phrases) {
  const bool colour = kind == SettingsValueKind::kColourList;
  const ListReadSpans spans = colour ? ColourListSpans(value) : VectorListSpans(value);
  const bool separators = value.find(',') != std::string::npos && CommasSeparate(value, kind);
  // Numbers read short of the end of their word ("50.5" as 50); `ends_at_cut` when the list ends
  // where the last of them was cut.
  bool ends_at_cut = false;
  for (int i = 0; i < spans.count; ++i) {
    size_t word_end = spans.begin[i];
    while (word_end < value.size() && !IsCSpace(value[word_end])) ++word_end;
    if (spans.end[i] == word_end) continue;
    const char cut = value[spans.end[i]];
    if (cut == ',' && separators) continue;  // told below
    const std::string word = value.substr(spans.begin[i], word_end - spans.begin[i]);
    const std::string read = value.substr(spans.begin[i], spans.end[i] - spans.begin[i]);
    std::string phrase =
        "reads its " + std::string(Ordinal(i)) + " number, " + Quoted(word) + ", as " + read;
    const char* code = "trailing-text";
    const bool zero = read == "0" || read == "+0" || read == "-0";
    if (zero && (cut == 'x' || cut == 'X') && IsHexDigitAt(word, read.size() + 1)) {
      phrase += ": numbers in a list are read in decimal only";
      const std::string decimal =
          HexInDecimal(std::string_view(word).substr(read.size() + 1), read.front() == '-');
      if (colour && !decimal.empty()) phrase += ": write " + Quoted(decimal);
      code = "hexadecimal";
    } else if (colour && (cut == '.' || cut == ',')) {
      phrase += ": colours are whole numbers";
      code = "not-whole-number";
    } else if (!colour && cut == ',' && IsDigitAt(value, spans.end[i] + 1)) {
      std::string meant = word;
      meant[spans.end[i] - spans.begin[i]] = '.';
      phrase += ": decimals are written with a point, " + Quoted(meant);
      code = "decimal-comma";
    }
    if (i + 1 == spans.count && spans.stop == spans.end[i]) ends_at_cut = true;
    phrases.push_back({Severity::kWarning, code, phrase});
  }
  if (spans.count < 3) {
    std::string phrase = "gives " + std::to_string(spans.count) + " of its 3 numbers";
    const std::string rest(TrimCSpace(std::string_view(value).substr(spans.stop)));
    const char* code = "short-list";
    if (separators) {
      phrase += ": numbers are separated by blanks, not commas";
      code = "list-commas";
    } else if (ends_at_cut) {
      phrase += ", as the list ends there";
    } else if (!rest.empty()) {
      phrase += ": the list ends at " + Quoted(rest);
    }
    phrases.push_back({Severity::kWarning, code, phrase});
  } else if (spans.stop < value.size() && !ends_at_cut) {
    phrases.push_back({Severity::kWarning, "trailing-text",
                       "has text after its 3 numbers: the rest, " + Quoted(value.substr(spans.stop)) +
                           ", is not read"});
  }
  if (!colour) return;
  const IntList3 list = ParseColourList(value);
  std::vector<std::string> outside;
  for (int i = 0; i < list.count; ++i) {
    const int32_t number = list.values[i];
    if (number < 0 || number > 255) {
      outside.push_back(std::to_string(number) + " as " +
                        std::to_string(static_cast<uint8_t>(number)));
    }
  }
  if (outside.empty()) return;
  std::string phrase =
      "holds numbers outside 0-255, of which only the low 8 bits count: it is taken ";
  for (size_t i = 0; i < outside.size(); ++i) {
    phrase += (i == 0 ? "" : i + 1 == outside.size() ? " and " : ", ") + outside[i];
  }
  phrases.push_back({Severity::kWarning, "out-of-range", phrase});
}

// ---------------------------------------------------------------------------------------------
// Vehicle light keys

bool IsCustomLightKey(const std::string& key) {
  return key.find(kVehicleCustomLightInfix) != std::string::npos;
}

// The fixed light group that `key` is a field of other than its Offset ("LeftLight_Color": 0), or
// nothing.
std::optional<size_t> FixedLightFieldGroup(std::string_view key) {
  for (size_t group = 0; group < kFixedLightPrefixes.size(); ++group) {
    const std::string_view prefix = kFixedLightPrefixes[group];
    if (!key.starts_with(prefix)) continue;
    const std::string_view field = key.substr(prefix.size());
    if (field == kVehicleLightFields[0].name) return std::nullopt;
    for (const SettingsKey<VehicleLight>& row : kVehicleLightFields) {
      if (row.name == field) return group;
    }
  }
  return std::nullopt;
}

std::string FixedLightKeyName(size_t group, std::string_view field) {
  return std::string(kFixedLightPrefixes[group]) + std::string(field);
}

// "left light" for group 0.
std::string FixedLightName(size_t group) {
  std::string name = Lower(kFixedLightPrefixes[group]);
  return name.substr(0, name.size() - std::string_view("light_").size()) + " light";
}

// The custom light number that `key` names, when it names one.
std::optional<int32_t> CustomLightNumber(const std::string& key) {
  const size_t infix = key.find(kVehicleCustomLightInfix);
  if (infix == std::string::npos) return std::nullopt;
  try {
    return ParseInt(key.substr(0, infix));
  } catch (const SettingsConversionError&) {
    return std::nullopt;
  }
}

// The keys that a key of a model section which is none of the vehicle lights' is likely meant as,
// found by its parts: the field after its last "_" ("Offset") and the light before it
// ("LeftLight_", "2-CustomLight_"). The fixed lights all, and a numbered one, when the light
// part names none of them.
std::vector<std::string> VehicleKeyGuesses(const std::string& key) {
  const size_t cut = key.rfind('_');
  const std::string field_text = cut == std::string::npos ? key : key.substr(cut + 1);
  const std::string head = cut == std::string::npos ? "" : Lower(key.substr(0, cut + 1));
  std::vector<std::string> fields;
  for (const SettingsKey<VehicleLight>& row : kVehicleLightFields) fields.emplace_back(row.name);
  std::string field;
  for (const std::string& name : fields) {
    if (Lower(name) == Lower(field_text)) field = name;
  }
  if (field.empty()) field = ClosestKey(field_text, fields);
  if (field.empty()) return {};

  std::string number = "N";
  size_t digits = 0;
  while (digits < head.size() && (std::isdigit(static_cast<unsigned char>(head[digits])) ||
                                  (digits == 0 && head[0] == '-')))
    ++digits;
  if (digits > 0 && head != "-") number = head.substr(0, digits);
  const std::string custom = number + std::string(kVehicleCustomLightInfix) + field;
  if (head.find("custom") != std::string::npos || digits > 0) return {custom};
  std::vector<std::string> guesses;
  for (size_t group = 0; group < kFixedLightPrefixes.size(); ++group) {
    const std::string name =
        Lower(kFixedLightPrefixes[group]).substr(0, kFixedLightPrefixes[group].size() - 6);
    if (head.find(name) != std::string::npos) guesses.push_back(FixedLightKeyName(group, field));
  }
  if (guesses.size() == 1) return guesses;
  guesses.clear();
  for (size_t group = 0; group < kFixedLightPrefixes.size(); ++group)
    guesses.push_back(FixedLightKeyName(group, field));
  guesses.push_back(custom);
  return guesses;
}

// "did you mean "A", "B" or "C"?"
std::string DidYouMean(const std::vector<std::string>& keys) {
  std::string text = "did you mean ";
  for (size_t i = 0; i < keys.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == keys.size() ? " or " : ", ") + Quoted(keys[i]);
  }
  if (!keys.empty() && keys.back().starts_with("N-")) text += " (N a light number)";
  return text + "?";
}

// ---------------------------------------------------------------------------------------------

// One loader reading a line: the line is the occurrence of the key that the loader takes (the
// winner), or an earlier one that it passes over.
struct LineRead {
  size_t run;
  size_t use;
  size_t winner;  // index of the line the loader takes
};

// A field of a custom light as the keys of one model section set it: the keys of one light number
// and field, in the order the plugin converts them (ascending), and which of them sets the field.
struct CustomFieldKeys {
  std::vector<size_t> uses;
  std::optional<size_t> setter;  // the last whose value converts: the plugin keeps its value
};

// What the checker says of one line, gathered from every loader that reads it and told as one
// finding: the gravest severity, the code of its first statement of that severity, the statements
// joined.
class LineReport {
 public:
  void Say(Severity severity, std::string code, std::string text, bool no_effect) {
    statements_.push_back({severity, std::move(code), std::move(text)});
    no_effect_ = no_effect_ && no_effect;
  }
  bool Empty() const { return statements_.empty(); }

  Finding Make(int line) const {
    Finding finding;
    finding.line = line;
    finding.severity = Severity::kNote;
    for (const Statement& statement : statements_)
      finding.severity = std::min(finding.severity, statement.severity);
    for (const Statement& statement : statements_) {
      if (finding.code.empty() && statement.severity == finding.severity)
        finding.code = statement.code;
      finding.message += (finding.message.empty() ? "" : "; ") + statement.text;
    }
    finding.key = key;
    finding.error = error;
    finding.no_effect = no_effect_;
    finding.last_line = last_line > line ? last_line : 0;
    return finding;
  }

  std::string key;
  std::string error;
  int last_line = 0;

 private:
  std::vector<Statement> statements_;
  bool no_effect_ = true;
};

class Checker {
 public:
  Checker(const FileLines& file, const LoaderRuns& runs) : file_(file), runs_(runs) {}

  std::vector<Finding> Run() {
    FindReplacedSections();
    CollectReads();
    CollectVocabulary();
    for (size_t index = 0; index < file_.lines.size(); ++index) CheckLine(index);
    return std::move(findings_);
  }

 private:
  const FileLine& Line(size_t index) const { return file_.lines[index]; }
  const LoaderRun& RunOf(const LineRead& read) const { return runs_.runs[read.run]; }
  const KeyUse& UseOf(const LineRead& read) const { return runs_.runs[read.run].uses[read.use]; }
  size_t IndexOf(const LoaderRun& run) const {
    return static_cast<size_t>(&run - runs_.runs.data());
  }

  // Whether line `index` feeds the table of `run`.
  bool Feeds(const LoaderRun& run, size_t index) const {
    const FileLine& line = Line(index);
    if (!line.is_entry) return false;
    switch (run.scope) {
      case TableScope::kWholeFile:
        return true;
      case TableScope::kSection:
        return !line.is_header && line.section_index >= 0 &&
               file_.sections[line.section_index].name == run.section;
      case TableScope::kVehicleSection:
        return !line.is_header && line.section_index == run.section_index;
    }
    return false;
  }

  // The first and the end line of the body of section `section` (the lines after its header).
  std::pair<size_t, size_t> BodyOf(int section) const {
    const size_t first = file_.sections[section].header + 1;
    const size_t end = static_cast<size_t>(section) + 1 < file_.sections.size()
                           ? file_.sections[section + 1].header
                           : file_.lines.size();
    return {first, end};
  }

  // The model sections are run in file order; the next one with the same model replaces a set.
  void FindReplacedSections() {
    std::map<int32_t, const LoaderRun*> next;
    for (auto run = runs_.runs.rbegin(); run != runs_.runs.rend(); ++run) {
      if (run->scope != TableScope::kVehicleSection || !run->accepted) continue;
      if (const auto found = next.find(run->model); found != next.end())
        replaced_by_[&*run] = found->second;
      next[run->model] = &*run;
    }
  }

  // A model section whose lines the vehicle lights read to no effect: it makes no light set, or a
  // later section replaces its set. What it holds is told at its header, not key by key.
  bool Unused(const LoaderRun& run) const {
    return run.scope == TableScope::kVehicleSection &&
           (!run.accepted || replaced_by_.contains(&run));
  }

  // For every key that a loader found in its table, every line that gave the key to it; the reads
  // of unused model sections are left out.
  void CollectReads() {
    reads_.resize(file_.lines.size());
    occurrences_.resize(runs_.runs.size());
    custom_fields_.resize(runs_.runs.size());
    vehicle_run_of_.assign(file_.sections.size(), nullptr);
    for (size_t r = 0; r < runs_.runs.size(); ++r) {
      const LoaderRun& run = runs_.runs[r];
      // A model section's lines follow its header; other tables may take a line from anywhere.
      size_t first = 0;
      size_t end = file_.lines.size();
      if (run.scope == TableScope::kVehicleSection) {
        vehicle_run_of_[run.section_index] = &run;
        std::tie(first, end) = BodyOf(run.section_index);
        CollectCustomFields(r);
      }
      auto& occurrences = occurrences_[r];
      for (size_t index = first; index < end; ++index) {
        if (Feeds(run, index)) occurrences[Line(index).key].push_back(index);
      }
      if (Unused(run)) continue;
      std::set<std::string> seen;
      for (size_t u = 0; u < run.uses.size(); ++u) {
        const KeyUse& use = run.uses[u];
        if (use.text == nullptr || !seen.insert(use.key).second) continue;
        const auto found = occurrences.find(use.key);
        if (found == occurrences.end()) continue;
        for (const size_t index : found->second)
          reads_[index].push_back({r, u, found->second.back()});
      }
    }
  }

  // The custom light keys of a model section, by light number and field. The plugin takes a
  // section's keys in ascending byte order, so of two spellings of one number ("2-" and "02-")
  // that set the same field, the greater one sets it, unless its value does not convert.
  void CollectCustomFields(size_t r) {
    const LoaderRun& run = runs_.runs[r];
    std::map<std::pair<int32_t, std::string>, CustomFieldKeys> fields;
    for (size_t u = 0; u < run.uses.size(); ++u) {
      const KeyUse& use = run.uses[u];
      if (!use.converted || !IsCustomLightKey(use.key)) continue;
      const std::optional<int32_t> number = CustomLightNumber(use.key);
      const SettingsKey<VehicleLight>* field = CustomLightField(use.key);
      if (!number || field == nullptr) continue;
      CustomFieldKeys& keys = fields[{*number, std::string(field->name)}];
      keys.uses.push_back(u);
      if (use.error.empty()) keys.setter = u;
    }
    for (auto& [id, keys] : fields) {
      for (const size_t u : keys.uses) custom_fields_[r][u] = keys;
    }
  }

  // Every key some loader asks for, and which loaders ask for it where.
  void CollectVocabulary() {
    const auto add = [this](const std::string& key, size_t run) {
      if (!places_.contains(key)) vocabulary_.push_back(key);
      places_[key].push_back(run);
    };
    for (size_t r = 0; r < runs_.runs.size(); ++r) {
      const LoaderRun& run = runs_.runs[r];
      if (run.scope == TableScope::kVehicleSection) continue;
      for (const KeyUse& use : run.uses) {
        if (use.asked) add(use.key, r);
      }
    }
    for (const std::string_view name : kVehicleSectionKeyNames) {
      const std::string key(name);
      if (!places_.contains(key)) vocabulary_.push_back(key);
      vehicle_keys_.insert(key);
    }
  }

  // The model section run on section `section` of the file, if it is one.
  const LoaderRun* VehicleRunOf(int section) const {
    return section < 0 ? nullptr : vehicle_run_of_[section];
  }

  // A section that the vehicle lights pass over as a whole, or whose set they throw away: what
  // stands in it for them is told at its header.
  bool InUnusedVehicleSection(const FileLine& line) const {
    if (line.section_index < 0) return false;
    if (const LoaderRun* run = VehicleRunOf(line.section_index)) return Unused(*run);
    return file_.sections[line.section_index].name.find(kVehicleSectionMark) != std::string::npos;
  }

  std::string WhereIs(const FileLine& line) const {
    if (line.section_index < 0) return "this line comes before any section header";
    return "this line is in section " + Section(file_.sections[line.section_index].name);
  }

  void CheckLine(size_t index) {
    const FileLine& line = Line(index);
    LineReport report;
    if (line.number == 1 && file_.starts_with_bom) CheckByteOrderMark(index, report);
    if (line.is_ignored) {
      report.Say(Severity::kWarning, "ignored-line",
                 "this line is ignored: it is neither key = value nor a [section] header", true);
    }
    if (line.number == file_.end_of_text_line) CheckEndOfText(report);
    if (line.is_header) CheckSectionHeader(index, report);
    if (line.is_entry) CheckEntry(index, report);
    if (!report.Empty()) findings_.push_back(report.Make(line.number));
  }

  void CheckByteOrderMark(size_t index, LineReport& report) {
    const FileLine& line = Line(index);
    const std::string bom =
        "the file begins with a UTF-8 byte-order mark, which the plugin reads as part of the first "
        "line";
    // The line's key or header, spoilt, is read by nothing: without the line the plugin does the
    // same.
    if (line.is_entry) {
      const std::string meant(TrimSettingsBlanks(std::string_view(line.key).substr(3)));
      report.Say(Severity::kError, "byte-order-mark",
                 bom + ": its key is " + Quoted(line.key) + ", not " + Quoted(meant) +
                     "; save the file without it",
                 true);
    } else if (file_.bom_hides_header) {
      report.Say(Severity::kError, "byte-order-mark",
                 bom + ": the section header on it is not recognised; save the file without it",
                 true);
    } else {
      report.Say(Severity::kNote, "byte-order-mark",
                 bom + ", harmless while that line holds no key and no section header", true);
    }
  }

  // The line that holds the Ctrl-Z byte which ends the file: deleting it deletes the byte, so it is
  // never a line without effect.
  void CheckEndOfText(LineReport& report) {
    const std::string byte =
        "a Ctrl-Z byte (0x1A) in this line ends the file for the plugin, which reads it as text";
    if (!file_.text_after_end) {
      report.Say(Severity::kNote, "end-of-text", byte + ", harmless as nothing follows it", false);
      return;
    }
    const int after = file_.lines_after_end;
    report.Say(Severity::kWarning, "end-of-text",
               byte + ": what follows the byte" +
                   (after > 0 ? " and the " + std::to_string(after) +
                                    (after == 1 ? " line" : " lines") + " after this one"
                              : "") +
                   " are not read; delete the byte",
               false);
  }

  // An entry line: what every loader that reads it does with it.
  void CheckEntry(size_t index, LineReport& report) {
    const FileLine& line = Line(index);
    const std::vector<LineRead>& reads = reads_[index];
    if (reads.empty()) {
      CheckUnread(index, report);
      return;
    }
    report.key = line.key;
    std::vector<const LineRead*> takers, stoppers, failers, passers;
    for (const LineRead& read : reads) {
      const KeyUse& use = UseOf(read);
      if (read.winner != index) {
        passers.push_back(&read);
      } else if (use.stopped) {
        stoppers.push_back(&read);
      } else if (use.converted && !use.error.empty()) {
        failers.push_back(&read);
      } else {
        takers.push_back(&read);
      }
    }
    if (!failers.empty()) {
      TellConversionError(index, failers, stoppers, report);
    } else if (!takers.empty()) {
      TellTaken(index, takers, stoppers, report);
    } else if (!stoppers.empty()) {
      TellNotRead(index, stoppers, report);
    } else {
      TellOverridden(index, passers, report);
    }
  }

  // "the star field stopped at line 4 ("Size")".
  std::string StoppedAt(const LoaderRun& run) const {
    return Says(run, "stopped", "stopped") + " at " + StopLine(run);
  }

  // The line of the conversion error that ended a loader's conversions.
  std::string StopLine(const LoaderRun& run) const {
    for (const KeyUse& use : run.uses) {
      if (!use.error.empty() && !use.stopped) {
        if (const std::optional<size_t> line = LineOfUse(run, use)) {
          return LineRef(Line(*line)) + " (" + Quoted(use.key) + ")";
        }
      }
    }
    return "an earlier key";
  }

  // The line whose value a loader took for a key of its table.
  std::optional<size_t> LineOfUse(const LoaderRun& run, const KeyUse& use) const {
    const auto& occurrences = occurrences_[IndexOf(run)];
    const auto found = occurrences.find(use.key);
    if (found == occurrences.end()) return std::nullopt;
    return found->second.back();
  }

  // "the key "02-CustomLight_Color" (line 7)".
  std::string UseAt(const LoaderRun& run, size_t u) const {
    const KeyUse& use = run.uses[u];
    std::string text = Quoted(use.key);
    if (const std::optional<size_t> at = LineOfUse(run, use)) text += " at " + LineRef(Line(*at));
    return text;
  }

  // A value that one or more loaders fail to convert: what each then does.
  void TellConversionError(size_t index, const std::vector<const LineRead*>& failers,
                           const std::vector<const LineRead*>& stoppers, LineReport& report) {
    const FileLine& line = Line(index);
    const KeyUse& first = UseOf(*failers.front());
    report.error = first.error;
    std::string message = Quoted(line.key) + " = " + Quoted(line.value) + " " +
                          ConversionProblem(first.error, line.value);
    bool effect = false;
    for (size_t i = 0; i < failers.size(); ++i) {
      message += (i == 0 ? ": " : "; ") + FailureClause(*failers[i], effect);
    }
    for (const LineRead* read : stoppers) {
      message += "; " + Says(RunOf(*read), "does", "do") + " not read it, as " +
                 They(RunOf(*read)) + " stopped at " + StopLine(RunOf(*read)) + " already";
    }
    report.Say(Severity::kError, "conversion-error", message, !effect);
    for (const LineRead* read : failers) TellFixedLightOff(index, RunOf(*read), report);
  }

  // What a loader does after failing to convert the value of a read line; `effect` is set when
  // that ends its conversions before keys that the file gives, or when the line hides an earlier
  // occurrence of its key, which the loader would take without it.
  std::string FailureClause(const LineRead& read, bool& effect) const {
    const LoaderRun& run = RunOf(read);
    const KeyUse& use = UseOf(read);
    std::string hidden;
    const std::vector<size_t>& occurrences = occurrences_[read.run].at(use.key);
    if (occurrences.size() > 1) {
      effect = true;
      const FileLine& earlier = Line(occurrences[occurrences.size() - 2]);
      hidden = ", and " + Says(run, "does", "do") + " not take the earlier " + Quoted(use.key) +
               " at " + LineRef(earlier) + " instead";
    }
    bool stops = false;
    std::vector<size_t> skipped;  // lines of the later keys that are present
    for (size_t u = read.use + 1; u < run.uses.size(); ++u) {
      const KeyUse& later = run.uses[u];
      if (!later.stopped) continue;
      stops = true;
      if (later.text == nullptr) continue;
      if (const std::optional<size_t> at = LineOfUse(run, later)) skipped.push_back(*at);
    }
    if (!stops) {
      // A custom light field keeps what a spelling of its key before this one set.
      const auto field = custom_fields_[read.run].find(read.use);
      if (field != custom_fields_[read.run].end() && field->second.setter) {
        return Quoted(use.key) + " keeps its value from " + UseAt(run, *field->second.setter) +
               hidden;
      }
      return Quoted(use.key) + " keeps its default" + hidden;
    }
    effect = effect || !skipped.empty();
    std::sort(skipped.begin(), skipped.end());
    std::string clause = Says(run, "stops", "stop") + " here: " + Quoted(use.key) +
                         " and the keys " + They(run) + (run.plural ? " read" : " reads") +
                         " after it keep their defaults";
    for (size_t i = 0; i < skipped.size(); ++i) {
      clause += i == 0 ? ", in this file " : i + 1 == skipped.size() ? " and " : ", ";
      clause += Quoted(Line(skipped[i]).key) + " (" + LineRef(Line(skipped[i])) + ")";
    }
    return clause + hidden;
  }

  // A key of a fixed light of a model section without that light's Offset: the light is off.
  bool TellFixedLightOff(size_t index, const LoaderRun& run, LineReport& report) const {
    if (run.scope != TableScope::kVehicleSection) return false;
    const std::string& key = Line(index).key;
    const std::optional<size_t> group = FixedLightFieldGroup(key);
    if (!group) return false;
    const std::string offset = FixedLightKeyName(*group, kVehicleLightFields[0].name);
    if (FindValue(run.table, offset) != nullptr) return false;
    report.Say(Severity::kWarning, "light-not-enabled",
               Quoted(key) + " does nothing: the " + FixedLightName(*group) +
                   " is on only when its " + Quoted(offset) + " is given, and section " +
                   Section(run.section) + " has none; add " + Quoted(offset + " = x y z") +
                   " to place it",
               true);
    return true;
  }

  // A custom light key whose field another spelling of the light's number sets after it.
  bool TellLosingSpelling(const LineRead& read, LineReport& report) const {
    const auto field = custom_fields_[read.run].find(read.use);
    if (field == custom_fields_[read.run].end() || !field->second.setter ||
        *field->second.setter == read.use) {
      return false;
    }
    const LoaderRun& run = RunOf(read);
    const KeyUse& use = UseOf(read);
    const KeyUse& setter = run.uses[*field->second.setter];
    const std::optional<int32_t> number = CustomLightNumber(use.key);
    const SettingsKey<VehicleLight>* row = CustomLightField(use.key);
    report.Say(Severity::kError, "custom-light-spelling",
               Quoted(use.key) + " sets nothing: " + UseAt(run, *field->second.setter) +
                   " also sets the " + std::string(row->name) + " of custom light " +
                   std::to_string(*number) +
                   ", and the plugin takes that one, as it reads a section's custom light keys in "
                   "ascending order of their text and keeps the last; write the number one way (" +
                   Quoted(setter.key.substr(0, setter.key.find(kVehicleCustomLightInfix) + 1)) +
                   ")",
               true);
    return true;
  }

  // A value that loaders take: why it does nothing after all, or what it is worth knowing of it.
  void TellTaken(size_t index, const std::vector<const LineRead*>& takers,
                 const std::vector<const LineRead*>& stoppers, LineReport& report) {
    const FileLine& line = Line(index);
    std::vector<const LineRead*> effective;
    for (const LineRead* read : takers) {
      const LoaderRun& run = RunOf(*read);
      const std::optional<ValueRange> range = RangeOf(run, UseOf(*read).key);
      if (range == ValueRange::kDiscarded) {
        report.Say(
            Severity::kNote, "read-without-effect",
            Quoted(line.key) + " is read as a whole number and thrown away: it has no effect, as " +
                Says(run, "applies", "apply") + " the game's scene check to every element alike",
            true);
      } else if (!TellFixedLightOff(index, run, report) && !TellLosingSpelling(*read, report)) {
        effective.push_back(read);
      }
    }
    if (effective.empty()) return;
    TellValue(index, *effective.front(), report);
    TellShared(index, effective, stoppers, report);
  }

  // What is worth knowing of the value of line `index` as `read`'s loader takes it.
  void TellValue(size_t index, const LineRead& read, LineReport& report) {
    const FileLine& line = Line(index);
    const LoaderRun& run = RunOf(read);
    const KeyUse& use = UseOf(read);
    if (!use.converted) return;
    std::vector<Statement> phrases;
    if (use.kind == SettingsValueKind::kColourList || use.kind == SettingsValueKind::kVectorList) {
      ListNotes(line.value, use.kind, phrases);
    } else {
      if (auto partly = ReadInPart(use.key, line.value, use.kind))
        phrases.push_back(std::move(*partly));
      if (const std::optional<ValueRange> range = RangeOf(run, use.key)) {
        const double value = use.kind == SettingsValueKind::kFloat
                                 ? static_cast<double>(ParseFloat(line.value))
                                 : static_cast<double>(ParseInt(line.value));
        if (const auto problem = OutOfRange(*range, value)) {
          phrases.push_back({Severity::kWarning, "out-of-range", *problem});
        }
      }
    }
    if (!phrases.empty()) {
      Statement said{Severity::kNote, "", Quoted(use.key) + " = " + Quoted(line.value)};
      for (size_t i = 0; i < phrases.size(); ++i) {
        said.text += (i == 0 ? " " : "; it ") + phrases[i].text;
        if (said.code.empty() || phrases[i].severity < said.severity) {
          said.severity = phrases[i].severity;
          said.code = phrases[i].code;
        }
      }
      report.Say(said.severity, said.code, said.text, false);
    }
    if (run.settings_loader == &kShootingStarsLoader) TellShootingStarBounds(run, use, report);
  }

  // The bounds that the shooting stars' settings can reach, at the line of the key that drives
  // each.
  void TellShootingStarBounds(const LoaderRun& run, const KeyUse& use, LineReport& report) {
    ShootingStarSettings settings;
    ConvertShootingStarSettings(run.table, settings);
    if (!settings.Enable) return;
    const bool has_interval = FindValue(run.table, kMinIntervalKey) != nullptr;
    if (use.key == kMinIntervalKey || (use.key == kLifetimeKey && !has_interval)) {
      if (const auto bound = LiveStarBound(settings)) {
        report.Say(bound->first, "shooting-star-bound", bound->second, false);
      }
    } else if (use.key == kNumSpritesKey) {
      if (const auto bound = TrailSpriteBound(settings)) {
        report.Say(Severity::kWarning, "sprite-bound", *bound, false);
      }
    }
  }

  // A line that loaders of different parts take, or one takes while another had stopped before it:
  // most often a key that the star field reads from the whole file, written in another section.
  void TellShared(size_t index, const std::vector<const LineRead*>& takers,
                  const std::vector<const LineRead*>& stoppers, LineReport& report) {
    const FileLine& line = Line(index);
    const LineRead* whole = nullptr;
    const LineRead* own = nullptr;
    for (const LineRead* read : takers) {
      if (RunOf(*read).scope == TableScope::kWholeFile) {
        if (whole == nullptr) whole = read;
      } else if (own == nullptr) {
        own = read;
      }
    }
    if (whole != nullptr && own != nullptr) {
      if (RunOf(*whole).loader == RunOf(*own).loader) return;
      report.Say(Severity::kWarning, "shared-key",
                 Quoted(line.key) + " here is a key of the " + RunOf(*own).loader +
                     " and also of the " + RunOf(*whole).loader + ", which " +
                     (RunOf(*whole).plural ? "read " : "reads ") + Quoted(line.key) +
                     " anywhere in the file and takes its last occurrence, this one",
                 false);
      return;
    }
    // One part takes the line, another one stopped before it.
    const LineRead* taker = takers.front();
    for (const LineRead* stopper : stoppers) {
      const LoaderRun& taking = RunOf(*taker);
      const LoaderRun& stopped = RunOf(*stopper);
      const LoaderRun& everywhere = taking.scope == TableScope::kWholeFile ? taking : stopped;
      const LoaderRun& here = taking.scope == TableScope::kWholeFile ? stopped : taking;
      std::string message = Quoted(line.key) + " here is a key of the " + here.loader +
                            " and also of the " + everywhere.loader + ", which " +
                            (everywhere.plural ? "read " : "reads ") + Quoted(line.key) +
                            " anywhere in the file: ";
      message += Says(taking, "takes", "take") + " this one";
      if (&taking == &everywhere) message += ", its last occurrence";
      message += ", but " + Says(stopped, "does", "do") + " not read it, as " + They(stopped) +
                 " stopped at " + StopLine(stopped) + ", and " +
                 (stopped.plural ? "keep " : "keeps ") + Their(stopped) + " default";
      report.Say(Severity::kWarning, "shared-key", message, false);
    }
  }

  // A line that every loader reading it had stopped before.
  void TellNotRead(size_t index, const std::vector<const LineRead*>& stoppers, LineReport& report) {
    const FileLine& line = Line(index);
    std::string message = Quoted(line.key) + " is not read, so it keeps its default: ";
    for (size_t i = 0; i < stoppers.size(); ++i) {
      message += (i == 0 ? "" : "; ") + StoppedAt(RunOf(*stoppers[i]));
    }
    report.Say(Severity::kNote, "not-read-after-error", message, true);
  }

  // A line that every loader reading it passes over for a later one.
  void TellOverridden(size_t index, const std::vector<const LineRead*>& passers,
                      LineReport& report) {
    const FileLine& line = Line(index);
    // The loader of the line's own section says most about why it is passed over.
    const LineRead* read = passers.back();
    for (const LineRead* candidate : passers) {
      if (RunOf(*candidate).scope != TableScope::kWholeFile) {
        read = candidate;
        break;
      }
    }
    const FileLine& winner = Line(read->winner);
    std::string where;
    if (winner.section_index != line.section_index && winner.section_index >= 0) {
      where = " in section " + Section(file_.sections[winner.section_index].name);
    }
    report.Say(Severity::kError, "overridden",
               Quoted(line.key) + " is not read here: " + Says(RunOf(*read), "takes", "take") +
                   " the later " + Quoted(line.key) + " at " + LineRef(winner) + where,
               true);
  }

  // An entry line that no loader reads.
  void CheckUnread(size_t index, LineReport& report) {
    const FileLine& line = Line(index);
    // A header with "=" in it, a key the byte-order mark spoilt, a section passed over: told once,
    // elsewhere.
    if (line.is_header || (line.number == 1 && file_.starts_with_bom) ||
        InUnusedVehicleSection(line))
      return;
    report.key = line.key;
    if (IsCustomLightKey(line.key) && VehicleRunOf(line.section_index) != nullptr) {
      CheckCustomLightKey(index, report);
    } else if (places_.contains(line.key) || vehicle_keys_.contains(line.key) ||
               IsCustomLightKey(line.key)) {
      CheckOutsideSection(index, report);
    } else if (line.key.empty()) {
      report.Say(Severity::kError, "unknown-key",
                 "this line has no key before \"=\": nothing reads it", true);
    } else {
      std::string message = "unknown key " + Quoted(line.key) + ": nothing in the plugin reads it";
      std::vector<std::string> guesses;
      if (const std::string near = ClosestKey(line.key, vocabulary_); !near.empty()) {
        guesses.push_back(near);
      } else if (VehicleRunOf(line.section_index) != nullptr ||
                 Lower(line.key).find("light") != std::string::npos) {
        guesses = VehicleKeyGuesses(line.key);
      }
      if (!guesses.empty()) message += "; " + DidYouMean(guesses);
      report.Say(Severity::kError, "unknown-key", message, true);
    }
  }

  void CheckOutsideSection(size_t index, LineReport& report) {
    const FileLine& line = Line(index);
    std::vector<std::string> places;
    std::string wanted;
    const auto readers = places_.find(line.key);
    for (const size_t r : readers != places_.end() ? readers->second : std::vector<size_t>{}) {
      const LoaderRun& run = runs_.runs[r];
      places.push_back("by the " + run.loader + " in section " + Section(run.section));
      if (wanted.empty()) wanted = run.section;
    }
    if (vehicle_keys_.contains(line.key) || IsCustomLightKey(line.key)) {
      places.push_back("by the vehicle lights in model sections (a name holding \"" +
                       std::string(kVehicleSectionMark) + "\")");
    }
    std::string message = Quoted(line.key) + " is not read here: it is read only ";
    for (size_t i = 0; i < places.size(); ++i) message += (i == 0 ? "" : " and ") + places[i];
    message += ", and " + WhereIs(line);
    if (line.section_index >= 0) {
      const std::string name = Lower(file_.sections[line.section_index].name);
      if (!wanted.empty() && EditDistance(name, Lower(wanted)) <= 2) {
        message += "; did you mean " + Section(wanted) + "?";
      } else if (wanted.empty() && name.find(Lower(kVehicleSectionMark)) != std::string::npos) {
        message += "; section names are case-sensitive: a model section's name holds \"" +
                   std::string(kVehicleSectionMark) + "\"";
      }
    }
    report.Say(Severity::kError, "outside-section", message, true);
  }

  // A "<number>-CustomLight_" key that the vehicle lights did not convert.
  void CheckCustomLightKey(size_t index, LineReport& report) {
    const FileLine& line = Line(index);
    const size_t infix = line.key.find(kVehicleCustomLightInfix);
    const std::string number = line.key.substr(0, infix);
    const std::optional<int32_t> light = CustomLightNumber(line.key);
    if (!light) {
      try {
        ParseInt(number);
      } catch (const SettingsConversionError& error) {
        report.error = error.what();
      }
      report.Say(Severity::kError, "custom-light-number",
                 Quoted(line.key) + " is skipped: its light number " + Quoted(number) + " " +
                     ConversionProblem(report.error, number),
                 true);
      return;
    }
    // The light exists all the same when another key names its number.
    const LoaderRun& run = *VehicleRunOf(line.section_index);
    std::string other;
    for (const auto& [key, value] : run.table) {
      if (key != line.key && CustomLightNumber(key) == light) {
        other = key;
        break;
      }
    }
    std::string message = Quoted(line.key) + " names no custom light field, so it sets nothing";
    message +=
        other.empty()
            ? ", though it still makes custom light " + std::to_string(*light) + " exist"
            : " (custom light " + std::to_string(*light) + " is made by " + Quoted(other) + ")";
    std::vector<std::string> fields;
    for (const SettingsKey<VehicleLight>& field : kVehicleLightFields) {
      fields.push_back(number + std::string(kVehicleCustomLightInfix) + std::string(field.name));
    }
    if (const std::string near = ClosestKey(line.key, fields); !near.empty()) {
      message += "; did you mean " + Quoted(near) + "?";
    }
    report.Say(Severity::kError, "custom-light-field", message, !other.empty());
  }

  // What the vehicle lights make of the section that line `index` opens.
  void CheckSectionHeader(size_t index, LineReport& report) {
    const int section = Line(index).section_index;
    const std::string& name = file_.sections[section].name;
    const LoaderRun* run = VehicleRunOf(section);
    std::string message;
    Severity severity = Severity::kError;
    const char* code = "section-skipped";
    if (run == nullptr) {
      if (name.find(kVehicleSectionMark) == std::string::npos) return;
      severity = Severity::kNote;
      message = "section " + Section(name) +
                " is skipped: the vehicle lights pass over sections whose name begins with \"" +
                std::string(kVehicleSectionOff) + "\"";
    } else if (run->accepted) {
      const auto found = replaced_by_.find(run);
      if (found == replaced_by_.end()) return;
      const LoaderRun& later = *found->second;
      code = "section-replaced";
      message = "section " + Section(run->section) + " is not used: section " +
                Section(later.section) + " at " +
                LineRef(Line(file_.sections[later.section_index].header)) +
                " sets the lights of model " + std::to_string(run->model) +
                " again and replaces these whole";
    } else {
      const std::string model = Quoted(std::string(kVehicleModelKey.name));
      std::string why = "it has no " + model;
      for (const KeyUse& use : run->uses) {
        if (use.key != kVehicleModelKey.name || use.text == nullptr) continue;
        why = "its " + model + " = " + Quoted(*use.text);
        if (const std::optional<size_t> at = LineOfUse(*run, use))
          why += " at " + LineRef(Line(*at));
        why += use.error.empty() ? " makes no light set"
                                 : " " + ConversionProblem(use.error, *use.text);
        report.error = use.error;
      }
      message = "section " + Section(name) + " is skipped: " + why;
    }
    // The section, header and lines, has no effect unless another loader reads one of its lines, or
    // it holds the Ctrl-Z byte that ends the file.
    const auto [first, end] = BodyOf(section);
    bool effect = file_.end_of_text_line >= Line(index).number &&
                  file_.end_of_text_line <= Line(end - 1).number;
    for (size_t line = first; line < end; ++line) effect = effect || !reads_[line].empty();
    report.last_line = Line(end - 1).number;
    report.Say(severity, code, message, !effect);
  }

  const FileLines& file_;
  const LoaderRuns& runs_;
  std::vector<std::vector<LineRead>> reads_;
  // For each run, every key of its table: the lines that gave it, the one taken last.
  std::vector<std::map<std::string, std::vector<size_t>>> occurrences_;
  // For each run, the custom light field keys of each use of a custom light key.
  std::vector<std::map<size_t, CustomFieldKeys>> custom_fields_;
  std::vector<const LoaderRun*> vehicle_run_of_;  // by section of the file
  std::map<const LoaderRun*, const LoaderRun*>
      replaced_by_;                                    // model section: the next of its model
  std::vector<std::string> vocabulary_;                // in the order first asked for
  std::map<std::string, std::vector<size_t>> places_;  // key: the runs that ask for it
  std::set<std::string> vehicle_keys_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckSettingsFile(const FileLines& lines, const LoaderRuns& runs) {
  return Checker(lines, runs).Run();
}

#include "tools/check/findings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>

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

// ---------------------------------------------------------------------------------------------
// Ranges of the values that are read

// What is wrong with `value` of a key under `range`, or nothing.
std::optional<std::string> OutOfRange(ValueRange range, double value) {
  if (std::isnan(value)) return "is not a number";
  switch (range) {
    case ValueRange::kAny:
      break;
    case ValueRange::kHour:
      if (value < 0 || value > 23) return "is not an hour of the day (0-23)";
      break;
    case ValueRange::kHourOrNone:
      if (value < -1 || value > 23) return "is neither an hour of the day (0-23) nor -1 (no window)";
      break;
    case ValueRange::kNotNegative:
      if (value < 0) return "is negative, where only 0 or more makes sense";
      break;
    case ValueRange::kPause:
      if (value < 0) return "is negative: a pause below 0 is a pause of 0";
      break;
    case ValueRange::kPattern:
      if (value < 0 || value > 2) return "is no flashing type (0 steady, 1 blink, 2 pulse): it acts as 0";
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
        return "is more than the " + std::to_string(kMaxStarCount) + " stars the plugin makes at most";
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
  const std::string bound = "the plugin keeps at most " + std::to_string(kMaxShootingStars) +
                            " shooting stars alive (" + std::to_string(kMaxShootingStars * sizeof(ShootingStar) / 1024) +
                            " KiB)";
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
  const std::string bound =
      "the " + std::to_string(kMaxTrailSpritesPerFrame) + " sprites the plugin draws at most in a frame";
  if (sprites > kMaxTrailSpritesPerFrame) {
    return "a trail of " + std::to_string(sprites) + " sprites is longer than " + bound +
           ": only its first " + std::to_string(kMaxTrailSpritesPerFrame) + " are drawn";
  }
  const bool every_update = MostLiveShootingStars(s, 0.0) == UINT64_MAX;
  const uint64_t live = std::min<uint64_t>(
      MostLiveShootingStars(s, every_update ? 1000.0 / kFastestUpdatesPerSecond : 0.0), kMaxShootingStars);
  if (live * sprites <= kMaxTrailSpritesPerFrame) return std::nullopt;
  return "up to " + std::to_string(live) + " shooting stars alive at once" +
         (every_update ? " (at " + std::to_string(kFastestUpdatesPerSecond) + " updates a second)" : "") +
         " with " + std::to_string(sprites) + " sprites each make " + std::to_string(live * sprites) +
         " sprites a frame, more than " + bound + ": the trails of the later stars are cut short";
}

// ---------------------------------------------------------------------------------------------
// Custom vehicle lights: "<number>-CustomLight_<field>", looked at in every key of a model section

bool IsCustomLightKey(const std::string& key) {
  return key.find(kVehicleCustomLightInfix) != std::string::npos;
}

// ---------------------------------------------------------------------------------------------

// One loader reading a line: the line is the occurrence of the key that the loader takes (the
// winner), or an earlier one that it passes over.
struct LineRead {
  size_t run;
  size_t use;
  size_t winner;  // index of the line the loader takes
};

class Checker {
 public:
  Checker(const FileLines& file, const LoaderRuns& runs) : file_(file), runs_(runs) {}

  std::vector<Finding> Run() {
    CollectReads();
    CollectVocabulary();
    for (size_t index = 0; index < file_.lines.size(); ++index) CheckLine(index);
    return std::move(findings_);
  }

 private:
  const FileLine& Line(size_t index) const { return file_.lines[index]; }
  const LoaderRun& RunOf(const LineRead& read) const { return runs_.runs[read.run]; }
  const KeyUse& UseOf(const LineRead& read) const { return runs_.runs[read.run].uses[read.use]; }

  void Add(size_t line, Severity severity, const char* code, const std::string& key,
           const std::string& message) {
    const int number = Line(line).number;
    // Findings come in line order: only those of this line can repeat this one.
    for (auto finding = findings_.rbegin(); finding != findings_.rend() && finding->line == number; ++finding) {
      if (finding->message == message) return;
    }
    findings_.push_back({number, severity, code, key, message});
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

  // For every key that a loader found in its table, every line that gave the key to it.
  void CollectReads() {
    reads_.resize(file_.lines.size());
    occurrences_.resize(runs_.runs.size());
    vehicle_run_of_.assign(file_.sections.size(), nullptr);
    for (size_t r = 0; r < runs_.runs.size(); ++r) {
      const LoaderRun& run = runs_.runs[r];
      // A model section's lines follow its header; other tables may take a line from anywhere.
      size_t first = 0;
      size_t end = file_.lines.size();
      if (run.scope == TableScope::kVehicleSection) {
        vehicle_run_of_[run.section_index] = &run;
        first = file_.sections[run.section_index].header + 1;
        end = static_cast<size_t>(run.section_index) + 1 < file_.sections.size()
                  ? file_.sections[run.section_index + 1].header
                  : file_.lines.size();
      }
      auto& occurrences = occurrences_[r];
      for (size_t index = first; index < end; ++index) {
        if (Feeds(run, index)) occurrences[Line(index).key].push_back(index);
      }
      std::set<std::string> seen;
      for (size_t u = 0; u < run.uses.size(); ++u) {
        const KeyUse& use = run.uses[u];
        if (use.text == nullptr || !seen.insert(use.key).second) continue;
        const auto found = occurrences.find(use.key);
        if (found == occurrences.end()) continue;
        for (const size_t index : found->second) reads_[index].push_back({r, u, found->second.back()});
      }
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
  const LoaderRun* VehicleRunOf(int section) const { return section < 0 ? nullptr : vehicle_run_of_[section]; }

  // A section that the vehicle lights pass over as a whole, or whose set they throw away: what
  // stands in it for them is not told key by key.
  bool InSkippedVehicleSection(const FileLine& line) const {
    if (line.section_index < 0) return false;
    const std::string& name = file_.sections[line.section_index].name;
    if (const LoaderRun* run = VehicleRunOf(line.section_index)) return !run->accepted;
    return name.find(kVehicleSectionMark) != std::string::npos;
  }

  std::string WhereIs(const FileLine& line) const {
    if (line.section_index < 0) return "this line comes before any section header";
    return "this line is in section " + Section(file_.sections[line.section_index].name);
  }

  void CheckLine(size_t index) {
    const FileLine& line = Line(index);
    if (line.number == 1 && file_.starts_with_bom) CheckByteOrderMark(index);
    if (line.is_ignored) {
      Add(index, Severity::kWarning, "ignored-line", "",
          "this line is ignored: it is neither key = value nor a [section] header");
    }
    if (line.is_header) CheckVehicleSection(index);
    if (!line.is_entry) return;

    const std::vector<LineRead>& reads = reads_[index];
    std::vector<LineRead> winning;
    for (const LineRead& read : reads) {
      if (read.winner == index) winning.push_back(read);
    }
    if (!winning.empty()) {
      for (const LineRead& read : winning) CheckValue(index, read);
      CheckShared(index, winning);
    } else if (!reads.empty()) {
      // The loader of the line's own section says most about why it is passed over.
      const LineRead& read = *std::find_if(reads.begin(), reads.end() - 1, [this](const LineRead& candidate) {
        return RunOf(candidate).scope != TableScope::kWholeFile;
      });
      const FileLine& winner = Line(read.winner);
      std::string where;
      if (winner.section_index != line.section_index && winner.section_index >= 0) {
        where = " in section " + Section(file_.sections[winner.section_index].name);
      }
      Add(index, Severity::kError, "overridden", line.key,
          Quoted(line.key) + " is not read here: " + Says(RunOf(read), "takes", "take") + " the later " +
              Quoted(line.key) + " at " + LineRef(winner) + where);
    } else if (line.is_header || (line.number == 1 && file_.starts_with_bom) || InSkippedVehicleSection(line)) {
      // A header with "=" in it, a key the byte-order mark spoilt, a section passed over: told
      // once, elsewhere.
    } else if (IsCustomLightKey(line.key) && VehicleRunOf(line.section_index) != nullptr) {
      CheckCustomLightKey(index);
    } else if (places_.contains(line.key) || vehicle_keys_.contains(line.key) || IsCustomLightKey(line.key)) {
      CheckOutsideSection(index);
    } else if (line.key.empty()) {
      Add(index, Severity::kError, "unknown-key", "", "this line has no key before \"=\": nothing reads it");
    } else {
      std::string message = "unknown key " + Quoted(line.key) + ": nothing in the plugin reads it";
      if (const std::string near = ClosestKey(line.key, vocabulary_); !near.empty()) {
        message += "; did you mean " + Quoted(near) + "?";
      }
      Add(index, Severity::kError, "unknown-key", line.key, message);
    }
  }

  void CheckByteOrderMark(size_t index) {
    const FileLine& line = Line(index);
    const std::string bom =
        "the file begins with a UTF-8 byte-order mark, which the plugin reads as part of the first line";
    if (line.is_entry) {
      const std::string meant(TrimSettingsBlanks(std::string_view(line.key).substr(3)));
      Add(index, Severity::kError, "byte-order-mark", "",
          bom + ": its key is " + Quoted(line.key) + ", not " + Quoted(meant) + "; save the file without it");
    } else if (file_.bom_hides_header) {
      Add(index, Severity::kError, "byte-order-mark", "",
          bom + ": the section header on it is not recognised; save the file without it");
    } else {
      Add(index, Severity::kNote, "byte-order-mark", "",
          bom + ", harmless while that line holds no key and no section header");
    }
  }

  // The findings of one loader's reading of the value on line `index`.
  void CheckValue(size_t index, const LineRead& read) {
    const FileLine& line = Line(index);
    const LoaderRun& run = RunOf(read);
    const KeyUse& use = UseOf(read);
    if (use.stopped) {
      Add(index, Severity::kNote, "not-read-after-error", use.key,
          Quoted(use.key) + " is not read, so it keeps its default: " + Says(run, "stopped", "stopped") +
              " at " + StopLine(run));
      return;
    }
    if (!use.converted) return;
    if (!use.error.empty()) {
      if (run.scope == TableScope::kVehicleSection && use.key == kVehicleModelKey.name) return;  // told at the header
      CheckConversionError(index, read);
      return;
    }
    if (use.kind == SettingsValueKind::kColourList || use.kind == SettingsValueKind::kVectorList) {
      CheckList(index, use);
      return;
    }
    if (run.settings_loader == &kShootingStarsLoader) CheckShootingStarBounds(index, run, use);
    const std::optional<ValueRange> range = RangeOf(run, use.key);
    if (!range) return;
    const double value = use.kind == SettingsValueKind::kFloat ? static_cast<double>(ParseFloat(line.value))
                                                                : static_cast<double>(ParseInt(line.value));
    if (const auto problem = OutOfRange(*range, value)) {
      Add(index, Severity::kWarning, "out-of-range", use.key,
          Quoted(use.key) + " = " + Quoted(line.value) + " " + *problem);
    }
  }

  // The bounds that the shooting stars' settings can reach, at the line of the key that drives each.
  void CheckShootingStarBounds(size_t index, const LoaderRun& run, const KeyUse& use) {
    ShootingStarSettings settings;
    ConvertShootingStarSettings(run.table, settings);
    if (!settings.Enable) return;
    const bool has_interval = FindValue(run.table, kMinIntervalKey) != nullptr;
    if (use.key == kMinIntervalKey || (use.key == kLifetimeKey && !has_interval)) {
      if (const auto bound = LiveStarBound(settings)) {
        Add(index, bound->first, "shooting-star-bound", use.key, bound->second);
      }
    } else if (use.key == kNumSpritesKey) {
      if (const auto bound = TrailSpriteBound(settings)) {
        Add(index, Severity::kWarning, "sprite-bound", use.key, *bound);
      }
    }
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
    const auto& occurrences = occurrences_[static_cast<size_t>(&run - runs_.runs.data())];
    const auto found = occurrences.find(use.key);
    if (found == occurrences.end()) return std::nullopt;
    return found->second.back();
  }

  void CheckConversionError(size_t index, const LineRead& read) {
    const FileLine& line = Line(index);
    const LoaderRun& run = RunOf(read);
    const KeyUse& use = UseOf(read);
    std::string message = Quoted(use.key) + " = " + Quoted(line.value) + " does not convert (" + use.error + ")";
    bool stops = false;
    std::vector<size_t> skipped;  // lines of the later keys that are present
    for (size_t u = read.use + 1; u < run.uses.size(); ++u) {
      const KeyUse& later = run.uses[u];
      if (!later.stopped) continue;
      stops = true;
      if (later.text == nullptr) continue;
      if (const std::optional<size_t> at = LineOfUse(run, later)) skipped.push_back(*at);
    }
    std::sort(skipped.begin(), skipped.end());
    if (stops) {
      message += ": " + Says(run, "stops", "stop") + " here: " + Quoted(use.key) +
                 " and the keys " + (run.plural ? "they read" : "it reads") +
                 " after it keep their defaults";
      for (size_t i = 0; i < skipped.size(); ++i) {
        message += i == 0 ? ", in this file " : i + 1 == skipped.size() ? " and " : ", ";
        message += Quoted(Line(skipped[i]).key) + " (" + LineRef(Line(skipped[i])) + ")";
      }
    } else {
      message += ": " + Quoted(use.key) + " keeps its default";
    }
    Add(index, Severity::kError, "conversion-error", use.key, message);
  }

  void CheckList(size_t index, const KeyUse& use) {
    const FileLine& line = Line(index);
    const std::string said = Quoted(use.key) + " = " + Quoted(line.value);
    int count = 0;
    if (use.kind == SettingsValueKind::kColourList) {
      const IntList3 list = ParseColourList(line.value);
      count = list.count;
      for (int i = 0; i < list.count; ++i) {
        const int32_t number = list.values[i];
        if (number < 0 || number > 255) {
          Add(index, Severity::kWarning, "out-of-range", use.key,
              said + ": " + std::to_string(number) + " is outside 0-255 and is taken as " +
                  std::to_string(static_cast<uint8_t>(number)));
        }
      }
    } else {
      count = ParseVectorList(line.value).count;
    }
    if (count == 3) return;
    std::string message = said + " gives " + std::to_string(count) + " of its 3 numbers";
    if (line.value.find(',') != std::string::npos) {
      message += ": numbers are separated by blanks, not commas";
      Add(index, Severity::kWarning, "list-commas", use.key, message);
    } else {
      Add(index, Severity::kWarning, "short-list", use.key, message);
    }
  }

  // A line that a whole-file loader and a loader of its section both take.
  void CheckShared(size_t index, const std::vector<LineRead>& winning) {
    const LineRead* whole = nullptr;
    const LineRead* own = nullptr;
    for (const LineRead& read : winning) {
      const LoaderRun& run = RunOf(read);
      if (run.scope == TableScope::kWholeFile) {
        if (whole == nullptr) whole = &read;
      } else if (own == nullptr) {
        own = &read;
      }
    }
    if (whole == nullptr || own == nullptr || RunOf(*whole).loader == RunOf(*own).loader) return;
    const FileLine& line = Line(index);
    Add(index, Severity::kWarning, "shared-key", line.key,
        Quoted(line.key) + " here is a key of the " + RunOf(*own).loader + " and also of the " +
            RunOf(*whole).loader + ", which " + (RunOf(*whole).plural ? "read " : "reads ") +
            Quoted(line.key) + " anywhere in the file and takes its last occurrence, this one");
  }

  void CheckOutsideSection(size_t index) {
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
    Add(index, Severity::kError, "outside-section", line.key, message);
  }

  // A "<number>-CustomLight_" key that the vehicle lights did not convert.
  void CheckCustomLightKey(size_t index) {
    const FileLine& line = Line(index);
    const size_t infix = line.key.find(kVehicleCustomLightInfix);
    const std::string number = line.key.substr(0, infix);
    try {
      const int32_t light = ParseInt(number);
      std::string message = Quoted(line.key) + " names no custom light field, so it sets nothing, though it "
                            "still makes custom light " + std::to_string(light) + " exist";
      std::vector<std::string> fields;
      for (const SettingsKey<VehicleLight>& field : kVehicleLightFields) {
        fields.push_back(number + std::string(kVehicleCustomLightInfix) + std::string(field.name));
      }
      if (const std::string near = ClosestKey(line.key, fields); !near.empty()) {
        message += "; did you mean " + Quoted(near) + "?";
      }
      Add(index, Severity::kError, "custom-light-field", line.key, message);
    } catch (const SettingsConversionError& error) {
      Add(index, Severity::kError, "custom-light-number", line.key,
          Quoted(line.key) + " is skipped: its light number " + Quoted(number) + " does not convert (" +
              error.what() + ")");
    }
  }

  // What the vehicle lights make of the section that line `index` opens.
  void CheckVehicleSection(size_t index) {
    const int section = Line(index).section_index;
    const std::string& name = file_.sections[section].name;
    const LoaderRun* run = VehicleRunOf(section);
    if (run == nullptr) {
      if (name.find(kVehicleSectionMark) != std::string::npos) {
        Add(index, Severity::kNote, "section-skipped", "",
            "section " + Section(name) + " is skipped: the vehicle lights pass over sections whose name "
            "begins with \"" + std::string(kVehicleSectionOff) + "\"");
      }
      return;
    }
    if (run->accepted) {
      CheckReplaced(index, *run);
      return;
    }
    const std::string model = Quoted(std::string(kVehicleModelKey.name));
    std::string why = "it has no " + model;
    for (const KeyUse& use : run->uses) {
      if (use.key != kVehicleModelKey.name || use.text == nullptr) continue;
      why = "its " + model + " = " + Quoted(*use.text);
      if (const std::optional<size_t> at = LineOfUse(*run, use)) why += " at " + LineRef(Line(*at));
      why += use.error.empty() ? " makes no light set" : " does not convert (" + use.error + ")";
    }
    Add(index, Severity::kError, "section-skipped", "", "section " + Section(name) + " is skipped: " + why);
  }

  void CheckReplaced(size_t index, const LoaderRun& run) {
    // The model sections are run in file order; the next one with the same model replaces this one.
    if (replaced_by_.empty()) {
      std::map<int32_t, const LoaderRun*> next;
      for (auto later = runs_.runs.rbegin(); later != runs_.runs.rend(); ++later) {
        if (later->scope != TableScope::kVehicleSection || !later->accepted) continue;
        if (const auto found = next.find(later->model); found != next.end()) replaced_by_[&*later] = found->second;
        next[later->model] = &*later;
      }
      replaced_by_[nullptr] = nullptr;  // worked out
    }
    const auto found = replaced_by_.find(&run);
    if (found == replaced_by_.end()) return;
    const LoaderRun& later = *found->second;
    const size_t header = file_.sections[later.section_index].header;
    Add(index, Severity::kError, "section-replaced", "",
        "section " + Section(run.section) + " is not used: section " + Section(later.section) + " at " +
            LineRef(Line(header)) + " sets the lights of model " + std::to_string(run.model) +
            " again and replaces these whole");
  }

  const FileLines& file_;
  const LoaderRuns& runs_;
  std::vector<std::vector<LineRead>> reads_;
  // For each run, every key of its table: the lines that gave it, the one taken last.
  std::vector<std::map<std::string, std::vector<size_t>>> occurrences_;
  std::vector<const LoaderRun*> vehicle_run_of_;  // by section of the file
  std::map<const LoaderRun*, const LoaderRun*> replaced_by_;  // model section: the next of its model
  std::vector<std::string> vocabulary_;  // in the order first asked for
  std::map<std::string, std::vector<size_t>> places_;  // key: the runs that ask for it
  std::set<std::string> vehicle_keys_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckSettingsFile(const FileLines& lines, const LoaderRuns& runs) {
  return Checker(lines, runs).Run();
}

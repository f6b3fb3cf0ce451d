#include "tests/claims/damage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string_view>

#include "settings/line_splitter.h"

namespace claims {

namespace {

bool IsNumberText(std::string_view text) {
  if (text.empty()) return false;
  size_t at = text[0] == '-' || text[0] == '+' ? 1 : 0;
  bool digits = false;
  for (; at < text.size(); ++at) {
    if (std::isdigit(static_cast<unsigned char>(text[at]))) {
      digits = true;
    } else if (text[at] != '.') {
      return false;
    }
  }
  return digits;
}

// The blank-separated words of `text`.
std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsSettingsBlank(text[at])) ++at;
    const size_t start = at;
    while (at < text.size() && !IsSettingsBlank(text[at])) ++at;
    if (at > start) words.emplace_back(text.substr(start, at - start));
  }
  return words;
}

class Damager {
 public:
  Damager(const std::string& original, uint32_t seed)
      : lines_(SplitLines(original)), random_(seed) {}

  Variant Make() {
    Variant variant;
    // Most variants switch model sections on, so that the vehicle lights read them.
    if (Chance(70)) {
      const int sections = 1 + static_cast<int>(Pick(3));
      for (int i = 0; i < sections; ++i) Apply(&Damager::SwitchOnSection, variant);
    }
    if (Chance(3)) {
      lines_.front() = "\xEF\xBB\xBF" + lines_.front();
      variant.damages.push_back("a byte-order mark in front of line 1");
    }
    // A Ctrl-Z byte, which ends a file read as text, left in a line by an old editor.
    if (Chance(4)) {
      const size_t i = Pick(lines_.size());
      lines_[i].insert(Pick(lines_[i].size() + 1), 1, '\x1a');
      variant.damages.push_back("a Ctrl-Z byte (line " + std::to_string(i + 1) + ")");
    }
    const std::vector<bool (Damager::*)()> kinds = {
        &Damager::KeyTypo,       &Damager::KeyTypo,       &Damager::SectionTypo,
        &Damager::BadValue,      &Damager::DecimalComma,  &Damager::NotWhole,
        &Damager::Hexadecimal,   &Damager::ListCommas,    &Damager::ShortList,
        &Damager::CutListNumber, &Damager::Duplicate,     &Damager::Conflict,
        &Damager::Conflict,      &Damager::MoveKey,       &Damager::MoveKey,
        &Damager::CustomTwoWays, &Damager::CustomTwoWays, &Damager::DropOffset,
        &Damager::DeleteHeader,  &Damager::CopySection,   &Damager::BadModel,
        &Damager::UnknownField,  &Damager::StrayLine,     &Damager::OutOfRange,
        &Damager::TrailingText,  &Damager::SharedKey,     &Damager::VehicleKeyTypo,
        &Damager::DeleteLine,    &Damager::LineEnds,      &Damager::SectionAgain,
        &Damager::ModelAgain,
    };
    const int damages = 1 + static_cast<int>(Pick(7));
    for (int i = 0; i < damages; ++i) Apply(kinds[Pick(kinds.size())], variant);
    variant.text = JoinLines(lines_);
    return variant;
  }

 private:
  void Apply(bool (Damager::*damage)(), Variant& variant) {
    said_.clear();
    // A damage that finds nothing to work on (no list left, say) leaves the file as it is.
    if ((this->*damage)()) variant.damages.push_back(said_);
  }

  size_t Pick(size_t count) { return count == 0 ? 0 : random_() % count; }
  bool Chance(int percent) { return static_cast<int>(random_() % 100) < percent; }
  template <typename T>
  const T& OneOf(const std::vector<T>& items) {
    return items[Pick(items.size())];
  }

  SettingsLine Split(size_t index) const { return SplitSettingsLine(lines_[index]); }
  bool IsEntry(size_t index) const {
    const SettingsLine line = Split(index);
    return line.is_entry && !line.is_header && !line.key.empty();
  }
  bool IsHeader(size_t index) const { return Split(index).is_header; }

  // The lines for which `want` holds.
  std::vector<size_t> Lines(const std::function<bool(size_t)>& want) const {
    std::vector<size_t> found;
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (want(i)) found.push_back(i);
    }
    return found;
  }
  std::vector<size_t> Entries() const {
    return Lines([this](size_t i) { return IsEntry(i); });
  }
  // Entries whose value is a list of three numbers, or one number.
  std::vector<size_t> ListEntries() const {
    return Lines([this](size_t i) { return IsEntry(i) && Words(Split(i).value).size() == 3; });
  }
  std::vector<size_t> NumberEntries(bool whole) const {
    return Lines([this, whole](size_t i) {
      if (!IsEntry(i)) return false;
      const std::string value(Split(i).value);
      return IsNumberText(value) && (value.find('.') == std::string::npos) == whole;
    });
  }
  // The section a line stands in: the index of its header, or nothing before the first.
  std::optional<size_t> HeaderOf(size_t index) const {
    for (size_t i = index + 1; i-- > 0;) {
      if (IsHeader(i)) return i;
    }
    return std::nullopt;
  }
  std::string SectionName(size_t header) const { return std::string(Split(header).section); }
  // The end of the section whose header is `header`: the next header, or the end of the file.
  size_t SectionEnd(size_t header) const {
    size_t end = header + 1;
    while (end < lines_.size() && !IsHeader(end)) ++end;
    return end;
  }
  std::vector<size_t> VehicleHeaders(bool switched_on) const {
    return Lines([this, switched_on](size_t i) {
      if (!IsHeader(i)) return false;
      const std::string name = SectionName(i);
      return name.find("Veh_") != std::string::npos && name.starts_with("Veh_off") != switched_on;
    });
  }
  // A place in the section of `header` (after its header) for a new line.
  size_t PlaceIn(size_t header) { return header + 1 + Pick(SectionEnd(header) - header); }

  void SetValue(size_t index, const std::string& value) {
    lines_[index] = std::string(Split(index).key) + " = " + value;
  }
  void Say(size_t index, const std::string& what) {
    said_ = what + " (line " + std::to_string(index + 1) + ")";
  }

  std::string Typo(std::string text) {
    if (text.size() < 2) return text + "x";
    const size_t at = Pick(text.size() - 1);
    switch (Pick(5)) {
      case 0:
        std::swap(text[at], text[at + 1]);
        break;
      case 1:
        text.erase(at, 1);
        break;
      case 2:
        text.insert(at, 1, text[at]);
        break;
      case 3: {
        const auto c = static_cast<unsigned char>(text[at]);
        text[at] = static_cast<char>(std::isupper(c) ? std::tolower(c) : std::toupper(c));
        break;
      }
      default:
        text.insert(at, 1, '_');
    }
    return text;
  }

  bool KeyTypo() {
    const std::vector<size_t> entries = Entries();
    if (entries.empty()) return false;
    const size_t i = OneOf(entries);
    const SettingsLine line = Split(i);
    lines_[i] = Typo(std::string(line.key)) + " = " + std::string(line.value);
    Say(i, "a typo in a key");
    return true;
  }

  bool SectionTypo() {
    const std::vector<size_t> headers = Lines([this](size_t i) { return IsHeader(i); });
    if (headers.empty()) return false;
    const size_t i = OneOf(headers);
    const std::string name = SectionName(i);
    lines_[i] = Chance(25) ? "[ " + name + "]" : "[" + Typo(name) + "]";
    Say(i, "a typo in a section name");
    return true;
  }

  bool BadValue() {
    const std::vector<size_t> entries = Entries();
    if (entries.empty()) return false;
    const size_t i = OneOf(entries);
    SetValue(i, OneOf<std::string>({"fast", "", "yes", "true", "-", "none", "on"}));
    Say(i, "a value that is not a number");
    return true;
  }

  bool DecimalComma() {
    std::vector<size_t> found = Lines([this](size_t i) {
      return IsEntry(i) && Split(i).value.find('.') != std::string_view::npos;
    });
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    std::string value(Split(i).value);
    value[value.find('.')] = ',';
    SetValue(i, value);
    Say(i, "a decimal comma");
    return true;
  }

  bool NotWhole() {
    const std::vector<size_t> found = NumberEntries(true);
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    SetValue(i, std::string(Split(i).value) + OneOf<std::string>({".5", ".9", ",5", "e2", ".0"}));
    Say(i, "a decimal where a whole number is read");
    return true;
  }

  bool Hexadecimal() {
    const std::vector<size_t> found = NumberEntries(true);
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    const long long value = std::stoll(std::string(Split(i).value));
    char text[32];
    std::snprintf(text, sizeof text, "%s0x%llX", value < 0 ? "-" : "", value < 0 ? -value : value);
    SetValue(i, text);
    Say(i, "a hexadecimal number");
    return true;
  }

  bool ListCommas() {
    const std::vector<size_t> found = ListEntries();
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    const std::vector<std::string> words = Words(Split(i).value);
    const std::string comma = Chance(50) ? "," : ", ";
    SetValue(i, words[0] + comma + words[1] + comma + words[2]);
    Say(i, "a list with commas");
    return true;
  }

  bool ShortList() {
    const std::vector<size_t> found = ListEntries();
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    const std::vector<std::string> words = Words(Split(i).value);
    SetValue(i, Chance(50) ? words[0] + " " + words[1] : words[0]);
    Say(i, "a list of too few numbers");
    return true;
  }

  bool CutListNumber() {
    const std::vector<size_t> found = ListEntries();
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    std::vector<std::string> words = Words(Split(i).value);
    std::string& word = words[Pick(3)];
    if (word.find('.') != std::string::npos) {
      word[word.find('.')] = ',';
    } else {
      word += OneOf<std::string>({".5", "x", "0x1"});
    }
    SetValue(i, words[0] + " " + words[1] + " " + words[2]);
    Say(i, "a number of a list cut short");
    return true;
  }

  // A key written again in its section, the same or with another value, before or after.
  bool Repeat(bool other_value) {
    const std::vector<size_t> entries = Entries();
    if (entries.empty()) return false;
    const size_t i = OneOf(entries);
    std::string copy = lines_[i];
    if (other_value)
      copy = std::string(Split(i).key) + " = " +
             OneOf<std::string>({"0", "1", "7", "250", "2.5", "10 20 30"});
    const std::optional<size_t> header = HeaderOf(i);
    const size_t at = header ? PlaceIn(*header) : Pick(i + 1);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), copy);
    Say(at, other_value ? "a key repeated with another value" : "a key repeated");
    return true;
  }
  bool Duplicate() { return Repeat(false); }
  bool Conflict() { return Repeat(true); }

  bool MoveKey() {
    const std::vector<size_t> entries = Entries();
    const std::vector<size_t> headers = Lines([this](size_t i) { return IsHeader(i); });
    if (entries.empty() || headers.empty()) return false;
    const size_t from = OneOf(entries);
    const std::string line = lines_[from];
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(from));
    const std::vector<size_t> now = Lines([this](size_t i) { return IsHeader(i); });
    const size_t at = PlaceIn(OneOf(now));
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
    Say(at, "a key moved to another section");
    return true;
  }

  bool SwitchOnSection() {
    const std::vector<size_t> found = VehicleHeaders(false);
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    lines_[i] = "[Veh_" + SectionName(i).substr(7) + "]";
    Say(i, "a model section switched on");
    return true;
  }

  // A custom light number of a model section written another way ("2-" as "02-", "+2-" or "2 -").
  bool CustomTwoWays() {
    const std::vector<size_t> found = Lines([this](size_t i) {
      return IsEntry(i) && Split(i).key.find("-CustomLight_") != std::string_view::npos;
    });
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    const SettingsLine line = Split(i);
    const std::string key(line.key);
    const size_t infix = key.find("-CustomLight_");
    const std::string number = key.substr(0, infix);
    const std::string spelling =
        OneOf<std::string>({"0" + number, "00" + number, "+" + number, number + " ", number + "x"});
    const std::string value = Chance(30)
                                  ? std::string(line.value)
                                  : OneOf<std::string>({"10 20 30", "2", "1", "oops", "0 1 2"});
    const std::optional<size_t> header = HeaderOf(i);
    const size_t at = header ? PlaceIn(*header) : i;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  spelling + key.substr(infix) + " = " + value);
    Say(at, "a custom light number written another way");
    return true;
  }

  bool DropOffset() {
    const std::vector<size_t> found =
        Lines([this](size_t i) { return IsEntry(i) && Split(i).key.ends_with("Light_Offset"); });
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    Say(i, "a fixed light's Offset deleted");
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }

  bool DeleteHeader() {
    const std::vector<size_t> headers = Lines([this](size_t i) { return IsHeader(i); });
    if (headers.empty()) return false;
    const size_t i = OneOf(headers);
    Say(i, "a section header deleted");
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }

  bool DeleteLine() {
    const std::vector<size_t> entries = Entries();
    if (entries.empty()) return false;
    const size_t i = OneOf(entries);
    Say(i, "a line deleted");
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }

  // A model section copied after another section, so that one replaces the other.
  bool CopySection() {
    std::vector<size_t> found = VehicleHeaders(true);
    if (found.empty()) found = VehicleHeaders(false);
    if (found.empty()) return false;
    const size_t header = OneOf(found);
    std::vector<std::string> section(
        lines_.begin() + static_cast<std::ptrdiff_t>(header),
        lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    section.front() =
        "[Veh_" + std::string(Chance(50) ? "Copy" : "Again") + std::to_string(Pick(10)) + "]";
    const std::vector<size_t> headers = Lines([this](size_t i) { return IsHeader(i); });
    const size_t at = Chance(50) ? lines_.size() : OneOf(headers);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), section.begin(), section.end());
    Say(at, "a model section copied");
    return true;
  }

  bool BadModel() {
    const std::vector<size_t> found =
        Lines([this](size_t i) { return IsEntry(i) && Split(i).key == "Model"; });
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    SetValue(i, OneOf<std::string>({"taxi", "", "12.5", "0x4B1"}));
    Say(i, "a model that is not a whole number");
    return true;
  }

  bool UnknownField() {
    const std::vector<size_t> headers = VehicleHeaders(true);
    if (headers.empty()) return false;
    const size_t at = PlaceIn(OneOf(headers));
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  OneOf<std::string>({"3-CustomLight_Sise = 2", "1-CustomLight_Colour = 1 2 3",
                                      "LeftLight_Colour = 9 9 9", "7-CustomLight_ = 1",
                                      "x-CustomLight_Size = 2", "LeftLight_Color = 0 0 255",
                                      "RightLight_Size = 3"}));
    Say(at, "a light key with a field of no light, or a light without its Offset");
    return true;
  }

  bool StrayLine() {
    const size_t at = Pick(lines_.size() + 1);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  OneOf<std::string>(
                      {"stray text", "[Unclosed", "= 5", "NumStars 300", "  ; a comment", ""}));
    Say(at, "a stray line");
    return true;
  }

  bool OutOfRange() {
    const std::vector<size_t> found = NumberEntries(true);
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    SetValue(i, OneOf<std::string>({"-5", "300", "24", "-1", "99999999999", "3"}));
    Say(i, "a number out of its range");
    return true;
  }

  bool TrailingText() {
    const std::vector<size_t> entries = Entries();
    if (entries.empty()) return false;
    const size_t i = OneOf(entries);
    SetValue(i, std::string(Split(i).value) + OneOf<std::string>({" ms", "f", "x", " 4"}));
    Say(i, "text after a value");
    return true;
  }

  // A key that a whole-file loader shares with a section's loader, written in that section.
  bool SharedKey() {
    const std::vector<size_t> headers = Lines([this](size_t i) { return IsHeader(i); });
    if (headers.empty()) return false;
    const size_t at = PlaceIn(OneOf(headers));
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  OneOf<std::string>(
                      {"MinHour = 3", "MaxHour = 20", "ZTestEnable = 0", "StarFadeInEnable = 0",
                       "StarFadeOutDuration = 2.5", "NumStars = 50", "CheckGameState_R = 0",
                       "CheckGameState_Trail2 = 1.5", "VehicleLightsGlobalEnable = 0",
                       "PointLightOffset = 1 1 1", "IgnoreDuration = 5000"}));
    Say(at, "a key of another part written here");
    return true;
  }

  bool VehicleKeyTypo() {
    const std::vector<size_t> headers = VehicleHeaders(true);
    if (headers.empty()) return false;
    const size_t at = PlaceIn(OneOf(headers));
    lines_.insert(
        lines_.begin() + static_cast<std::ptrdiff_t>(at),
        OneOf<std::string>({"Light_Offset = 0 1 1", "Left_Offset = 1 1 1", "Offset = 0 0 0",
                            "2-Customlight_Color = 10 20 30", "CustomLight_Size = 2"}));
    Say(at, "a vehicle key missing a part");
    return true;
  }

  // A line written with other line ends or blanks: a CR before its LF, a tab before its key, a
  // comment after a header.
  bool LineEnds() {
    const size_t i = Pick(lines_.size());
    if (IsHeader(i) && Chance(50)) {
      lines_[i] += " ; " + SectionName(i);
    } else if (IsEntry(i) && Chance(50)) {
      lines_[i] = "\t" + lines_[i];
    } else {
      lines_[i] += "\r";
    }
    Say(i, "other line ends or blanks");
    return true;
  }

  // A section of one of the section readers opened again further down, with a key of its own.
  bool SectionAgain() {
    const std::vector<std::pair<std::string, std::vector<std::string>>> sections = {
        {"[ShootingStars]", {"Speed = 120", "MinHour = 2", "Enable = 0", "Color = 10 10 10"}},
        {"[MoonSettings]", {"Moon_Size = 2", "Moon_Type = 2", "Moon_Color = 0 0 255"}},
        {"[RStarLogo]",
         {"R_Size = 5", "RMinHour = 19", "Star_Color = 1 2 3", "StarFadeInEnable = 0"}},
    };
    const auto& [header, keys] = OneOf(sections);
    const size_t at = Pick(lines_.size() + 1);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), {header, OneOf(keys)});
    Say(at, "a section opened again");
    return true;
  }

  // A model section given a second "Model", or one of another section's model.
  bool ModelAgain() {
    const std::vector<size_t> found =
        Lines([this](size_t i) { return IsEntry(i) && Split(i).key == "Model"; });
    if (found.empty()) return false;
    const size_t i = OneOf(found);
    const size_t at = PlaceIn(*HeaderOf(i));
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  "Model = " + std::string(Split(OneOf(found)).value));
    Say(at, "a second model in a section");
    return true;
  }

  std::vector<std::string> lines_;
  std::mt19937 random_;
  std::string said_;
};

}  // namespace

Variant Damage(const std::string& original, uint32_t seed) {
  return Damager(original, seed).Make();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

}  // namespace claims

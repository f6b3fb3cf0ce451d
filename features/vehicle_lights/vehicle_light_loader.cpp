#include "features/vehicle_lights/vehicle_light_loader.h"

#include <algorithm>
#include <map>
#include <utility>

#include "settings/convert.h"
#include "settings/line_splitter.h"

namespace {

constexpr std::string_view kCustomInfix = kVehicleCustomLightInfix;

// The start of each fixed light's keys in kVehicleSectionKeys, in the order of LightGroup.
constexpr std::array<std::string_view, kLightGroupCount> kFixedLightPrefixes{
    "LeftLight_", "RightLight_", "MiddleLight_"};
constexpr size_t FixedLightKey(size_t group, size_t field) {
  return 1 + group * kVehicleFixedLightKeyCount + field;
}
// The fields of a fixed light, as they follow one another in kVehicleSectionKeys.
enum FixedLightField : size_t {
  kOffset, kColor, kStartDelay, kType, kOnTime, kOffTime, kSize, kHourOn, kHourOff, kBrightness
};

// Where `key` stands in kVehicleSectionKeys, or -1 when it is none of them.
int NamedKeyIndex(std::string_view key) noexcept {
  size_t group = 0;
  switch (key.empty() ? '\0' : key.front()) {
    case 'M':
      if (key == kVehicleSectionKeys[0]) return 0;
      group = 2;
      break;
    case 'L':
      group = 0;
      break;
    case 'R':
      group = 1;
      break;
    default:
      return -1;
  }
  const std::string_view prefix = kFixedLightPrefixes[group];
  if (!key.starts_with(prefix)) return -1;
  const std::string_view field = key.substr(prefix.size());
  for (size_t f = 0; f < kVehicleFixedLightKeyCount; ++f) {
    if (kVehicleSectionKeys[FixedLightKey(group, f)].substr(prefix.size()) == field) {
      return static_cast<int>(FixedLightKey(group, f));
    }
  }
  return -1;
}

// Whether a custom light key's number could be read from a key beginning with `c`: it is read
// like ParseInt reads, past white space, from a sign or a digit. Other keys name no light.
bool MayNameCustomLight(char c) noexcept {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '\v' || c == '\f' || c == '\r';
}

// A section's keys as a table of every key (for a tool that explains a file) or as the plugin
// keeps them while it reads the file: named key `index`, and the custom light keys in ascending
// order.
const std::string* FindNamed(const SettingsTable& keys, size_t index) {
  const auto found = keys.find(std::string(kVehicleSectionKeys[index]));
  return found == keys.end() ? nullptr : &found->second;
}

const std::string* FindNamed(const VehicleSectionKeys& keys, size_t index) {
  return keys.Find(index);
}

template <typename Visit>
void ForEachCustomKey(const SettingsTable& keys, Visit&& visit) {
  for (const auto& [key, text] : keys) {
    if (key.find(kCustomInfix) != std::string::npos) visit(key, text);
  }
}

template <typename Visit>
void ForEachCustomKey(const VehicleSectionKeys& keys, Visit&& visit) {
  keys.ForEachCustomKey(visit);
}

// The text of named key `index`, or nullptr when the section does not hold it. Told to a settings
// observer, if one is set, like the keys of the other loaders.
template <typename Keys>
const std::string* Find(const Keys& keys, size_t index) {
  const std::string* text = FindNamed(keys, index);
  ReportKeyAsked(kVehicleSectionKeys[index], text);
  return text;
}

// The same for a global key.
const std::string* Find(const SettingsTable& table, std::string_view key) {
  const auto found = table.find(std::string(key));
  const std::string* text = found == table.end() ? nullptr : &found->second;
  ReportKeyAsked(key, text);
  return text;
}

// Runs `store` on a key's text, unless the key is absent (nullptr). A conversion error stops only
// this key: what `store` writes to stays as it was.
template <typename Store>
void ConvertKey(const std::string* text, Store&& store) {
  if (text == nullptr) return;
  try {
    store(*text);
  } catch (const SettingsConversionError&) {
    // The setting keeps its value; the next key is converted as usual.
  }
}

void ConvertInt(const std::string* text, int32_t& out) {
  ConvertKey(text, [&out](const std::string& value) { out = ParseInt(value); });
}

void ConvertFloat(const std::string* text, float& out) {
  ConvertKey(text, [&out](const std::string& value) { out = ParseFloat(value); });
}

void ConvertFlag(const std::string* text, bool& out) {
  ConvertKey(text, [&out](const std::string& value) { out = ParseFlag(value); });
}

// A vector of this feature: the components read in turn; the first one that is missing or not a
// number, and every one after it, is 0.
std::array<float, 3> LightVector(const std::string& text) noexcept {
  return ParseVectorList(text).values;
}

bool IsCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// True when nothing but white space follows the first `count` numbers of a colour list, that is
// when a read after them would find the end of the text rather than something that is no number.
bool OnlySpaceAfterNumbers(std::string_view text, int count) noexcept {
  size_t pos = 0;
  const auto skip_space = [&] {
    while (pos < text.size() && IsCSpace(text[pos])) ++pos;
  };
  for (int i = 0; i < count; ++i) {
    skip_space();
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
  }
  skip_space();
  return pos == text.size();
}

// A colour of this feature: each channel read keeps its low 8 bits. Reading stops at the first
// channel that is not a number, which becomes 0; the channels after it, and channels missing at the
// end of the text, are 255. So "10 20" is (10, 20, 255) and "10,20,30" is (10, 0, 255).
std::array<uint8_t, 3> LightColour(const std::string& text) noexcept {
  const IntList3 list = ParseColourList(text);
  std::array<uint8_t, 3> rgb{255, 255, 255};
  for (int i = 0; i < list.count; ++i) rgb[i] = static_cast<uint8_t>(list.values[i]);
  if (list.count < 3 && !OnlySpaceAfterNumbers(text, list.count)) rgb[list.count] = 0;
  return rgb;
}

// The fixed light of one group: enabled exactly when its Offset key is present.
template <typename Keys>
VehicleLight ReadFixedLight(const Keys& keys, size_t group, const std::array<uint8_t, 3>& colour) {
  const auto key = [group](FixedLightField field) { return FixedLightKey(group, field); };
  VehicleLight light;
  light.Colour = colour;
  if (const std::string* offset = Find(keys, key(kOffset))) {
    light.Enabled = true;
    light.Offset = LightVector(*offset);
  }
  if (const std::string* text = Find(keys, key(kColor))) light.Colour = LightColour(*text);
  ConvertInt(Find(keys, key(kStartDelay)), light.StartDelay);
  ConvertInt(Find(keys, key(kType)), light.Type);
  ConvertInt(Find(keys, key(kOnTime)), light.OnTime);
  ConvertInt(Find(keys, key(kOffTime)), light.OffTime);
  ConvertFloat(Find(keys, key(kSize)), light.Size);
  ConvertInt(Find(keys, key(kHourOn)), light.HourOn);
  ConvertInt(Find(keys, key(kHourOff)), light.HourOff);
  ConvertFloat(Find(keys, key(kBrightness)), light.PointLightBrightness);
  return light;
}

// Stores one field of a custom light; a field name that is none of the custom ones changes nothing.
void StoreCustomField(std::string_view field, const std::string& text, VehicleLight& light) {
  if (field == "CustomLight_Offset") {
    light.Offset = LightVector(text);
  } else if (field == "CustomLight_Color") {
    light.Colour = LightColour(text);
  } else if (field == "CustomLight_Type") {
    ConvertInt(&text, light.Type);
  } else if (field == "CustomLight_OnTime") {
    ConvertInt(&text, light.OnTime);
  } else if (field == "CustomLight_OffTime") {
    ConvertInt(&text, light.OffTime);
  } else if (field == "CustomLight_Size") {
    ConvertFloat(&text, light.Size);
  } else if (field == "CustomLight_HourOn") {
    ConvertInt(&text, light.HourOn);
  } else if (field == "CustomLight_HourOff") {
    ConvertInt(&text, light.HourOff);
  } else if (field == "CustomLight_PointLightBrightness") {
    ConvertFloat(&text, light.PointLightBrightness);
  } else if (field == "CustomLight_StartDelay") {
    ConvertInt(&text, light.StartDelay);
  }
}

// The custom lights of a section in ascending number. A light exists, enabled, as soon as any key
// "<number>-CustomLight_..." names it; its keys are taken in ascending key order.
template <typename Keys>
std::vector<VehicleLight> ReadCustomLights(const Keys& keys) {
  std::map<int32_t, VehicleLight> lights;
  ForEachCustomKey(keys, [&lights](const std::string& key, const std::string& text) {
    const size_t infix = key.find(kCustomInfix);
    int32_t number = 0;
    try {
      number = ParseInt(key.substr(0, infix));
    } catch (const SettingsConversionError&) {
      return;  // no light number: the key names no light
    }
    auto [entry, created] = lights.try_emplace(number);
    if (created) entry->second.Enabled = true;
    StoreCustomField(std::string_view(key).substr(infix + 1), text, entry->second);
  });
  std::vector<VehicleLight> ordered;
  ordered.reserve(lights.size());
  for (auto& [number, light] : lights) ordered.push_back(light);
  return ordered;
}

template <typename Keys>
void AddSection(std::string_view name, const Keys& keys, VehicleLightTable& table) {
  if (!IsVehicleSectionName(name)) return;
  const std::string* model_text = Find(keys, 0);
  if (model_text == nullptr) return;
  int32_t model = 0;
  try {
    model = ParseInt(*model_text);
  } catch (const SettingsConversionError&) {
    return;  // no model to put the lights on
  }

  VehicleLightSet set;
  set[LightGroup::Left] = ReadFixedLight(keys, 0, {255, 0, 0});
  set[LightGroup::Right] = ReadFixedLight(keys, 1, {0, 255, 0});
  set[LightGroup::Middle] = ReadFixedLight(keys, 2, {255, 100, 0});
  set.CustomLights = ReadCustomLights(keys);
  table.insert_or_assign(model, std::move(set));
}

}  // namespace

void ConvertVehicleLightSettings(const SettingsTable& table, VehicleLightSettingsState& settings) {
  ConvertFlag(Find(table, kVehicleLightGlobalKeys[0]), settings.VehicleLightsGlobalEnable);
  ConvertFlag(Find(table, kVehicleLightGlobalKeys[1]), settings.EnablePointLight);
  if (const std::string* text = Find(table, kVehicleLightGlobalKeys[2])) {
    settings.PointLightDirection = LightVector(*text);
  }
  ConvertFlag(Find(table, kVehicleLightGlobalKeys[3]), settings.PointLightAtCenter);
  if (const std::string* text = Find(table, kVehicleLightGlobalKeys[4])) {
    settings.PointLightOffset = LightVector(*text);
  }
  ConvertFloat(Find(table, kVehicleLightGlobalKeys[5]), settings.PointLightDistanceFactor);
}

bool IsVehicleSectionName(std::string_view name) noexcept {
  return name.find("Veh_") != std::string_view::npos && !name.starts_with("Veh_off");
}

void AddVehicleLightSection(std::string_view name, const SettingsTable& keys, VehicleLightTable& table) {
  AddSection(name, keys, table);
}

void VehicleSectionKeys::Clear() noexcept {
  present_.reset();
  custom_count_ = compacted_count_ = stored_ = 0;
  sorted_.clear();
}

void VehicleSectionKeys::Store(std::string_view key, std::string_view value) {
  if (const int index = NamedKeyIndex(key); index >= 0) {
    named_[index].assign(value);
    present_.set(index);
    return;
  }
  // Keys that the lights do not read, or that name no light, are not kept.
  if (key.empty() || !MayNameCustomLight(key.front())) return;
  if (key.find(kCustomInfix) == std::string_view::npos) return;
  // While a section has few custom keys, a repeated one replaces the earlier value in place.
  if (custom_count_ < kFewCustomKeys) {
    for (size_t i = 0; i < custom_count_; ++i) {
      if (custom_[i].key == key) {
        custom_[i].value.assign(value);
        return;
      }
    }
  }
  if (custom_count_ == custom_.size()) custom_.emplace_back();
  CustomKey& custom = custom_[custom_count_++];
  custom.key.assign(key);
  custom.value.assign(value);
  custom.order = stored_++;
  // Beyond that, repeats are dropped whenever they could have doubled what is kept.
  if (custom_count_ >= kFewCustomKeys && custom_count_ >= 2 * compacted_count_) Compact();
}

void VehicleSectionKeys::SortCustomKeys() {
  // By key, and among occurrences of one key by their order, through pointers so that no string
  // moves; of the occurrences of one key, now side by side, the last one stays.
  sorted_.resize(custom_count_);
  for (size_t i = 0; i < custom_count_; ++i) sorted_[i] = &custom_[i];
  std::sort(sorted_.begin(), sorted_.end(), [](const CustomKey* a, const CustomKey* b) {
    const int order = a->key.compare(b->key);
    return order < 0 || (order == 0 && a->order < b->order);
  });
  size_t kept = 0;
  for (size_t i = 0; i < sorted_.size(); ++i) {
    if (i + 1 < sorted_.size() && sorted_[i + 1]->key == sorted_[i]->key) continue;
    sorted_[kept++] = sorted_[i];
  }
  sorted_.resize(kept);
}

void VehicleSectionKeys::Compact() {
  SortCustomKeys();
  std::vector<CustomKey> kept;
  kept.reserve(sorted_.size());
  for (CustomKey* custom : sorted_) kept.push_back(std::move(*custom));
  custom_.swap(kept);
  custom_count_ = compacted_count_ = custom_.size();
  sorted_.clear();
}

void VehicleSectionKeys::Finish() { SortCustomKeys(); }

void VehicleSectionCollector::Line(std::string_view text) { Take(text, SplitSettingsLine); }

void VehicleSectionCollector::RunLine(std::string_view text) { Take(text, SettingsLines::Split); }

template <typename Split>
void VehicleSectionCollector::Take(std::string_view text, Split&& split) {
  const size_t first = FirstNonBlank(text);
  const bool bracket = first < text.size() && text[first] == '[';
  // Outside a model section only a header matters.
  if (!collecting_ && !bracket) return;
  const SettingsLine line = split(text);
  if (line.is_header) {
    // A "[name]" line ends the section before it and starts the next one.
    Finish();
    collecting_ = IsVehicleSectionName(line.section);
    name_.assign(line.section);
    keys_.Clear();
  } else if (collecting_ && line.is_entry) {
    // A "key = value" line of a model section; a repeated key replaces the earlier value.
    keys_.Store(line.key, line.value);
  }
}

void VehicleSectionCollector::Finish() {
  if (collecting_) {
    keys_.Finish();
    AddSection(name_, keys_, table_);
  }
  collecting_ = false;
}

void LoadVehicleLights(VehicleLightTable& table, VehicleLightSettingsState& settings) {
  table.clear();
  // One pass: the global keys from wherever they stand, and the model sections.
  const SettingsKeys global_keys(kVehicleLightGlobalKeys);
  SettingsTable globals;
  VehicleSectionCollector collector(table);
  SettingsLineReader reader;
  std::string_view line, key, value;
  for (SettingsLines lines; reader.NextLines(lines);) {
    while (lines.Next(line)) {
      if (global_keys.Match(line, key, value)) {
        globals.insert_or_assign(std::string(key), std::string(value));
      }
      collector.RunLine(line);
    }
  }
  if (reader.is_open()) collector.Finish();
  ConvertVehicleLightSettings(globals, settings);
}

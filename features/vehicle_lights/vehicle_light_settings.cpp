#include "features/vehicle_lights/vehicle_light_settings.h"

#include <algorithm>
#include <map>
#include <utility>

#include "settings/convert.h"
#include "settings/line_splitter.h"

VehicleLightSettingsState VehicleLightSettings;

namespace {

constexpr std::string_view kCustomInfix = kVehicleCustomLightInfix;
constexpr size_t kFieldCount = kVehicleLightFields.size();

// Whether `text` begins with `start`, byte by byte: the names compared here are short, and most
// comparisons end at their first bytes.
bool BeginsWith(std::string_view text, std::string_view start) noexcept {
  if (text.size() < start.size()) return false;
  for (size_t i = 0; i < start.size(); ++i) {
    if (text[i] != start[i]) return false;
  }
  return true;
}

// Where `key` stands in kVehicleSectionKeyNames, or -1 when it is none of them. Every line of a
// model section comes here.
int NamedKeyIndex(std::string_view key) noexcept {
  size_t group = 0;
  switch (key.empty() ? '\0' : key.front()) {
    case 'M':
      if (key == kVehicleModelKey.name) return 0;
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
  if (!BeginsWith(key, prefix)) return -1;
  const std::string_view field = key.substr(prefix.size());
  for (size_t f = 0; f < kFieldCount; ++f) {
    const std::string_view name = kVehicleLightFields[f].name;
    if (name.size() == field.size() && BeginsWith(field, name)) {
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
  return FindValue(keys, kVehicleSectionKeyNames[index]);
}

const std::string* FindNamed(const VehicleSectionValues& keys, size_t index) {
  return keys.Find(index);
}

template <typename Visit>
void ForEachCustomKey(const SettingsTable& keys, Visit&& visit) {
  for (const auto& [key, text] : keys) {
    if (key.find(kCustomInfix) != std::string::npos) visit(key, text);
  }
}

template <typename Visit>
void ForEachCustomKey(const VehicleSectionValues& keys, Visit&& visit) {
  keys.ForEachCustomKey(visit);
}

// The fixed light of one group, of the default colour `colour`: enabled exactly when its Offset
// key is present.
template <typename Keys>
VehicleLight ReadFixedLight(const Keys& keys, size_t group, const std::array<uint8_t, 3>& colour) {
  VehicleLight light;
  light.Colour = colour;
  KeyConverter converter(OnBadValue::kGoOn);
  for (size_t field = 0; field < kFieldCount; ++field) {
    const size_t index = FixedLightKey(group, field);
    const std::string* text = FindNamed(keys, index);
    if (text == nullptr) {
      converter.Absent(kVehicleSectionKeyNames[index]);
    } else {
      kVehicleLightFields[field].convert(converter, kVehicleSectionKeyNames[index], text, light);
    }
  }
  return light;
}

// The custom lights of a section in ascending number. A light exists, enabled, as soon as any key
// "<number>-CustomLight_..." names it; its keys are taken in ascending key order.
template <typename Keys>
std::vector<VehicleLight> ReadCustomLights(const Keys& keys) {
  std::map<int32_t, VehicleLight> lights;
  KeyConverter converter(OnBadValue::kGoOn);
  ForEachCustomKey(keys, [&](const std::string& key, const std::string& text) {
    const size_t infix = key.find(kCustomInfix);
    int32_t number = 0;
    try {
      number = ParseInt(key.substr(0, infix));
    } catch (const SettingsConversionError&) {
      return;  // no light number: the key names no light
    }
    auto [entry, created] = lights.try_emplace(number);
    if (created) entry->second.Enabled = true;
    // A field name that is none of the light's changes nothing.
    if (const SettingsKey<VehicleLight>* field = CustomLightField(key)) {
      field->convert(converter, key, &text, entry->second);
    }
  });
  std::vector<VehicleLight> ordered;
  ordered.reserve(lights.size());
  for (auto& [number, light] : lights) ordered.push_back(light);
  return ordered;
}

template <typename Keys>
void AddSection(std::string_view name, const Keys& keys, VehicleLightTable& table) {
  if (!IsVehicleSectionName(name)) return;
  const std::string* model_text = FindNamed(keys, 0);
  ReportKeyAsked(kVehicleModelKey.name, model_text);
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

// Collects the settings file's model sections as one pass over the file finds them, and the global
// keys wherever they stand; adds each section to the table when its end is reached (the next
// header, or Finish at the end of the file).
class VehicleSectionCollector {
 public:
  explicit VehicleSectionCollector(VehicleLightTable& table) : table_(table) {}

  bool Section(std::string_view name) {
    // A "[name]" line ends the section before it and starts the next one.
    Finish();
    collecting_ = IsVehicleSectionName(name);
    name_.assign(name);
    values_.Clear();
    return collecting_;
  }
  void Entry(std::string_view key, std::string_view value) { values_.Store(key, value); }
  void Anywhere(std::string_view key, std::string_view value) {
    globals.insert_or_assign(std::string(key), std::string(value));
  }

  void Finish() {
    if (collecting_) {
      values_.Finish();
      AddSection(name_, values_, table_);
    }
    collecting_ = false;
  }

  SettingsTable globals;

 private:
  VehicleLightTable& table_;
  bool collecting_ = false;  // lines before the first header belong to no section
  std::string name_;
  VehicleSectionValues values_;
};

}  // namespace

void EnableLightAt(VehicleLight& light, const std::string& text) {
  light.Enabled = true;
  light.Offset = ParseVectorList(text).values;
}

void ReadLightColour(VehicleLight& light, const std::string& text) {
  const IntList3 list = ParseColourList(text);
  std::array<uint8_t, 3> rgb{255, 255, 255};
  for (int i = 0; i < list.count; ++i) rgb[i] = static_cast<uint8_t>(list.values[i]);
  if (list.count < 3 && !list.ends_after_numbers) rgb[list.count] = 0;
  light.Colour = rgb;
}

const SettingsKey<VehicleLight>* CustomLightField(std::string_view key) noexcept {
  const size_t infix = key.find(kCustomInfix);
  if (infix == std::string_view::npos) return nullptr;
  const std::string_view field = key.substr(infix + kCustomInfix.size());
  for (const SettingsKey<VehicleLight>& row : kVehicleLightFields) {
    if (row.name == field) return &row;
  }
  return nullptr;
}

const KeyInfo* VehicleSectionKeyInfo(std::string_view key) noexcept {
  const int index = NamedKeyIndex(key);
  if (index == 0) return &kVehicleModelKey;
  if (index > 0) return &kVehicleLightFields[static_cast<size_t>(index - 1) % kFieldCount];
  return CustomLightField(key);
}

void ConvertVehicleLightSettings(const SettingsTable& table, VehicleLightSettingsState& settings) {
  ConvertKeys(kVehicleLightGlobalKeys, table, settings, OnBadValue::kGoOn);
}

bool IsVehicleSectionName(std::string_view name) noexcept {
  return name.find(kVehicleSectionMark) != std::string_view::npos &&
         !name.starts_with(kVehicleSectionOff);
}

void AddVehicleLightSection(std::string_view name, const SettingsTable& keys, VehicleLightTable& table) {
  AddSection(name, keys, table);
}

void VehicleSectionValues::Clear() noexcept {
  present_.reset();
  custom_count_ = compacted_count_ = stored_ = 0;
  sorted_.clear();
}

void VehicleSectionValues::Store(std::string_view key, std::string_view value) {
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

void VehicleSectionValues::SortCustomKeys() {
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

void VehicleSectionValues::Compact() {
  SortCustomKeys();
  std::vector<CustomKey> kept;
  kept.reserve(sorted_.size());
  for (CustomKey* custom : sorted_) kept.push_back(std::move(*custom));
  custom_.swap(kept);
  custom_count_ = compacted_count_ = custom_.size();
  sorted_.clear();
}

void VehicleSectionValues::Finish() { SortCustomKeys(); }

void LoadVehicleLights(VehicleLightTable& table, VehicleLightSettingsState& settings) {
  table.clear();
  // One pass: the global keys from wherever they stand, and the model sections.
  const SettingsKeys global_keys(KeyNames(kVehicleLightGlobalKeys));
  VehicleSectionCollector collector(table);
  if (VisitSettingsFile(nullptr, collector, &global_keys)) collector.Finish();
  ConvertVehicleLightSettings(collector.globals, settings);
}

#include "features/vehicle_lights/vehicle_light_loader.h"

#include <map>
#include <utility>

#include "settings/convert.h"
#include "settings/line_splitter.h"

namespace {

// The text of `key`, or nullptr when the table does not hold it. Told to a settings observer, if
// one is set, like the keys of the other loaders.
const std::string* Find(const SettingsTable& keys, const std::string& key) {
  const auto found = keys.find(key);
  const std::string* text = found == keys.end() ? nullptr : &found->second;
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
VehicleLight ReadFixedLight(const SettingsTable& keys, const char* group,
                            const std::array<uint8_t, 3>& colour) {
  const std::string prefix = std::string(group) + "Light_";
  VehicleLight light;
  light.Colour = colour;
  if (const std::string* offset = Find(keys, prefix + "Offset")) {
    light.Enabled = true;
    light.Offset = LightVector(*offset);
  }
  if (const std::string* text = Find(keys, prefix + "Color")) light.Colour = LightColour(*text);
  ConvertInt(Find(keys, prefix + "StartDelay"), light.StartDelay);
  ConvertInt(Find(keys, prefix + "Type"), light.Type);
  ConvertInt(Find(keys, prefix + "OnTime"), light.OnTime);
  ConvertInt(Find(keys, prefix + "OffTime"), light.OffTime);
  ConvertFloat(Find(keys, prefix + "Size"), light.Size);
  ConvertInt(Find(keys, prefix + "HourOn"), light.HourOn);
  ConvertInt(Find(keys, prefix + "HourOff"), light.HourOff);
  ConvertFloat(Find(keys, prefix + "PointLightBrightness"), light.PointLightBrightness);
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
// "<number>-CustomLight_..." names it.
std::vector<VehicleLight> ReadCustomLights(const SettingsTable& keys) {
  constexpr std::string_view kInfix = "-CustomLight_";
  std::map<int32_t, VehicleLight> lights;
  for (const auto& [key, text] : keys) {
    const size_t infix = key.find(kInfix);
    if (infix == std::string::npos) continue;
    int32_t number = 0;
    try {
      number = ParseInt(key.substr(0, infix));
    } catch (const SettingsConversionError&) {
      continue;  // no light number: the key names no light
    }
    auto [entry, created] = lights.try_emplace(number);
    if (created) entry->second.Enabled = true;
    StoreCustomField(std::string_view(key).substr(infix + 1), text, entry->second);
  }
  std::vector<VehicleLight> ordered;
  ordered.reserve(lights.size());
  for (auto& [number, light] : lights) ordered.push_back(light);
  return ordered;
}

}  // namespace

void ConvertVehicleLightSettings(const SettingsTable& table, VehicleLightSettingsState& settings) {
  ConvertFlag(Find(table, "VehicleLightsGlobalEnable"), settings.VehicleLightsGlobalEnable);
  ConvertFlag(Find(table, "EnablePointLight"), settings.EnablePointLight);
  if (const std::string* text = Find(table, "PointLightDirection")) {
    settings.PointLightDirection = LightVector(*text);
  }
  ConvertFlag(Find(table, "PointLightAtCenter"), settings.PointLightAtCenter);
  if (const std::string* text = Find(table, "PointLightOffset")) {
    settings.PointLightOffset = LightVector(*text);
  }
  ConvertFloat(Find(table, "PointLightDistanceFactor"), settings.PointLightDistanceFactor);
}

bool IsVehicleSectionName(std::string_view name) noexcept {
  return name.find("Veh_") != std::string_view::npos && !name.starts_with("Veh_off");
}

void AddVehicleLightSection(std::string_view name, const SettingsTable& keys, VehicleLightTable& table) {
  if (!IsVehicleSectionName(name)) return;
  const std::string* model_text = Find(keys, "Model");
  if (model_text == nullptr) return;
  int32_t model = 0;
  try {
    model = ParseInt(*model_text);
  } catch (const SettingsConversionError&) {
    return;  // no model to put the lights on
  }

  VehicleLightSet set;
  set[LightGroup::Left] = ReadFixedLight(keys, "Left", {255, 0, 0});
  set[LightGroup::Right] = ReadFixedLight(keys, "Right", {0, 255, 0});
  set[LightGroup::Middle] = ReadFixedLight(keys, "Middle", {255, 100, 0});
  set.CustomLights = ReadCustomLights(keys);
  table.insert_or_assign(model, std::move(set));
}

void VehicleSectionCollector::Line(std::string_view text) {
  const SettingsLine line = SplitSettingsLine(text);
  if (line.is_header) {
    // A "[name]" line ends the section before it and starts the next one.
    Finish();
    collecting_ = IsVehicleSectionName(line.section);
    name_.assign(line.section);
    keys_.clear();
  } else if (collecting_ && line.is_entry) {
    // A "key = value" line of a model section; a repeated key replaces the earlier value.
    keys_.insert_or_assign(std::string(line.key), std::string(line.value));
  }
}

void VehicleSectionCollector::Finish() {
  if (collecting_) AddVehicleLightSection(name_, keys_, table_);
  collecting_ = false;
}

void LoadVehicleLights(VehicleLightTable& table, VehicleLightSettingsState& settings) {
  table.clear();
  ConvertVehicleLightSettings(ReadAllSettings(), settings);
  VehicleSectionCollector collector(table);
  if (ForEachSettingsLine([&collector](std::string_view line) { collector.Line(line); })) {
    collector.Finish();
  }
}

// The loaders keep only the keys they ask for: each names them, its table must be exactly the one
// the line grammar gives for those keys, and the vehicle lights' single pass must make the table
// that their sections make one by one. The grammar's model here is a plain reading of the rules
// (split at line ends, comment cut, trim, first "=", headers), independent of the reader's
// buffers and shortcuts, on generated files that put lines across the reader's buffer boundaries.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "settings/convert.h"
#include "settings/line_splitter.h"
#include "settings/reader.h"
#include "startup.h"
#include "tests/conversion_oracle.h"
#include "tests/game_folder.h"

namespace {

namespace fs = std::filesystem;

// Records the keys asked for while it lives.
class AskedKeys final : public SettingsObserver {
 public:
  AskedKeys() { previous_ = SetSettingsObserver(this); }
  ~AskedKeys() { SetSettingsObserver(previous_); }
  void KeyAsked(std::string_view key, const std::string*, bool) noexcept override {
    keys.emplace_back(key);
  }
  void ValueConverted(const std::string&, SettingsValueKind, const char*) noexcept override {}
  std::vector<std::string> keys;

 private:
  SettingsObserver* previous_ = nullptr;
};

template <typename Names>
std::vector<std::string> Strings(const Names& names) {
  return std::vector<std::string>(std::begin(names), std::end(names));
}

template <typename Names>
std::vector<std::string> Strings(const Names& names, std::string_view (*name)(const KeyInfo&)) {
  std::vector<std::string> strings;
  for (const auto& info : names) strings.emplace_back(name(info));
  return strings;
}

std::string_view NameOf(const KeyInfo& info) { return info.name; }

// Each loader of the start-up converts exactly the keys it names, in their order; and a model
// section's named keys are asked for in the order of their names.
TEST(LoaderKeys, EachLoaderAsksForExactlyTheKeysItNamesInItsOrder) {
  const SettingsTable empty;
  for (const SettingsLoader* loader : kStartupLoaders) {
    AskedKeys asked;
    loader->convert(empty);
    EXPECT_EQ(asked.keys, Strings(loader->keys, NameOf)) << loader->name;
  }
  AskedKeys asked;
  VehicleLightTable made;
  AddVehicleLightSection("Veh_", {{"Model", "0"}}, made);
  EXPECT_EQ(asked.keys, Strings(kVehicleSectionKeyNames));
}

// The line grammar read plainly, byte by byte: the reader's own splitter is what is tested.
SettingsLine PlainSplit(std::string_view line) {
  SettingsLine split;
  line = line.substr(0, std::min(line.find(';'), line.size()));
  const auto trim = [](std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
  };
  const std::string_view trimmed = trim(line);
  if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
    split.is_header = true;
    split.section = trimmed.substr(1, trimmed.size() - 2);
  }
  if (const size_t equals = line.find('='); equals != std::string_view::npos) {
    split.is_entry = true;
    split.key = trim(line.substr(0, equals));
    split.value = trim(line.substr(equals + 1));
  }
  return split;
}

// The splitter takes a line apart as the plain reading does whatever its length and wherever its
// "=", ";" and brackets stand, across the 16-byte blocks it looks at: lines of 0 to 40 bytes with
// those at every place.
TEST(LineGrammar, TheSplitterAgreesWithThePlainReadingAtEveryLengthAndPlace) {
  const auto same = [](const SettingsLine& a, const SettingsLine& b) {
    return a.is_header == b.is_header && a.section == b.section && a.is_entry == b.is_entry &&
           a.key == b.key && a.value == b.value;
  };
  for (size_t length = 0; length <= 40; ++length) {
    for (size_t equals = 0; equals <= length; ++equals) {
      for (size_t comment = 0; comment <= length; ++comment) {
        std::string line(length, 'k');
        for (size_t i = 0; i < length; i += 7) line[i] = ' ';
        if (length > 0) line.front() = '[', line.back() = ']';
        if (equals < length) line[equals] = '=';
        if (equals + 5 < length) line[equals + 5] = '=';  // only the first one splits
        if (comment < length) line[comment] = ';';
        ASSERT_TRUE(same(SplitSettingsLine(line), PlainSplit(line))) << '"' << line << '"';
      }
    }
  }
}

// The grammar, read plainly from the whole text of a file.
struct GrammarModel {
  explicit GrammarModel(std::string_view text) {
    text = text.substr(0, text.find('\x1a'));  // text mode ends at a Ctrl-Z
    while (!text.empty()) {
      const size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      if (end != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines.push_back(line);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
  }
  SettingsTable All() const {
    SettingsTable table;
    for (std::string_view text : lines) {
      const SettingsLine line = PlainSplit(text);
      if (line.is_entry) table.insert_or_assign(std::string(line.key), std::string(line.value));
    }
    return table;
  }
  SettingsTable Section(std::string_view name) const {
    SettingsTable table;
    bool inside = false;
    for (std::string_view text : lines) {
      const SettingsLine line = PlainSplit(text);
      if (line.is_header) {
        inside = line.section == name;
      } else if (inside && line.is_entry) {
        table.insert_or_assign(std::string(line.key), std::string(line.value));
      }
    }
    return table;
  }
  // The model sections one by one, each made into lights on its own.
  VehicleLightTable VehicleSections() const {
    VehicleLightTable made;
    std::string name;
    SettingsTable keys;
    bool collecting = false;
    const auto finish = [&] {
      if (collecting) AddVehicleLightSection(name, keys, made);
    };
    for (std::string_view text : lines) {
      const SettingsLine line = PlainSplit(text);
      if (line.is_header) {
        finish();
        collecting = true;
        name = line.section;
        keys.clear();
      } else if (collecting && line.is_entry) {
        keys.insert_or_assign(std::string(line.key), std::string(line.value));
      }
    }
    finish();
    return made;
  }
  std::vector<std::string_view> lines;
};

SettingsTable Restricted(const SettingsTable& table, const std::vector<std::string>& keys) {
  SettingsTable kept;
  for (const std::string& key : keys) {
    if (const auto found = table.find(key); found != table.end()) kept.insert(*found);
  }
  return kept;
}

// A settings file made of lines that test the grammar's corners with the loaders' keys and with
// keys that only look like them, in the loaders' sections and others, with CR LF and LF line
// ends, now and then a line longer than the reader's buffer, a Ctrl-Z or no last line end.
std::string GeneratedFile(std::mt19937& random, size_t lines) {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> all = {"Size2", "NumStar", "NumStarsX", "numstars", "Num Stars",
                                    "\xEF\xBB\xBFMinHour", "[Moon_Size", "Model2", "Veh_",
                                    "01-CustomLight_Size", "1-CustomLight_Size", "+1-CustomLight_Type",
                                    "x-CustomLight_Size", "2-CustomLight_Bogus", "-3-CustomLight_Color",
                                    "3-CustomLight_Offset", "1-CustomLight_Offset-CustomLight_Size"};
    for (const SettingsLoader* loader : kStartupLoaders) {
      for (const KeyInfo& key : loader->keys) all.emplace_back(key.name);
    }
    all.insert(all.end(), kVehicleSectionKeyNames.begin(), kVehicleSectionKeyNames.end());
    return all;
  }();
  static const std::vector<std::string> headers = {
      "[ShootingStars]", "[MoonSettings]", "  [RStarLogo] ; the sign", "[ ShootingStars ]",
      "[MoonSettings", "[RStarLogo]x", "[Veh_Taxi]", "[Veh_off_Bus]", "[MyVeh_Car]", "[Other]",
      "\t[Veh_A=1]", "; [MoonSettings]"};
  static const std::vector<std::string> values = {"1", "0.5", " 255 128 0 ", "2.5x", "-1 2 3",
                                                  "a=b", "", "12 ; comment", "true", "1e3"};
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    const unsigned pick = random() % 400;
    std::string line;
    if (pick < 48) {
      line = headers[random() % headers.size()];
    } else if (pick < 49) {
      line = std::string(70000 + random() % 2, 'x') + " = long";  // beyond the 64 KiB buffer
    } else if (pick < 64) {
      line = "; " + keys[random() % keys.size()] + " = commented";
    } else {
      const std::string& key = keys[random() % keys.size()];
      const char* spacing[] = {" = ", "=", " \t= ", "  =\t", " ; = "};
      line = std::string(random() % 4 == 0 ? " \t" : "") + key + spacing[random() % 5] +
             values[random() % values.size()];
    }
    text += line;
    text += random() % 3 == 0 ? "\n" : "\r\n";
  }
  if (random() % 4 == 0) text.insert(random() % text.size(), "\x1a");
  if (random() % 2 == 0 && text.back() == '\n') text.pop_back();
  return text;
}

TEST(LoaderKeys, TablesOfNamedKeysAreTheGrammarsTablesCutToThoseKeys) {
  GameFolder folder;
  std::mt19937 random(20241209);
  const std::vector<std::string> star = Strings(KeyNames(kStarSettingKeys));
  const std::vector<std::string> moon = Strings(KeyNames(kMoonSettingKeys));
  const std::vector<std::string> shooting = Strings(KeyNames(kShootingStarKeys));
  const std::vector<std::string> sky = Strings(KeyNames(kSkyLogoKeys));
  for (int round = 0; round < 60; ++round) {
    const std::string text = GeneratedFile(random, 50 + random() % 2000);
    folder.WriteSettings(text);
    const GrammarModel model(text);
    ASSERT_EQ(ReadAllSettings(), model.All()) << "round " << round;
    EXPECT_EQ(ReadAllSettings(SettingsKeys(star)), Restricted(model.All(), star));
    for (const auto& [section, keys] : {std::pair{"MoonSettings", moon}, {"ShootingStars", shooting},
                                        {"RStarLogo", sky}}) {
      ASSERT_EQ(ReadSettingsSection(section), model.Section(section)) << "round " << round;
      EXPECT_EQ(ReadSettingsSection(section, SettingsKeys(keys)),
                Restricted(model.Section(section), keys))
          << section << ", round " << round;
    }

    // The vehicle lights: the global keys from the whole file, and every model section.
    VehicleLightSettingsState expected_settings, settings;
    ConvertVehicleLightSettings(model.All(), expected_settings);
    VehicleLightTable lights;
    LoadVehicleLights(lights, settings);
    EXPECT_EQ(lights, model.VehicleSections()) << "round " << round;
    const auto fields = [](const VehicleLightSettingsState& s) {
      return std::tuple(s.VehicleLightsGlobalEnable, s.EnablePointLight, s.PointLightDirection,
                        s.PointLightAtCenter, s.PointLightOffset, s.PointLightDistanceFactor);
    };
    EXPECT_EQ(fields(settings), fields(expected_settings)) << "round " << round;
  }
}

// A model section with many custom lights, each key repeated and written in ways that name the
// same light: the last occurrence of a key wins, and of two keys that name the same light and
// field the one later in key order.
TEST(LoaderKeys, ModelSectionsWithManyRepeatedCustomKeysMakeTheSameLights) {
  GameFolder folder;
  std::string text = "[Veh_Many]\nModel = 5\n";
  for (int round = 0; round < 3; ++round) {
    for (int light = 0; light < 150; ++light) {
      const std::string n = std::to_string(light);
      text += n + "-CustomLight_Size = " + std::to_string(round * 1000 + light) + "\n";
      text += "0" + n + "-CustomLight_Type = " + std::to_string(round) + "\n";
      text += "+" + n + "-CustomLight_Type = " + std::to_string(light % 3) + "\n";
    }
  }
  folder.WriteSettings(text);
  VehicleLightTable lights;
  VehicleLightSettingsState settings;
  LoadVehicleLights(lights, settings);
  const VehicleLightTable expected = GrammarModel(text).VehicleSections();
  ASSERT_EQ(lights, expected);
  ASSERT_EQ(lights.at(5).CustomLights.size(), 150u);
  EXPECT_EQ(lights.at(5).CustomLights[7].Size, 2007.0f);
}

// Plain decimal values, the common case, converted without the C++ library where one rounding
// gives them: the same floats as the C library's and the stream's.
TEST(ParseFloat, PlainDecimalsAgreeWithTheCLibraryAndTheStream) {
  std::mt19937 random(7);
  for (int i = 0; i < 50000; ++i) {
    std::string text;
    const int digits = 1 + static_cast<int>(random() % 12);
    for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
    if (random() % 2) text.insert(random() % (text.size() + 1), ".");
    if (random() % 3 == 0) {
      text += random() % 2 ? "e" : "E";
      if (random() % 2) text += random() % 2 ? "-" : "+";
      text += std::to_string(random() % 14);
    }
    float expected = 0.0f;
    if (!StrtofExpectation(text, &expected).empty()) continue;
    EXPECT_TRUE(SameFloat(ParseFloat(text), expected)) << text;
    const std::vector<float> streamed = StreamNumbers<float>(text);
    const FloatList3 list = ParseVectorList(text);
    ASSERT_EQ(list.count, static_cast<int>(streamed.size())) << text;
    if (list.count == 1) {
      EXPECT_TRUE(SameFloat(list.values[0], streamed[0])) << text;
    }
  }
}

}  // namespace

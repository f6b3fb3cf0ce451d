// The settings file "Nightglass.ini": where it is looked for, its line grammar, and the two ways of
// turning it into a key-to-value table. Nothing here keeps state between calls and nothing is
// ever written to the file.
#pragma once

#include <map>
#include <string>
#include <string_view>

// Key text to value text. Keys compare byte by byte (case-sensitive); the last occurrence wins.
using SettingsTable = std::map<std::string, std::string>;

// Every key = value line of the file, whatever section it stands in. Empty when no file opens.
SettingsTable ReadAllSettings();

// The key = value lines inside every section whose name equals `section` exactly.
SettingsTable ReadSettingsSection(std::string_view section);

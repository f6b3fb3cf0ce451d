// The settings file "Nightglass.ini": where it is looked for, its line grammar, and the two ways of
// turning it into a key-to-value table. Nothing here keeps state between calls and nothing is
// ever written to the file.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

// Key text to value text. Keys compare byte by byte (case-sensitive); the last occurrence wins.
using SettingsTable = std::map<std::string, std::string>;

// Every key = value line of the file, whatever section it stands in. Empty when no file opens.
SettingsTable ReadAllSettings();

// The key = value lines inside every section whose name equals `section` exactly.
SettingsTable ReadSettingsSection(std::string_view section);

// Opens the first settings file found ("Nightglass.ini", then the copies in "plugins" and
// "scripts" below the current directory) and calls `visit` with each of its lines in file order,
// without the line end. The file is read as text: a CR directly before an LF belongs to the line
// end, and a Ctrl-Z byte (0x1A) ends the file. Returns false, without calling `visit`, when no
// file opens. For readers with their own use of the line grammar (see line_splitter.h).
bool ForEachSettingsLine(const std::function<void(std::string_view line)>& visit);

// The first of the places above where a settings file opens, or null when none does.
const char* FindSettingsFile();

// The three readers above for the file at `path` rather than the first settings file found (which
// a null `path` stands for): for a tool that explains a given file.
SettingsTable ReadAllSettingsFrom(const char* path);
SettingsTable ReadSettingsSectionFrom(const char* path, std::string_view section);
bool ForEachSettingsLineFrom(const char* path, const std::function<void(std::string_view line)>& visit);

// The settings file taken apart line by line with the plugin's own line grammar: each line
// numbered and placed in the section it stands in, so that what the loaders read can be traced
// back to the lines it came from.
#pragma once

#include <string>
#include <vector>

struct FileLine {
  int number = 0;  // from 1
  bool is_header = false;
  bool is_entry = false;
  // Neither a header nor key = value, nor blank once its comment is cut off (nor only a byte-order
  // mark in front of a header or a blank): the readers skip it.
  bool is_ignored = false;
  std::string section;  // a header's name
  std::string key;      // an entry's key and value, trimmed
  std::string value;
  // The section the line stands in (an index into FileLines::sections), -1 before the first
  // header; on a header line, the section it opens.
  int section_index = -1;
};

struct FileSection {
  std::string name;
  size_t header = 0;  // index of its header line
};

struct FileLines {
  std::vector<FileLine> lines;
  std::vector<FileSection> sections;
  // The first line begins with the three bytes of a UTF-8 byte-order mark, and without them it
  // would be a section header.
  bool starts_with_bom = false;
  bool bom_hides_header = false;
  // The line holding the file's first Ctrl-Z byte (0x1A), which ends the file for the readers as it
  // does for text read by the C runtime, or 0 when there is none; and how many lines of the file
  // follow that line, unread. The lines hold that line, also when the byte begins it.
  int end_of_text_line = 0;
  int lines_after_end = 0;
  bool text_after_end = false;  // anything but white space follows the byte
};

// Reads the file at `path` the way the plugin's readers do (same line ends, same end of text).
// False when it does not open.
bool ReadFileLines(const char* path, FileLines& out);

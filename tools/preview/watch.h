// Following the settings file of a game folder as a modder edits it: which of the plugin's three
// places holds it and what it holds, seen by a cheap poll of the places' time and size. A poll
// treats every way an editor saves alike (written in place, a temporary file renamed over it,
// deleted and written anew), sees a folder such as plugins/ that appears later, and works the same
// on Linux, on Windows and under Wine, whose change notification a poll does not depend on.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace preview {

// What the plugin would read from a game folder at one moment.
struct SettingsSnapshot {
  enum class State { kNone, kRead, kUnreadable };
  State state = State::kNone;
  std::string relative;  // kRead, kUnreadable: which of the plugin's places, as it names it
  std::string path;      // the full path of that place
  std::string content;   // kRead
  std::string problem;   // kUnreadable: why it does not read

  bool operator==(const SettingsSnapshot&) const = default;
};

// Reads the first of the plugin's places in `folder` that holds a regular file, as the plugin
// would (sharing the file with an editor that has it open).
SettingsSnapshot ReadSettingsSnapshot(const std::string& folder);

// Polls a game folder and hands out a snapshot once the file has settled after a change: when the
// places look as they did one poll before (so a file seen half written is read again once its
// writer is done), or, for the file's disappearing or not reading, once that has lasted
// kGoneGrace (so an editor that deletes the file and writes it anew shows no picture without it).
// The file is also read again every kRecheck, for a change that left its time and size as they
// were (coarse file times).
class SettingsFollower {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kGoneGrace = std::chrono::milliseconds(400);
  static constexpr Clock::duration kRecheck = std::chrono::seconds(1);

  explicit SettingsFollower(std::string folder) : folder_(std::move(folder)) {}

  // One poll at `now`: the snapshot to show, when it differs from the last one handed out (the
  // first poll always hands one out, once settled).
  std::optional<SettingsSnapshot> Poll(Clock::time_point now);

 private:
  // For each place: whether a regular file is there, its size and its time.
  struct Look {
    std::array<int64_t, 9> fields{};
    bool operator==(const Look&) const = default;
  };
  Look LookNow() const;

  std::string folder_;
  std::optional<Look> previous_;   // at the poll before
  std::optional<Look> read_look_;  // when the file was last read
  std::optional<SettingsSnapshot> shown_;
  std::optional<Clock::time_point> missing_since_;  // the file gone or unreadable since then
  Clock::time_point last_read_{};
};

}  // namespace preview

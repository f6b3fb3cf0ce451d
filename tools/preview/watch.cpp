#include "tools/preview/watch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/settings_file.h"

namespace preview {

namespace fs = std::filesystem;

SettingsSnapshot ReadSettingsSnapshot(const std::string& folder) {
  SettingsSnapshot snapshot;
  for (const char* relative : kSettingsFilePaths) {
    const fs::path place = fs::path(folder) / relative;
    std::error_code error;
    if (!fs::is_regular_file(place, error)) continue;
    snapshot.relative = relative;
    snapshot.path = place.string();
    errno = 0;
    std::FILE* file = OpenSharedForReading(snapshot.path.c_str());
    if (file == nullptr) {
      snapshot.state = SettingsSnapshot::State::kUnreadable;
      snapshot.problem = errno != 0 ? std::strerror(errno)
                                    : "it does not open (another program may be holding it)";
      return snapshot;
    }
    char buffer[16 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
      snapshot.content.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
      snapshot.state = SettingsSnapshot::State::kUnreadable;
      snapshot.problem = "reading it failed";
      snapshot.content.clear();
      return snapshot;
    }
    snapshot.state = SettingsSnapshot::State::kRead;
    return snapshot;
  }
  return snapshot;
}

SettingsFollower::Look SettingsFollower::LookNow() const {
  Look look;
  for (std::size_t i = 0; i < kSettingsFilePaths.size(); ++i) {
    const fs::path place = fs::path(folder_) / kSettingsFilePaths[i];
    std::error_code error;
    if (!fs::is_regular_file(place, error)) continue;
    look.fields[3 * i] = 1;
    const auto size = fs::file_size(place, error);
    look.fields[3 * i + 1] = error ? -1 : static_cast<int64_t>(size);
    const auto time = fs::last_write_time(place, error);
    look.fields[3 * i + 2] = error ? -1 : static_cast<int64_t>(time.time_since_epoch().count());
  }
  return look;
}

std::optional<SettingsSnapshot> SettingsFollower::Poll(Clock::time_point now) {
  const Look look = LookNow();
  const bool settled = previous_ && *previous_ == look;
  const bool changed = !read_look_ || !(*read_look_ == look);
  previous_ = look;
  // Still changing: read it once it has held still for a poll.
  if (!settled) return std::nullopt;
  if (!changed && !missing_since_ && now - last_read_ < kRecheck) return std::nullopt;
  read_look_ = look;
  last_read_ = now;
  SettingsSnapshot snapshot = ReadSettingsSnapshot(folder_);
  if (shown_ && snapshot == *shown_) {
    missing_since_.reset();
    return std::nullopt;
  }
  // A file that was there and is now gone or does not open may be an editor's save in progress.
  if (snapshot.state != SettingsSnapshot::State::kRead && shown_ &&
      shown_->state == SettingsSnapshot::State::kRead) {
    if (!missing_since_) missing_since_ = now;
    if (now - *missing_since_ < kGoneGrace) return std::nullopt;
  }
  missing_since_.reset();
  shown_ = snapshot;
  return snapshot;
}

}  // namespace preview

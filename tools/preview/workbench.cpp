#include "tools/preview/workbench.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "tools/preview/child.h"
#include "tools/preview/clip.h"
#include "tools/preview/report.h"
#include "tools/preview/text.h"

namespace preview {

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::milliseconds kPollEvery{50};

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  char text[16] = "?";
  // Only the watch thread asks, so the C library's one buffer is not shared.
  if (const std::tm* local = std::localtime(&now))
    std::strftime(text, sizeof text, "%H:%M:%S", local);
  return text;
}

std::string Seconds(std::chrono::steady_clock::duration d) {
  char text[16];
  std::snprintf(text, sizeof text, "%.2f",
                std::chrono::duration_cast<std::chrono::duration<double>>(d).count());
  return text;
}

// A snapshot of the settings written into a folder of its own, at the place it was found, so that
// the emulated host and the checker read the same bytes however the file changes meanwhile.
class SnapshotFolder {
 public:
  SnapshotFolder(const std::string& scratch, const std::string& name, const Tools& tools,
                 const SettingsSnapshot& snapshot)
      : folder_((fs::path(scratch) / name).string()), tools_(tools) {
    std::error_code error;
    fs::remove_all(folder_, error);
    fs::create_directories(folder_, error);
    if (error)
      throw PreviewError(kExitFailure,
                         "cannot make the folder " + folder_ + ": " + error.message());
    tools_.settings = folder_;
    tools_.settings_file.clear();
    if (snapshot.state != SettingsSnapshot::State::kRead) return;
    const fs::path file = fs::path(folder_) / snapshot.relative;
    fs::create_directories(file.parent_path(), error);
    WriteFileAtomically(file.string(), "a copy of the settings file", snapshot.content.data(),
                        snapshot.content.size());
    tools_.settings_file = file.string();
  }
  ~SnapshotFolder() {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
  SnapshotFolder(const SnapshotFolder&) = delete;
  SnapshotFolder& operator=(const SnapshotFolder&) = delete;
  const Tools& tools() const { return tools_; }

 private:
  std::string folder_;
  Tools tools_;
};

// The tools as the page names them: the modder's folder and file, not the copies.
Tools DisplayTools(const Tools& tools, const SettingsSnapshot& snapshot) {
  Tools display = tools;
  display.settings_file = snapshot.state == SettingsSnapshot::State::kNone ? "" : snapshot.path;
  return display;
}

bool ParseBool(const std::string& text, bool* value) {
  if (text == "1" || text == "true") {
    *value = true;
  } else if (text == "0" || text == "false") {
    *value = false;
  } else {
    return false;
  }
  return true;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

bool ChangeView(const std::map<std::string, std::string>& values, int fps, WorkbenchView* view,
                std::string* error) {
  WorkbenchView changed = *view;
  for (const auto& [name, value] : values) {
    if (name == "clock") {
      const int minute = ParseClock(value);
      if (minute < 0) {
        *error = "bad clock `" + value + "`: give HH:MM from 00:00 to 23:59";
        return false;
      }
      changed.minute = minute;
    } else if (name == "timer") {
      uint64_t timer = 0;
      const auto result = std::from_chars(value.data(), value.data() + value.size(), timer);
      if (value.empty() || result.ec != std::errc() || result.ptr != value.data() + value.size() ||
          timer > UINT32_MAX) {
        *error = "bad timer `" + value + "`: give milliseconds from 0 to 4294967295";
        return false;
      }
      changed.timer = static_cast<uint32_t>(timer);
    } else if (name == "camera") {
      if (value == "city") {
        changed.camera = CameraPreset::kCity;
      } else if (value == "sky") {
        changed.camera = CameraPreset::kSky;
      } else if (value == "street") {
        changed.camera = CameraPreset::kStreet;
      } else {
        *error = "unknown camera `" + value + "`: city, sky or street";
        return false;
      }
    } else if (name == "timeline" || name == "clip" || name == "sheet") {
      bool* flag = name == "timeline" ? &changed.timeline
                   : name == "clip"   ? &changed.clip
                                      : &changed.sheet;
      if (!ParseBool(value, flag)) {
        *error = "bad " + name + " `" + value + "`: give 1 or 0";
        return false;
      }
    } else if (name == "seconds") {
      double seconds = 0;
      const auto result = std::from_chars(value.data(), value.data() + value.size(), seconds);
      const double frames = std::round(seconds * fps);
      if (value.empty() || result.ec != std::errc() || result.ptr != value.data() + value.size() ||
          !(seconds > 0) || frames < 1 || frames > kMostClipFrames) {
        *error = "bad clip length `" + value + "`: give seconds, from one frame to " +
                 std::to_string(kMostClipFrames) + " frames at " + std::to_string(fps) +
                 " a second";
        return false;
      }
      changed.clip_seconds = seconds;
    } else {
      *error = "unknown setting `" + name + "`";
      return false;
    }
  }
  *view = changed;
  return true;
}

struct Workbench::Job {
  SettingsSnapshot file;
  uint64_t file_version = 0;
  std::string seen;
  WorkbenchView view;
  uint64_t view_version = 0;
  std::optional<SettingsSnapshot> good;
  uint64_t good_version = 0;
  std::string good_seen;
};

Workbench::Workbench(const Options& options, const Tools& tools)
    : options_(options), tools_(tools) {
  view_.minute = options.hour * 60 + options.minute;
  view_.timer = options.timer;
  view_.camera = options.camera;
  view_.clip_seconds = options.clip.seconds;
  scratch_ =
      (fs::path(tools.temp) / ("nightglass-workbench-" + std::to_string(ProcessId()))).string();
  instance_ = std::to_string(ProcessId()) + "-" + std::to_string(std::time(nullptr));
  std::error_code error;
  fs::create_directories(scratch_, error);
  if (error)
    throw PreviewError(kExitFailure, "cannot make the folder " + scratch_ + ": " + error.message());
}

Workbench::~Workbench() {
  std::error_code error;
  fs::remove_all(scratch_, error);
}

void Workbench::Changed() {
  ++version_;
  state_changed_.notify_all();
}

void Workbench::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  Changed();
  work_.notify_all();
}

void Workbench::WatchLoop() {
  SettingsFollower follower(tools_.settings);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    const std::optional<SettingsSnapshot> snapshot = follower.Poll(SettingsFollower::Clock::now());
    if (snapshot) SettingsSeen(*snapshot);
    lock.lock();
    work_.wait_for(lock, kPollEvery, [&] { return stopping_; });
  }
}

void Workbench::SettingsSeen(const SettingsSnapshot& snapshot) {
  const std::string seen = LocalTimeText();
  std::lock_guard<std::mutex> lock(mutex_);
  file_ = snapshot;
  ++file_version_;
  file_seen_ = seen;
  if (snapshot.state == SettingsSnapshot::State::kUnreadable) {
    status_kind_ = "older";
    status_text_ = "The settings file " + snapshot.path + " does not read now (" +
                   snapshot.problem +
                   "): the page shows the render before it. It is read again when it changes.";
  } else {
    status_kind_ = "busy";
    status_text_ = file_version_ == 1 ? "Making the first render…"
                                      : "The settings file changed at " + seen + ": rendering it…";
  }
  Changed();
  work_.notify_all();
}

void Workbench::SetView(const WorkbenchView& view) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (view == view_) return;
  view_ = view;
  ++view_version_;
  status_kind_ = "busy";
  status_text_ = "Rendering what you asked for…";
  Changed();
  work_.notify_all();
}

WorkbenchView Workbench::View() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return view_;
}

void Workbench::Publish(const std::string& name, std::string json, const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  StoredPart& part = parts_[name];
  part.json = std::move(json);
  part.key = key;
  part.stamp = ++stamps_;
  Changed();
}

bool Workbench::Has(const std::string& name, const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = parts_.find(name);
  return it != parts_.end() && it->second.key == key;
}

bool Workbench::Superseded(const Job& job) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_ || file_version_ != job.file_version || view_version_ != job.view_version;
}

void Workbench::SetStatusFor(const Job& job, const std::string& kind, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Checked under the same lock as the change: a file or view that came meanwhile keeps its own
  // word, and the page never reads "up to date" about an older one.
  if (stopping_ || file_version_ != job.file_version || view_version_ != job.view_version) return;
  status_kind_ = kind;
  status_text_ = text;
  Changed();
}

void Workbench::RenderLoop(std::ostream& log) {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      work_.wait(lock, [&] {
        return stopping_ || (file_version_ > 0 &&
                             (file_version_ != started_file_ || view_version_ != started_view_));
      });
      if (stopping_) return;
      job = {file_,         file_version_, file_seen_,    view_,
             view_version_, good_,         good_version_, good_seen_};
      started_file_ = file_version_;
      started_view_ = view_version_;
    }
    try {
      Render(job, log);
    } catch (const std::exception& e) {
      if (!Superseded(job)) {
        SetStatusFor(job, "older",
                     "The file as saved at " + job.seen + " could not be rendered (" + e.what() +
                         "): the page shows the render before it.");
        log << "nightglass-preview: the file as saved at " << job.seen
            << " could not be rendered: " << e.what() << "\n"
            << std::flush;
      }
    }
  }
}

void Workbench::Render(const Job& job, std::ostream& log) {
  if (job.file.state == SettingsSnapshot::State::kUnreadable) return;  // SettingsSeen said why
  const auto started = std::chrono::steady_clock::now();
  std::ostream quiet(nullptr);
  const std::string version = std::to_string(job.file_version);

  // The findings of the file as it is now come first, whatever the picture will show.
  const SnapshotFolder current(scratch_, "file-" + version, tools_, job.file);
  const SettingsCheck check = CheckSettings(current.tools().settings_file);
  std::size_t errors = 0;
  for (const Finding& f : check.findings) errors += f.severity == Severity::kError;
  // Made again only for a new file, so that a new view leaves the page's settings list alone.
  if (!Has("settings", "file-" + version)) {
    SettingsCheck shown = check;
    shown.path = job.file.path;
    Publish("settings", SettingsPart(shown, DisplayTools(tools_, job.file)).json,
            "file-" + version);
  }

  // A file with values that do not read (often one that is still being typed) keeps the last
  // picture of a file without them, when there is one.
  const bool hold = errors > 0 && job.good.has_value();
  if (errors == 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    good_ = job.file;
    good_version_ = job.file_version;
    good_seen_ = job.seen;
  }
  const SettingsSnapshot& shown = hold ? *job.good : job.file;
  const uint64_t shown_version = hold ? job.good_version : job.file_version;
  std::optional<SnapshotFolder> held;
  if (hold) held.emplace(scratch_, "good-" + std::to_string(shown_version), tools_, shown);
  const Tools& run = hold ? held->tools() : current.tools();
  const SettingsCheck shown_check = hold ? CheckSettings(run.settings_file) : check;
  const Tools display = DisplayTools(tools_, shown);

  const WorkbenchView& view = job.view;
  SceneSettings scene;
  scene.hour = view.minute / 60;
  scene.minute = view.minute % 60;
  scene.timer = view.timer;
  scene.camera = view.camera;
  if (!run.settings_file.empty()) scene.models = VehicleModels(run.settings_file);
  Options moment_options = options_;
  moment_options.hour = scene.hour;
  moment_options.minute = scene.minute;
  moment_options.timer = scene.timer;
  moment_options.camera = scene.camera;
  const std::string moment_key = std::to_string(shown_version) + "/" + std::to_string(view.minute) +
                                 "/" + std::to_string(view.timer) + "/" + CameraName(view.camera);
  const int width = options_.width, height = options_.height;

  // The still.
  if (!Has("moment", moment_key))
    Publish("moment", MomentPart(moment_options, scene, display).json, moment_key);
  if (still_key_ != moment_key || !Has("still", moment_key)) {
    try {
      still_frame_ = ReadTrace(RunScene(run, scene));
    } catch (const PreviewError&) {
      throw;
    } catch (const std::runtime_error& e) {
      throw PreviewError(kExitFailure, e.what());
    }
    still_key_ = moment_key;
    FrameRenderer renderer(scene, width, height);
    const Image background = renderer.Render(view.minute, TraceFrame());
    const Image still = RenderPicture(scene, still_frame_, width, height);
    Publish("still", StillPart(still, background).json, moment_key);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    picture_file_ = shown_version;
  }
  const auto still_done = std::chrono::steady_clock::now();
  if (Superseded(job)) return;
  SetStatusFor(job, "busy",
               "The picture and the findings are up to date; making the timeline and the clip…");

  // The timeline, and the features, whose reasons for showing nothing read it.
  if (timeline_key_ != moment_key) {
    timeline_ = RunTimeline(run, scene, quiet);
    timeline_key_ = moment_key;
  }
  if (!Has("timeline", moment_key))
    Publish("timeline", TimelinePart(timeline_, view.minute).json, moment_key);
  if (!Has("features", moment_key)) {
    Publish("features",
            FeaturesPart(scene, still_frame_, width, height, shown_check, timeline_).json,
            moment_key);
  }
  if (Superseded(job)) return;

  // The clip, whose first frame is the still.
  const std::string clip_key = moment_key + "/" + std::to_string(view.clip_seconds);
  if (view.clip && !Has("clip", clip_key)) {
    ClipOptions clip = options_.clip;
    clip.seconds = view.clip_seconds;
    clip.timelapse = false;
    std::vector<uint8_t> png;
    const ClipResult made = MakeClip(
        run, scene, clip, width, height,
        [&](const uint8_t* data, std::size_t size) { png.insert(png.end(), data, data + size); },
        quiet);
    Publish("clip", ClipPart(png, clip, made.frames, scene).json, clip_key);
  }
  if (Superseded(job)) return;

  // The clock slider's pictures.
  const std::string sheet_key = std::to_string(shown_version) + "/" + std::to_string(view.timer) +
                                "/" + CameraName(view.camera);
  if (view.sheet && !Has("sheet", sheet_key)) {
    const std::vector<int> minutes =
        SheetMinutes(options_.sheet_from, options_.sheet_to, options_.sheet_step);
    const std::vector<Image> tiles =
        SheetTiles(run, scene, minutes, width, height, false, quiet, nullptr);
    Publish("sheet", SheetPart(minutes, tiles).json, sheet_key);
  }
  if (Superseded(job)) return;

  std::string text;
  if (hold) {
    text = "Older picture: it shows the file as saved at " + job.good_seen +
           ". The file as saved at " + job.seen + " has " +
           Plural(errors, "value that does not read", "values that do not read") +
           " (see the findings beside their lines); the picture follows once " +
           (errors == 1 ? "it reads." : "they read.");
  } else if (job.file.state == SettingsSnapshot::State::kNone) {
    text = "No Nightglass.ini in " + tools_.settings +
           " (nor in its plugins or scripts folder): the picture shows the plugin's defaults. A "
           "file saved in any of the three places is picked up.";
  } else {
    text = "Up to date: the file as saved at " + job.seen + ".";
    if (errors > 0) {
      text += " It has " + Plural(errors, "value that does not read", "values that do not read") +
              ", for which the plugin keeps its defaults (see the findings).";
    }
  }
  SetStatusFor(job, hold ? "older" : "current", text);
  log << "nightglass-preview: rendered the file as saved at " << job.seen << " ("
      << CameraName(view.camera) << " camera at " << ClockText(view.minute) << "): the picture in "
      << Seconds(still_done - started) << " s, everything in "
      << Seconds(std::chrono::steady_clock::now() - started) << " s\n"
      << std::flush;
}

std::string Workbench::StateJson(uint64_t after, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  // A page that has another version than this, also one left from an earlier workbench on the same
  // port, is answered at once.
  state_changed_.wait_for(lock, wait, [&] { return stopping_ || version_ != after; });
  const char* state = file_.state == SettingsSnapshot::State::kRead         ? "read"
                      : file_.state == SettingsSnapshot::State::kUnreadable ? "unreadable"
                                                                            : "none";
  std::string json =
      "{\"version\":" + std::to_string(version_) + ",\"server\":" + JsonString(instance_);
  json += ",\"stopping\":" + std::string(stopping_ ? "true" : "false");
  json += ",\"file\":{\"version\":" + std::to_string(file_version_) + ",\"state\":\"" + state +
          "\",\"path\":" + JsonString(file_.path) + ",\"seen\":" + JsonString(file_seen_) + "}";
  json += ",\"picture\":{\"file\":" + std::to_string(picture_file_) + "}";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", view_.clip_seconds);
  json += ",\"view\":{\"clock\":" + JsonString(ClockText(view_.minute)) +
          ",\"timer\":" + std::to_string(view_.timer) +
          ",\"camera\":" + JsonString(CameraName(view_.camera)) +
          ",\"timeline\":" + (view_.timeline ? "true" : "false") +
          ",\"clip\":" + (view_.clip ? "true" : "false") +
          ",\"sheet\":" + (view_.sheet ? "true" : "false") + ",\"seconds\":" + seconds + "}";
  json += ",\"status\":{\"kind\":" + JsonString(status_kind_) +
          ",\"text\":" + JsonString(status_text_) + "}";
  json += ",\"parts\":{";
  bool first = true;
  for (const auto& [name, part] : parts_) {
    json += (first ? "" : ",") + JsonString(name) + ":" + std::to_string(part.stamp);
    first = false;
  }
  return json + "}}";
}

std::optional<std::pair<std::string, uint64_t>> Workbench::Part(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = parts_.find(name);
  if (it == parts_.end()) return std::nullopt;
  return std::make_pair(it->second.json, it->second.stamp);
}

std::string Workbench::Page() {
  std::string page = ReportPage({{"live", "{\"api\":\"/api/\"}"}});
  // The report allows itself nothing outside the page; the workbench's page also asks its server.
  const std::string policy = "default-src 'none';";
  const std::size_t at = page.find(policy);
  if (at == std::string::npos)
    throw std::logic_error("the report page's content security policy moved");
  page.replace(at, policy.size(), "default-src 'none'; connect-src 'self';");
  return page;
}

}  // namespace preview

// The workbench (nightglass-preview --serve): the night report of a game folder's settings, served
// to a browser on this machine and kept current as the file is saved. A watch thread follows the
// file (watch.h), a render thread makes the report's parts again for each new file or view, the
// still and the checker's findings first, then the timeline and the features, the clip and the
// clock slider's pictures, and the page (the report's own, in its live mode) asks for the state
// and fetches each part that changed. The HTTP side is in serve.cpp.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "tools/preview/preview.h"
#include "tools/preview/timeline.h"
#include "tools/preview/watch.h"

namespace preview {

// What the page asks to see: the moment and the camera, and which of the slower parts to make.
struct WorkbenchView {
  int minute = 60;
  uint32_t timer = 60000;
  CameraPreset camera = CameraPreset::kCity;
  bool timeline = true;
  bool clip = true;
  bool sheet = true;
  double clip_seconds = 10;

  bool operator==(const WorkbenchView&) const = default;
};

// `view` with the values the page sent (clock, timer, camera, timeline, clip, sheet, seconds; each
// optional). False with the message in `error` for a value that is not one of its kind.
bool ChangeView(const std::map<std::string, std::string>& values, int fps, WorkbenchView* view,
                std::string* error);

class Workbench {
 public:
  // `tools` as FindTools made them; `options` for the picture size, the clip's rate and the
  // sheet's hours, and the first view.
  Workbench(const Options& options, const Tools& tools);
  ~Workbench();
  Workbench(const Workbench&) = delete;
  Workbench& operator=(const Workbench&) = delete;

  // Follows the settings folder until Stop (a thread of its own).
  void WatchLoop();
  // Renders each new file or view until Stop (a thread of its own). Each render's one-line summary
  // goes to `log`.
  void RenderLoop(std::ostream& log);
  // Ends both loops and wakes every waiting page request.
  void Stop();

  // What the watch loop does with a snapshot it hands out.
  void SettingsSeen(const SettingsSnapshot& snapshot);
  void SetView(const WorkbenchView& view);
  WorkbenchView View() const;

  // The state as JSON once its version is other than `after` (at once when it is), or when `wait`
  // has passed or the workbench stops: its version and which workbench it is, the file, the view,
  // what the page shows and why, and each part's stamp.
  std::string StateJson(uint64_t after, std::chrono::milliseconds wait);
  // A part's JSON and its stamp; nothing for a part not made (yet).
  std::optional<std::pair<std::string, uint64_t>> Part(const std::string& name) const;

  // The page: the report's page in its live mode.
  static std::string Page();

 private:
  struct Job;
  struct StoredPart {
    std::string json;
    uint64_t stamp = 0;
    std::string key;  // what it was made from
  };
  void Render(const Job& job, std::ostream& log);
  bool Superseded(const Job& job) const;
  void Publish(const std::string& name, std::string json, const std::string& key);
  bool Has(const std::string& name, const std::string& key) const;
  // The status of `job`, unless a newer file or view has come.
  void SetStatusFor(const Job& job, const std::string& kind, const std::string& text);
  void Changed();  // with mutex_ held

  Options options_;
  Tools tools_;
  std::string scratch_;   // this workbench's folder of the temporary folder
  std::string instance_;  // tells this workbench from an earlier one on the same port

  mutable std::mutex mutex_;
  std::condition_variable state_changed_;
  std::condition_variable work_;
  bool stopping_ = false;
  uint64_t version_ = 1;
  uint64_t stamps_ = 0;
  SettingsSnapshot file_;
  uint64_t file_version_ = 0;
  std::string file_seen_;  // the local time it was seen at
  WorkbenchView view_;
  uint64_t view_version_ = 1;
  uint64_t started_file_ = 0, started_view_ = 0;  // the last job taken up
  // The last file without errors, whose pictures stay while the file has errors.
  std::optional<SettingsSnapshot> good_;
  uint64_t good_version_ = 0;
  std::string good_seen_;
  uint64_t picture_file_ = 0;  // the file version the picture shows
  std::string status_kind_ = "busy", status_text_ = "Starting: looking for the settings file.";
  std::map<std::string, StoredPart> parts_;

  // Kept from one render to the next, for the parts that need them (render thread only).
  TraceFrame still_frame_;
  std::string still_key_;
  Timeline timeline_;
  std::string timeline_key_;
};

// Whether a request's Host header names this server: 127.0.0.1 or localhost with its port.
bool LoopbackHost(const std::string& host, int port);

// The whole --serve run: listens on 127.0.0.1, prints the address, opens the browser (unless
// --no-open) and serves until Ctrl-C or the console closes. Returns the exit status; never throws.
int ServeWorkbench(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace preview

// The workbench's HTTP side: cpp-httplib listening on the loopback address, answering only the
// page and its few requests, each checked before it is routed.
#include <atomic>
#include <cctype>
#include <charconv>
#include <deque>
#include <thread>

#include "tools/preview/child.h"
#include "tools/preview/workbench.h"

// Connections that come at once wait in the system's queue for the server to take them, rather
// than being turned away to try again seconds later.
#define CPPHTTPLIB_LISTEN_BACKLOG 256
// Last: on Windows it brings windows.h, whose macros (`far`, `near`) would break our headers.
#include <httplib.h>

namespace preview {

namespace {

// How many connections are served at once, and how many more may wait for a thread; past that the
// server takes no new connection until one is done, so that a flood of connections waits in the
// system's queue rather than in memory. Each connection that waits for its request polls its
// socket, which under Wine goes through the Wine server: more threads made the server slower
// there, not faster.
constexpr std::size_t kServingThreads = 16;
constexpr std::size_t kMostWaiting = 256;
// The page's requests carry no body; anything larger than this is refused before it is read.
constexpr std::size_t kMostBody = 64 * 1024;
// A long poll of the state answers at the latest after this, so that a page notices a workbench
// that has gone.
constexpr std::chrono::seconds kLongestPoll{15};

// The connections' threads, with the waiting ones bounded (the library's own pool queues without
// a bound).
class BoundedPool : public httplib::TaskQueue {
 public:
  BoundedPool() {
    for (std::size_t i = 0; i < kServingThreads; ++i) threads_.emplace_back([this] { Work(); });
  }
  void enqueue(std::function<void()> job) override {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return ending_ || jobs_.size() < kMostWaiting; });
    // Once ending, a connection that has not been served is closed with the program.
    if (ending_) return;
    jobs_.push_back(std::move(job));
    ready_.notify_one();
  }
  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ending_ = true;
      jobs_.clear();
    }
    ready_.notify_all();
    room_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return ending_ || !jobs_.empty(); });
        if (ending_) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      room_.notify_one();
      job();
    }
  }

  std::vector<std::thread> threads_;
  std::deque<std::function<void()>> jobs_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  bool ending_ = false;
};

void Plain(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", "text/plain; charset=utf-8");
}

std::string Address(int port) { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

}  // namespace

bool LoopbackHost(const std::string& host, int port) {
  const std::string suffix = ":" + std::to_string(port);
  if (host.size() <= suffix.size() ||
      host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  std::string name = host.substr(0, host.size() - suffix.size());
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name == "127.0.0.1" || name == "localhost";
}

int ServeWorkbench(const Options& options, std::ostream& out, std::ostream& err) {
  try {
    const Tools tools = FindTools(options);
    Workbench workbench(options, tools);
    httplib::Server server;
    std::atomic<bool> ending{false}, listened{false};

    // A request is answered only when it was sent to this server by its own name: a page of
    // another site that gets a browser to send one through a name of its own (DNS rebinding) is
    // refused, and so is one of another site's pages asking the page's own questions.
    int port = 0;
    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
      if (!LoopbackHost(req.get_header_value("Host"), port)) {
        Plain(res, 403, "This workbench answers only requests to " + Address(port));
        return httplib::Server::HandlerResponse::Handled;
      }
      const std::string site = req.get_header_value("Sec-Fetch-Site");
      if (req.path != "/" && !site.empty() && site != "same-origin" && site != "none") {
        Plain(res, 403, "This workbench answers only its own page");
        return httplib::Server::HandlerResponse::Handled;
      }
      return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
      res.set_header("Cache-Control", "no-store");
      res.set_header("X-Content-Type-Options", "nosniff");
      res.set_header("Referrer-Policy", "no-referrer");
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
      if (res.body.empty()) {
        Plain(res, res.status,
              res.status == 404 ? "Not a page of this workbench"
                                : "Refused: " + std::to_string(res.status));
      }
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
          Plain(res, 500, "The workbench could not answer this request");
        });

    const std::string page = Workbench::Page();
    server.Get("/", [&](const httplib::Request&, httplib::Response& res) {
      res.set_content(page, "text/html; charset=utf-8");
    });
    server.Get("/api/state", [&](const httplib::Request& req, httplib::Response& res) {
      uint64_t after = 0;
      const std::string text = req.get_param_value("after");
      if (!text.empty()) {
        const auto result = std::from_chars(text.data(), text.data() + text.size(), after);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size())
          return Plain(res, 400, "bad `after`: give the version the page has");
      }
      const auto wait = req.get_param_value("wait") == "1" ? kLongestPoll : std::chrono::seconds(0);
      res.set_content(workbench.StateJson(after, wait), "application/json");
    });
    server.Get("/api/part/(moment|still|features|clip|sheet|timeline|settings)",
               [&](const httplib::Request& req, httplib::Response& res) {
                 const auto part = workbench.Part(req.matches[1]);
                 if (!part) return Plain(res, 404, "That part has not been made yet");
                 res.set_header("X-Part-Stamp", std::to_string(part->second));
                 res.set_content(part->first, "application/json");
               });
    // Changing the view needs a header that no page of another site can send without asking first,
    // which this server never allows.
    server.Post("/api/view", [&](const httplib::Request& req, httplib::Response& res) {
      if (req.get_header_value("X-Nightglass-Workbench") != "1")
        return Plain(res, 403, "Only the workbench's page changes what it shows");
      std::map<std::string, std::string> values;
      for (const auto& [name, value] : req.params) values[name] = value;
      WorkbenchView view = workbench.View();
      std::string error;
      if (!ChangeView(values, options.clip.fps, &view, &error)) return Plain(res, 400, error);
      workbench.SetView(view);
      res.set_content(workbench.StateJson(0, std::chrono::milliseconds(0)), "application/json");
    });

    server.new_task_queue = [] { return new BoundedPool(); };
    server.set_payload_max_length(kMostBody);
    server.set_read_timeout(2, 0);
    server.set_write_timeout(5, 0);
    // A connection that sends nothing holds a thread only this long.
    server.set_keep_alive_timeout(1);
    server.set_keep_alive_max_count(100);
    // One listener per port: the library's default would let a second program share it.
    server.set_socket_options([](socket_t sock) {
      int yes = 1;
#ifdef _WIN32
      setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
                 sizeof yes);
#else
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    });
    // The loopback address only: no other machine can reach the workbench.
    if (options.port == 0) {
      port = server.bind_to_any_port("127.0.0.1");
    } else {
      port = server.bind_to_port("127.0.0.1", options.port) ? options.port : -1;
    }
    if (port <= 0) {
      const std::string wanted = std::to_string(options.port);
      err << "nightglass-preview: cannot listen on 127.0.0.1:" << wanted
          << ": the port is in use (is a workbench already running? its page would be "
          << Address(options.port) << "); give another port with --port N, or --port 0 for any "
          << "free one\n";
      return kExitFailure;
    }

    // Ctrl-C, the console or terminal closing, or a request to end: the server stops taking
    // connections, the loops end, and the temporary copies are removed.
    OnEndRequest([&] {
      if (ending.exchange(true)) return;
      workbench.Stop();
      bool stopped = false;
      while (!listened) {
        if (!stopped && server.is_running()) {
          server.stop();
          stopped = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });

    // The request is forgotten however this function ends, before what it refers to goes.
    struct Forget {
      ~Forget() { EndRequestDone(); }
    } forget;
    std::thread watching([&] { workbench.WatchLoop(); });
    std::thread rendering([&] { workbench.RenderLoop(err); });
    const std::string settings = tools.settings_file.empty()
                                     ? tools.settings + " (no Nightglass.ini there yet)"
                                     : tools.settings_file;
    out << "nightglass-preview: the workbench of " << settings << " is at " << Address(port) << "\n"
        << "nightglass-preview: listening on the loopback address 127.0.0.1 only (no other "
           "machine can reach it); save the settings file and the page follows; Ctrl-C or "
           "closing this window ends it\n"
        << std::flush;
    if (options.open) {
      std::string why;
      if (OpenInBrowser(Address(port), &why)) {
        out << "nightglass-preview: opened the page in the default browser\n" << std::flush;
      } else {
        out << "nightglass-preview: open " << Address(port) << " in a browser (" << why << ")\n"
            << std::flush;
      }
    }
    if (!ending) server.listen_after_bind();
    listened = true;
    workbench.Stop();
    watching.join();
    rendering.join();
    out << "nightglass-preview: the workbench has ended\n" << std::flush;
    return kExitOk;
  } catch (const PreviewError& e) {
    err << "nightglass-preview: " << e.what() << "\n";
    return e.status;
  } catch (const std::exception& e) {
    err << "nightglass-preview: " << e.what() << "\n";
    return kExitFailure;
  }
}

}  // namespace preview

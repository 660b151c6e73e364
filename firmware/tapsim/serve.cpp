// serve.cpp - the HTTP side of tapsim's served mode.  The simulator is not
// thread-safe, so one thread (the caller's) owns every Sim_* call: it delivers
// the idle events in real time and the keys the page sends, and publishes
// the screen and the side panel's texts; the server's threads only queue
// requests and read what was published.
#include "serve.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "front.h"
#include "script.h"
#include "session.h"
#include "tapsim.h"
#include "web_assets.h"

namespace {

using Clock = std::chrono::steady_clock;
// The receiver's idle events come ten times a second; each moves the tick
// counter on by a tenth of a second.
constexpr auto kIdlePeriod = std::chrono::milliseconds(100);
constexpr size_t kTextTail = 48 * 1024;

volatile sig_atomic_t g_quit = 0;
void OnSignal(int) {
  g_quit = 1;
}

struct Request {
  enum Kind { Key, Char, Restart, RecordOn, RecordOff } kind;
  dword value;
  unsigned long long id;
};

// What the server threads and the simulator thread share; all under m.
struct Shared {
  std::mutex m;
  std::condition_variable wake;    // the simulator thread: a request came
  std::condition_variable changed; // the server threads: a request was done or a state published
  std::deque<Request> queue;
  unsigned long long nextId = 1, doneId = 0;
  std::map<unsigned long long, std::string> replies;
  std::shared_ptr<const std::string> png = std::make_shared<const std::string>();
  std::string state = "{}";
  unsigned long long version = 0;
  bool quitting = false;
};

bool ReadFile(const std::string &path, std::string &out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return true;
}

// A plug-in's log as the disk calls would open it: its folder inside the
// disk, the file itself no link and no device or FIFO (which would block or
// never end), and only its last max bytes.  -1 when it is not such a file.
int OpenLog(const std::string &folder, const std::string &file, struct stat &st) {
  char root[PATH_MAX], real[PATH_MAX];
  if (!realpath(Sim_DiskRoot(), root) || !realpath(folder.c_str(), real)) return -1;
  const size_t n = strlen(root);
  if (strncmp(real, root, n) != 0 || (real[n] != '/' && real[n] != 0)) return -1;
  const int fd = open((std::string(real) + "/" + file).c_str(),
                      O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string ReadTail(int fd, off_t size, size_t max) {
  std::string text(size_t(std::min<off_t>(size, off_t(max))), '\0');
  const off_t from = size - off_t(text.size());
  size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = pread(fd, &text[got], text.size() - got, from + off_t(got));
    if (n <= 0) break;
    got += size_t(n);
  }
  text.resize(got);
  return text;
}

// The plug-ins as they run live, on the simulator's side: events, recording,
// and what the page shows.
class LivePlugins {
public:
  LivePlugins(const ServeOptions &o, Shared &sh, std::string shotPath)
      : options_(o), sh_(sh), shotPath_(std::move(shotPath)) {}

  std::string Handle(const Request &r) {
    switch (r.kind) {
    case Request::Key:
    case Request::Char:
      return Press(r.kind == Request::Char, r.value);
    case Request::Restart:
      if (AnyRunning()) return "{\"restarted\":false,\"why\":\"the plug-in is running\"}";
      Restart();
      return std::string("{\"restarted\":") + (error_.empty() ? "true" : "false") + "}";
    case Request::RecordOn:
      recorder_.Begin();
      return "{\"recording\":true}";
    case Request::RecordOff:
      return recorder_.End("recorded.png");
    }
    return "{}";
  }

  void Idle() {
    if (!AnyRunning()) return;
    Sim_DeliverEvent(EVT_IDLE, 0, 0);
    recorder_.Idle();
  }

  // Publishes the screen when a sync changed it, and the panel's texts when
  // any of them changed; nothing when all is as it was.
  void Publish(bool force) {
    bool changed = force;
    const dword syncs = Sim_SyncCount();
    if (force || syncs != syncs_) {
      syncs_ = syncs;
      std::string png;
      if (Sim_Screenshot(shotPath_.c_str()) && ReadFile(shotPath_, png) && png != *lastPng_) {
        lastPng_ = std::make_shared<const std::string>(std::move(png));
        ++frame_;
        changed = true;
      }
    }
    // The terminal only grows; its end is all the page shows.
    const char *terminal = Sim_TerminalText();
    const size_t terminalSize = strlen(terminal);
    if (terminalSize != terminalSize_) {
      terminalSize_ = terminalSize;
      changed = true;
    }
    if (ReadLogs()) changed = true;
    const bool running = AnyRunning();
    if (wasRunning_ && !running) {
      summary_.clear();
      for (int i = 0; i < SIM_MAX_PLUGINS; ++i)
        if (*Sim_PluginName(i)) summary_ += PluginSummary(i) + "\n";
    }
    wasRunning_ = running;
    const std::string status = Status();
    if (status != status_ || recorder_.Recording() != recording_) {
      status_ = status;
      recording_ = recorder_.Recording();
      changed = true;
    }
    if (!changed) return;
    std::string json =
        "{\"frame\":" + std::to_string(frame_) + ",\"running\":" + (running ? "true" : "false") +
        ",\"recording\":" + (recording_ ? "true" : "false") + ",\"status\":" + web::Json(status_) +
        ",\"clock\":" + web::Json(ClockText()) + ",\"summary\":" + web::Json(summary_) +
        ",\"error\":" + web::Json(error_) + ",\"log\":" + web::Json(web::Tail(log_, kTextTail)) +
        ",\"terminal\":" +
        web::Json(web::Tail(
            terminal + (terminalSize > kTextTail ? terminalSize - kTextTail - 1 : 0), kTextTail)) +
        "}";
    std::lock_guard<std::mutex> lock(sh_.m);
    sh_.png = lastPng_;
    sh_.state = std::move(json);
    ++sh_.version;
    sh_.changed.notify_all();
  }

  unsigned long long Frame() const { return frame_; }

  void Restart() {
    error_.clear();
    if (!options_.start()) error_ = "the plug-ins could not be started again (see tapsim's output)";
    recorder_.Clear();
    wasRunning_ = AnyRunning();
    summary_.clear();
    logSignature_.clear();
    log_.clear();
    terminalSize_ = size_t(-1);
  }

private:
  std::string Press(bool character, dword code) {
    if (!AnyRunning()) return "{\"delivered\":false}";
    word event = character ? EVT_KEYBOARD : EVT_KEY;
    dword result = Sim_DeliverEvent(event, code, 0);
    if (character)
      recorder_.Char(code);
    else
      recorder_.Key(code);
    bool consumed = result == 0;
    const dword remote = character && !consumed ? web::RemoteKeyForChar(code) : 0;
    if (remote && AnyRunning()) {
      result = Sim_DeliverEvent(EVT_KEY, remote, 0);
      recorder_.Key(remote);
      consumed = result == 0;
    }
    return std::string("{\"delivered\":true,\"consumed\":") + (consumed ? "true" : "false") + "}";
  }

  // A plug-in's log by the receiver's convention:
  // /ProgramFiles/Settings/NAME/NAME.log for NAME.so.
  bool ReadLogs() {
    std::string signature;
    int fds[SIM_MAX_PLUGINS];
    off_t sizes[SIM_MAX_PLUGINS] = {};
    for (int i = 0; i < SIM_MAX_PLUGINS; ++i) {
      fds[i] = -1;
      std::string name = Sim_PluginName(i);
      if (name.empty()) continue;
      const size_t dot = name.rfind('.');
      if (dot != std::string::npos) name.erase(dot);
      struct stat st;
      if (name.find('/') == std::string::npos)
        fds[i] = OpenLog(std::string(Sim_DiskRoot()) + "/ProgramFiles/Settings/" + name,
                         name + ".log", st);
      if (fds[i] >= 0) {
        sizes[i] = st.st_size;
        signature += std::to_string(st.st_ino) + "." + std::to_string(st.st_size) + "." +
                     std::to_string(st.st_mtim.tv_nsec) + "." + std::to_string(st.st_mtim.tv_sec) +
                     ";";
      } else {
        signature += "-;";
      }
    }
    const bool changed = signature != logSignature_;
    if (changed) {
      logSignature_ = signature;
      log_.clear();
    }
    for (int i = 0; i < SIM_MAX_PLUGINS; ++i) {
      if (fds[i] < 0) continue;
      if (changed) log_ += ReadTail(fds[i], sizes[i], kTextTail);
      close(fds[i]);
    }
    return changed;
  }

  static std::string Status() {
    std::string s;
    for (int i = 0; i < SIM_MAX_PLUGINS; ++i) {
      if (!*Sim_PluginName(i)) continue;
      s += std::string(Sim_PluginName(i)) + ": " +
           (Sim_PluginRunning(i) ? "running" : "exited (TAP_Exit)") +
           "; heap blocks held: " + std::to_string(Sim_HeapBlocks(i)) +
           "; heap misuse: " + std::to_string(Sim_HeapMisuse(i)) + "\n";
    }
    s += std::string("normal mode: ") + (Sim_NormalMode() ? "on" : "off") +
         "; heap blocks held in all: " + std::to_string(Sim_HeapBlocksTotal()) +
         "; open files: " + std::to_string(Sim_OpenFileCount()) +
         "; OSD regions: " + std::to_string(Sim_RegionCount());
    return s;
  }

  static std::string ClockText() {
    word mjd = 0, year = 0;
    byte hour = 0, min = 0, sec = 0, month = 0, day = 0;
    TAP_GetTime(&mjd, &hour, &min, &sec);
    TAP_ExtractMjd(mjd, &year, &month, &day, nullptr);
    char text[64];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u (tick %lu)", unsigned(year),
             unsigned(month), unsigned(day), unsigned(hour), unsigned(min), unsigned(sec),
             Sim_Tick());
    return text;
  }

  const ServeOptions &options_;
  Shared &sh_;
  std::string shotPath_;
  web::Recorder recorder_;
  std::shared_ptr<const std::string> lastPng_ = std::make_shared<const std::string>();
  unsigned long long frame_ = 0;
  dword syncs_ = 0;
  size_t terminalSize_ = size_t(-1);
  std::string logSignature_, log_, status_, summary_, error_;
  bool wasRunning_ = true, recording_ = false;
};

void Refuse(httplib::Response &res, int status, const char *why) {
  res.status = status;
  res.set_content(std::string(why) + "\n", "text/plain; charset=utf-8");
}

// Queues a request for the simulator thread and waits until it is done.
bool Ask(Shared &sh, Request::Kind kind, dword value, std::string &reply) {
  std::unique_lock<std::mutex> lock(sh.m);
  if (sh.quitting) return false;
  const unsigned long long id = sh.nextId++;
  sh.queue.push_back(Request{kind, value, id});
  sh.wake.notify_one();
  if (!sh.changed.wait_for(lock, std::chrono::seconds(10),
                           [&] { return sh.doneId >= id || sh.quitting; }) ||
      sh.doneId < id)
    return false;
  reply = std::move(sh.replies[id]);
  sh.replies.erase(id);
  return true;
}

void Routes(front::Handlers &svr, Shared &sh, const web::Listen &listen, const int &port,
            const std::string &token) {
  svr.set_pre_routing_handler([&](const httplib::Request &req, httplib::Response &res) {
    if (!web::HostAllowed(req.get_header_value("Host"), listen, port)) {
      Refuse(res, 403, "refused: the request does not name this server");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.path.compare(0, 5, "/api/") != 0) return httplib::Server::HandlerResponse::Unhandled;
    if (!web::SameOrigin(req.get_header_value("Origin"), req.get_header_value("Sec-Fetch-Site"),
                         req.get_header_value("Host"))) {
      Refuse(res, 403, "refused: a request from another site");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!web::TokenMatches(req.get_param_value("token"), token)) {
      Refuse(res, 403, "refused: no or a wrong token (open the address tapsim printed)");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // The page's own files, from the binary; nothing else is ever served.
  for (size_t i = 0; i < kWebAssetCount; ++i) {
    const WebAsset &a = kWebAssets[i];
    // The routes are regular expressions: the dots are meant as dots.
    std::string route;
    for (const char *p = a.path; *p; ++p)
      route += *p == '.' ? std::string("\\.") : std::string(1, *p);
    svr.Get(route, [&a](const httplib::Request &, httplib::Response &res) {
      res.set_header("Cache-Control", "no-cache");
      res.set_header(
          "Content-Security-Policy",
          "default-src 'self'; img-src 'self'; connect-src 'self'; frame-ancestors 'none'");
      res.set_header("Referrer-Policy", "no-referrer");
      res.set_header("X-Content-Type-Options", "nosniff");
      res.set_header("X-Frame-Options", "DENY");
      res.set_content(reinterpret_cast<const char *>(a.data), a.size, a.type);
    });
  }
  svr.Get(R"(/api/screen\.png)", [&](const httplib::Request &req, httplib::Response &res) {
    std::shared_ptr<const std::string> png;
    {
      std::lock_guard<std::mutex> lock(sh.m);
      png = sh.png;
    }
    res.set_header("Cache-Control", "no-store");
    if (req.has_param("download"))
      res.set_header("Content-Disposition", "attachment; filename=\"screen.png\"");
    res.set_content(png->data(), png->size(), "image/png");
  });
  svr.Get("/api/events", [&](const httplib::Request &, httplib::Response &res) {
    res.set_header("Cache-Control", "no-store");
    unsigned long long seen = 0;
    res.set_chunked_content_provider(
        "text/event-stream", [&sh, seen](size_t, httplib::DataSink &sink) mutable {
          std::unique_lock<std::mutex> lock(sh.m);
          sh.changed.wait_for(lock, std::chrono::seconds(2),
                              [&] { return sh.version != seen || sh.quitting; });
          if (sh.quitting) return false;
          std::string message = ": still here\n\n"; // finds a closed page within seconds
          if (sh.version != seen) {
            seen = sh.version;
            message = "event: state\ndata: " + sh.state + "\n\n";
          }
          lock.unlock();
          return sink.write(message.data(), message.size());
        });
  });
  auto keyRoute = [&](const httplib::Request &req, httplib::Response &res) {
    const bool character = req.has_param("char");
    const std::string arg = req.get_param_value(character ? "char" : "key");
    std::vector<ScriptStep> steps;
    std::string why, reply;
    // The same names and codes as a script's lines.
    if (arg.empty() || arg.find_first_of("#\r\n") != std::string::npos ||
        !ParseScript((character ? "char " : "key ") + arg, "request", steps, why) ||
        steps.size() != 1) {
      Refuse(res, 400, "no such key");
      return;
    }
    if (!Ask(sh, character ? Request::Char : Request::Key, steps[0].value, reply)) {
      Refuse(res, 503, "tapsim is ending");
      return;
    }
    res.set_content(reply, "application/json");
  };
  svr.Post("/api/key", keyRoute);
  svr.Post("/api/restart", [&](const httplib::Request &, httplib::Response &res) {
    std::string reply;
    if (!Ask(sh, Request::Restart, 0, reply)) return Refuse(res, 503, "tapsim is ending");
    res.set_content(reply, "application/json");
  });
  svr.Post("/api/record", [&](const httplib::Request &req, httplib::Response &res) {
    const bool on = req.get_param_value("on") == "1";
    std::string reply;
    if (!Ask(sh, on ? Request::RecordOn : Request::RecordOff, 0, reply))
      return Refuse(res, 503, "tapsim is ending");
    if (on) {
      res.set_content(reply, "application/json");
    } else {
      res.set_header("Content-Disposition", "attachment; filename=\"recorded.tsim\"");
      res.set_content(reply, "text/plain; charset=utf-8");
    }
  });
}

} // namespace

int Serve(const ServeOptions &options) {
  char dir[] = "/tmp/tapsim-serve-XXXXXX";
  if (!mkdtemp(dir)) {
    perror("tapsim: cannot make a folder for the screen");
    return 1;
  }
  const std::string shotPath = std::string(dir) + "/screen.png";
  const std::string token = web::NewToken();
  if (token.empty()) {
    fprintf(stderr, "tapsim: no random source for the page's token\n");
    rmdir(dir);
    return 1;
  }

  Shared sh;
  front::Handlers svr;
  svr.set_payload_max_length(4096); // no request needs a body
  int port = options.listen.port;
  Routes(svr, sh, options.listen, port, token);
  front::Front connections(svr);
  std::string why;
  if (!connections.Bind(options.listen.host, port, why)) {
    fprintf(stderr, "tapsim: cannot listen on %s port %d: %s\n", options.listen.host.c_str(),
            options.listen.port, why.c_str());
    rmdir(dir);
    return 1;
  }
  port = connections.Port();

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  LivePlugins live(options, sh, shotPath);
  live.Publish(true);
  connections.Start();
  printf("tapsim: open http://%s:%d/?token=%s in a browser (Ctrl-C ends)\n",
         web::UrlHost(options.listen.host).c_str(), port, token.c_str());
  fflush(stdout);

  Clock::time_point nextIdle = Clock::now() + kIdlePeriod;
  while (!g_quit) {
    std::deque<Request> work;
    {
      std::unique_lock<std::mutex> lock(sh.m);
      sh.wake.wait_until(lock, nextIdle, [&] { return !sh.queue.empty(); });
      work.swap(sh.queue);
    }
    for (const Request &r : work) {
      std::string reply = live.Handle(r);
      live.Publish(r.kind == Request::Restart);
      // A key's answer names the screen it led to, so the page can wait for it.
      if ((r.kind == Request::Key || r.kind == Request::Char) && reply.back() == '}')
        reply.insert(reply.size() - 1, ",\"frame\":" + std::to_string(live.Frame()));
      std::lock_guard<std::mutex> lock(sh.m);
      sh.replies[r.id] = std::move(reply);
      sh.doneId = r.id;
      sh.changed.notify_all();
    }
    const Clock::time_point now = Clock::now();
    if (now >= nextIdle) {
      live.Idle();
      live.Publish(false);
      nextIdle += kIdlePeriod;
      if (nextIdle < now) nextIdle = now + kIdlePeriod; // after a stall, no burst to catch up
    }
  }

  {
    std::lock_guard<std::mutex> lock(sh.m);
    sh.quitting = true;
    sh.changed.notify_all();
  }
  connections.Stop();
  unlink(shotPath.c_str());
  rmdir(dir);

  return EndSession(options.strict, 0);
}

// front.cpp - tapsim's served mode takes its connections itself (front.h).
// The connections' thread never blocks: every socket is non-blocking, the
// requests it frames go to the workers, and what the workers write is kept
// per connection until the client takes it.
#include "front.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "web.h"

namespace front {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kHeadMax = 64 * 1024; // request line and header lines in all
constexpr size_t kBodyMax = 4096;      // no request of the page has a body
// The time to send one whole request, from the moment the connection waits
// for it: every byte does not buy more.
constexpr milliseconds kRequestTime(5000);
// A reply of which the client takes nothing for this long ends the connection.
constexpr milliseconds kStall(5000);
// After the last answer of a connection what the client still sends is read
// and dropped for a while, so that it sees the answer rather than a reset;
// enough for what a client has in flight when it sees a refusal.
constexpr milliseconds kLinger(2000);
constexpr size_t kLingerBytes = 16 * 1024 * 1024;
// Beyond these the oldest connection still waiting for its request goes.
constexpr size_t kPerClient = 32, kTotal = 512;
// Each page holds a worker for its event stream while it is open.
constexpr size_t kWorkers = 32;
// What a worker may leave for a slow client before it waits for room.
constexpr size_t kPending = 1024 * 1024;

} // namespace

struct Conn {
  int fd = -1;
  std::string client, local;
  int clientPort = 0, localPort = 0;
  // The connections' thread alone:
  std::string in;
  size_t scanned = 0;         // of in, holding no end of a head
  Clock::time_point deadline; // of the request awaited, or of the lingering close
  bool awaiting = true;       // no request of it is with a worker or being answered
  bool eof = false;           // the client sends no more
  bool lingering = false;
  size_t discarded = 0;
  // Shared with its worker, under m:
  std::mutex m;
  std::condition_variable room;
  std::string out;
  size_t sent = 0;
  Clock::time_point progress; // when the client last took some of out
  bool handling = false, dead = false, closeAfter = false;
};

namespace {

// One request, framed already, for cpp-httplib; its reply goes to the
// connection's out.
class RequestStream : public httplib::Stream {
public:
  RequestStream(Front &front, std::shared_ptr<Conn> c, std::string request, int fd)
      : front_(front), c_(std::move(c)), request_(std::move(request)), fd_(fd) {}

  bool is_readable() const override { return at_ < request_.size(); }
  bool is_writable() const override {
    std::lock_guard<std::mutex> lock(c_->m);
    return !c_->dead;
  }
  ssize_t read(char *ptr, size_t size) override {
    size = std::min(size, request_.size() - at_);
    memcpy(ptr, request_.data() + at_, size);
    at_ += size;
    return ssize_t(size);
  }
  ssize_t write(const char *ptr, size_t size) override {
    if (size == 0) return 0;
    std::unique_lock<std::mutex> lock(c_->m);
    // The connections' thread ends a stalled client after kStall; this is
    // only the last resort.
    if (!c_->room.wait_for(lock, 2 * kStall,
                           [&] { return c_->dead || c_->out.size() - c_->sent < kPending; }) ||
        c_->dead)
      return -1;
    if (c_->sent == c_->out.size()) {
      c_->out.clear();
      c_->sent = 0;
      c_->progress = Clock::now();
    }
    c_->out.append(ptr, size);
    lock.unlock();
    front_.Wake();
    return ssize_t(size);
  }
  void get_remote_ip_and_port(std::string &ip, int &port) const override {
    ip = c_->client;
    port = c_->clientPort;
  }
  void get_local_ip_and_port(std::string &ip, int &port) const override {
    ip = c_->local;
    port = c_->localPort;
  }
  socket_t socket() const override { return fd_; }

private:
  Front &front_;
  std::shared_ptr<Conn> c_;
  std::string request_;
  size_t at_ = 0;
  int fd_;
};

bool Address(const sockaddr_storage &a, std::string &ip, int &port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (a.ss_family == AF_INET) {
    const sockaddr_in &v4 = reinterpret_cast<const sockaddr_in &>(a);
    inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    port = ntohs(v4.sin_port);
  } else if (a.ss_family == AF_INET6) {
    const sockaddr_in6 &v6 = reinterpret_cast<const sockaddr_in6 &>(a);
    inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    port = ntohs(v6.sin6_port);
  } else {
    return false;
  }
  ip = text;
  return true;
}

const char *Reason(int status) {
  switch (status) {
  case 400:
    return "Bad Request";
  case 413:
    return "Payload Too Large";
  case 431:
    return "Request Header Fields Too Large";
  }
  return "Error";
}

int MillisecondsUntil(Clock::time_point when, Clock::time_point now) {
  if (when <= now) return 0;
  const auto ms = std::chrono::duration_cast<milliseconds>(when - now).count() + 1;
  return int(std::min<long long>(ms, 1000));
}

} // namespace

bool Handlers::Process(httplib::Stream &stream, bool closeAfter, bool &closed) {
  return process_request(stream, closeAfter, closed, nullptr);
}

void Handlers::SetRunning(int listening) {
  svr_sock_ = listening >= 0 ? listening : INVALID_SOCKET;
}

Front::Front(Handlers &handlers) : handlers_(handlers) {}

Front::~Front() {
  Stop();
  for (int fd : {listen_, wake_[0], wake_[1]})
    if (fd >= 0) close(fd);
}

bool Front::Bind(const std::string &host, int port, std::string &why) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo *found = nullptr;
  const int e = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (e != 0) {
    why = gai_strerror(e);
    return false;
  }
  why = "no address";
  for (addrinfo *a = found; a && listen_ < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    const int yes = 1, no = 0;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (a->ai_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, SOMAXCONN) == 0) {
      listen_ = fd;
    } else {
      why = strerror(errno);
      close(fd);
    }
  }
  freeaddrinfo(found);
  if (listen_ < 0) return false;
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  std::string ip;
  if (getsockname(listen_, reinterpret_cast<sockaddr *>(&bound), &len) != 0 ||
      !Address(bound, ip, port_) || pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
    why = strerror(errno);
    close(listen_);
    listen_ = -1;
    return false;
  }
  return true;
}

void Front::Start() {
  workers_.reset(new httplib::ThreadPool(kWorkers));
  handlers_.SetRunning(listen_);
  thread_ = std::thread([this] { Loop(); });
}

void Front::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  handlers_.SetRunning(-1);
  Wake();
  thread_.join();
  workers_->shutdown();
}

void Front::Wake() {
  if (::write(wake_[1], "", 1) < 0) {
    // Full: the thread is woken already.
  }
}

void Front::Loop() {
  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<Conn>> polled;
  Clock::time_point acceptAgain;
  while (!stopping_) {
    const Clock::time_point now = Clock::now();
    Clock::time_point next = now + milliseconds(1000);
    fds.assign({pollfd{wake_[0], POLLIN, 0}, pollfd{listen_, POLLIN, 0}});
    if (now < acceptAgain) {
      fds[1].events = 0;
      next = std::min(next, acceptAgain);
    }
    polled.clear();
    for (const std::shared_ptr<Conn> &c : conns_) {
      short events = 0;
      bool busy;
      {
        std::lock_guard<std::mutex> lock(c->m);
        if (c->sent < c->out.size()) {
          events |= POLLOUT;
          next = std::min(next, c->progress + kStall);
        }
        busy = c->handling || events;
      }
      if (c->lingering || (c->awaiting && !busy)) {
        events |= POLLIN;
        next = std::min(next, c->deadline);
      }
      fds.push_back(pollfd{c->fd, events, 0});
      polled.push_back(c);
    }
    if (poll(fds.data(), fds.size(), MillisecondsUntil(next, now)) < 0 && errno != EINTR) break;
    if (fds[0].revents) {
      char drain[256];
      while (read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    for (size_t i = 0; i < polled.size(); ++i) {
      const short revents = fds[i + 2].revents;
      const std::shared_ptr<Conn> &c = polled[i];
      if (!revents || c->fd < 0) continue;
      if ((revents & (POLLERR | POLLNVAL)) ||
          ((revents & POLLHUP) && !(fds[i + 2].events & POLLIN))) {
        Kill(c);
        continue;
      }
      if (revents & POLLOUT) Flush(c);
      if (c->fd >= 0 && (revents & (POLLIN | POLLHUP))) Receive(c);
    }
    if (fds[1].revents & POLLIN) {
      AcceptAll();
      // Out of descriptors: the waiting connection stays queued a while.
      if (errno == EMFILE || errno == ENFILE) acceptAgain = Clock::now() + milliseconds(100);
    }
    Sweep();
  }
  for (const std::shared_ptr<Conn> &c : conns_) Kill(c);
  conns_.clear();
}

void Front::AcceptAll() {
  for (;;) {
    sockaddr_storage from{};
    socklen_t len = sizeof from;
    const int fd =
        accept4(listen_, reinterpret_cast<sockaddr *>(&from), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;
    }
    auto c = std::make_shared<Conn>();
    c->fd = fd;
    sockaddr_storage here{};
    len = sizeof here;
    if (!Address(from, c->client, c->clientPort) ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&here), &len) != 0 ||
        !Address(here, c->local, c->localPort)) {
      close(fd);
      continue;
    }
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    // A new connection takes the place of the one that has waited longest
    // for its request (or has had its answer): idle or slow clients cannot
    // lock the others out.
    size_t mine = 0, all = 0;
    std::shared_ptr<Conn> oldestMine, oldest;
    for (const std::shared_ptr<Conn> &o : conns_) {
      if (o->fd < 0) continue;
      ++all;
      const bool same = o->client == c->client;
      mine += same;
      if (!o->awaiting && !o->lingering) continue;
      if (!oldest || o->deadline < oldest->deadline) oldest = o;
      if (same && (!oldestMine || o->deadline < oldestMine->deadline)) oldestMine = o;
    }
    std::shared_ptr<Conn> evict = mine >= kPerClient ? oldestMine
                                  : all >= kTotal    ? oldest
                                                     : nullptr;
    if ((mine >= kPerClient || all >= kTotal) && !evict) {
      close(fd);
      continue;
    }
    if (evict) Kill(evict);
    c->deadline = Clock::now() + kRequestTime;
    conns_.push_back(c);
  }
}

void Front::Receive(const std::shared_ptr<Conn> &c) {
  char buf[16384];
  if (c->lingering) {
    for (;;) {
      const ssize_t n = recv(c->fd, buf, sizeof buf, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (n <= 0 || (c->discarded += size_t(n)) > kLingerBytes) break;
    }
    Kill(c);
    return;
  }
  // Frame has taken or refused anything this long, so this is only a guard.
  const size_t room = kHeadMax + kBodyMax - std::min(c->in.size(), kHeadMax + kBodyMax);
  if (room == 0) return Kill(c);
  const ssize_t n = recv(c->fd, buf, std::min(sizeof buf, room), 0);
  if (n < 0) {
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) Kill(c);
    return;
  }
  if (n == 0) c->eof = true;
  c->in.append(buf, size_t(n));
  Frame(c);
}

void Front::Frame(const std::shared_ptr<Conn> &c) {
  if (!c->awaiting || c->lingering) return;
  const web::RequestFrame f = web::FrameRequest(c->in, kHeadMax, kBodyMax, &c->scanned);
  if (f.state == web::RequestFrame::Incomplete) return;
  c->awaiting = false;
  if (f.state == web::RequestFrame::Refused) {
    const std::string body = f.why + "\n";
    std::lock_guard<std::mutex> lock(c->m);
    c->out = "HTTP/1.1 " + std::to_string(f.status) + " " + Reason(f.status) +
             "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    c->sent = 0;
    c->progress = Clock::now();
    c->closeAfter = true;
    c->in.clear();
    c->scanned = 0;
    return;
  }
  std::string request = c->in.substr(0, f.length);
  c->in.erase(0, f.length);
  c->scanned = 0;
  {
    std::lock_guard<std::mutex> lock(c->m);
    c->handling = true;
  }
  workers_->enqueue([this, c, fd = c->fd, request = std::move(request)]() mutable {
    Handle(c, std::move(request), fd);
  });
}

void Front::Flush(const std::shared_ptr<Conn> &c) {
  bool failed = false;
  {
    std::lock_guard<std::mutex> lock(c->m);
    while (c->sent < c->out.size()) {
      const ssize_t n = send(c->fd, c->out.data() + c->sent, c->out.size() - c->sent, MSG_NOSIGNAL);
      if (n > 0) {
        c->sent += size_t(n);
        c->progress = Clock::now();
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        failed = !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
        break;
      }
    }
    if (c->sent == c->out.size()) {
      c->out.clear();
      c->sent = 0;
    } else if (c->sent > kPending / 4) {
      c->out.erase(0, c->sent);
      c->sent = 0;
    }
    c->room.notify_all();
  }
  if (failed) Kill(c);
}

void Front::Sweep() {
  const Clock::time_point now = Clock::now();
  for (const std::shared_ptr<Conn> &c : conns_) {
    if (c->fd < 0) continue;
    bool busy, stalled, closeAfter;
    {
      std::lock_guard<std::mutex> lock(c->m);
      const bool pending = c->sent < c->out.size();
      stalled = pending && now - c->progress >= kStall;
      busy = c->handling || pending;
      closeAfter = c->closeAfter;
    }
    if (stalled) {
      Kill(c);
    } else if (busy) {
      continue;
    } else if (c->lingering) {
      if (now >= c->deadline) Kill(c);
    } else if (!c->awaiting) { // its reply is out
      if (closeAfter || c->eof) {
        shutdown(c->fd, SHUT_WR);
        c->lingering = true;
        c->deadline = now + kLinger;
        if (c->eof) Kill(c);
      } else {
        c->awaiting = true;
        c->deadline = now + kRequestTime;
        Frame(c); // a request sent right behind the last one
      }
    } else if (c->eof || now >= c->deadline) {
      Kill(c);
    }
  }
  conns_.erase(std::remove_if(conns_.begin(), conns_.end(),
                              [](const std::shared_ptr<Conn> &c) { return c->fd < 0; }),
               conns_.end());
}

void Front::Kill(const std::shared_ptr<Conn> &c) {
  if (c->fd < 0) return;
  {
    std::lock_guard<std::mutex> lock(c->m);
    c->dead = true;
    c->room.notify_all();
  }
  close(c->fd);
  c->fd = -1;
}

void Front::Handle(const std::shared_ptr<Conn> &c, std::string request, int fd) {
  RequestStream stream(*this, c, std::move(request), fd);
  bool closed = false, ok = false;
  try {
    ok = handlers_.Process(stream, stopping_, closed);
  } catch (...) {
    // cpp-httplib answers a handler's exception itself; anything else ends the connection.
  }
  {
    std::lock_guard<std::mutex> lock(c->m);
    c->handling = false;
    if (!ok || closed) c->closeAfter = true;
  }
  Wake();
}

} // namespace front

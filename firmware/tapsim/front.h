// front.h - the connections of tapsim's served mode.  Debian's cpp-httplib
// (0.11, built as a shared library, so its limits are fixed) gives each
// connection a thread of its pool while it reads a request, restarts the read
// timeout with every byte, and bounds neither the header lines in all nor a
// chunked body.  So one thread of our own takes every connection, reads each
// request whole within fixed bounds and a deadline per request, caps the
// connections of each client, and only then hands the request to the
// server's handlers on a worker thread; the replies go back through it.
#ifndef TAPSIM_FRONT_H
#define TAPSIM_FRONT_H

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace front {

// The routes and checks, as cpp-httplib keeps them; it never listens itself.
class Handlers : public httplib::Server {
public:
  bool Process(httplib::Stream &stream, bool closeAfter, bool &closed);
  // While false, a reply streamed by a handler ends (cpp-httplib takes an
  // invalid listening socket for a server that is stopping).
  void SetRunning(int listening);
};

struct Conn;

class Front {
public:
  explicit Front(Handlers &handlers);
  ~Front();
  Front(const Front &) = delete;
  Front &operator=(const Front &) = delete;

  // Listens on host (a name or an address) and port (0: a free one); false
  // with the reason in why when it cannot.
  bool Bind(const std::string &host, int port, std::string &why);
  int Port() const { return port_; }
  void Start();
  // Closes every connection and waits for the handlers to finish.
  void Stop();

  // What a worker uses to wake the connections' thread.
  void Wake();

private:
  void Loop();
  void AcceptAll();
  void Service(const std::shared_ptr<Conn> &c, short revents);
  void Receive(const std::shared_ptr<Conn> &c);
  void Flush(const std::shared_ptr<Conn> &c);
  void Frame(const std::shared_ptr<Conn> &c);
  void Sweep();
  void Kill(const std::shared_ptr<Conn> &c);
  // On a worker; fd is the socket's number when the request was framed.
  void Handle(const std::shared_ptr<Conn> &c, std::string request, int fd);

  Handlers &handlers_;
  int listen_ = -1, port_ = 0;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::vector<std::shared_ptr<Conn>> conns_;
  std::unique_ptr<httplib::ThreadPool> workers_;
  std::thread thread_;
};

} // namespace front

#endif

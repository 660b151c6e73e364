// web.h - the parts of tapsim's served mode that need no network: where to
// listen, which requests come from the page itself, the page's texts as JSON,
// the keys of a computer keyboard, and the recording of a session as a script.
#ifndef TAPSIM_WEB_H
#define TAPSIM_WEB_H

#include <stddef.h>

#include <string>
#include <vector>

#include "tap.h"

namespace web {

// Where the server listens: "[ADDR:]PORT", ADDR a name, an IPv4 address or
// an IPv6 address in brackets; 127.0.0.1 when left out; port 0 picks a free one.
struct Listen {
  std::string host = "127.0.0.1"; // without brackets
  int port = 0;
  bool loopback = true;
};
bool ParseListen(const std::string &text, Listen &out, std::string &why);
// The address as a URL writes it ("[::1]" for IPv6).
std::string UrlHost(const std::string &host);

// A request's Host header must name the server as the page knows it: on a
// loopback address only the loopback names, so that a page of another site
// whose name was pointed at 127.0.0.1 is refused.  port is the bound port.
bool HostAllowed(const std::string &hostHeader, const Listen &listen, int port);
// A request that says where it comes from must come from the page itself:
// an Origin header equal to http://HOST, and no cross-site fetch metadata.
bool SameOrigin(const std::string &origin, const std::string &fetchSite,
                const std::string &hostHeader);
// The per-run token: 32 hexadecimal digits from the system's random source
// ("" when there is none); compared without an early end.
std::string NewToken();
bool TokenMatches(const std::string &given, const std::string &token);

// A JSON string of text in the firmware's ISO-8859-1, quoted.
std::string Json(const std::string &latin1);
// The end of a text, at most max bytes, from the start of a line.
std::string Tail(const std::string &text, size_t max);

// How much of what a connection sent is its next request: the head (the
// request line and the header lines up to the empty line) and the body its
// Content-Length names.  A head longer than maxHead is refused with 431, a
// body longer than maxBody with 413 before it is read, and a chunked body
// with 413 too: no request of the page has one, and its size is not known
// before it is read.  scanned (0 for new bytes) is how much of received is
// known to hold no end of the head; it moves on, so that a head that
// trickles in is not searched from its start each time.
struct RequestFrame {
  enum State { Incomplete, Complete, Refused } state = Incomplete;
  size_t length = 0; // Complete: the bytes of head and body
  int status = 0;    // Refused: 400, 413 or 431
  std::string why;   // Refused: for the client
};
RequestFrame FrameRequest(const std::string &received, size_t maxHead, size_t maxBody,
                          size_t *scanned = nullptr);

// An attached keyboard's character that the plug-in leaves to the firmware
// comes back as the remote key it stands for: Enter as OK, Escape as Exit,
// digits as the number keys.  0 when it stands for none.
dword RemoteKeyForChar(dword code);

// Every event delivered since the plug-ins started, kept so that a recording
// replays from the start whenever it was switched on.
class Recorder {
public:
  void Clear();
  void Idle() { ++idles_; }
  void Key(dword code) { Add(false, code); }
  void Char(dword code) { Add(true, code); }
  void Begin();
  bool Recording() const { return mark_ != kNone; }
  // The tapsim script of the session up to now, ending with a screenshot
  // named shot; switches recording off.
  std::string End(const std::string &shot);

private:
  struct Step {
    bool character;
    dword value;
    unsigned long long idlesBefore;
  };
  void Add(bool character, dword value);
  static constexpr size_t kNone = size_t(-1);
  std::vector<Step> steps_;
  unsigned long long idles_ = 0;
  size_t mark_ = kNone;
};

} // namespace web

#endif

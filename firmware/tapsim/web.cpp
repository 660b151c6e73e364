// web.cpp - request checks, texts and the session recorder of tapsim's
// served mode; the HTTP side is serve.cpp.
#include "web.h"

#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "script.h"

namespace web {

namespace {

std::string Lower(std::string s) {
  for (char &c : s) c = char(tolower((unsigned char)c));
  return s;
}

bool PortNumber(const std::string &text, int &port) {
  // One way to write each port: no sign, no leading zeros.
  if (text.empty() || text.size() > 5 || (text[0] == '0' && text.size() > 1)) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  const long v = strtol(text.c_str(), nullptr, 10);
  if (v > 65535) return false;
  port = int(v);
  return true;
}

bool IsLoopback(const std::string &host) {
  const std::string h = Lower(host);
  return h == "localhost" || h == "::1" || h.compare(0, 4, "127.") == 0;
}

// Splits "name:port" or "[v6]:port"; the name keeps its brackets.
bool SplitHostPort(const std::string &text, std::string &name, std::string &port) {
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    name = text.substr(0, close + 1);
    if (close + 1 == text.size()) {
      port.clear();
      return true;
    }
    if (text[close + 1] != ':') return false;
    port = text.substr(close + 2);
    return true;
  }
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    name = text;
    port.clear();
    return true;
  }
  if (text.find(':') != colon) return false; // a bare IPv6 address
  name = text.substr(0, colon);
  port = text.substr(colon + 1);
  return true;
}

} // namespace

bool ParseListen(const std::string &text, Listen &out, std::string &why) {
  Listen l;
  std::string portText = text;
  const bool hasAddress = text.find(':') != std::string::npos;
  if (hasAddress) {
    std::string name;
    if (!SplitHostPort(text, name, portText) || name.empty() || portText.empty()) {
      why = "--serve takes [ADDR:]PORT, not '" + text + "'";
      return false;
    }
    if (name[0] == '[') name = name.substr(1, name.size() - 2);
    if (name.empty()) {
      why = "--serve takes [ADDR:]PORT, not '" + text + "'";
      return false;
    }
    l.host = name;
  }
  if (!PortNumber(portText, l.port)) {
    why = "--serve takes a port from 0 to 65535, not '" + portText + "'";
    return false;
  }
  l.loopback = IsLoopback(l.host);
  out = l;
  return true;
}

std::string UrlHost(const std::string &host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

bool HostAllowed(const std::string &hostHeader, const Listen &listen, int port) {
  std::string name, portText;
  if (hostHeader.empty() || !SplitHostPort(hostHeader, name, portText) || name.empty())
    return false;
  int p = 80;
  if (!portText.empty() && !PortNumber(portText, p)) return false;
  if (p != port) return false;
  name = Lower(name);
  if (!listen.loopback) return true; // the token alone guards a server others can reach
  return name == "127.0.0.1" || name == "localhost" || name == "[::1]" ||
         name == Lower(UrlHost(listen.host));
}

bool SameOrigin(const std::string &origin, const std::string &fetchSite,
                const std::string &hostHeader) {
  if (!fetchSite.empty() && fetchSite != "same-origin" && fetchSite != "none") return false;
  if (origin.empty()) return true;
  return Lower(origin) == "http://" + Lower(hostHeader);
}

std::string NewToken() {
  unsigned char bytes[16];
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return "";
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = read(fd, bytes + got, sizeof bytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  close(fd);
  if (got != sizeof bytes) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

bool TokenMatches(const std::string &given, const std::string &token) {
  if (token.empty() || given.size() != token.size()) return false;
  unsigned diff = 0;
  for (size_t i = 0; i < token.size(); ++i) diff |= unsigned(given[i] ^ token[i]);
  return diff == 0;
}

std::string Json(const std::string &latin1) {
  std::string out = "\"";
  for (unsigned char c : latin1) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else if (c >= 0x80) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

std::string Tail(const std::string &text, size_t max) {
  if (text.size() <= max) return text;
  size_t from = text.size() - max;
  if (text[from - 1] != '\n') {
    const size_t nl = text.find('\n', from);
    if (nl != std::string::npos) from = nl + 1;
  }
  return text.substr(from);
}

namespace {

RequestFrame Refusal(int status, const char *why) {
  RequestFrame f;
  f.state = RequestFrame::Refused;
  f.status = status;
  f.why = why;
  return f;
}

bool NameIs(const std::string &line, size_t colon, const char *name) {
  const size_t n = strlen(name);
  if (colon != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (tolower((unsigned char)line[i]) != name[i]) return false;
  return true;
}

} // namespace

RequestFrame FrameRequest(const std::string &received, size_t maxHead, size_t maxBody,
                          size_t *scanned) {
  const size_t from = scanned && *scanned > 3 ? std::min(*scanned, received.size()) - 3 : 0;
  const size_t end = received.find("\r\n\r\n", from);
  if (scanned) *scanned = end == std::string::npos ? received.size() : end;
  if (end == std::string::npos || end + 4 > maxHead) {
    if (received.size() >= maxHead || (end != std::string::npos && end + 4 > maxHead))
      return Refusal(431, "refused: the request's header lines are too long");
    return RequestFrame();
  }
  const size_t head = end + 4;
  bool haveLength = false;
  unsigned long long length = 0;
  for (size_t at = received.find("\r\n") + 2; at < end + 2;) {
    const size_t next = received.find("\r\n", at);
    const std::string line = received.substr(at, next - at);
    at = next + 2;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue; // the server itself refuses such a line
    if (NameIs(line, colon, "transfer-encoding"))
      return Refusal(413, "refused: a request body must come with a Content-Length");
    if (!NameIs(line, colon, "content-length")) continue;
    size_t from = colon + 1, to = line.size();
    while (from < to && (line[from] == ' ' || line[from] == '\t')) ++from;
    while (to > from && (line[to - 1] == ' ' || line[to - 1] == '\t')) --to;
    if (from == to) return Refusal(400, "refused: an empty Content-Length");
    unsigned long long v = 0;
    for (size_t i = from; i < to; ++i) {
      if (line[i] < '0' || line[i] > '9')
        return Refusal(400, "refused: a Content-Length that is no number");
      // Anything past maxBody is refused anyway; stop before it overflows.
      if (v <= maxBody) v = v * 10 + unsigned(line[i] - '0');
    }
    if (haveLength && v != length) return Refusal(400, "refused: two different Content-Lengths");
    haveLength = true;
    length = v;
  }
  if (length > maxBody) return Refusal(413, "refused: the request body is too long");
  if (received.size() < head + length) return RequestFrame();
  RequestFrame f;
  f.state = RequestFrame::Complete;
  f.length = head + size_t(length);
  return f;
}

dword RemoteKeyForChar(dword code) {
  if (code == 13) return RKEY_Ok;
  if (code == 27) return RKEY_Exit;
  if (code >= '0' && code <= '9') return RKEY_0 + (code - '0');
  return 0;
}

void Recorder::Clear() {
  steps_.clear();
  idles_ = 0;
  mark_ = kNone;
}

void Recorder::Add(bool character, dword value) {
  steps_.push_back(Step{character, value, idles_});
  idles_ = 0;
}

void Recorder::Begin() {
  mark_ = steps_.size();
}

namespace {

// One script line holds at most a million idle events.
void IdleLines(std::string &out, unsigned long long n) {
  while (n > 0) {
    const unsigned long long now = n > 1000000 ? 1000000 : n;
    out += "idle " + std::to_string(now) + "\n";
    n -= now;
  }
}

} // namespace

std::string Recorder::End(const std::string &shot) {
  std::string out = "# Recorded in the browser by tapsim --serve.\n";
  if (mark_ != kNone && mark_ > 0)
    out += "# The events before the recording began come first, so that it replays from the "
           "start.\n";
  for (size_t i = 0; i < steps_.size(); ++i) {
    if (i == mark_ && i > 0) out += "# recording\n";
    const Step &s = steps_[i];
    IdleLines(out, s.idlesBefore);
    if (s.character) {
      out += "char " + std::to_string(s.value) + "\n";
    } else {
      const char *name = KeyNameOf(s.value);
      char hex[16];
      snprintf(hex, sizeof hex, "0x%lX", (unsigned long)s.value);
      out += std::string("key ") + (name ? name : hex) + "\n";
    }
  }
  IdleLines(out, idles_);
  out += "shot " + shot + "\n";
  mark_ = kNone;
  return out;
}

} // namespace web

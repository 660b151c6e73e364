// The request checks of tapsim --serve on arbitrary headers, and its texts
// and recordings on arbitrary bytes.  Lines of the input: Host, Origin,
// Sec-Fetch-Site, a --serve argument; the whole input is also the log text
// and, byte by byte, a session to record.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "script.h"
#include "web.h"

namespace {

std::string Line(const std::string &text, size_t &pos) {
  const size_t nl = text.find('\n', pos);
  const std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
  pos = nl == std::string::npos ? text.size() : nl + 1;
  return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  size_t pos = 0;
  const std::string host = Line(text, pos), origin = Line(text, pos), site = Line(text, pos),
                    listenText = Line(text, pos);

  web::Listen loop;
  std::string why;
  if (!web::ParseListen("8018", loop, why)) __builtin_trap();
  // A loopback server takes only loopback names, on its own port.
  if (web::HostAllowed(host, loop, 8018)) {
    std::string h;
    for (char c : host) h += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (h != "127.0.0.1:8018" && h != "localhost:8018" && h != "[::1]:8018") __builtin_trap();
  }
  if (web::SameOrigin(origin, site, host) && !origin.empty() && origin.size() != host.size() + 7)
    __builtin_trap();

  web::Listen l;
  l.port = -5;
  if (web::ParseListen(listenText, l, why)) {
    if (l.port < 0 || l.port > 65535 || l.host.empty()) __builtin_trap();
  } else if (why.empty() || l.port != -5) {
    __builtin_trap();
  }

  // JSON: quoted, no raw control bytes, every high byte a two-byte sequence.
  const std::string json = web::Json(text);
  if (json.size() < 2 || json.front() != '"' || json.back() != '"') __builtin_trap();
  for (size_t i = 1; i + 1 < json.size(); ++i) {
    const unsigned char c = (unsigned char)json[i];
    if (c < 0x20) __builtin_trap();
    if (c >= 0x80) {
      const unsigned char next = (unsigned char)json[i + 1];
      if ((c != 0xC2 && c != 0xC3) || next < 0x80 || next > 0xBF) __builtin_trap();
      ++i;
    }
  }

  const size_t max = size ? data[0] : 0;
  const std::string tail = web::Tail(text, max);
  if (tail.size() > max && text.size() > max) __builtin_trap();
  if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) __builtin_trap();

  // Any session recorded reads back as a script of the same keys.
  // The whole input as what a connection sent: a complete request lies
  // within it and within the bounds, and fed a byte at a time the framing
  // comes to the same answer.
  const web::RequestFrame whole = web::FrameRequest(text, 256, 64);
  if (whole.state == web::RequestFrame::Complete &&
      (whole.length > text.size() || whole.length == 0))
    __builtin_trap();
  if (whole.state == web::RequestFrame::Refused && whole.status != 400 && whole.status != 413 &&
      whole.status != 431)
    __builtin_trap();
  size_t scanned = 0;
  web::RequestFrame step;
  for (size_t n = 1; n <= size; ++n) {
    step = web::FrameRequest(text.substr(0, n), 256, 64, &scanned);
    if (step.state != web::RequestFrame::Incomplete) break;
  }
  if (size > 0 && step.state != whole.state) __builtin_trap();
  if (whole.state == web::RequestFrame::Complete && step.length != whole.length) __builtin_trap();

  web::Recorder r;
  size_t keys = 0;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t b = data[i];
    if (b < 0x40)
      r.Idle();
    else if (b < 0x80)
      r.Char(b), ++keys;
    else if (b == 0x80)
      r.Begin();
    else
      r.Key(0x10000u + (b & 0x3F)), ++keys;
  }
  std::vector<ScriptStep> steps;
  if (!ParseScript(r.End("f.png"), "rec", steps, why)) __builtin_trap();
  size_t read = 0;
  for (const ScriptStep &s : steps) read += s.kind == ScriptStep::Key || s.kind == ScriptStep::Char;
  if (read != keys) __builtin_trap();
  return 0;
}

// tapsim's served mode without the network: where it listens, which requests
// it takes, the texts it sends and the scripts it records.
#include <gtest/gtest.h>

#include "script.h"
#include "web.h"

namespace {

TEST(Listen, PortAloneIsLoopback) {
  web::Listen l;
  std::string why;
  ASSERT_TRUE(web::ParseListen("8018", l, why)) << why;
  EXPECT_EQ("127.0.0.1", l.host);
  EXPECT_EQ(8018, l.port);
  EXPECT_TRUE(l.loopback);
  ASSERT_TRUE(web::ParseListen("0", l, why));
  EXPECT_EQ(0, l.port);
  ASSERT_TRUE(web::ParseListen("65535", l, why));
  EXPECT_EQ(65535, l.port);
}

TEST(Listen, Addresses) {
  web::Listen l;
  std::string why;
  ASSERT_TRUE(web::ParseListen("0.0.0.0:80", l, why));
  EXPECT_EQ("0.0.0.0", l.host);
  EXPECT_FALSE(l.loopback);
  ASSERT_TRUE(web::ParseListen("[::1]:9000", l, why));
  EXPECT_EQ("::1", l.host);
  EXPECT_EQ("[::1]", web::UrlHost(l.host));
  EXPECT_TRUE(l.loopback);
  ASSERT_TRUE(web::ParseListen("localhost:1", l, why));
  EXPECT_TRUE(l.loopback);
  ASSERT_TRUE(web::ParseListen("127.0.0.2:1", l, why));
  EXPECT_TRUE(l.loopback);
  ASSERT_TRUE(web::ParseListen("192.168.1.5:1", l, why));
  EXPECT_FALSE(l.loopback);
  EXPECT_EQ("192.168.1.5", web::UrlHost(l.host));
}

TEST(Listen, Refused) {
  for (const char *bad : {"", "65536", "-1", "+80", "80x", "123456", ":80", "[::1]", "[::1]80",
                          "::1:80", "[]:80", "1.2.3.4:", "host:port", "080", "00"}) {
    web::Listen l;
    l.port = 4242;
    std::string why;
    EXPECT_FALSE(web::ParseListen(bad, l, why)) << bad;
    EXPECT_NE(std::string::npos, why.find("--serve")) << bad;
    EXPECT_EQ(4242, l.port) << "a refused text leaves the result alone: " << bad;
  }
}

TEST(Host, LoopbackServerTakesOnlyLoopbackNames) {
  web::Listen l;
  std::string why;
  ASSERT_TRUE(web::ParseListen("8018", l, why));
  for (const char *good : {"127.0.0.1:8018", "localhost:8018", "LocalHost:8018", "[::1]:8018"})
    EXPECT_TRUE(web::HostAllowed(good, l, 8018)) << good;
  for (const char *bad : {"", "127.0.0.1:8019", "127.0.0.1", "evil.example:8018",
                          "127.0.0.1.evil.example:8018", "127.0.0.1:8018x", ":8018", "[::1:8018",
                          "127.0.0.1:", "localhost:08018", "localhost:+8018"})
    EXPECT_FALSE(web::HostAllowed(bad, l, 8018)) << bad;
  // Without a port the browser means 80.
  EXPECT_TRUE(web::HostAllowed("localhost", l, 80));
  // A name the server was bound to by the user.
  ASSERT_TRUE(web::ParseListen("127.0.0.5:8018", l, why));
  EXPECT_TRUE(web::HostAllowed("127.0.0.5:8018", l, 8018));
  EXPECT_FALSE(web::HostAllowed("127.0.0.6:8018", l, 8018));
}

TEST(Host, OpenServerTakesAnyNameOnItsPort) {
  web::Listen l;
  std::string why;
  ASSERT_TRUE(web::ParseListen("0.0.0.0:8018", l, why));
  EXPECT_TRUE(web::HostAllowed("receiver-pc:8018", l, 8018));
  EXPECT_TRUE(web::HostAllowed("192.168.1.5:8018", l, 8018));
  EXPECT_FALSE(web::HostAllowed("192.168.1.5:8017", l, 8018));
  EXPECT_FALSE(web::HostAllowed("", l, 8018));
}

TEST(Origin, OnlyThePageItself) {
  const std::string host = "127.0.0.1:8018";
  EXPECT_TRUE(web::SameOrigin("", "", host));
  EXPECT_TRUE(web::SameOrigin("http://127.0.0.1:8018", "same-origin", host));
  EXPECT_TRUE(web::SameOrigin("HTTP://127.0.0.1:8018", "", host));
  EXPECT_TRUE(web::SameOrigin("", "none", host));
  EXPECT_FALSE(web::SameOrigin("http://evil.example", "", host));
  EXPECT_FALSE(web::SameOrigin("http://127.0.0.1:8019", "", host));
  EXPECT_FALSE(web::SameOrigin("https://127.0.0.1:8018", "", host));
  EXPECT_FALSE(web::SameOrigin("null", "", host));
  EXPECT_FALSE(web::SameOrigin("http://127.0.0.1:8018/", "", host));
  EXPECT_FALSE(web::SameOrigin("", "cross-site", host));
  EXPECT_FALSE(web::SameOrigin("", "same-site", host));
  EXPECT_FALSE(web::SameOrigin("http://127.0.0.1:8018", "cross-site", host));
}

TEST(Token, RandomHexAndExactMatch) {
  const std::string a = web::NewToken(), b = web::NewToken();
  ASSERT_EQ(32u, a.size());
  EXPECT_EQ(std::string::npos, a.find_first_not_of("0123456789abcdef"));
  EXPECT_NE(a, b);
  EXPECT_TRUE(web::TokenMatches(a, a));
  EXPECT_FALSE(web::TokenMatches(a.substr(0, 31), a));
  EXPECT_FALSE(web::TokenMatches(a + "0", a));
  std::string flipped = a;
  flipped[31] = flipped[31] == '0' ? '1' : '0';
  EXPECT_FALSE(web::TokenMatches(flipped, a));
  EXPECT_FALSE(web::TokenMatches("", ""));
}

TEST(Json, EscapesAndLatin1) {
  EXPECT_EQ("\"\"", web::Json(""));
  EXPECT_EQ("\"a\\\"b\\\\c\\n\\u0009\\u0001\\u007f\\u000d\"",
            web::Json(std::string("a\"b\\c\n\t\x01\x7F\r")));
  EXPECT_EQ(std::string("\"L\xC3\xB6schen\""), web::Json("L\xF6schen"));
  EXPECT_EQ(std::string("\"\xC2\x80\xC3\xBF\""), web::Json("\x80\xFF"));
  EXPECT_EQ("\"\\u0000x\"", web::Json(std::string("\0x", 2)));
}

TEST(Tail, WholeLinesFromTheEnd) {
  EXPECT_EQ("one\ntwo\n", web::Tail("one\ntwo\n", 8));
  EXPECT_EQ("two\n", web::Tail("one\ntwo\n", 7));
  EXPECT_EQ("two\n", web::Tail("one\ntwo\n", 4)); // the cut falls on a line start
  EXPECT_EQ("", web::Tail("one\ntwo\n", 3));      // no whole line fits
  EXPECT_EQ("cdef", web::Tail("abcdef", 4));      // one long line: its end
  EXPECT_EQ("", web::Tail("abc", 0));
}

// What a connection sent, framed with a head of at most 64 bytes and a body
// of at most 8 here.
TEST(Frame, RequestsAndRefusals) {
  const std::string get = "GET / HTTP/1.1\r\nHost: a\r\n\r\n"; // 27 bytes
  const std::string post = "POST /k HTTP/1.1\r\n";             // 18 bytes
  const struct {
    std::string sent;
    web::RequestFrame::State state;
    size_t length; // Complete
    int status;    // Refused
  } cases[] = {
      {"", web::RequestFrame::Incomplete, 0, 0},
      {"GET / HTTP/1.1\r\nHost: a\r\n", web::RequestFrame::Incomplete, 0, 0},
      {get, web::RequestFrame::Complete, 27, 0},
      {"GET / HTTP/1.1\r\n\r\n", web::RequestFrame::Complete, 18, 0},
      // A request sent right behind it stays for the next turn.
      {get + get, web::RequestFrame::Complete, 27, 0},
      {post + "Content-Length: 5\r\n\r\nabc", web::RequestFrame::Incomplete, 0, 0},
      {post + "Content-Length: 5\r\n\r\nabcde", web::RequestFrame::Complete, 44, 0},
      {post + "Content-Length: 5\r\n\r\nabcdeGET", web::RequestFrame::Complete, 44, 0},
      {post + "content-LENGTH: \t5 \r\n\r\nabcde", web::RequestFrame::Complete, 46, 0},
      {post + "Content-Length: 0\r\nContent-Length: 0\r\n\r\n", web::RequestFrame::Complete, 58, 0},
      // Names that only look like it count for nothing.
      {post + "X-Content-Length: 5\r\n\r\n", web::RequestFrame::Complete, 41, 0},
      {post + "Content-Length2: 5\r\n\r\n", web::RequestFrame::Complete, 40, 0},
      // The body's bound: 8 is taken, 9 is refused before it came.
      {post + "Content-Length: 8\r\n\r\n12345678", web::RequestFrame::Complete, 47, 0},
      {post + "Content-Length: 9\r\n\r\n", web::RequestFrame::Refused, 0, 413},
      {post + "Content-Length: 99999999999999999999999999\r\n\r\n", web::RequestFrame::Refused, 0,
       413},
      {post + "Transfer-Encoding: chunked\r\n\r\n", web::RequestFrame::Refused, 0, 413},
      {post + "TRANSFER-ENCODING: identity\r\n\r\n", web::RequestFrame::Refused, 0, 413},
      {post + "Content-Length:\r\n\r\n", web::RequestFrame::Refused, 0, 400},
      {post + "Content-Length: -1\r\n\r\n", web::RequestFrame::Refused, 0, 400},
      {post + "Content-Length: 1x\r\n\r\n", web::RequestFrame::Refused, 0, 400},
      {post + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", web::RequestFrame::Refused, 0, 400},
      // The head's bound: 64 bytes are taken, 65 refused, also before its end came.
      {"GET / HTTP/1.1\r\nX: " + std::string(41, 'a') + "\r\n\r\n", web::RequestFrame::Complete, 64,
       0},
      {"GET / HTTP/1.1\r\nX: " + std::string(42, 'a') + "\r\n\r\n", web::RequestFrame::Refused, 0,
       431},
      {"GET / HTTP/1.1\r\nX: " + std::string(44, 'a'), web::RequestFrame::Incomplete, 0, 0},
      {"GET / HTTP/1.1\r\nX: " + std::string(45, 'a'), web::RequestFrame::Refused, 0, 431},
  };
  for (const auto &c : cases) {
    const web::RequestFrame f = web::FrameRequest(c.sent, 64, 8);
    EXPECT_EQ(c.state, f.state) << c.sent;
    if (c.state == web::RequestFrame::Complete) {
      EXPECT_EQ(c.length, f.length) << c.sent;
    } else if (c.state == web::RequestFrame::Refused) {
      EXPECT_EQ(c.status, f.status) << c.sent;
      EXPECT_EQ(0u, f.why.find("refused: ")) << c.sent;
    }
    // Byte by byte, as a slow client sends it, with what was searched
    // already: the same answer at every step.
    size_t scanned = 0;
    for (size_t n = 0; n <= c.sent.size(); ++n) {
      const std::string part = c.sent.substr(0, n);
      const web::RequestFrame whole = web::FrameRequest(part, 64, 8);
      const web::RequestFrame step = web::FrameRequest(part, 64, 8, &scanned);
      ASSERT_EQ(whole.state, step.state) << c.sent << " at " << n;
      ASSERT_EQ(whole.length, step.length) << c.sent << " at " << n;
      ASSERT_EQ(whole.status, step.status) << c.sent << " at " << n;
      EXPECT_LE(scanned, n);
    }
  }
}

TEST(Keyboard, CharactersTheFirmwareTurnsIntoRemoteKeys) {
  EXPECT_EQ(dword(RKEY_Ok), web::RemoteKeyForChar(13));
  EXPECT_EQ(dword(RKEY_Exit), web::RemoteKeyForChar(27));
  EXPECT_EQ(dword(RKEY_0), web::RemoteKeyForChar('0'));
  EXPECT_EQ(dword(RKEY_9), web::RemoteKeyForChar('9'));
  for (dword c : {dword('/'), dword(':'), dword('a'), dword(8), dword(127), dword(10), dword(369),
                  dword(RKEY_Ok)})
    EXPECT_EQ(0u, web::RemoteKeyForChar(c)) << c;
}

TEST(Recorder, WholeSessionWithItsIdleEvents) {
  web::Recorder r;
  EXPECT_FALSE(r.Recording());
  r.Begin();
  EXPECT_TRUE(r.Recording());
  r.Idle();
  r.Idle();
  r.Key(RKEY_Down);
  r.Char(13);
  r.Key(RKEY_Ok);
  r.Idle();
  EXPECT_EQ("# Recorded in the browser by tapsim --serve.\n"
            "idle 2\n"
            "key Down\n"
            "char 13\n"
            "key OK\n"
            "idle 1\n"
            "shot end.png\n",
            r.End("end.png"));
  EXPECT_FALSE(r.Recording());
}

TEST(Recorder, StartedLateStillReplaysFromTheStart) {
  web::Recorder r;
  r.Idle();
  r.Key(RKEY_Down);
  r.Begin();
  r.Char('#'); // a character that would start a comment goes by its code
  r.Key(0x12345);
  const std::string script = r.End("x.png");
  EXPECT_EQ("# Recorded in the browser by tapsim --serve.\n"
            "# The events before the recording began come first, so that it replays from the "
            "start.\n"
            "idle 1\n"
            "key Down\n"
            "# recording\n"
            "char 35\n"
            "key 0x12345\n"
            "shot x.png\n",
            script);
  // What tapsim reads back is what was delivered.
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(ParseScript(script, "rec", steps, error)) << error;
  ASSERT_EQ(5u, steps.size());
  EXPECT_EQ(ScriptStep::Idle, steps[0].kind);
  EXPECT_EQ(dword(RKEY_Down), steps[1].value);
  EXPECT_EQ(ScriptStep::Char, steps[2].kind);
  EXPECT_EQ(dword('#'), steps[2].value);
  EXPECT_EQ(0x12345u, steps[3].value);
  EXPECT_EQ(ScriptStep::Shot, steps[4].kind);
}

TEST(Recorder, LongWaitsSplitAndClearForgets) {
  web::Recorder r;
  for (int i = 0; i < 2000001; ++i) r.Idle();
  const std::string script = r.End("s.png");
  EXPECT_NE(std::string::npos, script.find("idle 1000000\nidle 1000000\nidle 1\nshot s.png\n"));
  std::vector<ScriptStep> steps;
  std::string error;
  EXPECT_TRUE(ParseScript(script, "rec", steps, error)) << error;
  r.Key(RKEY_Up);
  r.Begin();
  r.Clear();
  EXPECT_FALSE(r.Recording());
  EXPECT_EQ("# Recorded in the browser by tapsim --serve.\nshot s.png\n", r.End("s.png"));
}

} // namespace

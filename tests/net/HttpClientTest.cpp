// The HTTP client against loopback peers: scripted servers and proxies, microsocks, TLS.
#include "net/HttpClient.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "net/EventLoop.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

using test::ReadUntil;
using test::ScriptedServer;
using test::WriteAll;

struct Note {
  int code;
  std::int64_t number;
  std::string text;
};

struct Done {
  unsigned flags;
  int status;
  std::string reply;
  std::uint32_t headerLength;
  std::string url;
};

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        HttpStartup(loop, "TolmiTest/1.0",
                    [this](int code, HttpRequest* r, std::int64_t n, const std::string& text) {
                      notes.push_back({code, n, text});
                      if (code == kHttpNoteBytes && r)
                        pieces.push_back({r->bytesReceived, r->bytesAllocated, r->reply.size()});
                    }));
  }
  void TearDown() override {
    HttpShutdown();
    EXPECT_EQ(HttpRequestCount(), 0u);
    loop.RunOnce(0);
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.LookupCount(), 0u);
  }

  HttpCompletion Recorder(int answer = 0) {
    return [this, answer](HttpRequest& r, std::uint32_t) {
      done.push_back({r.flags, r.statusCode, r.reply, r.headerLength, r.url});
      return answer;
    };
  }
  HttpRequest* Get(const std::string& url, int answer = 0, std::uint32_t maxBytes = 0) {
    return HttpGet(url, "label", maxBytes, 7, Recorder(answer));
  }
  bool WaitDone(std::size_t n, int ms = 8000) {
    return loop.RunUntil([&] { return done.size() >= n && HttpRequestCount() == 0; }, ms);
  }
  std::vector<int> Codes() const {
    std::vector<int> c;
    for (const Note& n : notes) {
      if (n.code != kHttpNoteTick && n.code != kHttpNoteBytes) c.push_back(n.code);
    }
    return c;
  }
  bool HasNote(int code, const std::string& text) const {
    for (const Note& n : notes) {
      if (n.code == code && n.text == text) return true;
    }
    return false;
  }
  std::string Url(int port, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(port) + path;
  }

  EventLoop loop;
  std::vector<Note> notes;
  std::vector<Done> done;
  struct Piece {
    std::uint32_t received, allocated;
    std::size_t size;
  };
  std::vector<Piece> pieces;  // the request as each notification 1 shows it
};

TEST_F(HttpClientTest, GetSendsExactBytesAndFillsTheReply) {
  ScriptedServer server([&](int fd, int) {
    std::string req = ReadUntil(fd, "\r\n\r\n");
    WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
    server.Record(req);
  });
  ASSERT_NE(Get(Url(server.port(), "/orders?data=300#frag")), nullptr);
  EXPECT_TRUE(done.empty());  // never from inside HttpGet
  ASSERT_TRUE(WaitDone(1));
  EXPECT_EQ(done[0].flags, unsigned{kHttpSucceeded});
  EXPECT_EQ(done[0].reply.substr(done[0].headerLength), "hello");
  EXPECT_EQ(server.records(),
            std::vector<std::string>{ComposeHttpRequest(Url(server.port(), "/orders?data=300"),
                                                        {false, false, "TolmiTest/1.0", ""})});
  // A numeric host: no lookup notes; connecting, sent, removing, list empty.
  EXPECT_EQ(Codes(), (std::vector<int>{kHttpNoteConnecting, kHttpNoteSent, kHttpNoteRemoving,
                                       kHttpNoteListEmpty}));
}

TEST_F(HttpClientTest, LargeReplyArrivesByteForByteInDocumentedPieces) {
  std::string body;
  for (int i = 0; i < 5 * 1024 * 1024; ++i) body.push_back(static_cast<char>((i * 7) & 0xff));
  const std::string head =
      "HTTP/1.0 200 OK\nContent-Length: " + std::to_string(body.size()) + "\n\n";
  ScriptedServer server([&](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    WriteAll(fd, head + body);
  });
  ASSERT_NE(
      HttpGet("http://localhost:" + std::to_string(server.port()) + "/big", "", 0, 0, Recorder()),
      nullptr);
  ASSERT_TRUE(WaitDone(1));
  EXPECT_EQ(done[0].flags, unsigned{kHttpSucceeded});
  EXPECT_EQ(done[0].headerLength, head.size());  // "\n\n" ends the head too
  EXPECT_TRUE(done[0].reply.substr(head.size()) == body);
  // One notification per piece of at most 4096 bytes; the block grows in 8200-byte steps
  // and keeps at least 8200 - 4096 bytes free.
  ASSERT_GE(pieces.size(), (head.size() + body.size()) / 4096);
  std::uint32_t before = 0;
  for (const Piece& p : pieces) {
    ASSERT_TRUE(p.received > before && p.received - before <= 4096) << before;
    ASSERT_EQ(p.size, p.received);
    ASSERT_EQ(p.allocated % 8200, 0u);
    ASSERT_GE(p.allocated, p.received + 8200 - 4096);
    ASSERT_LT(p.allocated, p.received + 2 * 8200);
    before = p.received;
  }
  EXPECT_EQ(before, head.size() + body.size());
  // A looked-up host: lookup begins and host found are reported.
  EXPECT_EQ(Codes()[0], kHttpNoteLookup);
  EXPECT_EQ(Codes()[1], kHttpNoteHostFound);
}

TEST_F(HttpClientTest, PostCarriesItsBodyAndMaxBytesStopsEarly) {
  ScriptedServer server([&](int fd, int) {
    server.Record(ReadUntil(fd, "a=1&b=2"));
    WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\n" + std::string(100000, 'x'));
    ReadUntil(fd, "never", 3000);  // keeps the connection open
  });
  const std::string url = Url(server.port(), "/POST /cgi-bin/order.cgi $HTTPa=1&b=2");
  ASSERT_NE(Get(url, 0, 5000), nullptr);
  ASSERT_TRUE(WaitDone(1, 2500));  // completes on size, not on the server's close
  EXPECT_GT(done[0].reply.size(), 5000u);
  EXPECT_EQ(done[0].flags, unsigned{kHttpSucceeded});
  EXPECT_EQ(server.records(),
            std::vector<std::string>{ComposeHttpRequest(url, {false, false, "TolmiTest/1.0", ""})});
}

TEST_F(HttpClientTest, RedirectsFollowedOnRequestWithLimits) {
  // /dir/start.html: 302 to a bare file name, resolved against the old directory;
  // /loop: a Location equal to the URL; /rN: a chain to /rN+1.
  ScriptedServer server(
      [&](int fd, int) {
        std::string req = ReadUntil(fd, "\r\n\r\n");
        std::string path = req.substr(4, req.find(' ', 4) - 4);
        server.Record(path);
        std::string location = path == "/dir/start.html" ? "next.html"
                               : path == "/loop"         ? "/loop"
                               : path[1] == 'r'          ? "/r" + std::to_string(path[2] - '0' + 1)
                                                         : "";
        WriteAll(fd, location.empty() ? "HTTP/1.0 200 OK\r\n\r\nfinal"
                                      : "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n");
      },
      10);
  ASSERT_NE(Get(Url(server.port(), "/dir/start.html"), 2), nullptr);
  ASSERT_TRUE(WaitDone(2));
  EXPECT_EQ(done[0].flags, unsigned{kHttpRedirected | kHttpFailed});
  EXPECT_EQ(done[1].flags, unsigned{kHttpSucceeded});
  EXPECT_EQ(done[1].url, Url(server.port(), "/dir/next.html"));

  ASSERT_NE(Get(Url(server.port(), "/loop"), 2), nullptr);
  ASSERT_TRUE(WaitDone(3));
  ASSERT_NE(Get(Url(server.port(), "/r0"), 2), nullptr);
  ASSERT_TRUE(WaitDone(9));
  loop.RunOnce(50);
  EXPECT_EQ(done.size(), 9u);  // the first reply of /r0 and five follow-ups
  EXPECT_EQ(done.back().url, Url(server.port(), "/r5"));
  EXPECT_EQ(server.records(),
            (std::vector<std::string>{"/dir/start.html", "/dir/next.html", "/loop", "/r0", "/r1",
                                      "/r2", "/r3", "/r4", "/r5"}));
}

TEST_F(HttpClientTest, FaultsEndInTheCompletionWithFlags) {
  // Early close in the middle of the head; a reply with no head end.
  ScriptedServer cut(
      [&](int fd, int index) {
        ReadUntil(fd, "\r\n\r\n");
        if (index == 0) WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-");
        if (index == 1) {
          std::string huge = "HTTP/1.0 200 OK\r\n";
          while (huge.size() < 3 * 1024 * 1024) huge += "X-Pad: " + std::string(60, 'p') + "\r\n";
          WriteAll(fd, huge);
        }
      },
      2);
  ASSERT_NE(Get(Url(cut.port(), "/a")), nullptr);
  ASSERT_TRUE(WaitDone(1));
  EXPECT_EQ(done[0].flags, unsigned{kHttpFailed});
  EXPECT_EQ(done[0].status, 0);
  ASSERT_NE(Get(Url(cut.port(), "/b")), nullptr);
  ASSERT_TRUE(WaitDone(2, 15000));
  EXPECT_EQ(done[1].flags, unsigned{kHttpFailed});
  EXPECT_GT(done[1].reply.size(), 3u * 1024 * 1024);

  // Nobody listening: a socket error.
  notes.clear();
  ASSERT_NE(Get(Url(test::FreePort(), "/")), nullptr);
  ASSERT_TRUE(WaitDone(3));
  EXPECT_EQ(done[2].flags, unsigned{kHttpFailed | kHttpSocketError});
  EXPECT_EQ(Codes()[1], kHttpNoteSocketError);

  // A name that does not resolve.
  ASSERT_NE(Get("http://no-such-host.invalid/x"), nullptr);
  ASSERT_TRUE(WaitDone(4, 15000));
  EXPECT_EQ(done[3].flags, unsigned{kHttpFailed | kHttpSocketError});
  EXPECT_TRUE(HasNote(kHttpNoteMessage, " Host Not Found"));

  // Unusable URLs start nothing and call nothing.
  EXPECT_EQ(Get("ftp://x/"), nullptr);
  EXPECT_EQ(Get(""), nullptr);
  loop.RunOnce(20);
  EXPECT_EQ(done.size(), 4u);
}

TEST_F(HttpClientTest, SilentServerTimesOutAndSlowServerDoesNot) {
  HttpSetTimeout(40);
  ScriptedServer silent([&](int fd, int) { ReadUntil(fd, "never", 3000); });
  ASSERT_NE(Get(Url(silent.port(), "/")), nullptr);
  ASSERT_TRUE(WaitDone(1, 3000));
  EXPECT_EQ(done[0].flags, unsigned{kHttpFailed | kHttpTimedOut});

  // Bytes every 100 ms keep resetting the count of a receiving request (11 ticks of 100 ms).
  HttpSetTimeout(100);
  ScriptedServer slow([&](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\n");
    for (int i = 0; i < 10; ++i) {
      usleep(100000);
      WriteAll(fd, "x");
    }
  });
  ASSERT_NE(Get(Url(slow.port(), "/")), nullptr);
  ASSERT_TRUE(WaitDone(2, 5000));
  EXPECT_EQ(done[1].flags, unsigned{kHttpSucceeded});
  EXPECT_EQ(done[1].reply, "HTTP/1.0 200 OK\r\n\r\nxxxxxxxxxx");
}

TEST_F(HttpClientTest, CancelAllCompletesEachOnceAndIgnoresNestedCalls) {
  ScriptedServer silent([&](int fd, int) { ReadUntil(fd, "never", 2000); }, 2);
  int calls = 0;
  auto completion = [&](HttpRequest& r, std::uint32_t value) {
    ++calls;
    EXPECT_EQ(r.flags & (kHttpFailed | kHttpCancelled), unsigned{kHttpFailed | kHttpCancelled});
    EXPECT_EQ(value, 42u);
    HttpCancelAll();  // ignored while one is running
    return 2;         // no redirect after a cancel
  };
  ASSERT_NE(HttpGet(Url(silent.port(), "/1"), "", 0, 42, completion), nullptr);
  ASSERT_NE(HttpGet(Url(silent.port(), "/2"), "", 0, 42, completion), nullptr);
  loop.RunOnce(50);
  HttpCancelAll();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(HttpRequestCount(), 0u);
}

TEST_F(HttpClientTest, ProxyAuthenticationRetriesOnceWithBasic) {
  // Each request is refused first, then retried with the Basic value: the first
  // retry is let through, the second refused again (which fails the request).
  ScriptedServer proxy(
      [&](int fd, int index) {
        std::string req = ReadUntil(fd, "\r\n\r\n");
        proxy.Record(req);
        WriteAll(fd, index == 1 ? "HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nproxied!"
                                : "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n");
      },
      4);
  HttpSetProxy(1, "127.0.0.1", proxy.port(), "tolmi", "s3cret");
  ASSERT_NE(Get("http://shop.example/via"), nullptr);
  ASSERT_TRUE(WaitDone(1));
  HttpSetProxy(1, "127.0.0.1", proxy.port(), "tolmi", "wrong");  // forgets the Basic value
  ASSERT_NE(Get("http://shop.example/orders"), nullptr);
  ASSERT_TRUE(WaitDone(2));
  ASSERT_EQ(done.size(), 2u);  // a 407 retry is not a second completion
  EXPECT_EQ(done[0].reply.substr(done[0].headerLength), "proxied!");
  EXPECT_EQ(done[1].status, 407);
  EXPECT_EQ(done[1].flags, unsigned{kHttpFailed});
  std::vector<std::string> got = proxy.records();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].find("Proxy-Authorization"), std::string::npos);
  EXPECT_NE(got[1].find("\r\nProxy-Authorization: Basic dG9sbWk6czNjcmV0\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(got[2].find("Proxy-Authorization"), std::string::npos);
  EXPECT_NE(got[3].find("\r\nProxy-Authorization: Basic dG9sbWk6d3Jvbmc=\r\n\r\n"),
            std::string::npos);
}

TEST_F(HttpClientTest, ThroughMicrosocksWithAndWithoutPassword) {
  std::string microsocks = test::FindProgram("microsocks");
  ASSERT_FALSE(microsocks.empty()) << "microsocks is not installed (scripts/packages.txt)";
  ScriptedServer origin(
      [&](int fd, int) {
        std::string req = ReadUntil(fd, "\r\n\r\n");
        origin.Record(req.substr(0, req.find("\r\n")));
        WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nsocks");
      },
      2);
  int open = test::FreePort();
  test::PeerProcess plain({microsocks, "-i", "127.0.0.1", "-p", std::to_string(open)});
  int locked = test::FreePort();
  test::PeerProcess withAuth(
      {microsocks, "-i", "127.0.0.1", "-p", std::to_string(locked), "-u", "u1", "-P", "p1"});
  ASSERT_TRUE(test::WaitForPort(open));
  ASSERT_TRUE(test::WaitForPort(locked));

  const std::tuple<int, const char*, unsigned> cases[] = {
      {open, "", kHttpSucceeded},
      {locked, "p1", kHttpSucceeded},
      {locked, "bad", kHttpFailed | kHttpSocketError}};
  for (const auto& [port, password, flags] : cases) {
    HttpSetProxy(3, "127.0.0.1", port, *password ? "u1" : "", password);
    ASSERT_NE(Get(Url(origin.port(), "/" + std::string(password))), nullptr);
    ASSERT_TRUE(WaitDone(done.size() + 1));
    EXPECT_EQ(done.back().flags, flags) << password;
  }
  EXPECT_EQ(done[0].reply, "HTTP/1.0 200 OK\r\n\r\nsocks");
  // Any proxy host makes the target absolute.
  EXPECT_EQ(origin.records()[1], "GET " + Url(origin.port(), "/p1") + " HTTP/1.0");
}

TEST_F(HttpClientTest, Socks4SendsTheExactConnectRequest) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  // A SOCKS4 proxy that grants the connection and then answers as the server itself.
  ScriptedServer proxy([&](int fd, int) {
    std::string hello = ReadUntil(fd, std::string("\0", 1));
    proxy.Record(hello);
    WriteAll(fd, std::string("\x00\x5a\x00\x00\x00\x00\x00\x00", 8));
    proxy.Record(ReadUntil(fd, "\r\n\r\n"));
    WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nvia socks4");
  });
  HttpSetProxy(2, "127.0.0.1", proxy.port(), "", "");
  ASSERT_NE(Get("http://10.1.2.3:8080/page"), nullptr);
  ASSERT_TRUE(WaitDone(1));
  EXPECT_EQ(done[0].reply, "HTTP/1.0 200 OK\r\n\r\nvia socks4");  // the 8 reply bytes are removed
  ASSERT_FALSE(proxy.records().empty());
  EXPECT_EQ(proxy.records()[0],
            std::string("\x04\x01\x1f\x90\x0a\x01\x02\x03", 8) + host + std::string(1, '\0'));

  // A refusal (91) fails the request instead of sending into the proxy.
  ScriptedServer refusing([&](int fd, int) {
    ReadUntil(fd, std::string("\0", 1));
    WriteAll(fd, std::string("\x00\x5b\x00\x00\x00\x00\x00\x00", 8));
    ReadUntil(fd, "never", 1000);
  });
  HttpSetProxy(2, "127.0.0.1", refusing.port(), "", "");
  ASSERT_NE(Get("http://10.1.2.3/"), nullptr);
  ASSERT_TRUE(WaitDone(2));
  EXPECT_EQ(done[1].flags, unsigned{kHttpFailed | kHttpSocketError});
  EXPECT_TRUE(HasNote(kHttpNoteMessage, " SOCKS4 proxy refused the connection"));
}

TEST_F(HttpClientTest, HttpsThroughCurlOnTheSameLoop) {
  std::string openssl = test::FindProgram("openssl");
  ASSERT_FALSE(openssl.empty());
  test::TestHome home;
  std::string key = (home / "key.pem").string(), cert = (home / "cert.pem").string();
  ASSERT_EQ(std::system((openssl + " req -x509 -newkey rsa:2048 -nodes -keyout " + key + " -out " +
                         cert + " -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1" +
                         " 2>/dev/null")
                            .c_str()),
            0);
  home.Write("tls.py",
             "import ssl, sys, http.server\n"
             "class H(http.server.BaseHTTPRequestHandler):\n"
             "    def reply(self, body):\n"
             "        self.send_response(200)\n"
             "        self.send_header('Content-Length', str(len(body)))\n"
             "        self.end_headers()\n"
             "        self.wfile.write(body)\n"
             "    def do_GET(self):\n"
             "        self.reply(('GET ' + self.path + ' ' + self.headers.get('User-Agent', "
             "'')).encode())\n"
             "    def do_POST(self):\n"
             "        n = int(self.headers.get('Content-Length', 0))\n"
             "        self.reply(b'POST ' + self.rfile.read(n))\n"
             "    def log_message(self, *a): pass\n"
             "s = http.server.HTTPServer(('127.0.0.1', 0), H)\n"
             "c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
             "c.load_cert_chain(sys.argv[1], sys.argv[2])\n"
             "s.socket = c.wrap_socket(s.socket, server_side=True)\n"
             "print(s.server_address[1], flush=True)\n"
             "s.serve_forever()\n");
  test::PeerProcess server({"/usr/bin/python3", (home / "tls.py").string(), cert, key}, true);
  std::string port = server.ReadLine();
  ASSERT_FALSE(port.empty()) << "TLS test server did not start";
  HttpSetCaFile(cert);
  std::string base = "https://127.0.0.1:" + port;
  ASSERT_NE(Get(base + "/status"), nullptr);
  ASSERT_TRUE(WaitDone(1));
  EXPECT_EQ(done[0].flags, unsigned{kHttpSucceeded});
  EXPECT_EQ(done[0].reply.substr(done[0].headerLength), "GET /status TolmiTest/1.0");

  ASSERT_NE(Get(base + "/POST /gw $HTTPamount=1.00&id=7"), nullptr);
  ASSERT_TRUE(WaitDone(2));
  EXPECT_EQ(done[1].reply.substr(done[1].headerLength), "POST amount=1.00&id=7");

  // An untrusted certificate fails cleanly.
  HttpSetCaFile((home / "tls.py").string());
  ASSERT_NE(Get(base + "/x"), nullptr);
  ASSERT_TRUE(WaitDone(3));
  EXPECT_TRUE(done[2].flags & kHttpFailed);
}

}  // namespace
}  // namespace tolmi

// The HTTP client's wire texts, pinned byte for byte.
#include <gtest/gtest.h>

#include "net/HttpClient.h"
#include "net/Socks.h"

namespace tolmi {
namespace {

const std::string kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
    "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n"
    "Accept-Charset: iso-8859-1,*,utf-8\r\n";

TEST(HttpWire, UrlParts) {
  // host | lookup host | port | path | a "/" follows the host
  const std::pair<const char*, const char*> rows[] = {
      {"http://user:pw@shop.example:8080/cgi-bin/x.cgi?a=1",
       "shop.example:8080|shop.example|8080|/cgi-bin/x.cgi?a=1|1"},
      {"http://shop.example", "shop.example|shop.example|80|/|0"},
      {"http://h:0/x", "h:0|h|80|/x|1"},
      {"http://h:99999/x", "h:99999|h|80|/x|1"},
      {"http://h/a:b", "h|h|80|/a|1"},                              // cut at ":"
      {"http://h/POST /a:b $HTTPx", "h|h|80|/POST /a:b $HTTPx|1"},  // not cut
      {"http://h?q=1", "h|h|80|/|0"},
      {"", "||80|/|0"},
  };
  for (const auto& [url, parts] : rows) {
    HttpUrlParts p = SplitHttpUrl(url);
    EXPECT_EQ(p.host + "|" + p.lookupHost + "|" + std::to_string(p.port) + "|" + p.path + "|" +
                  std::to_string(p.hasPath),
              parts)
        << url;
  }
}

TEST(HttpWire, RequestTexts) {
  HttpComposeSettings none, proxy, all;
  proxy.proxy = all.proxy = true;
  all.noCache = true;
  all.userAgent = "Tolmi PRO";
  all.proxyAuthorization = "dXNlcjpwdw==";
  const std::string form = "Content-type: application/x-www-form-urlencoded\r\n";
  struct Row {
    const char* url;
    const HttpComposeSettings& settings;
    std::string text;
  };
  const Row rows[] = {
      {"http://shop.example:8080/orders?data=300#top", none,
       "GET /orders?data=300 HTTP/1.0\r\n" + kAccept + "Host: shop.example\r\n\r\n"},
      {"http://shop.example", proxy,
       "GET http://shop.example/ HTTP/1.0\r\n" + kAccept +
           "Connection: close\r\nHost: shop.example\r\n\r\n"},
      {"http://h/a#frag", all,
       "GET http://h/a HTTP/1.0\r\n" + kAccept +
           "Connection: close\r\nPragma: no-cache\r\nUser-Agent: Tolmi PRO\r\nHost: h\r\n"
           "Proxy-Authorization: Basic dXNlcjpwdw==\r\n\r\n"},
      {"http://host/POST /cgi-bin/order.cgi $HTTPa=1&b=2", none,
       "POST /cgi-bin/order.cgi HTTP/1.0\r\n" + kAccept + "Host: host\r\n" + form +
           "Content-Length: 7\r\n\r\na=1&b=2"},
      {"http://host:81/POST /cgi-bin/order.cgi $HTTP", proxy,
       "POST http://host:81/cgi-bin/order.cgi HTTP/1.0\r\n" + kAccept +
           "Connection: close\r\nHost: host\r\n" + form + "Content-Length: 0\r\n\r\n"},
      // Without a body marker the request still gets its protocol and headers.
      {"http://host/POST /x", none, "POST /x HTTP/1.0\r\n" + kAccept + "Host: host\r\n\r\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(ComposeHttpRequest(r.url, r.settings), r.text) << r.url;

  all.proxy = false;
  all.userAgent = "UA";
  all.proxyAuthorization = "eA==";
  EXPECT_EQ(ComposeHttpsHeaders("https://pay.example:8443/x", all),
            "Pragma: no-cache\r\nUser-Agent: UA\r\nHost: pay.example\r\nAccept: */*\r\n"
            "Accept-Charset: iso-8859-1,*,utf-8\r\nProxy-Authorization: Basic eA==\r\n");
  HttpsTarget t = SplitHttpsTarget("https://pay.example/POST /gw/charge $HTTPamount=1.00&id=7");
  EXPECT_EQ(t.url + "|" + t.body + "|" + std::to_string(t.post),
            "https://pay.example/gw/charge|amount=1.00&id=7|1");
  t = SplitHttpsTarget("https://pay.example/status");
  EXPECT_EQ(t.url + "|" + t.body + "|" + std::to_string(t.post), "https://pay.example/status||0");
}

TEST(HttpWire, ReplyHeadAndItsEnd) {
  HttpReplyHead h = ParseHttpReplyHead(
      "HTTP/1.0 302 Found\r\nlast-modified:  Tue, 01 Dec 2026 10:00:00 GMT  \r\n"
      "CONTENT-LENGTH: 1234\r\n\r\n");
  EXPECT_EQ(h.statusCode, 302);
  EXPECT_EQ(h.lastModified, "01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(h.contentLength, 1234u);
  EXPECT_EQ(ParseHttpReplyHead("HTTP/1.1\t200\n\n").statusCode, 200);
  EXPECT_EQ(ParseHttpReplyHead("garbage").statusCode, 0);
  EXPECT_GE(ParseHttpReplyHead("HTTP/1.0 99999999999999999999 X\r\n").statusCode, 0);
  EXPECT_EQ(ParseHttpReplyHead("HTTP/1.0 200\r\nContent-Length: 99999999999\r\n").contentLength,
            0xffffffffu);

  const std::tuple<const char*, std::size_t, std::size_t> ends[] = {
      {"HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody", 0, 25},
      {"HTTP/1.0 200 OK\nA: b\n\nbody\r\n\r\n", 0, 22},  // whichever blank line comes first
      {"HTTP/1.0 200 OK\r\nA: b\r\n", 0, 0},
      {"", 0, 0},
      {"HTTP/1.0 200 OK\r\n\r\n", 15, 19},  // a blank line across the resume point
  };
  for (const auto& [reply, from, length] : ends) EXPECT_EQ(HttpHeadLength(reply, from), length);
}

TEST(HttpWire, RedirectTargets) {
  auto loc = [](const std::string& value) {
    return "HTTP/1.0 301 Moved\r\nLocation: " + value + "\r\n\r\n";
  };
  const std::tuple<std::string, std::string, std::string> rows[] = {
      {"http://h/dir/page.html", loc("other.html"), "http://h/dir/other.html"},
      {"http://h/dir/page.html", loc("/top.html"), "http://h/top.html"},
      {"http://h", loc("a.html"), "http://h/a.html"},
      {"http://h/x", loc("  HTTPS://s/y  "), "HTTPS://s/y"},
      {"http://h/POST /cgi/o.cgi $HTTPa=1", loc("done.html"), "http://h/cgi/done.html"},
      {"http://h/x", "HTTP/1.0 302 X\r\n\r\n<a href=http://n/z>", "http://n/z>"},
      {"http://h/x", "HTTP/1.0 302 X\r\n\r\nnothing", ""},
  };
  for (const auto& [url, reply, next] : rows) EXPECT_EQ(HttpRedirectUrl(url, reply, 0), next);
  EXPECT_EQ(HttpRedirectUrl("http://h/x", loc(std::string(5000, 'a')), 0).size(), 2047u);
}

TEST(SocksBytes, RequestsAndNegotiation) {
  EXPECT_EQ(Socks4ConnectRequest(0x7f000001, 0x1f90, "me"),
            std::string("\x04\x01\x1f\x90\x7f\x00\x00\x01me\x00", 11));
  EXPECT_EQ(Socks5UserPassword("ab", "xyz"), std::string("\x01\x02"
                                                         "ab\x03xyz",
                                                         8));
  EXPECT_EQ(Socks5ConnectRequest(0x0a000001, 5001),
            std::string("\x05\x01\x00\x01\x0a\x00\x00\x01\x13\x89", 10));

  SocksNegotiator n(3, "ab", "xyz", "");
  std::string out, in;
  EXPECT_EQ(n.Start(out), SocksNegotiator::Step::Wait);
  EXPECT_EQ(out, std::string("\x05\x01\x02", 3));
  out.clear();
  in = std::string("\x05", 1);  // reply arrives in pieces
  EXPECT_EQ(n.Feed(in, out), SocksNegotiator::Step::Wait);
  in += std::string("\x02", 1);
  EXPECT_EQ(n.Feed(in, out), SocksNegotiator::Step::Wait);
  EXPECT_EQ(out, Socks5UserPassword("ab", "xyz"));
  in = std::string("\x01\x00", 2);
  EXPECT_EQ(n.Feed(in, out), SocksNegotiator::Step::NeedTarget);
  n.TargetRequest(0x7f000001, 80);
  in = std::string(
      "\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x50"
      "HTTP",
      14);
  EXPECT_EQ(n.Feed(in, out), SocksNegotiator::Step::Done);
  EXPECT_EQ(in, "HTTP");  // what follows the negotiation is kept

  SocksNegotiator refused(3, "ab", "bad", "");
  out.clear();
  refused.Start(out);
  in = std::string("\x05\x02\x01\x01", 4);
  EXPECT_EQ(refused.Feed(in, out), SocksNegotiator::Step::Failed);
}

}  // namespace
}  // namespace tolmi

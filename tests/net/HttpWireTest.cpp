// The HTTP client's wire texts, pinned byte for byte.
#include <gtest/gtest.h>

#include "net/HttpClient.h"
#include "net/Socks.h"

namespace tolmi {
namespace {

const char kAccept[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
    "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n"
    "Accept-Charset: iso-8859-1,*,utf-8\r\n";

TEST(HttpWire, UrlParts) {
  HttpUrlParts p = SplitHttpUrl("http://user:pw@shop.example:8080/cgi-bin/x.cgi?a=1");
  EXPECT_EQ(p.host, "shop.example:8080");
  EXPECT_EQ(p.lookupHost, "shop.example");
  EXPECT_EQ(p.port, 8080);
  EXPECT_EQ(p.path, "/cgi-bin/x.cgi?a=1");

  p = SplitHttpUrl("http://shop.example");
  EXPECT_EQ(p.path, "/");
  EXPECT_FALSE(p.hasPath);
  EXPECT_EQ(p.port, 80);
  EXPECT_EQ(SplitHttpUrl("http://h:0/x").port, 80);
  EXPECT_EQ(SplitHttpUrl("http://h:99999/x").port, 80);
  EXPECT_EQ(SplitHttpUrl("http://h/a:b").path, "/a");                              // cut at ":"
  EXPECT_EQ(SplitHttpUrl("http://h/POST /a:b $HTTPx").path, "/POST /a:b $HTTPx");  // not cut
  EXPECT_EQ(SplitHttpUrl("http://h?q=1").lookupHost, "h");
  EXPECT_EQ(SplitHttpUrl("").path, "/");
}

TEST(HttpWire, GetDirectAndThroughProxy) {
  HttpComposeSettings s;
  EXPECT_EQ(
      ComposeHttpRequest("http://shop.example:8080/orders?data=300#top", s),
      std::string("GET /orders?data=300 HTTP/1.0\r\n") + kAccept + "Host: shop.example\r\n\r\n");

  s.proxy = true;
  EXPECT_EQ(ComposeHttpRequest("http://shop.example", s),
            std::string("GET http://shop.example/ HTTP/1.0\r\n") + kAccept +
                "Connection: close\r\nHost: shop.example\r\n\r\n");

  s.noCache = true;
  s.userAgent = "Tolmi PRO";
  s.proxyAuthorization = "dXNlcjpwdw==";
  EXPECT_EQ(ComposeHttpRequest("http://h/a#frag", s),
            std::string("GET http://h/a HTTP/1.0\r\n") + kAccept +
                "Connection: close\r\nPragma: no-cache\r\nUser-Agent: Tolmi PRO\r\nHost: h\r\n"
                "Proxy-Authorization: Basic dXNlcjpwdw==\r\n\r\n");
}

TEST(HttpWire, PostConvention) {
  HttpComposeSettings s;
  EXPECT_EQ(ComposeHttpRequest("http://host/POST /cgi-bin/order.cgi $HTTPa=1&b=2", s),
            std::string("POST /cgi-bin/order.cgi HTTP/1.0\r\n") + kAccept +
                "Host: host\r\nContent-type: application/x-www-form-urlencoded\r\n"
                "Content-Length: 7\r\n\r\na=1&b=2");
  s.proxy = true;
  EXPECT_EQ(ComposeHttpRequest("http://host:81/POST /cgi-bin/order.cgi $HTTP", s),
            std::string("POST http://host:81/cgi-bin/order.cgi HTTP/1.0\r\n") + kAccept +
                "Connection: close\r\nHost: host\r\n"
                "Content-type: application/x-www-form-urlencoded\r\nContent-Length: 0\r\n\r\n");
  // Without a body marker the request still gets its protocol and headers.
  s.proxy = false;
  EXPECT_EQ(ComposeHttpRequest("http://host/POST /x", s),
            std::string("POST /x HTTP/1.0\r\n") + kAccept + "Host: host\r\n\r\n");
}

TEST(HttpWire, HttpsHeadersAndTarget) {
  HttpComposeSettings s;
  s.noCache = true;
  s.userAgent = "UA";
  s.proxyAuthorization = "eA==";
  EXPECT_EQ(ComposeHttpsHeaders("https://pay.example:8443/x", s),
            "Pragma: no-cache\r\nUser-Agent: UA\r\nHost: pay.example\r\nAccept: */*\r\n"
            "Accept-Charset: iso-8859-1,*,utf-8\r\nProxy-Authorization: Basic eA==\r\n");
  HttpsTarget t = SplitHttpsTarget("https://pay.example/POST /gw/charge $HTTPamount=1.00&id=7");
  EXPECT_EQ(t.url, "https://pay.example/gw/charge");
  EXPECT_EQ(t.body, "amount=1.00&id=7");
  EXPECT_TRUE(t.post);
  t = SplitHttpsTarget("https://pay.example/status");
  EXPECT_EQ(t.url, "https://pay.example/status");
  EXPECT_FALSE(t.post);
}

TEST(HttpWire, ReplyHead) {
  HttpReplyHead h = ParseHttpReplyHead(
      "HTTP/1.0 302 Found\r\nlast-modified:  Tue, 01 Dec 2026 10:00:00 GMT  \r\n"
      "CONTENT-LENGTH: 1234\r\n\r\n");
  EXPECT_EQ(h.statusCode, 302);
  EXPECT_EQ(h.lastModified, "01 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(h.contentLength, 1234u);
  EXPECT_EQ(ParseHttpReplyHead("HTTP/1.1\t200\n\n").statusCode, 200);
  EXPECT_EQ(ParseHttpReplyHead("garbage").statusCode, 0);
  EXPECT_EQ(ParseHttpReplyHead("HTTP/1.0 99999999999999999999 X\r\n").statusCode >= 0, true);
  EXPECT_EQ(ParseHttpReplyHead("HTTP/1.0 200\r\nContent-Length: 99999999999\r\n").contentLength,
            0xffffffffu);
}

TEST(HttpWire, HeadLength) {
  EXPECT_EQ(HttpHeadLength("HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody"), 25u);
  EXPECT_EQ(HttpHeadLength("HTTP/1.0 200 OK\nA: b\n\nbody\r\n\r\n"), 22u);
  EXPECT_EQ(HttpHeadLength("HTTP/1.0 200 OK\r\nA: b\r\n"), 0u);
  EXPECT_EQ(HttpHeadLength(""), 0u);
  // A scan resumed part-way still finds a blank line that straddles the resume point.
  EXPECT_EQ(HttpHeadLength("HTTP/1.0 200 OK\r\n\r\n", 15), 19u);
}

TEST(HttpWire, RedirectTargets) {
  auto loc = [](const std::string& value) {
    return "HTTP/1.0 301 Moved\r\nLocation: " + value + "\r\n\r\n";
  };
  EXPECT_EQ(HttpRedirectUrl("http://h/dir/page.html", loc("other.html"), 0),
            "http://h/dir/other.html");
  EXPECT_EQ(HttpRedirectUrl("http://h/dir/page.html", loc("/top.html"), 0), "http://h/top.html");
  EXPECT_EQ(HttpRedirectUrl("http://h", loc("a.html"), 0), "http://h/a.html");
  EXPECT_EQ(HttpRedirectUrl("http://h/x", loc("  HTTPS://s/y  "), 0), "HTTPS://s/y");
  EXPECT_EQ(HttpRedirectUrl("http://h/POST /cgi/o.cgi $HTTPa=1", loc("done.html"), 0),
            "http://h/cgi/done.html");
  EXPECT_EQ(HttpRedirectUrl("http://h/x", "HTTP/1.0 302 X\r\n\r\n<a href=http://n/z>", 0),
            "http://n/z>");
  EXPECT_EQ(HttpRedirectUrl("http://h/x", "HTTP/1.0 302 X\r\n\r\nnothing", 0), "");
  EXPECT_EQ(HttpRedirectUrl("http://h/x", loc(std::string(5000, 'a')), 0).size(), 2047u);
}

TEST(SocksBytes, RequestsAndNegotiation) {
  EXPECT_EQ(Socks4ConnectRequest(0x7f000001, 0x1f90, "me"),
            std::string("\x04\x01\x1f\x90\x7f\x00\x00\x01me\x00", 11));
  EXPECT_EQ(Socks5Greeting(true), std::string("\x05\x01\x02", 3));
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

  SocksNegotiator s4(2, "", "", "me");
  EXPECT_EQ(s4.Start(out), SocksNegotiator::Step::NeedTarget);
  s4.TargetRequest(1, 2);
  in = std::string("\x00\x5b\x00\x00\x00\x00\x00\x00", 8);
  EXPECT_EQ(s4.Feed(in, out), SocksNegotiator::Step::Failed);
}

}  // namespace
}  // namespace tolmi

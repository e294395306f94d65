// The store as tolmi-server serves it: validators, 304 answers, caching rules, gzip and the
// store's own 404 page, checked header by header against the real program on loopback.
#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "ServerProcess.h"
#include "server/StaticFiles.h"
#include "tests/support/TestHome.h"

namespace tolmi::test {
namespace {

constexpr std::time_t kStamp = 1767323045;  // Fri, 02 Jan 2026 03:04:05 GMT
constexpr const char* kStampText = "Fri, 02 Jan 2026 03:04:05 GMT";

std::string Gunzip(const std::string& packed) {
  z_stream z{};
  inflateInit2(&z, 15 + 16);
  std::string out(1 << 20, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return rc == Z_STREAM_END ? out : "<not gzip>";
}

class StaticServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Put("index.html", "<html><body>" + std::string(300, 'w') + "</body></html>");
    Put("tolmi.js", Script('a'));
    Put("img/pic.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(400, '\0'));
    Put("tiny.css", "body{}");
  }
  void Put(const std::string& name, const std::string& bytes, std::time_t stamp = kStamp) {
    home_.Write("store/" + name, bytes);
    timespec times[2] = {{stamp, 0}, {stamp, 0}};
    utimensat(AT_FDCWD, (home_ / ("store/" + name)).c_str(), times, 0);
  }
  static std::string Script(char c) { return "var cart='" + std::string(2000, c) + "';\n"; }
  static std::string Tag(size_t size, std::time_t stamp, const std::string& suffix = "") {
    char text[64];
    std::snprintf(text, sizeof text, "\"%zx-%llx%s\"", size,
                  static_cast<unsigned long long>(stamp) * 1000000000ULL, suffix.c_str());
    return text;
  }
  void Start() {
    ASSERT_TRUE(server_.Start({"--data", (home_ / "orders.db").string(), "--store",
                               (home_ / "store").string()}));
  }
  HttpReply Send(const std::string& target, const std::string& headers = "",
                 const std::string& method = "GET") {
    return SendRaw(server_.port(), method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                       headers + "Connection: close\r\n\r\n");
  }

  TestHome home_;
  ServerProcess server_;
};

TEST_F(StaticServeTest, EveryKindOfFileHasItsValidatorsCachingRuleAndNotModifiedAnswer) {
  Start();
  struct Case {
    std::string target, type, cache, vary;
    size_t size;
  } cases[] = {
      {"/", "text/html", "no-cache", "Accept-Encoding", 326},
      {"/tolmi.js", "application/javascript", "public, max-age=86400", "Accept-Encoding", 2013},
      {"/img/pic.png", "image/png", "public, max-age=604800", "", 408},
  };
  for (const auto& c : cases) {
    HttpReply r = Send(c.target);
    ASSERT_EQ(r.status, 200) << c.target;
    EXPECT_EQ(r.Header("Content-Type"), c.type) << c.target;
    EXPECT_EQ(r.Header("Cache-Control"), c.cache) << c.target;
    EXPECT_EQ(r.Header("ETag"), Tag(c.size, kStamp)) << c.target;
    EXPECT_EQ(r.Header("Last-Modified"), kStampText) << c.target;
    EXPECT_EQ(r.Header("Vary"), c.vary) << c.target;
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(c.size)) << c.target;
    EXPECT_EQ(r.body.size(), c.size) << c.target;
  }

  // Not modified only when the client's copy is current.
  const std::string tag = Tag(2013, kStamp), gzTag = Tag(2013, kStamp, "-gz");
  const std::pair<std::string, int> conditions[] = {
      {"If-None-Match: " + tag + "\r\n", 304},
      {"If-None-Match: \"x\", W/" + tag + "\r\n", 304},
      {"If-None-Match: *\r\n", 304},
      {"If-None-Match: \"x\"\r\n", 200},
      {"If-None-Match: " + gzTag + "\r\nAccept-Encoding: gzip\r\n", 304},
      {"If-Modified-Since: " + std::string(kStampText) + "\r\n", 304},
      {"If-Modified-Since: Fri, 02 Jan 2026 03:04:04 GMT\r\n", 200},
      {"If-Modified-Since: Friday, 02-Jan-26 03:04:05 GMT\r\n", 200},
      // An entity tag that does not match wins over a date that does.
      {"If-None-Match: \"x\"\r\nIf-Modified-Since: " + std::string(kStampText) + "\r\n", 200},
  };
  for (const auto& [headers, status] : conditions) {
    HttpReply r = Send("/tolmi.js", headers);
    EXPECT_EQ(r.status, status) << headers;
    if (status != 304) continue;
    EXPECT_EQ(r.body, "") << headers;
    EXPECT_EQ(r.Header("Content-Length"), "") << headers;
    EXPECT_EQ(r.Header("Cache-Control"), "public, max-age=86400");
    EXPECT_EQ(r.Header("Vary"), "Accept-Encoding");
  }
}

TEST_F(StaticServeTest, CompressesTextForClientsThatTakeGzipAndFollowsChanges) {
  Start();
  HttpReply r = Send("/tolmi.js", "Accept-Encoding: deflate, gzip;q=0.5\r\n");
  EXPECT_EQ(r.Header("Content-Encoding"), "gzip");
  EXPECT_EQ(r.Header("ETag"), Tag(2013, kStamp, "-gz"));
  EXPECT_EQ(r.Header("Content-Length"), std::to_string(r.body.size()));
  EXPECT_LT(r.body.size(), 200u);
  EXPECT_EQ(Gunzip(r.body), Script('a'));
  HttpReply head = Send("/tolmi.js", "Accept-Encoding: gzip\r\n", "HEAD");
  EXPECT_EQ(head.Header("Content-Length"), std::to_string(r.body.size()));
  EXPECT_EQ(head.body, "");
  // Not taken, too small to gain, or not text: the bytes as they are.
  for (auto [target, accept] : {std::pair{"/tolmi.js", "gzip;q=0, *"}, {"/tiny.css", "gzip"},
                                {"/img/pic.png", "gzip"}}) {
    HttpReply plain = Send(target, std::string("Accept-Encoding: ") + accept + "\r\n");
    EXPECT_EQ(plain.Header("Content-Encoding"), "") << target << " " << accept;
    EXPECT_EQ(plain.body, home_.Read(std::string("store") + target));
  }
  // A changed file is never answered from the old compressed copy.
  Put("tolmi.js", Script('b'), kStamp + 60);
  r = Send("/tolmi.js", "Accept-Encoding: gzip\r\n");
  EXPECT_EQ(r.Header("ETag"), Tag(2013, kStamp + 60, "-gz"));
  EXPECT_EQ(Gunzip(r.body), Script('b'));
}

TEST_F(StaticServeTest, AMissingPageGetsTheStoresOwn404Page) {
  const std::string page = "<html><head><link rel=stylesheet href=\"store.css\"></head>"
                           "<body>Not here</body></html>";
  Start();
  EXPECT_NE(Send("/missing.htm").body.find("There is no such page here."), std::string::npos);
  Put("404.html", page);
  HttpReply r = Send("/missing.htm");
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.Header("Content-Type"), "text/html");
  EXPECT_EQ(r.Header("Cache-Control"), "no-cache");
  EXPECT_EQ(r.body, page);
  // Below a folder the page's links lead back up to the store's top.
  r = Send("/shop/old/mugs.htm");
  EXPECT_EQ(r.status, 404);
  EXPECT_EQ(r.body, "<html><head>\n<base href=\"../../\"><link rel=stylesheet "
                    "href=\"store.css\"></head><body>Not here</body></html>");
  EXPECT_EQ(Send("/../x").status, 400);
  home_.Write("secret.txt", "secret");
  std::filesystem::create_symlink(home_ / "secret.txt", home_ / "store" / "s.txt");
  EXPECT_EQ(Send("/s.txt").status, 403);
}

TEST(StaticFilesRulesTest, ResolvesPathsOnlyInsideTheRoot) {
  namespace fs = std::filesystem;
  using server::PathVerdict;
  TestHome home;
  home.Write("store/index.html", "home");
  home.Write("store/shop/mugs.htm", "mugs");
  home.Write("store/img/a b.gif", "gif");
  home.Write("secret.txt", "secret");
  fs::path root = home / "store";
  fs::create_symlink(home / "secret.txt", root / "link.txt");
  fs::create_directory_symlink(home.path(), root / "up");
  fs::create_symlink(root / "index.html", root / "home.htm");  // a link that stays inside
  const std::pair<const char*, PathVerdict> cases[] = {
      {"/", PathVerdict::Ok}, {"/img/a%20b.gif", PathVerdict::Ok},
      {"//shop//mugs.htm", PathVerdict::Ok}, {"/home.htm", PathVerdict::Ok},
      {"/shop/", PathVerdict::NotFound}, {"/missing.htm", PathVerdict::NotFound},
      {"/link.txt", PathVerdict::Forbidden}, {"/up/secret.txt", PathVerdict::Forbidden},
      {"/../secret.txt", PathVerdict::BadRequest}, {"/%2e%2e/secret.txt", PathVerdict::BadRequest},
      {"/%2E%2E%2Fsecret.txt", PathVerdict::BadRequest},
      {"/shop/../../secret.txt", PathVerdict::BadRequest},
      {"/..%5csecret.txt", PathVerdict::BadRequest}, {"/a%00b", PathVerdict::BadRequest},
      {"/.", PathVerdict::BadRequest}, {"secret.txt", PathVerdict::BadRequest},
      {"/%2", PathVerdict::BadRequest},
      {"/%zz", PathVerdict::BadRequest},
  };
  for (const auto& [path, verdict] : cases)
    EXPECT_EQ(server::ResolveStaticPath(root, path).verdict, verdict) << path;
  EXPECT_EQ(server::ResolveStaticPath(root, "/").file.filename(), "index.html");
  EXPECT_EQ(server::ContentTypeFor("a.HTM"), "text/html");
}

TEST(StaticFilesRulesTest, ReadsAcceptEncodingAndHttpDates) {
  using server::AcceptsGzip;
  for (auto [value, takes] : {std::pair{"gzip", true}, {"GZIP, br", true}, {"br;q=1, gzip ;q=0.1", true},
                              {"*", true}, {"x-gzip", true}, {"", false}, {"br", false},
                              {"gzip;q=0", false}, {"gzip;q=0.000", false}, {"*, gzip;q=0", false},
                              {"*;q=0", false}, {"gzipx", false}}) {
    EXPECT_EQ(AcceptsGzip(value), takes) << value;
  }
  EXPECT_EQ(server::HttpDate(kStamp), kStampText);
  EXPECT_EQ(server::ParseHttpDate(kStampText), kStamp);
  for (const char* bad : {"", "Fri, 02 Jan 2026 03:04:05 UTC", "Fri, 02 Foo 2026 03:04:05 GMT",
                          "Fri, 32 Jan 2026 03:04:05 GMT", "Fri, 02 Jan 2026 24:04:05 GMT",
                          "Fri, 0x Jan 2026 03:04:05 GMT", "Fri, 02 Jan 2026 03:04:05 GMTX"}) {
    EXPECT_EQ(server::ParseHttpDate(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace tolmi::test

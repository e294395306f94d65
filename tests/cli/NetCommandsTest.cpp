// tolmi-cli http get and ftp put against loopback peers: what they print and their exit codes.
#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/net/NetTestSupport.h"

namespace tolmi::cli {
namespace {

TEST(NetCommands, HttpGetPrintsTheRawReplyAndFlags) {
  test::TestHome home;
  test::ScriptedServer server([](int fd, int) {
    test::ReadUntil(fd, "\r\n\r\n");
    test::WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi");
  });
  CliRun r = Cli(home, {"http", "get", "http://127.0.0.1:" + std::to_string(server.port()) + "/x"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi");
  EXPECT_EQ(r.err, "status 200, flags 0x004 (succeeded), 40 bytes\n");
  r = Cli(home, {"http", "get", "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("flags 0x208 (failed socket-error)"), std::string::npos);
  EXPECT_EQ(Cli(home, {"http", "get", "gopher://x"}).code, 2);
  EXPECT_EQ(Cli(home, {"http", "get", "http://x/", "--proxy", "ftp://p:1"}).code, 2);
}

TEST(NetCommands, FtpPutPrintsTheSessionLog) {
  test::TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0) << "pyftpdlib did not start (python3-pyftpdlib)";
  const std::string port = std::to_string(server.port());
  home.Write("page.html", "<html>\xe9</html>");
  std::vector<std::string> args = {"ftp", "put", (home / "page.html").string(), "--passive"};
  args.insert(args.end(), {"--server", "127.0.0.1:" + port, "--user", "tolmi", "--dir", "shop"});
  args.insert(args.end(), {"--password", "secret"});
  CliRun r = Cli(home, args);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(home.Read("root/shop/page.html"), "<html>\xe9</html>");
  EXPECT_NE(r.out.find("Connected to 127.0.0.1:" + port + "\n"), std::string::npos);
  for (const char* line :
       {"USER tolmi\n", "PASS ********\n", "MKD shop\n257 ", "STOR shop/page.html\n", "\n226 "})
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
  args.back() = "wrong";
  r = Cli(home, args);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "tolmi-cli: the file was not stored\n");
}

}  // namespace
}  // namespace tolmi::cli

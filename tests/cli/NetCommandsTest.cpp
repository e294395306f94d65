// tolmi-cli http get and ftp put against loopback peers.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/Cli.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {
namespace {

TEST(NetCommands, HttpGetPrintsTheRawReplyAndFlags) {
  test::ScriptedServer server([](int fd, int) {
    test::ReadUntil(fd, "\r\n\r\n");
    test::WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi");
  });
  std::ostringstream out, err;
  int rc =
      RunCli({"http", "get", "http://127.0.0.1:" + std::to_string(server.port()) + "/x"}, out, err);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out.str(), "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nhi");
  EXPECT_EQ(err.str(), "status 200, flags 0x004 (succeeded), 40 bytes\n");

  std::ostringstream out2, err2;
  rc = RunCli({"http", "get", "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/"}, out2,
              err2);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(err2.str().find("flags 0x208 (failed socket-error)"), std::string::npos);

  std::ostringstream out3, err3;
  EXPECT_EQ(RunCli({"http", "get", "gopher://x"}, out3, err3), 2);
  std::ostringstream out4, err4;
  EXPECT_EQ(RunCli({"http", "get", "http://x/", "--proxy", "ftp://p:1"}, out4, err4), 2);
}

TEST(NetCommands, FtpPutPrintsTheSessionLog) {
  test::TestHome home;
  std::filesystem::create_directories(home / "root");
  home.Write("ftpd.py",
             "import sys, logging\n"
             "from pyftpdlib.authorizers import DummyAuthorizer\n"
             "from pyftpdlib.handlers import FTPHandler\n"
             "from pyftpdlib.servers import FTPServer\n"
             "logging.disable(logging.CRITICAL)\n"
             "a = DummyAuthorizer()\n"
             "a.add_user('u', 'p', sys.argv[1], perm='elradfmwMT')\n"
             "FTPHandler.authorizer = a\n"
             "s = FTPServer(('127.0.0.1', 0), FTPHandler)\n"
             "print(s.socket.getsockname()[1], flush=True)\n"
             "s.serve_forever()\n");
  test::PeerProcess server(
      {"/usr/bin/python3", (home / "ftpd.py").string(), (home / "root").string()}, true);
  std::string port = server.ReadLine();
  ASSERT_FALSE(port.empty()) << "pyftpdlib did not start";
  home.Write("page.html", "<html>\xe9</html>");
  std::ostringstream out, err;
  int rc = RunCli({"ftp", "put", (home / "page.html").string(), "--server", "127.0.0.1:" + port,
                   "--user", "u", "--password", "p", "--passive", "--dir", "shop"},
                  out, err);
  EXPECT_EQ(rc, 0) << err.str();
  EXPECT_EQ(home.Read("root/shop/page.html"), "<html>\xe9</html>");
  std::string log = out.str();
  EXPECT_NE(log.find("Connected to 127.0.0.1:" + port + "\n"), std::string::npos);
  EXPECT_NE(log.find("USER u\n"), std::string::npos);
  EXPECT_NE(log.find("PASS ********\n"), std::string::npos);
  EXPECT_NE(log.find("MKD shop\n257 "), std::string::npos);
  EXPECT_NE(log.find("STOR shop/page.html\n"), std::string::npos);
  EXPECT_NE(log.find("\n226 "), std::string::npos);

  std::ostringstream out2, err2;
  rc = RunCli({"ftp", "put", (home / "page.html").string(), "--server", "127.0.0.1:" + port,
               "--user", "u", "--password", "wrong"},
              out2, err2);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(err2.str(), "tolmi-cli: the file was not stored\n");
}

}  // namespace
}  // namespace tolmi::cli

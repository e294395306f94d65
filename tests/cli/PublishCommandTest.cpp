// tolmi-cli against loopback peers. publish against pyftpdlib with the sample store: nothing
// built, the build saving the page values, the password, a full publish over three sessions,
// nothing to send, the dry run, --transfer and --only, and a refused last file that ends the
// run; http get and ftp put: what they print and their exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/cli/CliRunner.h"
#include "tests/net/NetTestSupport.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi::cli {
namespace {

namespace fs = std::filesystem;

// The lines of out that begin with prefix, without it.
std::vector<std::string> Lines(const std::string& out, const std::string& prefix) {
  std::vector<std::string> found;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
  return found;
}

TEST(PublishCommand, NothingBuiltThenFullThenNothingThenChosenFiles) {
  test::TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0) << "pyftpdlib did not start (python3-pyftpdlib)";
  const std::string stp = (home / "samples/TeaShop/TeaShop.stp").string();
  CliRun r = Cli(home, {"info", stp});  // seeds the home with the sample first
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string project = home.Read("samples/TeaShop/TeaShop.stp") +
                              "P_SERV=127.0.0.1\nP_PORT=" + std::to_string(server.port()) +
                              "\nP_USER=tolmi\nP_DIR=shop\nP_PASV=1\n";
  home.Write("samples/TeaShop/TeaShop.stp", project);
  const fs::path web = home / "samples/TeaShop/Web";

  // Before any build there is nothing to send: said plainly, and a failure.
  r = Cli(home, {"publish", stp, "--password", "secret"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "tolmi-cli: nothing is built in '" + web.string() +
                       "': build the store first (tolmi-cli build " + stp + ")\n");
  // --no-save leaves the project file as it was; a plain build saves the page values.
  ASSERT_EQ(Cli(home, {"build", stp, "--no-save"}).code, 0);
  EXPECT_EQ(home.Read("samples/TeaShop/TeaShop.stp"), project);
  ASSERT_EQ(Cli(home, {"build", stp}).code, 0);
  EXPECT_NE(home.Read("samples/TeaShop/TeaShop.stp"), project);

  // Without a password nothing is tried; with a wrong one the login fails.
  r = Cli(home, {"publish", stp});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("give it with --password"), std::string::npos) << r.err;
  r = Cli(home, {"publish", stp, "--password", "wrong"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("login to '127.0.0.1' failed"), std::string::npos) << r.err;
  EXPECT_TRUE(Lines(r.out, "Sent ").empty());
  EXPECT_NE(Cli(home, {"publish", stp, "--password", "secret", "--connections", "0"}).code, 0);

  r = Cli(home, {"publish", stp, "--password", "secret", "--connections", "3", "--verbose"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(Lines(r.err, "PASS ").size(), 3u);
  // One picture is listed for two nodes: it goes once.
  std::vector<std::string> sent = Lines(r.out, "Sent ");
  ASSERT_GT(sent.size(), 10u);
  EXPECT_EQ(std::set<std::string>(sent.begin(), sent.end()).size(), sent.size());
  EXPECT_NE(r.out.find(FormatText("files total, %zu to transfer\n", sent.size() + 1)),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(FormatText("Published: %zu sent, 0 failed\n", sent.size())),
            std::string::npos);
  EXPECT_EQ(home.Read("root/shop/tolmi.js"), home.Read("samples/TeaShop/Web/tolmi.js"));
  // The last-upload values were saved with the project, the password was not.
  const std::string saved = home.Read("samples/TeaShop/TeaShop.stp");
  EXPECT_NE(saved.find("\nusd=tolmi.js,"), std::string::npos);
  EXPECT_NE(saved.find("\nCOMP=tolmi:127.0.0.1shop\n"), std::string::npos);
  EXPECT_EQ(saved.find("P_PASS="), std::string::npos);

  // Nothing changed: nothing is sent and no connection is needed.
  r = Cli(home, {"publish", stp, "--password", "secret"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(" files total, 0 to transfer\nAll installed components are up-to-date\n"),
            std::string::npos)
      << r.out;

  // A dry run lists what would go; --transfer sends a file whatever the compare says; --only
  // sends just the named ones.
  r = Cli(home, {"publish", stp, "--compare", "--transfer", "about.html"});
  EXPECT_NE(r.out.find(" files total, 1 to transfer\n  about.html\n"), std::string::npos) << r.out;
  r = Cli(home, {"publish", stp, "--password", "secret", "--only", "green.html", "brewing.html"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Lines(r.out, "Sent "), (std::vector<std::string>{"green.html", "brewing.html"}));
  r = Cli(home, {"publish", stp, "--password", "secret", "--only", "nothing.html"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("no file 'nothing.html' in the upload list"), std::string::npos);

  // The server cannot store the last file (a folder holds its name): that file fails and the
  // command ends rather than waiting on an idle session.
  fs::remove(home / "root/shop/tolmi.js");
  fs::create_directory(home / "root/shop/tolmi.js");
  r = Cli(home, {"publish", stp, "--password", "secret", "--transfer", "about.html", "tolmi.js"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.out, "Sent "), std::vector<std::string>{"about.html"});
  EXPECT_EQ(Lines(r.out, "Failed tolmi.js").size(), 1u) << r.out;
}

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

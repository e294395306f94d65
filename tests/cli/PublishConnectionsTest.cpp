// tolmi-cli publish --connections: the sample store sent over three FTP sessions
// (each file once, the same tree as one session sends), and a publish whose last
// file the server refuses ends instead of waiting on an idle session.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/cli/CliRunner.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {
namespace {

namespace fs = std::filesystem;
using test::TestHome;

// The lines of out that begin with prefix, without it.
std::vector<std::string> Lines(const std::string& out, const std::string& prefix) {
  std::vector<std::string> found;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
  return found;
}

TEST(PublishConnections, ThreeSessionsSendEachFileOnceAndARefusedLastFileEndsTheRun) {
  TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0) << "pyftpdlib did not start (python3-pyftpdlib)";
  const std::string stp = (home / "samples/TeaShop/TeaShop.stp").string();
  ASSERT_EQ(Cli(home, {"info", stp}).code, 0);  // seeds the home with the sample
  home.Write("samples/TeaShop/TeaShop.stp",
             home.Read("samples/TeaShop/TeaShop.stp") + "P_SERV=127.0.0.1\nP_PORT=" +
                 std::to_string(server.port()) + "\nP_USER=tolmi\nP_DIR=shop\nP_PASV=1\n");
  ASSERT_EQ(Cli(home, {"build", stp}).code, 0);

  CliRun r = Cli(home, {"publish", stp, "--compare"});
  std::vector<std::string> listed = Lines(r.out, "  ");
  ASSERT_GT(listed.size(), 10u);
  EXPECT_NE(Cli(home, {"publish", stp, "--password", "secret", "--connections", "0"}).code, 0);

  r = Cli(home, {"publish", stp, "--password", "secret", "--connections", "3", "--verbose"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  std::vector<std::string> sent = Lines(r.out, "Sent ");
  std::vector<std::string> stores = Lines(r.err, "STOR ");
  EXPECT_EQ(Lines(r.err, "PASS ").size(), 3u);
  // One picture is listed for two nodes: it goes once and both rows take the result.
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(std::adjacent_find(sent.begin(), sent.end()), sent.end());
  std::sort(stores.begin(), stores.end());
  EXPECT_EQ(std::adjacent_find(stores.begin(), stores.end()), stores.end());
  EXPECT_EQ(stores.size(), sent.size());
  EXPECT_EQ(sent.size() + 1, listed.size());
  for (const std::string& file : sent)
    EXPECT_TRUE(home.Read("root/shop/" + file) == home.Read("samples/TeaShop/Web/" + file)) << file;
  r = Cli(home, {"publish", stp, "--compare"});
  EXPECT_NE(r.out.find(" 0 to transfer\n"), std::string::npos) << r.out;

  // The server cannot store the last file (a folder holds its name): that file fails
  // and the command ends rather than waiting on the idle session.
  ASSERT_EQ(Cli(home, {"publish", stp, "--compare", "--transfer", "about.html", "tolmi.js"}).code,
            0);
  fs::remove(home / "root/shop/tolmi.js");
  fs::create_directory(home / "root/shop/tolmi.js");
  r = Cli(home, {"publish", stp, "--password", "secret", "--transfer", "about.html", "tolmi.js"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.out, "Sent "), std::vector<std::string>{"about.html"});
  EXPECT_EQ(Lines(r.out, "Failed tolmi.js").size(), 1u) << r.out;
}

}  // namespace
}  // namespace tolmi::cli

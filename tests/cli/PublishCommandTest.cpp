// tolmi-cli publish against pyftpdlib: the sample store built, published, checked
// file by file on the server, published again (nothing), and after a price whose
// digits are only reordered, published once more (exactly the changed pages).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli/Cli.h"
#include "net/Publish.h"
#include "project/StoreNode.h"
#include "tests/cli/CliRunner.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi::cli {
namespace {

namespace fs = std::filesystem;
using test::TestHome;

// The "Sent <path>" lines of a publish.
std::vector<std::string> SentFiles(const std::string& out) {
  std::vector<std::string> sent;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("Sent ", 0) == 0) sent.push_back(line.substr(5));
  return sent;
}

// Every file below a folder, by relative path.
std::map<std::string, std::string> Tree(const TestHome& home, const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& f : fs::recursive_directory_iterator(dir))
    if (f.is_regular_file())
      files[fs::relative(f.path(), dir).string()] =
          home.Read(fs::relative(f.path(), home.path()).string());
  return files;
}

bool IsSharedFile(const std::string& path) {
  for (const char* name : kCartFileNames)
    if (path == name) return true;
  return path.find('/') == std::string::npos && path.find(".htm") == std::string::npos;
}

TEST(PublishCommand, FullThenNothingThenExactlyTheReorderedPricePages) {
  TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0) << "pyftpdlib did not start (python3-pyftpdlib)";
  const std::string stp = (home / "samples/TeaShop/TeaShop.stp").string();
  CliRun r = Cli(home, {"info", stp});  // seeds the home with the sample first
  ASSERT_EQ(r.code, 0) << r.err;
  std::string project = home.Read("samples/TeaShop/TeaShop.stp");
  ASSERT_NE(project.find("\nCOST=12.50\n"), std::string::npos);
  project += "P_SERV=127.0.0.1\nP_PORT=" + std::to_string(server.port()) +
             "\nP_USER=tolmi\nP_DIR=shop\nP_PASV=1\n";
  home.Write("samples/TeaShop/TeaShop.stp", project);
  const fs::path web = home / "samples/TeaShop/Web";

  // Before any build there is nothing to send: said plainly, and a failure.
  r = Cli(home, {"publish", stp, "--password", "secret"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "tolmi-cli: nothing is built in '" + web.string() +
                       "': build the store first (tolmi-cli build " + stp + ")\n");
  // --no-save leaves the project file as it was; a plain build saves the page values.
  r = Cli(home, {"build", stp, "--no-save"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(home.Read("samples/TeaShop/TeaShop.stp"), project);
  r = Cli(home, {"build", stp});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(home.Read("samples/TeaShop/TeaShop.stp"), project);

  // Without a password nothing is tried; with a wrong one the login fails.
  r = Cli(home, {"publish", stp});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("give it with --password"), std::string::npos) << r.err;
  r = Cli(home, {"publish", stp, "--password", "wrong"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("login to '127.0.0.1' failed"), std::string::npos) << r.err;
  EXPECT_TRUE(SentFiles(r.out).empty());

  r = Cli(home, {"publish", stp, "--password", "secret"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  std::vector<std::string> sent = SentFiles(r.out);  // one picture is listed for two nodes
  ASSERT_GT(sent.size(), 10u);
  EXPECT_NE(r.out.find(FormatText("files total, %zu to transfer\n", sent.size() + 1)),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(FormatText("Published: %zu sent, 0 failed\n", sent.size())),
            std::string::npos);
  // File by file: every sent file is on the server, lower-cased below "shop".
  std::map<std::string, std::string> remote = Tree(home, home / "root/shop");
  std::set<std::string> names(sent.begin(), sent.end());
  for (const std::string& file : sent)
    EXPECT_TRUE(remote[ToLowerAscii(file)] == home.Read("samples/TeaShop/Web/" + file)) << file;
  EXPECT_EQ(remote.size(), sent.size());  // a picture shown by two nodes goes once
  for (const char* must : {"index.html", "sencha.html", "green.html", "tolmi.js", "trolley.html",
                           "register.html", "tolmi.idx"})
    EXPECT_TRUE(names.count(must)) << must;
  EXPECT_TRUE(remote.count("img/sencha.svg"));
  // The last-upload values were saved with the project.
  std::string saved = home.Read("samples/TeaShop/TeaShop.stp");
  EXPECT_NE(saved.find("\nldg="), std::string::npos);
  EXPECT_NE(saved.find("\nusd=tolmi.js,"), std::string::npos);
  EXPECT_NE(saved.find("\nCOMP=tolmi:127.0.0.1shop\n"), std::string::npos);
  EXPECT_EQ(saved.find("P_PASS="), std::string::npos);

  // Nothing changed: nothing is sent and no connection is needed.
  r = Cli(home, {"publish", stp, "--password", "secret"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(" files total, 0 to transfer\nAll installed components are up-to-date\n"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(SentFiles(r.out).empty());

  // 12.50 becomes 15.20: the same bytes reordered, so the same size and checksum.
  std::map<std::string, std::string> before = Tree(home, web);
  saved = home.Read("samples/TeaShop/TeaShop.stp");
  ReplaceFirst(saved, "\nCOST=12.50\n", "\nCOST=15.20\n");
  home.Write("samples/TeaShop/TeaShop.stp", saved);
  r = Cli(home, {"build", stp});
  ASSERT_EQ(r.code, 0) << r.err;
  std::map<std::string, std::string> after = Tree(home, web);
  std::set<std::string> changedPages;
  for (const auto& [path, bytes] : after)
    if (!IsSharedFile(path) && path.rfind("img/", 0) != 0 && before[path] != bytes)
      changedPages.insert(path);
  ASSERT_TRUE(changedPages.count("sencha.html"));
  EXPECT_FALSE(changedPages.count("about.html"));
  EXPECT_EQ(PageChecksum(before["sencha.html"]), PageChecksum(after["sencha.html"]));
  EXPECT_EQ(before["sencha.html"].size(), after["sencha.html"].size());

  r = Cli(home, {"publish", stp, "--password", "secret"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  std::set<std::string> sentPages, sentShared;
  for (const std::string& file : SentFiles(r.out))
    (IsSharedFile(file) ? sentShared : sentPages).insert(file);
  EXPECT_EQ(sentPages, changedPages) << r.out;
  for (const std::string& file : sentShared)
    EXPECT_TRUE(after[file] == Tree(home, home / "root/shop")[file]) << file;
  EXPECT_TRUE(Tree(home, home / "root/shop")["sencha.html"] == after["sencha.html"]);

  // A dry run lists what would go and changes nothing.
  r = Cli(home, {"publish", stp, "--compare", "--transfer", "about.html"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(" files total, 1 to transfer\n  about.html\n"), std::string::npos) << r.out;
  r = Cli(home, {"publish", stp, "--compare"});
  EXPECT_NE(r.out.find(" files total, 0 to transfer\n"), std::string::npos) << r.out;

  // --transfer sends a file whatever the compare says; --only sends just the named ones.
  r = Cli(home, {"publish", stp, "--password", "secret", "--transfer", "about.html"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(SentFiles(r.out), std::vector<std::string>{"about.html"});
  r = Cli(home, {"publish", stp, "--password", "secret", "--only", "green.html", "brewing.html"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(SentFiles(r.out), (std::vector<std::string>{"green.html", "brewing.html"}));
  r = Cli(home, {"publish", stp, "--password", "secret", "--only", "nothing.html"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("no file 'nothing.html' in the upload list"), std::string::npos);
}

}  // namespace
}  // namespace tolmi::cli

// Publishing: the upload list, compare, the log, and whole publishes against
// pyftpdlib on loopback, including a server killed in the middle of a transfer.
#include "net/Publish.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "net/EventLoop.h"
#include "net/FtpClient.h"
#include "project/ProjectFile.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

namespace fs = std::filesystem;

// A project whose pages are files of the web directory with their built values.
struct StoreFixture {
  explicit StoreFixture(const test::TestHome& h) : home(h), web((h / "web").string()) {
    fs::create_directories(web);
  }
  StoreNode& AddPage(const std::string& file, const std::string& text,
                     StoreNode* parent = nullptr) {
    auto node = CreateNode();
    node->title = "Page " + file;
    node->file = file;
    if (!file.empty()) Rebuild(*node, text);
    return *AppendNode(project, parent, std::move(node));
  }
  void Rebuild(StoreNode& node, const std::string& text) {
    home.Write("web/" + node.file, text);
    node.builtSize = static_cast<std::int32_t>(text.size());
    node.builtChecksum = PageChecksum(text);
    node.builtDigest = PageDigest(text);
  }
  void UseServer(int port, const std::string& dir) {
    StoreSettings& s = project.settings;
    s.ftpServer = "127.0.0.1";
    s.ftpPort = std::to_string(port);
    s.ftpUser = "tolmi";
    s.ftpPassword = "secret";
    s.ftpDir = dir;
    s.passiveFtp = true;
  }

  const test::TestHome& home;
  std::string web;
  StoreProject project;
};

// Runs one whole publish: connect, compare, upload, until the session ends.
struct Publisher {
  Publisher(StoreFixture& store, EventLoop& loop)
      : session(store.project, loop, store.web, store.home.path().string()) {
    session.hooks.fileDone = [this](const UploadEntry& e, bool ok, const std::string&) {
      (ok ? sent : failed).push_back(e.path);
    };
    session.hooks.sessionClosed = [this] { closed = true; };
    session.hooks.loginDone = [this](bool ok) {
      if (ok) session.Upload();
    };
    session.hooks.log = [this](const std::string& line) { log.push_back(line); };
    session.hooks.sound = [this](std::string_view e) { sounds.push_back(std::string(e)); };
    session.BuildList();
  }
  bool Run(EventLoop& loop, int ms = 30000) {
    if (!session.Connect().ok()) return false;
    return loop.RunUntil([this] { return closed; }, ms);
  }
  int Row(const std::string& path) const { return session.FindEntry(path); }
  const UploadEntry& Entry(const std::string& path) const {
    return session.entries().at(static_cast<std::size_t>(Row(path)));
  }

  PublishSession session;
  std::vector<std::string> sent, failed, log, sounds;
  bool closed = false;
};

TEST(PublishText, LogLinesRemoteNamesAndSummary) {
  EXPECT_EQ(PublishLogLine("PASS secret"), "PASS ******");
  EXPECT_EQ(PublishLogLine("PASS secret \r\n"), "PASS ******");
  EXPECT_EQ(PublishLogLine("PASS "), "PASS");  // trailing blanks go first
  EXPECT_EQ(PublishLogLine("USER PASS x"), "USER PASS x");
  EXPECT_EQ(PublishLogLine("226 Transfer\r\n complete.  \t"), "226 Transfer complete.");

  EXPECT_EQ(RemoteName("", "Index.HTML"), "index.html");
  EXPECT_EQ(RemoteName("", "img/Logo.GIF  "), "img/logo.gif");
  // The remote folder keeps its case: it is made with MKD exactly as typed.
  EXPECT_EQ(RemoteName("Shop", "Sub\\A.htm"), "Shop/sub/a.htm");
  EXPECT_EQ(RemoteName("\\www\\", "a.htm"), "/www/a.htm");
  EXPECT_EQ(RemoteName("C:\\web", "a.htm"), "/web/a.htm");

  EXPECT_EQ(CompareText({12, 3}), "Compare: 12 files total, 3 to transfer");
  EXPECT_EQ(PageDigest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(PublishList, FourGroupsInOrder) {
  test::TestHome home;
  StoreFixture store(home);
  home.Write("pics/Logo.GIF", "GIF89a");
  StoreNode& top = store.AddPage("index.html", "<home>");
  top.image = "pics\\Logo.GIF";
  StoreNode& product = store.AddPage("p1.htm", "<p1>", &top);
  product.image = "http://images.example/p1.gif";  // left on the web
  product.link = "files/Manual.pdf";
  StoreNode& linked = store.AddPage("p2.htm", "<p2>", &top);
  linked.link = "terms.htm";  // a page, not a copied file
  StoreNode& off = store.AddPage("off.htm", "<off>", &top);
  off.status = kStatusDisabled;
  store.AddPage("under-off.htm", "<under>", &off);
  StoreNode& link = store.AddPage("", "", &top);
  link.kind = NodeKind::Link;
  link.file = "http://elsewhere.example/";
  store.project.cartStamps.push_back({"register.html", 77});
  store.project.cartStamps.push_back({"extra.js", 5});
  store.project.templateStamps.push_back({"back.gif", 9});

  EventLoop loop;
  PublishSession session(store.project, loop, store.web, home.path().string(),
                         {"slate/images/Back.GIF", "slate/Style.CSS"});
  session.BuildList();
  std::vector<std::string> rows;
  for (const UploadEntry& e : session.entries())
    rows.push_back(e.title + "|" + e.path + "|" + std::to_string(static_cast<int>(e.kind)));
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "Page index.html|index.html|0",
                      "Page index.html|img/Logo.GIF|6",
                      "Page p1.htm|p1.htm|0",
                      "Page p1.htm|img/Manual.pdf|7",
                      "Page p2.htm|p2.htm|0",
                      "Page under-off.htm|under-off.htm|0",
                      "Shopping Cart|tolmi.js|8",
                      "Shopping Cart|register.html|8",
                      "Shopping Cart|trolley.html|8",
                      "Shopping Cart|tolmi.idx|8",
                      "Shopping Cart|tolmi.tpl|8",
                      "Shopping Cart|extra.js|8",
                      "Template|back.gif|9",
                      "Template|style.css|9",
                  }));
  EXPECT_EQ(session.entries()[7].lastStamp, 77);
  EXPECT_EQ(session.entries()[12].lastStamp, 9);
  EXPECT_EQ(session.entries()[1].sourcePath, (home / "pics/Logo.GIF").string());
  EXPECT_EQ(session.FindEntry("IMG/logo.gif"), 1);
  EXPECT_EQ(session.FindEntry("nothing.htm"), -1);
}

TEST(PublishCompare, PagesByValuesAndDigestFilesByStampsDestinationRule) {
  test::TestHome home;
  StoreFixture store(home);
  StoreNode& same = store.AddPage("same.htm", "<p>unchanged</p>");
  StoreNode& price = store.AddPage("price.htm", "<p>Price 12.50</p>");
  StoreNode& fresh = store.AddPage("fresh.htm", "<p>never sent</p>");
  StoreNode& gone = store.AddPage("gone.htm", "<p>x</p>");
  fs::remove(store.web + "/gone.htm");
  home.Write("web/tolmi.js", "cart();");
  for (StoreNode* n : {&same, &price, &gone}) {
    n->publishedSize = n->builtSize;
    n->publishedChecksum = n->builtChecksum;
    n->publishedDigest = n->builtDigest;
  }
  // Only the digits are reordered: size and checksum stay, the digest does not.
  store.Rebuild(price, "<p>Price 15.20</p>");
  ASSERT_EQ(price.builtChecksum, price.publishedChecksum);
  ASSERT_EQ(price.builtSize, price.publishedSize);
  store.project.cartStamps.push_back({"tolmi.js", PublishFileStamp(store.web + "/tolmi.js")});
  store.project.settings.ftpUser = "shop";
  store.project.settings.ftpServer = "ftp.example";
  store.project.settings.ftpDir = "www";

  EventLoop loop;
  PublishSession session(store.project, loop, store.web, home.path().string());
  session.BuildList();
  session.Compare();  // four pages and five cart files
  auto status = [&](const std::string& path) {
    return session.entries()[static_cast<std::size_t>(session.FindEntry(path))].status;
  };
  EXPECT_EQ(status("same.htm"), kUploadCurrent);
  EXPECT_EQ(status("price.htm"), kUploadTransfer);
  EXPECT_EQ(status("fresh.htm"), kUploadTransfer);
  EXPECT_EQ(status("gone.htm"), kUploadMissing);
  EXPECT_EQ(status("tolmi.js"), kUploadCurrent);
  EXPECT_EQ(status("trolley.html"), kUploadMissing);
  EXPECT_EQ(fresh.publishedSize, 0);  // compare changes no last-upload value
  EXPECT_EQ(store.project.settings.lastDestination, "shop:ftp.examplewww");
  EXPECT_EQ(session.logText(), "Compare: 9 files total, 2 to transfer\r\n");

  // A file written again gets a new stamp.
  home.Write("web/tolmi.js", "cart(2);");
  fs::last_write_time(store.web + "/tolmi.js",
                      fs::last_write_time(store.web + "/tolmi.js") + std::chrono::seconds(3));
  EXPECT_EQ(session.Compare().toTransfer, 3);

  // Ignore and Transfer during Upload change what the project remembers.
  session.IgnoreDuringUpload({session.FindEntry("price.htm"), session.FindEntry("tolmi.js")});
  EXPECT_EQ(session.Compare().toTransfer, 1);  // fresh.htm
  session.TransferDuringUpload({session.FindEntry("same.htm")});
  EXPECT_EQ(session.Compare().toTransfer, 2);

  // Another directory: every file goes again and the old values are cleared.
  store.project.changed = false;
  store.project.settings.ftpDir = "www2";
  EXPECT_EQ(session.Compare().toTransfer, 4);  // everything but the five missing files
  EXPECT_TRUE(price.publishedDigest.empty());
  EXPECT_EQ(store.project.settings.lastDestination, "shop:ftp.examplewww2");
  EXPECT_TRUE(store.project.changed);
  session.Upload();  // not connected: only says so
  EXPECT_NE(session.logText().find("Not Connected\r\n"), std::string::npos);
}

class PublishFtpTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FtpShutdown();
    loop.RunOnce(0);
    EXPECT_EQ(FtpConnectionCount(), 0u);
    EXPECT_EQ(loop.WatchCount(), 0u);
    EXPECT_EQ(loop.TimerCount(), 0u);
  }
  EventLoop loop;
};

TEST_F(PublishFtpTest, FullPublishThenNothingThenTheReorderedPage) {
  test::TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0) << "pyftpdlib did not start (python3-pyftpdlib)";
  StoreFixture store(home);
  home.Write("pics/logo.gif", std::string("GIF89a\0\xff\r\n", 10));
  StoreNode& top = store.AddPage("index.html", "<p>Home</p>\r\n");
  top.image = "pics/logo.gif";
  home.Write("web/img/logo.gif", std::string("GIF89a\0\xff\r\n", 10));
  StoreNode& tea = store.AddPage("Tea.htm", "<p>Sencha 12.50</p>", &top);
  store.AddPage("about.htm", "<p>About</p>");
  for (const char* name : kCartFileNames) home.Write(std::string("web/") + name, name);
  // A store with an address sends its files for search engines with the cart files.
  store.project.settings.storeAddress = "https://shop.example";
  for (const char* name : kSearchEngineFileNames) home.Write(std::string("web/") + name, name);
  store.UseServer(server.port(), "shop");

  {
    Publisher p(store, loop);
    EXPECT_EQ(p.session.Compare().toTransfer, 11);
    ASSERT_TRUE(p.Run(loop));
    EXPECT_EQ(p.failed, std::vector<std::string>{});
    EXPECT_EQ(p.session.sentCount(), 11);
    EXPECT_EQ(p.sounds.front(), "FtpConnect");
    EXPECT_EQ(std::count(p.sounds.begin(), p.sounds.end(), "FtpUpload"), 11);
    EXPECT_NE(std::find(p.log.begin(), p.log.end(), "Connecting to 127.0.0.1"), p.log.end());
  }
  // The remote tree, file by file (names lower-cased below the folder as typed).
  std::map<std::string, std::string> expected = {
      {"index.html", "<p>Home</p>\r\n"},
      {"tea.htm", "<p>Sencha 12.50</p>"},
      {"about.htm", "<p>About</p>"},
      {"img/logo.gif", std::string("GIF89a\0\xff\r\n", 10)},
  };
  for (const char* name : kCartFileNames) expected[name] = name;
  for (const char* name : kSearchEngineFileNames) expected[name] = name;
  std::map<std::string, std::string> remote;
  for (const auto& f : fs::recursive_directory_iterator(home / "root/shop"))
    if (f.is_regular_file())
      remote[fs::relative(f.path(), home / "root/shop").string()] =
          home.Read(fs::relative(f.path(), home.path()).string());
  EXPECT_EQ(remote, expected);
  EXPECT_TRUE(store.project.changed);

  // Every sent file's values were recorded: nothing to send. 12.50 becomes 15.20: the same size and
  // checksum, so only the digest notices, and only that page goes.
  EXPECT_EQ(Publisher(store, loop).session.Compare().toTransfer, 0);
  store.Rebuild(tea, "<p>Sencha 15.20</p>");
  ASSERT_EQ(tea.builtChecksum, tea.publishedChecksum);
  Publisher p(store, loop);
  EXPECT_EQ(p.session.Compare().toTransfer, 1);
  ASSERT_TRUE(p.Run(loop));
  EXPECT_EQ(p.sent, std::vector<std::string>{"Tea.htm"});
  EXPECT_EQ(home.Read("root/shop/tea.htm"), "<p>Sencha 15.20</p>");
}

TEST_F(PublishFtpTest, PublishNowSendsTheMarkedRowsAfterTheLogin) {
  test::TestHome home;
  test::PyFtpServer server(home);
  ASSERT_NE(server.port(), 0);
  StoreFixture store(home);
  store.AddPage("a.htm", "<a>");
  store.AddPage("b.htm", "<b>");
  store.UseServer(server.port(), "");
  Publisher p(store, loop);
  p.session.hooks.loginDone = nullptr;  // no Upload: only the marked rows go
  std::vector<std::string> statuses;
  p.session.hooks.statusText = [&](const std::string& text) { statuses.push_back(text); };
  p.session.PublishNow({p.Row("b.htm")});
  EXPECT_TRUE(p.session.entries()[static_cast<std::size_t>(p.Row("b.htm"))].marked);
  ASSERT_TRUE(loop.RunUntil([&] { return p.closed; }, 30000));
  EXPECT_EQ(p.sent, std::vector<std::string>{"b.htm"});
  EXPECT_FALSE(p.Entry("b.htm").marked);
  EXPECT_EQ(p.Entry("b.htm").status, kUploadDone);
  EXPECT_EQ(home.Read("root/b.htm"), "<b>");
  EXPECT_FALSE(fs::exists(home / "root/a.htm"));
  EXPECT_TRUE(fs::is_directory(home / "root/img"));  // with no folder, "img" is at the top
  // The status bar: the file and its bytes while it goes, then "(Complete)".
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), " b.htm (3)"), statuses.end());
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), " b.htm (Complete)"), statuses.end());
  EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                      "Connected to 127.0.0.1:" + std::to_string(server.port())),
            statuses.end());
}

// Pages go over one or three sessions to a slow server that is killed while each
// session holds a big page: each completed file is sent once and recorded at once,
// the rest fail and stay to send, and the next publish sends exactly the rest.
class PublishResumeTest : public PublishFtpTest, public ::testing::WithParamInterface<int> {};

TEST_P(PublishResumeTest, ServerKilledMidTransferThenTheNextPublishSendsTheRest) {
  const int connections = GetParam();
  test::TestHome home;
  StoreFixture store(home);
  std::string big(1 << 20, 'y');
  for (std::size_t i = 0; i < big.size(); i += 89) big[i] = static_cast<char>('a' + i % 26);
  std::vector<std::string> names, left;
  for (int i = 0; i < 2 * connections; ++i) names.push_back("s" + std::to_string(i) + ".htm");
  for (int i = 0; i < connections; ++i) left.push_back("big" + std::to_string(i) + ".htm");
  left.insert(left.end(), {"t0.htm", "t1.htm", "t2.htm"});
  names.insert(names.end(), left.begin(), left.end());
  auto text = [&](const std::string& name) { return name[0] == 'b' ? big : "<" + name + ">"; };
  std::map<std::string, StoreNode*> nodes;
  for (const std::string& name : names) nodes[name] = &store.AddPage(name, text(name));
  auto stores = [](const std::string& log, const std::string& name) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = log.find("STOR site/" + name + "\r\n", at)) != std::string::npos;
         ++at)
      ++n;
    return n;
  };
  std::vector<std::string> unrecorded;  // completed files whose values were not yet written
  auto watch = [&](Publisher& p) {
    p.session.connections = connections;
    p.session.hooks.fileDone = [&p, &unrecorded](const UploadEntry& e, bool ok,
                                                 const std::string&) {
      (ok ? p.sent : p.failed).push_back(e.path);
      if (ok && e.node->publishedDigest != e.node->builtDigest) unrecorded.push_back(e.path);
    };
  };
  {
    test::PyFtpServer slow(home, "root", 64 * 1024);  // 16 s for a big page
    ASSERT_NE(slow.port(), 0) << "pyftpdlib did not start (python3-pyftpdlib)";
    store.UseServer(slow.port(), "site");
    Publisher p(store, loop);
    watch(p);
    EXPECT_EQ(p.session.Compare().toTransfer, static_cast<int>(names.size()));
    ASSERT_TRUE(p.session.Connect().ok());
    ASSERT_TRUE(loop.RunUntil([&] { return p.sent.size() == 2u * connections; }, 30000));
    loop.RunUntil([] { return false; }, 700);  // each session holds a big page
    EXPECT_EQ(std::count(p.log.begin(), p.log.end(), "PASS ********"), connections);
    slow.Kill();
    ASSERT_TRUE(loop.RunUntil([&] { return p.closed; }, 30000));
    std::sort(p.failed.begin(), p.failed.end());
    EXPECT_EQ(p.failed, left);
    EXPECT_EQ(p.session.failedCount(), static_cast<int>(left.size()));
    EXPECT_FALSE(p.session.busy());
    for (const std::string& name : names) {
      bool sent = name[0] == 's';
      EXPECT_EQ(stores(p.session.logText(), name), name[0] == 't' ? 0u : 1u) << name;
      EXPECT_EQ(p.Entry(name).status, sent ? kUploadDone : kUploadTransfer) << name;
      EXPECT_EQ(nodes[name]->publishedSize, sent ? nodes[name]->builtSize : 0) << name;
      EXPECT_EQ(nodes[name]->publishedDigest.empty(), !sent) << name;
    }
    EXPECT_NE(
        p.session.logText().find("Connection to 127.0.0.1 closed: " + std::to_string(left.size()) +
                                 " files not sent; Upload again to send them\r\n"),
        std::string::npos)
        << p.session.logText();
  }
  EXPECT_LT(home.Read("root/site/big0.htm").size(), big.size());
  EXPECT_EQ(unrecorded, std::vector<std::string>{});

  // The project as saved and read back still knows what is missing.
  StoreProject reread;
  ReadProjectText(reread, ProjectFileText(store.project, 0, 2034361), nullptr, false);
  store.project = std::move(reread);
  test::PyFtpServer again(home);
  ASSERT_NE(again.port(), 0);
  store.UseServer(again.port(), "site");
  Publisher p(store, loop);
  watch(p);
  EXPECT_EQ(p.session.Compare().toTransfer, static_cast<int>(left.size()));
  ASSERT_TRUE(p.Run(loop));
  std::sort(p.sent.begin(), p.sent.end());
  EXPECT_EQ(p.sent, left);
  for (const std::string& name : left) EXPECT_EQ(stores(p.session.logText(), name), 1u) << name;
  EXPECT_EQ(unrecorded, std::vector<std::string>{});
  for (const std::string& name : names)
    EXPECT_TRUE(home.Read("root/site/" + name) == text(name)) << name;
  Publisher after(store, loop);
  EXPECT_EQ(after.session.Compare().toTransfer, 0);
}

INSTANTIATE_TEST_SUITE_P(Connections, PublishResumeTest, ::testing::Values(1, 3));

// Disconnect during a shared upload ends every connection: the files on their way
// finish or fail, the rest fail at once, and the next compare offers exactly those.
TEST_F(PublishFtpTest, DisconnectEndsEveryConnectionOfASharedUpload) {
  test::TestHome home;
  test::PyFtpServer slow(home, "root", 64 * 1024);  // a second per page
  ASSERT_NE(slow.port(), 0);
  StoreFixture store(home);
  for (int i = 0; i < 9; ++i)
    store.AddPage("p" + std::to_string(i) + ".htm", std::string(60000, 'a' + i));
  store.UseServer(slow.port(), "");
  Publisher p(store, loop);
  p.session.connections = 3;
  EXPECT_EQ(p.session.Compare().toTransfer, 9);
  ASSERT_TRUE(p.session.Connect().ok());
  ASSERT_TRUE(loop.RunUntil([&] { return !p.sent.empty(); }, 30000));
  p.session.Disconnect();
  ASSERT_TRUE(loop.RunUntil([&] { return p.closed; }, 30000));
  EXPECT_FALSE(p.session.busy());
  EXPECT_EQ(p.sent.size() + p.failed.size(), 9u);
  EXPECT_LE(p.sent.size(), 6u);
  for (const std::string& name : p.sent)
    EXPECT_EQ(home.Read("root/" + name), std::string(60000, name[1] - '0' + 'a')) << name;
  Publisher again(store, loop);
  EXPECT_EQ(again.session.Compare().toTransfer, static_cast<int>(p.failed.size()));
}

}  // namespace
}  // namespace tolmi

// Order downloads against the real tolmi-server on 127.0.0.1, and against scripted peers
// that answer garbage, close early, never answer, or lose the delete answer.
#include "net/OrderDownload.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "orders/Invoices.h"
#include "orders/OrdersFile.h"
#include "orders/ServerProtocol.h"
#include "tests/net/NetTestSupport.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Version.h"

namespace tolmi::test {
namespace {

constexpr const char* kPassword = "secret word";

class OrderDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HttpStartup(loop, "Tolmi PRO", nullptr));
    LoadOrders(home.path().string(), tree);
  }
  void TearDown() override {
    HttpShutdown();
    SetAtomicWriteFaultForTesting(-1);
  }

  // The real server with the account "shop".
  void StartServer() {
    dataFile = (home / "server.db").string();
    ASSERT_EQ(RunUser(dataFile, {"add", "shop", "--password", kPassword}), 0);
    ASSERT_TRUE(server.Start({"--data", dataFile, "--hash-cost", "min"}));
  }

  // Posts one order as the store's order form does; returns the id the server gave it.
  std::string PostOrder(const std::string& name, const std::string& amount,
                        const std::string& user = "shop") {
    HttpReply reply = PostForm(server.port(), "/",
                               "tolmi_user=" + user + "&Name=" + name + "&Amount=" + amount +
                                   "&tolmi_item=2%09Mug%09M1%094.50");
    EXPECT_EQ(reply.status, 200) << reply.body;
    auto p = reply.body.find("Order number: ");
    if (p == std::string::npos) return "";
    auto e = reply.body.find_first_not_of("0123456789", p + 14);
    return reply.body.substr(p + 14, e - p - 14);
  }

  OrderServerAccount Account(bool leave = false) {
    OrderServerAccount a;
    a.serverUrl = "http://127.0.0.1:" + std::to_string(server.port());
    a.user = "shop";
    a.password = kPassword;
    a.versionNumber = VersionNumber();
    a.leaveOrdersOnServer = leave;
    return a;
  }

  // Runs one download to its end; false when it did not start or did not end in time.
  bool Run(OrderDownload& session, const OrderServerAccount& account) {
    finished = false;
    if (!session.Start(account)) return false;
    return loop.RunUntil([&] { return finished; }, 15000);
  }

  std::unique_ptr<OrderDownload> Session() {
    OrderDownloadHooks hooks;
    hooks.status = [this](const std::string& text) { statusLines.push_back(text); };
    hooks.finished = [this](const OrderDownloadResult& r) {
      result = r;
      finished = true;
      ++finishedCount;
    };
    return std::make_unique<OrderDownload>(loop, tree, nextNumber, home.path().string(), prompter,
                                           clock, hooks);
  }

  std::vector<OrderRecord>& NewOrders() { return tree.records.front().children; }

  TestHome home;
  EventLoop loop;
  OrdersTree tree;
  int nextNumber = 1000;
  FakePrompter prompter;
  FakeClock clock{1764948600};
  ServerProcess server;
  std::string dataFile;
  bool finished = false;
  int finishedCount = 0;
  OrderDownloadResult result;
  std::vector<std::string> statusLines;
};

TEST_F(OrderDownloadTest, FilesOrdersNewestFirstSavesAndDeletesThemOnTheServer) {
  StartServer();
  std::string a = PostOrder("Ann+Lee", "9.00");
  std::string b = PostOrder("Bo", "12.50");
  std::string c = PostOrder("Cy", "3.00");
  auto session = Session();
  ASSERT_TRUE(Run(*session, Account()));

  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(result.resultCode, 0);
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(result.addedIds, result.receivedIds);
  ASSERT_EQ(tree.records.front().kind, RecordKind::NewOrders);
  ASSERT_EQ(NewOrders().size(), 3u);
  EXPECT_EQ(NewOrders()[0].orderId, c);
  EXPECT_EQ(NewOrders()[0].name, "1002");
  EXPECT_EQ(NewOrders()[2].orderId, a);
  EXPECT_EQ(NewOrders()[2].name, "1000");
  EXPECT_EQ(nextNumber, 1003);
  const OrderRecord& ann = NewOrders()[2];
  ASSERT_NE(FindField(ann, "Name"), nullptr);
  EXPECT_EQ(FindField(ann, "Name")->value, "Ann Lee");
  EXPECT_EQ(ann.totalCents, 900);
  ASSERT_EQ(ann.items.size(), 1u);
  EXPECT_EQ(ann.items[0].quantity, 2);
  EXPECT_EQ(ann.items[0].name, "Mug");
  EXPECT_EQ(ann.items[0].code, "M1");
  EXPECT_EQ(ann.items[0].unitCents, 450);
  EXPECT_NE(ann.orderDate, 0);
  EXPECT_EQ(session->lastOrderId(), c);

  EXPECT_TRUE(result.deleteSent);
  EXPECT_TRUE(result.deleteAnswered);
  EXPECT_EQ(result.deleteResultCode, 0);
  EXPECT_TRUE(result.saved);
  EXPECT_EQ(statusLines.back(), "3 new orders received.");

  // The orders file holds them, newest first.
  OrdersTree reread;
  LoadOrders(home.path().string(), reread);
  ASSERT_EQ(reread.records.front().children.size(), 3u);
  EXPECT_EQ(reread.records.front().children[0].orderId, c);
  EXPECT_EQ(reread.records.front().children[0].name, "1002");

  // The server forgot them: the next download brings none and deletes nothing.
  ASSERT_TRUE(Run(*session, Account()));
  EXPECT_EQ(result.ordersReceived, 0);
  EXPECT_FALSE(result.deleteSent);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(NewOrders().size(), 3u);
  EXPECT_EQ(finishedCount, 2);
}

TEST_F(OrderDownloadTest, LeaveOrdersOnServerAsksOnlyForLaterOrdersAndNeverFilesOneTwice) {
  StartServer();
  std::string a = PostOrder("Ann", "1.00");
  std::string b = PostOrder("Bo", "2.00");
  auto session = Session();
  ASSERT_TRUE(Run(*session, Account(true)));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{a, b}));
  EXPECT_FALSE(result.deleteSent);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(session->lastOrderId(), b);

  std::string c = PostOrder("Cy", "3.00");
  ASSERT_TRUE(Run(*session, Account(true)));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{c}));
  EXPECT_EQ(NewOrders().size(), 3u);
  EXPECT_EQ(NewOrders()[0].name, "1002");
  // A last id set from outside (kept between runs of the program) is passed on too.
  auto told = Session();
  told->SetLastOrderId(a);
  ASSERT_TRUE(Run(*told, Account(true)));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{b, c}));

  // A new session knows no last id: the server sends all three again, none is filed twice,
  // and without "leave" they are now deleted.
  auto fresh = Session();
  ASSERT_TRUE(Run(*fresh, Account(false)));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{a, b, c}));
  EXPECT_TRUE(result.addedIds.empty());
  EXPECT_EQ(NewOrders().size(), 3u);
  EXPECT_EQ(nextNumber, 1003);
  EXPECT_TRUE(result.deleteAnswered);
  ASSERT_TRUE(Run(*fresh, Account(false)));
  EXPECT_EQ(result.ordersReceived, 0);
  EXPECT_EQ(statusLines.back(), "0 new orders received.");
}

TEST_F(OrderDownloadTest, ServerRefusalsShowTheDownloadErrorWindowAndChangeNothing) {
  StartServer();
  PostOrder("Ann", "1.00");
  auto session = Session();

  OrderServerAccount wrong = Account();
  wrong.password = "guess";
  ASSERT_TRUE(Run(*session, wrong));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].title, "Download Error");
  EXPECT_EQ(prompter.shown[0].text,
            "Unable to retrieve orders. (Error Code: 5)\nInvalid Logon Password");
  EXPECT_EQ(result.resultCode, 5);
  EXPECT_EQ(session->lastResultCode(), 5);
  std::string saved = home.Read("temp/error.htm");
  EXPECT_EQ(saved.rfind("HTTP/1.", 0), 0u);
  EXPECT_NE(saved.find("\r\n\r\n5\r\n"), std::string::npos);

  OrderServerAccount nobody = Account();
  nobody.user = "nobody";
  ASSERT_TRUE(Run(*session, nobody));
  EXPECT_EQ(prompter.shown.back().text,
            "Unable to retrieve orders. (Error Code: 3)\nNo server account. A user account for "
            "this Tolmi Server does not exist, or has not yet been created.");

  ASSERT_EQ(RunUser(dataFile, {"disable", "shop"}), 0);
  ASSERT_TRUE(Run(*session, Account()));
  EXPECT_EQ(prompter.shown.back().text,
            "Unable to retrieve orders. (Error Code: 4)\nYour Tolmi Server account has been "
            "disabled. Please contact customer support.");

  EXPECT_TRUE(NewOrders().empty());
  EXPECT_EQ(nextNumber, 1000);
  EXPECT_FALSE(FileExists((home / "orders.ost").string()));

  // The order is still there for the right logon.
  ASSERT_EQ(RunUser(dataFile, {"enable", "shop"}), 0);
  ASSERT_TRUE(Run(*session, Account()));
  EXPECT_EQ(result.ordersReceived, 1);
}

TEST_F(OrderDownloadTest, SaveFailureKeepsTheOrdersOnTheServer) {
  StartServer();
  std::string a = PostOrder("Ann", "1.00");
  auto session = Session();
  SetAtomicWriteFaultForTesting(0);
  ASSERT_TRUE(Run(*session, Account()));
  SetAtomicWriteFaultForTesting(-1);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "O101: File Write Error");
  EXPECT_EQ(prompter.shown[0].title, "Error");
  EXPECT_FALSE(result.deleteSent);
  EXPECT_EQ(NewOrders().size(), 1u);

  ASSERT_TRUE(Run(*session, Account()));
  EXPECT_EQ(result.receivedIds, std::vector<std::string>{a});
  EXPECT_TRUE(result.addedIds.empty());
  EXPECT_TRUE(result.deleteAnswered);
}

TEST_F(OrderDownloadTest, NothingIsSentWithoutAUsableServer) {
  auto session = Session();
  OrderServerAccount account;
  EXPECT_FALSE(session->Start(account));
  account.serverUrl = "HTTP://orders.dextrona.example.com/cgi/";
  EXPECT_FALSE(session->Start(account));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].title, "Incompatible Server");
  account.serverUrl = "ftp://127.0.0.1/";
  EXPECT_FALSE(session->Start(account));
  EXPECT_EQ(prompter.shown.back().text,
            "Unable to retrieve orders. (Error Code: 99)\nConnection to Tolmi server failed. "
            "Please check your server and/or proxy settings.");
  EXPECT_FALSE(session->Busy());
  EXPECT_EQ(finishedCount, 0);
}

// --- Scripted peers ---

std::string Reply(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

const char* kTwoOrders =
    "0\r\n#ID=41\r\norderdate=05122026153000\r\nName=Ann\r\nAmount=9.00\r\n"
    "PROD=15:2\tMug\tM1\t4.50\t\t\t\t\t\t\t\t\t\t\t<BR>\r\n"
    "#ID=42\r\norderdate=05122026153100\r\nName=Bo\r\n#END 2\r\n";

TEST_F(OrderDownloadTest, RequestTextsAndALostDeleteAnswer) {
  ScriptedServer peer(
      [&](int fd, int index) {
        std::string request = ReadUntil(fd, "\r\n\r\n");
        peer.Record(request);
        if (index == 0 || index == 2) WriteAll(fd, Reply(kTwoOrders));
        if (index == 3) WriteAll(fd, Reply("0\r\n"));
        // index 1: the delete answer never comes; the connection just closes.
      },
      4);
  auto session = Session();
  OrderServerAccount account;
  account.serverUrl = "http://127.0.0.1:" + std::to_string(peer.port()) + "/shop";
  account.user = "my shop";
  account.password = "pw";
  account.versionNumber = 29034361;
  ASSERT_TRUE(Run(*session, account));
  EXPECT_TRUE(result.deleteSent);
  EXPECT_FALSE(result.deleteAnswered);
  EXPECT_TRUE(result.saved);  // saved before the delete went out
  OrdersTree reread;
  LoadOrders(home.path().string(), reread);
  ASSERT_EQ(reread.records.front().children.size(), 2u);
  EXPECT_EQ(reread.records.front().children[0].orderId, "42");

  // The server still has both: they come again, are not filed again, and the delete goes
  // out again for both.
  ASSERT_TRUE(Run(*session, account));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{"41", "42"}));
  EXPECT_TRUE(result.addedIds.empty());
  EXPECT_TRUE(result.deleteAnswered);
  EXPECT_EQ(NewOrders().size(), 2u);
  EXPECT_TRUE(prompter.shown.empty());

  auto requests = peer.records();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].rfind("GET /shop/?data=300my+shop%0Dpw%0D29034361%0D HTTP/1.0\r\n", 0), 0u)
      << requests[0];
  EXPECT_NE(requests[0].find("Pragma: no-cache\r\n"), std::string::npos);
  EXPECT_EQ(requests[1].rfind("GET /shop/?data=301my+shop%0Dpw%0D2%0D41%0D42 HTTP/1.0\r\n", 0), 0u)
      << requests[1];
  EXPECT_EQ(requests[3], requests[1]);
}

TEST_F(OrderDownloadTest, UnreadableRepliesAreConnectionFailures) {
  struct Case {
    const char* what;
    std::string reply;  // "" closes without a word
    int code;
  };
  const std::vector<Case> cases = {
      {"closed", "", 99},
      {"a web page", Reply("<html><body>Welcome</body></html>"), 99},
      {"not found", "HTTP/1.0 404 Not Found\r\n\r\n2\r\n", 2},
      {"empty body", Reply(""), 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedServer peer([&](int fd, int) {
      ReadUntil(fd, "\r\n\r\n");
      if (!c.reply.empty()) WriteAll(fd, c.reply);
    });
    auto session = Session();
    OrderServerAccount account;
    account.serverUrl = "http://127.0.0.1:" + std::to_string(peer.port());
    prompter.shown.clear();
    ASSERT_TRUE(Run(*session, account));
    EXPECT_EQ(result.resultCode, c.code);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text.rfind(DownloadErrorHeading(c.code), 0), 0u);
    EXPECT_EQ(home.Read("temp/error.htm"), c.reply);
    EXPECT_TRUE(NewOrders().empty());
  }

  // A body of "0" alone: no orders, no delete, no error.
  ScriptedServer quiet([&](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    WriteAll(fd, Reply("0"));
  });
  auto session = Session();
  OrderServerAccount account;
  account.serverUrl = "http://127.0.0.1:" + std::to_string(quiet.port());
  prompter.shown.clear();
  ASSERT_TRUE(Run(*session, account));
  EXPECT_EQ(result.resultCode, 0);
  EXPECT_FALSE(result.deleteSent);
  EXPECT_TRUE(prompter.shown.empty());
}

// A reply cut inside an order is never filed and never leads to a delete, whether or not it
// announced its length; the server keeps both orders.
TEST_F(OrderDownloadTest, ACutReplyFilesNothingAndDeletesNothing) {
  const std::string whole = kTwoOrders;
  const std::string cut = whole.substr(0, whole.find("PROD=") + 14);  // "PROD=15:2\tMug\tM"
  struct Case {
    const char* what;
    std::string reply;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"no length, cut mid-order", Reply(cut), "ended without its end mark"},
      {"no length, whole orders but no mark", Reply(whole.substr(0, whole.find("#END"))),
       "ended without its end mark"},
      {"length announced, cut",
       "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(whole.size()) + "\r\n\r\n" + cut,
       "cut off"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedServer peer(
        [&](int fd, int) {
          peer.Record(ReadUntil(fd, "\r\n\r\n"));
          WriteAll(fd, c.reply);
        },
        2);
    auto session = Session();
    OrderServerAccount account;
    account.serverUrl = "http://127.0.0.1:" + std::to_string(peer.port());
    prompter.shown.clear();
    ASSERT_TRUE(Run(*session, account));
    EXPECT_EQ(result.resultCode, 99);
    EXPECT_FALSE(result.deleteSent);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text.rfind(DownloadErrorHeading(99) + "\n", 0), 0u);
    EXPECT_NE(prompter.shown[0].text.find(c.reason), std::string::npos) << prompter.shown[0].text;
    EXPECT_TRUE(NewOrders().empty());
    EXPECT_EQ(nextNumber, 1000);
    EXPECT_EQ(peer.records().size(), 1u);  // the download only: no "?data=301"
  }
}

// Shoppers' fields named like the merchant's own values arrive prefixed at the merchant and
// cannot stand in for the invoice's values.
TEST_F(OrderDownloadTest, ReservedFieldNamesTravelPrefixedFromIntakeToInvoice) {
  StartServer();
  HttpReply posted = PostForm(server.port(), "/",
                              "tolmi_user=shop&Name=Ann&INVOICENUMBER=INV-FORGED-999&date=soon&"
                              "SN=77&subtotal=0.01&Amount=9.00&tolmi_item=2%09Mug%09M1%094.50");
  ASSERT_EQ(posted.status, 200) << posted.body;
  auto session = Session();
  ASSERT_TRUE(Run(*session, Account()));
  ASSERT_EQ(NewOrders().size(), 1u);
  const OrderRecord& order = NewOrders()[0];
  std::vector<std::string> names;
  for (const auto& f : order.fields) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Name", "Customer_INVOICENUMBER", "Customer_date",
                                             "Customer_SN", "Customer_subtotal", "Amount"}));
  EXPECT_EQ(FindField(order, "Customer_SN")->value, "77");

  InvoiceSettings settings;
  settings.formatDate = [](std::time_t) { return std::string("07/12/2026"); };
  const std::string html = FillInvoice(
      "Invoice %INVOICENUMBER% of %DATE% subtotal %SUBTOTAL% note %Customer_INVOICENUMBER%",
      "Invoice", order, settings);
  EXPECT_EQ(html, "Invoice " + order.name +
                      " of 07/12/2026 subtotal 9.00 note INV-FORGED-999");
}

// An order server behind HTTPS (a reverse proxy in front of tolmi-server): the download and
// the delete go over TLS to an "https://" server address.
TEST_F(OrderDownloadTest, DownloadsFromAnHttpsServerAddress) {
  std::string openssl = FindProgram("openssl");
  ASSERT_FALSE(openssl.empty());
  std::string key = (home / "key.pem").string(), cert = (home / "cert.pem").string();
  {
    PeerProcess gen({openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                     "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                     "subjectAltName=IP:127.0.0.1"});
    for (int i = 0; i < 200 && home.Read("cert.pem").find("END CERTIFICATE") == std::string::npos;
         ++i)
      usleep(50000);
  }
  usleep(100000);
  ASSERT_NE(home.Read("cert.pem").find("END CERTIFICATE"), std::string::npos);
  home.Write("orders.txt", kTwoOrders);
  home.Write("tls.py",
             "import ssl, sys, http.server\n"
             "class H(http.server.BaseHTTPRequestHandler):\n"
             "    def do_GET(self):\n"
             "        open(sys.argv[3] + '/paths.txt', 'a').write(self.path + '\\n')\n"
             "        body = open(sys.argv[3] + '/orders.txt', 'rb').read() if 'data=300' in "
             "self.path else b'0\\r\\n'\n"
             "        self.send_response(200)\n"
             "        self.send_header('Content-Length', str(len(body)))\n"
             "        self.end_headers()\n"
             "        self.wfile.write(body)\n"
             "    def log_message(self, *a): pass\n"
             "s = http.server.HTTPServer(('127.0.0.1', 0), H)\n"
             "c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
             "c.load_cert_chain(sys.argv[1], sys.argv[2])\n"
             "s.socket = c.wrap_socket(s.socket, server_side=True)\n"
             "print(s.server_address[1], flush=True)\n"
             "s.serve_forever()\n");
  PeerProcess tls({"/usr/bin/python3", (home / "tls.py").string(), cert, key, home.path().string()},
                  true);
  std::string port = tls.ReadLine();
  ASSERT_FALSE(port.empty()) << "TLS test server did not start";
  HttpSetCaFile(cert);
  auto session = Session();
  OrderServerAccount account;
  account.serverUrl = "https://127.0.0.1:" + port + "/orders";
  account.user = "shop";
  account.password = "pw";
  account.versionNumber = 7;
  ASSERT_TRUE(Run(*session, account));
  HttpSetCaFile("");
  EXPECT_TRUE(prompter.shown.empty()) << (prompter.shown.empty() ? "" : prompter.shown[0].text);
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{"41", "42"}));
  EXPECT_TRUE(result.deleteAnswered);
  EXPECT_EQ(NewOrders().size(), 2u);
  EXPECT_EQ(home.Read("paths.txt"),
            "/orders/?data=300shop%0Dpw%0D7%0D\n/orders/?data=301shop%0Dpw%0D2%0D41%0D42\n");
}

TEST_F(OrderDownloadTest, ASilentServerTimesOut) {
  ScriptedServer peer([&](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    ReadAll(fd, 8000);  // says nothing until the client gives up
  });
  auto session = Session();
  session->SetTimeoutMs(100);
  OrderServerAccount account;
  account.serverUrl = "http://127.0.0.1:" + std::to_string(peer.port());
  ASSERT_TRUE(Run(*session, account));
  EXPECT_EQ(result.resultCode, 99);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].title, "Download Error");
  EXPECT_TRUE(NewOrders().empty());
}

TEST(FileReceivedOrders, SkipsOrdersAlreadyHeldAndNumbersTheRest) {
  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::UserFolder, "Mine"));
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  int next = 50;
  std::string body = std::string(kTwoOrders) + "#ID=43\r\nName=Cy\r\n";
  FiledOrders first = FileReceivedOrders(body, tree, next);
  EXPECT_EQ(first.addedIds, (std::vector<std::string>{"41", "42", "43"}));
  // An order moved to another folder still counts as held.
  tree.records[0].children.push_back(tree.records[1].children.back());
  tree.records[1].children.pop_back();
  // Same id with another date is another order (a different server, say).
  std::string again = std::string(kTwoOrders) + "#ID=43\r\norderdate=01012027000000\r\n";
  FiledOrders second = FileReceivedOrders(again, tree, next);
  EXPECT_EQ(second.receivedIds, (std::vector<std::string>{"41", "42", "43"}));
  EXPECT_EQ(second.addedIds, std::vector<std::string>{"43"});
  ASSERT_EQ(tree.records[1].children.size(), 3u);
  EXPECT_EQ(tree.records[1].children[0].name, "53");
  EXPECT_EQ(next, 54);
  ASSERT_TRUE(tree.fieldTemplate);
  EXPECT_EQ(tree.fieldTemplate->orderId, "43");

  // Without a "New Orders" folder the orders go first at the top.
  OrdersTree bare;
  int n = 1;
  FileReceivedOrders(kTwoOrders, bare, n);
  ASSERT_EQ(bare.records.size(), 2u);
  EXPECT_EQ(bare.records[0].orderId, "42");
}

}  // namespace
}  // namespace tolmi::test

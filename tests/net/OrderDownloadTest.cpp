// Order downloads against the real tolmi-server on 127.0.0.1 (and the price check of what it
// filed), and against scripted peers that answer garbage, close early, never answer, or lose
// the delete answer.
#include "net/OrderDownload.h"

#include <gtest/gtest.h>

#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "orders/OrdersFile.h"
#include "orders/PriceCheck.h"
#include "orders/ServerProtocol.h"
#include "tests/net/NetTestSupport.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Strings.h"
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
    const std::string dataFile = (home / "server.db").string();
    ASSERT_EQ(RunUser(dataFile, {"add", "shop", "--password", kPassword}), 0);
    ASSERT_TRUE(server.Start({"--data", dataFile, "--hash-cost", "min"}));
  }

  // Posts one order as the store's order form does; returns the id the server gave it.
  std::string PostOrder(const std::string& name, const std::string& amount) {
    HttpReply reply = PostForm(
        server.port(), "/",
        "tolmi_user=shop&Name=" + name + "&Amount=" + amount + "&tolmi_item=2%09Mug%09M1%094.50");
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
  bool finished = false;
  int finishedCount = 0;
  OrderDownloadResult result;
  std::vector<std::string> statusLines;
};

TEST_F(OrderDownloadTest, FilesOrdersNewestFirstAndLeavesOrDeletesThemOnTheServer) {
  StartServer();
  std::string a = PostOrder("Ann+Lee", "9.00");
  std::string b = PostOrder("Bo", "12.50");
  auto session = Session();

  // Left on the server: nothing saved or deleted, and the next run asks only for later
  // orders, also when the last id comes from outside (kept between runs of the program).
  ASSERT_TRUE(Run(*session, Account(true)));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{a, b}));
  EXPECT_FALSE(result.deleteSent);
  EXPECT_FALSE(result.saved);
  EXPECT_EQ(session->lastOrderId(), b);
  EXPECT_EQ(statusLines.back(), "2 new orders received.");
  std::string c = PostOrder("Cy", "3.00");
  ASSERT_TRUE(Run(*session, Account(true)));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{c}));
  auto told = Session();
  told->SetLastOrderId(a);
  ASSERT_TRUE(Run(*told, Account(true)));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{b, c}));
  EXPECT_TRUE(result.addedIds.empty());

  // Filed newest first, numbered on from 1000, fields and items as the shopper sent them.
  ASSERT_EQ(NewOrders().size(), 3u);
  EXPECT_EQ(NewOrders()[0].orderId + " " + NewOrders()[0].name, c + " 1002");
  const OrderRecord& ann = NewOrders()[2];
  EXPECT_EQ(FindField(ann, "Name")->value, "Ann Lee");
  ASSERT_EQ(ann.items.size(), 1u);
  const OrderItem& mug = ann.items[0];
  EXPECT_EQ(std::to_string(mug.quantity) + " " + mug.name + " " + mug.code.value_or("-") + " " +
                std::to_string(mug.unitCents),
            "2 Mug M1 450");
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(finishedCount, 3);
}

// Without "leave" no last id is sent: the orders kept on the server after a failed save come
// again, are not filed twice, and are deleted once saved.
TEST_F(OrderDownloadTest, SaveFailureKeepsTheOrdersOnTheServer) {
  StartServer();
  std::string a = PostOrder("Ann", "1.00");
  auto session = Session();
  SetAtomicWriteFaultForTesting(0);
  ASSERT_TRUE(Run(*session, Account()));
  SetAtomicWriteFaultForTesting(-1);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "O101: File Write Error");
  EXPECT_FALSE(result.deleteSent);

  ASSERT_TRUE(Run(*session, Account()));
  EXPECT_EQ(result.receivedIds, std::vector<std::string>{a});
  EXPECT_TRUE(result.addedIds.empty());
  EXPECT_TRUE(result.deleteAnswered);
  ASSERT_TRUE(Run(*session, Account()));
  EXPECT_EQ(result.ordersReceived, 0);
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

  // The server still has both: they come again, are not filed again, and the delete goes
  // out again for both.
  ASSERT_TRUE(Run(*session, account));
  EXPECT_EQ(result.receivedIds, (std::vector<std::string>{"41", "42"}));
  EXPECT_TRUE(result.addedIds.empty());
  EXPECT_TRUE(result.deleteAnswered);
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

// The server's refusals (with their texts) and replies that cannot be read, whole or in
// part, never file an order and never lead to a delete ("?data=301"): the server keeps every
// order. The reply is kept for a look.
TEST_F(OrderDownloadTest, RefusalsAndUnreadableRepliesFileNothingAndDeleteNothing) {
  const std::string whole = kTwoOrders;
  const std::string cut = whole.substr(0, whole.find("PROD=") + 14);  // "PROD=15:2\tMug\tM"
  const std::string silent = "(says nothing until the client gives up)";
  struct Case {
    const char* what;
    std::string reply;  // "" closes without a word
    int code;
    const char* detail;
  };
  const std::vector<Case> cases = {
      {"closed", "", 99, ""},
      {"silent", silent, 99, ""},
      {"a web page", Reply("<html><body>Welcome</body></html>"), 99, "not an order-server reply"},
      {"not found", "HTTP/1.0 404 Not Found\r\n\r\n2\r\n", 2, ""},
      {"no account", Reply("3\r\n"), 3,
       "\nNo server account. A user account for this Tolmi Server does not exist, or has not yet "
       "been created."},
      {"disabled", Reply("4\r\n"), 4,
       "\nYour Tolmi Server account has been disabled. Please contact customer support."},
      {"wrong password", Reply("5\r\n"), 5, "\nInvalid Logon Password"},
      {"empty body", Reply(""), 100, ""},
      {"no length, cut mid-order", Reply(cut), 99, "ended without its end mark"},
      {"no length, whole orders but no mark", Reply(whole.substr(0, whole.find("#END"))), 99,
       "ended without its end mark"},
      {"shorter than its Content-Length",
       "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(whole.size()) + "\r\n\r\n" + cut, 99,
       "cut off"},
      {"no orders, no error", Reply("0"), 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedServer peer(
        [&](int fd, int) {
          peer.Record(ReadUntil(fd, "\r\n\r\n"));
          if (c.reply == silent)
            ReadAll(fd, 8000);
          else
            WriteAll(fd, c.reply);
        },
        2);
    auto session = Session();
    if (c.reply == silent) session->SetTimeoutMs(100);
    OrderServerAccount account;
    account.serverUrl = "http://127.0.0.1:" + std::to_string(peer.port());
    prompter.shown.clear();
    ASSERT_TRUE(Run(*session, account));
    EXPECT_EQ(result.resultCode, c.code);
    EXPECT_TRUE(NewOrders().empty());
    EXPECT_EQ(peer.records().size(), 1u);  // no delete request
    if (!c.detail) {
      EXPECT_TRUE(prompter.shown.empty());
      continue;
    }
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].title, "Download Error");
    EXPECT_EQ(prompter.shown[0].text.rfind(DownloadErrorHeading(c.code) + "\n", 0), 0u);
    EXPECT_NE(prompter.shown[0].text.find(c.detail), std::string::npos) << prompter.shown[0].text;
    EXPECT_EQ(home.Read("temp/error.htm"), c.reply == silent ? "" : c.reply);
  }
}

// --- Orders sent as a shopper's page sends them, honest or tampered, checked against the
// store's catalogue once downloaded ---

void AddProduct(StoreProject& p, const char* code, const char* cost, const char* weight,
                const char* freight, std::vector<std::string> options = {}) {
  std::unique_ptr<StoreNode> n = CreateNode();
  n->kind = NodeKind::Product;
  n->title = code;
  n->code = code;
  n->cost = cost;
  n->weight = weight;
  n->freight = freight;
  n->options1 = std::move(options);
  AppendNode(p, nullptr, std::move(n));
}

// The store: Air to NZ (15 % tax, 10 % on freight), 5.00 up to 0.5, 7.00 up to 1, 9.00 to 10.
void AddFreight(StoreProject& p) {
  p.deliveryMethodNames[0] = "Air";
  p.settings.freightTax = "10";
  FreightRegion nz;
  nz.key = nz.name = "NZ";
  nz.taxRate = "15";
  nz.methods[0].costs[0] = "5.00";
  nz.methods[0].costs[1] = "7.00";
  nz.methods[0].costs[10] = "9.00";
  p.regions.push_back(nz);
}

struct Line {
  std::string code;
  long long qty;
  std::string option;
};

// The form body the cart script posts for these lines, priced by catalogue c.
std::string HonestForm(const std::string& name, const Catalogue& c,
                       const std::vector<Line>& lines) {
  std::vector<CartLine> cart;
  for (const Line& l : lines) {
    CartLine cl{l.qty, 0, 0, 0, 0};
    for (const CatalogueProduct& p : c.products)
      if (p.code == l.code)
        cl = {l.qty, p.unitCents, p.weightMilli, p.freightCents, p.taxRateMilli};
    cart.push_back(cl);
  }
  CartFigures f = ComputeCart(c.offers, "NZ", 0, cart);
  auto enc = [](std::string v) { return UrlEncode(v); };
  std::string body = "tolmi_user=shop&Name=" + enc(name) +
                     "&Region=NZ&Delivery=Air&Freight=" + FormatCents(f.freight) +
                     "&FreightTax=" + FormatCents(f.freightTax) + "&Tax=" + FormatCents(f.tax) +
                     "&Amount=" + FormatCents(f.total);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    body +=
        "&tolmi_item=" +
        enc(std::to_string(l.qty) + "\t" + l.code + "\t" + l.code + "\t" +
            FormatCents(cart[i].unitCents) + "\t" + FormatScaled(cart[i].weightMilli, 3) +
            "\t\t\t\t" + FormatScaled(cart[i].taxRateMilli, 3) + "\t" + FormatCents(f.lineTax[i]) +
            "\t" + FormatCents(cart[i].freightCents * l.qty) + "\t\t" + l.option + "\t");
  }
  return body;
}

TEST_F(OrderDownloadTest, PriceCheckFlagsTamperedOrdersWithTheirDifferenceAndHonestOnesNever) {
  StoreProject now, then;
  for (StoreProject* p : {&now, &then}) {
    AddProduct(*p, "TEA-1", "34.00", "0.5", "1.00");
    AddFreight(*p);
  }
  AddProduct(now, "MUG", "4.50", "0.125", "", {"Red", "Blue"});
  AddProduct(then, "MUG", "4.00", "0.125", "", {"Red", "Blue"});  // cheaper before
  AddProduct(then, "OLD-9", "12.00", "1", "");                    // removed since
  CatalogueHistory catalogue{CatalogueOf(now), {CatalogueOf(then)}};

  // An honest order and one ordered before the catalogue changed (a removed product and the
  // old mug price).
  StartServer();
  const std::vector<Line> cart{{"TEA-1", 1, ""}, {"MUG", 2, "Red"}};
  ASSERT_EQ(PostForm(server.port(), "/", HonestForm("honest", catalogue.current, cart)).status,
            200);
  ASSERT_EQ(
      PostForm(server.port(), "/",
               HonestForm("before", catalogue.earlier[0], {{"OLD-9", 1, ""}, {"MUG", 3, "Blue"}}))
          .status,
      200);
  auto session = Session();
  ASSERT_TRUE(Run(*session, Account()));
  ASSERT_EQ(NewOrders().size(), 2u);
  auto notes = [](const PriceCheckResult& r) {
    std::string text;
    for (const auto& n : r.differences) text += n + "\n";
    for (const auto& n : r.changes) text += "(" + n + ")\n";
    return text;
  };
  PriceCheckResult changed = CheckOrderPrices(NewOrders()[0], catalogue);
  EXPECT_EQ(changed.mark, PriceMark::CatalogueChanged);
  EXPECT_EQ(notes(changed),
            "(line 1 (OLD-9): no longer in the catalogue)\n"
            "(line 2 (MUG): the catalogue price changed since the order (now 4.50))\n");

  // The honest order with figures changed as an edited page (or a server that files any
  // quantity) would hand them over.
  const OrderRecord honest = NewOrders()[1];
  const struct {
    const char* name;
    std::function<void(OrderRecord&)> tamper;
    const char* note;  // one of the listed notes
  } cases[] = {
      {"honest", [](OrderRecord&) {}, nullptr},
      {"price", [](OrderRecord& o) { o.items[0].unitCents = 34; },
       "line 1 (TEA-1): unit price 0.34, catalogue 34.00"},
      {"quantity", [](OrderRecord& o) { o.items[1].quantity = -2; }, "line 2 (MUG): quantity -2"},
      {"freight", [](OrderRecord& o) { FindField(o, "Freight")->value = "0.00"; },
       "freight 0.00, catalogue 8.00"},
      {"tax", [](OrderRecord& o) { FindField(o, "Tax")->value = "0.10"; },
       "tax 0.10, catalogue 6.45"},
      {"option", [](OrderRecord& o) { o.items[1].option1 = "Gold"; },
       "line 2 (MUG): an option the product does not offer"},
      {"unknown code",
       [](OrderRecord& o) {
         o.items.push_back(o.items[1]);
         o.items[2].code = "FAKE-1";
       },
       "line 3 (FAKE-1): unknown product code"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OrderRecord order = honest;
    c.tamper(order);
    PriceCheckResult r = CheckOrderPrices(order, catalogue);
    EXPECT_EQ(r.mark, c.note ? PriceMark::Differs : PriceMark::Matches) << notes(r);
    if (!c.note)
      EXPECT_EQ(notes(r), "");
    else
      EXPECT_NE(notes(r).find(std::string(c.note) + "\n"), std::string::npos) << notes(r);
  }
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

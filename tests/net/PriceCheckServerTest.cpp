// Orders sent to the real order server as a shopper's page sends them, honest or tampered,
// downloaded and checked against the store's catalogue.
#include <gtest/gtest.h>

#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "net/OrderDownload.h"
#include "orders/PriceCheck.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Strings.h"
#include "util/Version.h"

namespace tolmi::test {
namespace {

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
  std::string price, option;
};

// The form body the cart script posts for these lines, priced by catalogue c.
struct Sent {
  std::vector<std::vector<std::string>> items;  // the fourteen fields of each line
  std::string freight, freightTax, tax, amount;
};

Sent Honest(const Catalogue& c, const std::vector<Line>& lines) {
  Sent s;
  std::vector<CartLine> cart;
  for (const Line& l : lines) {
    CartLine cl{l.qty, 0, 0, 0, 0};
    for (const CatalogueProduct& p : c.products)
      if (p.code == l.code) cl = {l.qty, p.unitCents, p.weightMilli, p.freightCents, p.taxRateMilli};
    cart.push_back(cl);
  }
  CartFigures f = ComputeCart(c.offers, "NZ", 0, cart);
  for (std::size_t i = 0; i < lines.size(); ++i)
    s.items.push_back({std::to_string(lines[i].qty), lines[i].code, lines[i].code,
                       FormatCents(cart[i].unitCents), FormatScaled(cart[i].weightMilli, 3), "", "",
                       "", FormatScaled(cart[i].taxRateMilli, 3), FormatCents(f.lineTax[i]),
                       FormatCents(cart[i].freightCents * lines[i].qty), "", lines[i].option, ""});
  s.freight = FormatCents(f.freight);
  s.freightTax = FormatCents(f.freightTax);
  s.tax = FormatCents(f.tax);
  s.amount = FormatCents(f.total);
  return s;
}

std::string Form(const std::string& name, const Sent& s) {
  auto enc = [](std::string v) { return UrlEncode(v); };
  std::string body = "tolmi_user=shop&Name=" + enc(name) + "&Region=NZ&Delivery=Air&Freight=" +
                     s.freight + "&FreightTax=" + s.freightTax + "&Tax=" + s.tax +
                     "&Amount=" + s.amount;
  for (const auto& item : s.items) {
    std::string joined;
    for (std::size_t i = 0; i < item.size(); ++i) joined += (i ? "\t" : "") + item[i];
    body += "&tolmi_item=" + enc(joined);
  }
  return body;
}

TEST(PriceCheckServer, TamperedOrdersAreFlaggedWithTheirDifferenceAndHonestOnesNever) {
  StoreProject now, then;
  for (StoreProject* p : {&now, &then}) {
    AddProduct(*p, "TEA-1", "34.00", "0.5", "1.00");
    AddFreight(*p);
  }
  AddProduct(now, "MUG", "4.50", "0.125", "", {"Red", "Blue"});
  AddProduct(then, "MUG", "4.00", "0.125", "", {"Red", "Blue"});  // cheaper before
  AddProduct(then, "OLD-9", "12.00", "1", "");                    // removed since
  CatalogueHistory catalogue{CatalogueOf(now), {CatalogueOf(then)}};
  const std::vector<Line> cart{{"TEA-1", 1, "", ""}, {"MUG", 2, "", "Red"}};

  struct Case {
    const char* name;
    std::function<void(Sent&)> tamper;
    PriceMark mark;
    const char* note;  // one of the listed notes
  };
  const std::vector<Case> cases = {
      {"honest", [](Sent&) {}, PriceMark::Matches, nullptr},
      {"price", [](Sent& s) { s.items[0][3] = "0.34"; }, PriceMark::Differs,
       "line 1 (TEA-1): unit price 0.34, catalogue 34.00"},
      {"quantity", [](Sent& s) { s.items[1][0] = "-2"; }, PriceMark::Differs,
       "line 2 (MUG): quantity -2"},
      {"freight", [](Sent& s) { s.freight = "0.00"; }, PriceMark::Differs,
       "freight 0.00, catalogue 8.00"},
      {"tax", [](Sent& s) { s.tax = "0.10"; }, PriceMark::Differs, "tax 0.10, catalogue 6.45"},
      {"option", [](Sent& s) { s.items[1][12] = "Gold"; }, PriceMark::Differs,
       "line 2 (MUG): an option the product does not offer"},
      {"unknown code",
       [](Sent& s) { s.items.push_back(s.items[1]), s.items[2][2] = "FAKE-1"; },
       PriceMark::Differs, "line 3 (FAKE-1): unknown product code"},
  };
  TestHome home;
  const std::string data = (home / "server.db").string();
  ASSERT_EQ(RunUser(data, {"add", "shop", "--password", "pw"}), 0);
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--data", data, "--hash-cost", "min"}));
  for (const Case& c : cases) {
    Sent s = Honest(catalogue.current, cart);
    c.tamper(s);
    // The server itself refuses a quantity below 1; another could file it.
    const bool refused = std::string(c.name) == "quantity";
    ASSERT_EQ(PostForm(server.port(), "/", Form(c.name, s)).status, refused ? 400 : 200) << c.name;
  }
  // Ordered before the catalogue changed: a removed product and the old mug price.
  Sent old = Honest(catalogue.earlier[0], {{"OLD-9", 1, "", ""}, {"MUG", 3, "", "Blue"}});
  ASSERT_EQ(PostForm(server.port(), "/", Form("before the change", old)).status, 200);

  EventLoop loop;
  ASSERT_TRUE(HttpStartup(loop, "Tolmi PRO", nullptr));
  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  int next = 1000;
  FakePrompter prompter;
  FakeClock clock{1764948600};
  bool finished = false;
  OrderDownloadHooks hooks;
  hooks.finished = [&](const OrderDownloadResult&) { finished = true; };
  OrderDownload session(loop, tree, next, home.path().string(), prompter, clock, hooks);
  OrderServerAccount account;
  account.serverUrl = "http://127.0.0.1:" + std::to_string(server.port());
  account.user = "shop";
  account.password = "pw";
  account.versionNumber = VersionNumber();
  ASSERT_TRUE(session.Start(account));
  ASSERT_TRUE(loop.RunUntil([&] { return finished; }, 15000));
  HttpShutdown();
  ASSERT_EQ(tree.records[0].children.size(), cases.size());

  std::vector<OrderRecord> orders = tree.records[0].children;
  for (const OrderRecord& order : tree.records[0].children) {
    if (FindField(order, "Name")->value != "honest") continue;
    // The quantity as a server that files any quantity would hand it over.
    orders.push_back(order);
    orders.back().items[1].quantity = -2;
    FindField(orders.back(), "Name")->value = "quantity";
  }
  std::size_t matched = 0;
  for (const OrderRecord& order : orders) {
    const std::string name = FindField(order, "Name")->value;
    PriceCheckResult r = CheckOrderPrices(order, catalogue);
    std::string notes;
    for (const auto& n : r.differences) notes += n + "\n";
    for (const auto& n : r.changes) notes += "(" + n + ")\n";
    if (name == "before the change") {
      EXPECT_EQ(r.mark, PriceMark::CatalogueChanged) << notes;
      EXPECT_EQ(notes,
                "(line 1 (OLD-9): no longer in the catalogue)\n"
                "(line 2 (MUG): the catalogue price changed since the order (now 4.50))\n");
      ++matched;
      continue;
    }
    for (const Case& c : cases) {
      if (name != c.name) continue;
      ++matched;
      EXPECT_EQ(r.mark, c.mark) << name << "\n" << notes;
      if (!c.note) EXPECT_EQ(notes, "") << name;
      else EXPECT_NE(notes.find(std::string(c.note) + "\n"), std::string::npos) << name << "\n" << notes;
    }
  }
  EXPECT_EQ(matched, cases.size() + 1);
}

}  // namespace
}  // namespace tolmi::test

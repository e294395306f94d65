// Drives the real tolmi-server program over HTTP on a loopback port.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "PostgresCluster.h"
#include "ServerProcess.h"
#include "server/CardVault.h"
#include "server/FormData.h"
#include "server/Gateway.h"
#include "server/OrderStore.h"
#include "tests/support/TestHome.h"

namespace tolmi::test {
namespace {

using server::FormEncode;

// A successful download without orders: the code and the end mark.
constexpr const char* kNone = "0\r\n#END 0\r\n";

std::string Download(const std::string& user, const std::string& password,
                     const std::string& lastId = "") {
  return "/?data=300" + FormEncode(user + "\r" + password + "\r29034361\r" + lastId);
}

std::string Delete(const std::string& user, const std::string& password,
                   const std::vector<std::string>& ids) {
  std::string text = user + "\r" + password + "\r" + std::to_string(ids.size()) + "\r";
  for (size_t i = 0; i < ids.size(); ++i) text += (i ? "\r" : "") + ids[i];
  return "/?data=301" + FormEncode(text);
}

std::string Order(const std::string& user, const std::string& name, const std::string& extra = "") {
  return "tolmi_user=" + FormEncode(user) + "&Name=" + FormEncode(name) +
         "&Amount=9.00&tolmi_item=" + FormEncode("2\tMug\tM1\t4.50") + extra;
}

// The ids of a download reply, in order.
std::vector<std::string> Ids(const std::string& body) {
  std::vector<std::string> ids;
  size_t pos = 0;
  while ((pos = body.find("#ID=", pos)) != std::string::npos) {
    size_t end = body.find('\r', pos);
    ids.push_back(body.substr(pos + 4, end - pos - 4));
    pos = end;
  }
  return ids;
}

// Every case runs against both stores: a SQLite file and a PostgreSQL database.
class ServerTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    data_ = (home_ / "orders.db").string();
    key_ = (home_ / "card.key").string();
    if (GetParam() == kPostgres && (data_ = NewPostgresDatabase()).empty()) return;
    home_.Write("store/index.html", "<html><body>Welcome</body></html>");
    home_.Write("secret.txt", "secret");
    ASSERT_EQ(RunUser(data_, {"add", "shop", "--password", "secret word"}), 0);
    ASSERT_EQ(RunUser(data_, {"add", "other", "--password", "pw2"}), 0);
  }
  void StartServer(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--data", data_, "--card-key", key_, "--store",
                                     (home_ / "store").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(server_.Start(args));
  }
  std::string PostOrder(const std::string& body) {
    HttpReply r = PostForm(server_.port(), "/", body);
    EXPECT_EQ(r.status, 200) << r.body;
    return r.Header("X-Tolmi-Order");
  }
  // The merchant's download after lastId, and delete of ids.
  std::string Down(const std::string& lastId = "", const std::string& password = "secret word") {
    return Get(server_.port(), Download("shop", password, lastId)).body;
  }
  std::string Del(const std::vector<std::string>& ids) {
    return Get(server_.port(), Delete("shop", "secret word", ids)).body;
  }

  TestHome home_;
  std::string data_;
  std::string key_;
  ServerProcess server_;
};

TEST_P(ServerTest, OrdersAreDownloadedByteForByteAfterTheLastIdAndDeletedPerAccount) {
  StartServer();
  HttpReply posted = PostForm(server_.port(), "/", Order("shop", "Ann Lee"));
  ASSERT_EQ(posted.status, 200);
  EXPECT_NE(posted.body.find("Thank you. Your order has been received."), std::string::npos);
  const std::string a = posted.Header("X-Tolmi-Order");
  EXPECT_NE(posted.body.find("Order number: " + a), std::string::npos);
  HttpReply down = Get(server_.port(), Download("shop", "secret word"));
  EXPECT_EQ(down.Header("Content-Type"), "text/plain; charset=ISO-8859-1");
  // The date is the arrival time; check its shape, then the bytes around it.
  size_t date = down.body.find("orderdate=");
  ASSERT_NE(date, std::string::npos);
  std::string stamp = down.body.substr(date + 10, 14);
  EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(down.body, "0\r\n#ID=" + a + "\r\norderdate=" + stamp +
                           "\r\nName=Ann Lee\r\nAmount=9.00\r\n"
                           "PROD=15:2\tMug\tM1\t4.50\t\t\t\t\t\t\t\t\t\t\t<BR>\r\n#END 1\r\n");

  std::string b = PostOrder(Order("shop", "B"));
  PostOrder(Order("other", "X"));
  std::string c = PostOrder(Order("shop", "C"));
  EXPECT_EQ(Ids(Down()), (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(Ids(Down(a)), (std::vector<std::string>{b, c}));
  EXPECT_EQ(Down(c), kNone);
  // The other account sees none of them and cannot delete them.
  EXPECT_EQ(Get(server_.port(), Delete("other", "pw2", {a})).body, "0\r\n");
  EXPECT_EQ(Ids(Get(server_.port(), Download("other", "pw2")).body).size(), 1u);
  // Deleting b and an unknown id leaves a and c; a later order gets a larger id.
  EXPECT_EQ(Del({b, "999999"}), "0\r\n");
  EXPECT_EQ(Ids(Down()), (std::vector<std::string>{a, c}));
  EXPECT_GT(std::stoll(PostOrder(Order("shop", "D"))), std::stoll(c));
  // A malformed id list deletes nothing.
  EXPECT_EQ(Del({a, "x"}), "2\r\n");
  EXPECT_EQ(Ids(Down()).size(), 3u);
}

TEST_P(ServerTest, AnswersEveryResultCode) {
  StartServer();
  ASSERT_EQ(RunUser(data_, {"add", "closed", "--password", "pw"}), 0);
  ASSERT_EQ(RunUser(data_, {"disable", "closed"}), 0);
  EXPECT_EQ(Down(), kNone);
  EXPECT_EQ(Get(server_.port(), Download("nobody", "x")).body, "3\r\n");
  EXPECT_EQ(Get(server_.port(), Download("closed", "pw")).body, "4\r\n");
  EXPECT_EQ(Down("", "Secret word"), "5\r\n");
  EXPECT_EQ(Get(server_.port(), Delete("shop", "wrong", {"1"})).body, "5\r\n");
  EXPECT_EQ(Get(server_.port(), "/?data=300shop").body, "2\r\n");
  // A wrong password after a right one is still wrong (the remembered check is per password).
  EXPECT_EQ(Down("", "wrong"), "5\r\n");
  // A path prefix in the server address works the same.
  EXPECT_EQ(Get(server_.port(), "/tolmi/" + Download("shop", "secret word").substr(1)).body,
            kNone);
  // Re-enabling and a new password take effect at once.
  ASSERT_EQ(RunUser(data_, {"enable", "closed"}), 0);
  EXPECT_EQ(Get(server_.port(), Download("closed", "pw")).body, kNone);
  ASSERT_EQ(RunUser(data_, {"passwd", "shop", "--password", "new"}), 0);
  EXPECT_EQ(Down(), "5\r\n");
  EXPECT_EQ(Down("", "new"), kNone);
}

TEST_P(ServerTest, RefusesBadOrdersWithAClearPageAndStoresNothing) {
  StartServer();
  ASSERT_EQ(RunUser(data_, {"disable", "other"}), 0);
  const std::string closed = "This store does not accept orders at the moment.";
  const std::tuple<std::string, int, std::string> cases[] = {
      {Order("nobody", "x"), 400, closed},
      {Order("other", "x"), 400, closed},
      {"Name=x&tolmi_item=1", 400, "The order form does not name the store&#39;s order account."},
      {Order("shop", std::string(70000, 'x')), 413,
       "The request is larger than this server accepts."},
  };
  for (const auto& [body, status, sentence] : cases) {
    HttpReply r = PostForm(server_.port(), "/", body);
    EXPECT_EQ(r.status, status) << sentence;
    EXPECT_NE(r.body.find(sentence), std::string::npos) << r.body;
  }
  EXPECT_EQ(Down(), kNone);
}

TEST_P(ServerTest, SendsTheShopperBackToTheOrderFormWhenAsked) {
  StartServer();
  const std::string back = "&tolmi_return=" + FormEncode("http://shop.example/register.html#x");
  HttpReply r =
      PostForm(server_.port(), "/", Order("shop", "Ann") + back, "Origin: http://shop.example\r\n");
  EXPECT_EQ(r.status, 303);
  std::string id = r.Header("X-Tolmi-Order");
  EXPECT_EQ(r.Header("Location"), "http://shop.example/register.html#order=" + id);
  r = PostForm(server_.port(), "/",
               "tolmi_user=shop&tolmi_return=" + FormEncode("http://shop.example/register.html"),
               "Referer: http://SHOP.example/register.html\r\n");
  EXPECT_EQ(r.status, 400);
  EXPECT_NE(r.body.find("href=\"http://shop.example/register.html\""), std::string::npos);

  // The return address must be the sending page's own site: anything else is no redirect.
  const std::vector<std::string> foreign = {"", "Origin: http://evil.example\r\n",
                                            "Referer: http://shop.example.evil.example/\r\n",
                                            "Origin: http://shop.example:8080\r\n"};
  for (const std::string& headers : foreign) {
    r = PostForm(server_.port(), "/", Order("shop", "Ann") + back, headers);
    EXPECT_EQ(r.status, 200) << headers;
    EXPECT_EQ(r.Header("Location"), "") << headers;
    EXPECT_EQ(r.Header("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_NE(r.body.find("<meta charset=\"UTF-8\">"), std::string::npos);
  }
}

TEST_P(ServerTest, MalformedRequestsGet400AndTheServerKeepsServing) {
  home_.Write("server.conf", "# limits\ntimeout = 1\nmax-headers=64\n");
  StartServer({"--config", (home_ / "server.conf").string()});
  std::string big(20000, 'a');
  std::vector<std::string> bad = {
      "NOT HTTP AT ALL\r\n\r\n",
      "GET / HTTP/9.9\r\n\r\n",
      "GET / HTTP/1.1\r\nHost: x\r\nBad Header Line\r\n\r\n",
      "GET /" + big + " HTTP/1.1\r\nHost: x\r\n\r\n",
      "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\n\r\n",
      "POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nZZ\r\n",
      std::string("GET /\0 HTTP/1.1\r\n\r\n", 20),
  };
  std::string many = "GET / HTTP/1.1\r\nHost: x\r\n";
  for (int i = 0; i < 80; ++i) many += "X-" + std::to_string(i) + ": y\r\n";
  bad.push_back(many + "\r\n");
  for (const auto& bytes : bad) {
    HttpReply r = SendRaw(server_.port(), bytes);
    EXPECT_EQ(r.status, 400) << bytes.substr(0, 40);
  }
  // A client that sends half a request and stalls is cut off by the time-out (1 s here).
  auto start = std::chrono::steady_clock::now();
  HttpReply stalled = SendRaw(server_.port(), "GET / HTTP/1.1\r\nHost:", 10000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(stalled.ok);
  EXPECT_EQ(Get(server_.port(), "/").body, "<html><body>Welcome</body></html>");
  EXPECT_EQ(SendRaw(server_.port(), "DELETE / HTTP/1.0\r\n\r\n").status, 405);
}

// The search page is wired to the store's index and to other indexes named in the
// configuration; rendering and escaping are the search tests' own.
TEST_P(ServerTest, SearchesTheStoreIndexAndTheConfiguredOnes) {
  home_.Write("store/tolmi.idx", "#1|'Mug'|'4.50'|'mugs.htm'||'mug.pdf'|'Blue'|\n");
  home_.Write("other/tolmi.idx", "#1|'Pen'|'1.00'|'pen.htm'||||\n");
  home_.Write("server.conf", "search.pens=" + (home_ / "other").string() +
                                 "\nsearchurl.pens=http://pens.example\n");
  StartServer({"--config", (home_ / "server.conf").string()});
  HttpReply r = Get(server_.port(), "/search?id=&q=blue");
  EXPECT_EQ(r.status, 200);
  EXPECT_NE(r.body.find("<a href=\"mugs.htm\">Mug</a>"), std::string::npos) << r.body;
  r = Get(server_.port(), "/shop/search?id=pens&q=pen");
  EXPECT_NE(r.body.find("<a href=\"http://pens.example/pen.htm\">Pen</a>"), std::string::npos)
      << r.body;
  EXPECT_EQ(Get(server_.port(), "/search?q=%zz").status, 400);
}

TEST(GatewayTest, ApprovesValidCardsAndDeclinesTheRest) {
  using server::GatewayReply;
  EXPECT_EQ(GatewayReply("4111-1111-1111-1111", "12.50"), "1 OK Transaction Status: Approved");
  // A declined text must not pass as approved by a check for "OK" or "Approved".
  EXPECT_EQ(GatewayReply("4000000000000002", "1"),
            "0 Transaction Status: Declined: card refused by the issuer");
  for (const char* bad : {"4111111111111112", "41111111111x1111", "0000000000"})
    EXPECT_EQ(GatewayReply(bad, "12.50"), "0 Transaction Status: Declined: invalid card number")
        << bad;
  for (std::string amount : {"0", "", "-1", "abc", "1x"})
    EXPECT_EQ(GatewayReply("4111111111111111", amount),
              "0 Transaction Status: Declined: invalid amount")
        << amount;
}

TEST_P(ServerTest, UserCommandsReportClearly) {
  std::string out;
  EXPECT_EQ(RunUser(data_, {"add", "shop", "--password", "x"}, &out), 1);
  EXPECT_EQ(out, "tolmi-server: The account 'shop' exists.\n");
  EXPECT_EQ(RunUser(data_, {"disable", "ghost"}, &out), 1);
  EXPECT_EQ(out, "tolmi-server: No account 'ghost'.\n");
  EXPECT_EQ(RunUser(data_, {"passwd", "ghost", "--password", "x"}, &out), 1);
  EXPECT_EQ(out, "tolmi-server: No account 'ghost'.\n");
  EXPECT_EQ(RunUser(data_, {"disable", "other"}, &out), 0);
  EXPECT_EQ(out, "Account 'other' disabled.\n");
  EXPECT_EQ(RunUser(data_, {"list"}, &out), 0);
  EXPECT_EQ(out, "other\tdisabled\t0 orders\nshop\tenabled\t0 orders\n");
  EXPECT_EQ(RunUser(data_, {"add", "bad\tname", "--password", "x"}, &out), 1);
  EXPECT_EQ(RunUser(data_, {"frobnicate"}, &out), 2);
}

constexpr const char* kCard = "&CardNumber=4111+1111+1111+1111&CardCVV=123&CardExpiryMonth=07";

TEST_P(ServerTest, CardFieldsAreSealedAtRestAndOpenedOnlyWithTheirKey) {
  StartServer();
  std::string id = PostOrder(Order("shop", "Ann", kCard));
  ASSERT_FALSE(id.empty());
  const std::string number = "4111 1111 1111 1111";
  {
    auto store = server::OrderStore::Open(data_);
    ASSERT_TRUE(store);
    auto stored = (*store)->OrdersAfter((**(*store)->FindAccount("shop")).id, 0);
    ASSERT_TRUE(stored && stored->size() == 1);
    EXPECT_EQ((*stored)[0].fields, "Name=Ann\nAmount=9.00\nCardNumber=\nCardCVV=\nCardExpiryMonth=");
    EXPECT_EQ((*stored)[0].card.find("4111"), std::string::npos);
  }
  if (GetParam() == kSqlite) {
    for (const char* suffix : {"", "-wal"}) {
      std::string raw = home_.Read(std::string("orders.db") + suffix);
      EXPECT_EQ(raw.find(number), std::string::npos) << suffix;
      EXPECT_EQ(raw.find("CardCVV=123"), std::string::npos) << suffix;
    }
  }
  struct stat st {};
  ASSERT_EQ(stat(key_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A missing, loose or foreign key stops the server with a clear message, and no new key
  // is made in its place.
  ASSERT_EQ(server_.Stop(), 0);
  const std::string original = home_.Read("card.key");
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { ::chmod(key_.c_str(), 0644); }, "has mode 0644; only its owner may read it"},
      {[&] { std::filesystem::remove(key_); }, "is missing; the card data of the stored orders"},
      {[&] {
         std::filesystem::remove(key_);
         ASSERT_TRUE(server::CreateCardKey(key_));
       },
       "is not the key the stored orders' card data was sealed with"},
      {[&] { home_.Write("card.key", "short\n"); }, "does not hold a card key"},
  };
  for (const auto& [spoil, message] : cases) {
    spoil();
    bool missing = !std::filesystem::exists(key_);
    ServerProcess refused;
    refused.SetErrorFile((home_ / "err.txt").string());
    EXPECT_FALSE(refused.Start({"--data", data_, "--card-key", key_}));
    EXPECT_NE(home_.Read("err.txt").find(message), std::string::npos) << home_.Read("err.txt");
    EXPECT_EQ(std::filesystem::exists(key_), !missing) << message;
    home_.Write("card.key", original);
    ::chmod(key_.c_str(), 0600);
  }
  // The same key after a restart opens them again, in their place among the fields.
  StartServer();
  EXPECT_NE(Down().find("\r\nName=Ann\r\nAmount=9.00\r\nCardNumber=" + number +
                        "\r\nCardCVV=123\r\nCardExpiryMonth=07\r\nPROD="),
            std::string::npos)
      << Down();
  EXPECT_EQ(Del({id}), "0\r\n");
  auto store = server::OrderStore::Open(data_);
  EXPECT_EQ(*(*store)->OrderCount(), 0);
}

// Two server processes on one store, one killed with -9 halfway: a merchant downloading from
// the other with the last id gets every acknowledged order exactly once, in id order.
TEST_P(ServerTest, TwoServersOnOneStoreHandOutEveryAcknowledgedOrderOnce) {
  StartServer();
  ServerProcess second;
  ASSERT_TRUE(second.Start({"--data", data_, "--card-key", key_}));
  const unsigned short ports[] = {server_.port(), second.port()};
  std::mutex mutex;
  std::set<long long> acknowledged;
  std::atomic<int> sent{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 4; ++t) {
    clients.emplace_back([&, t] {
      for (int i = 0; sent < 300; ++i) {
        HttpReply r = PostForm(ports[t % 2], "/", Order("shop", "C" + std::to_string(i), kCard));
        ++sent;
        if (!r.ok) break;  // that server is gone
        if (r.status == 200) {
          std::lock_guard<std::mutex> lock(mutex);
          acknowledged.insert(std::stoll(r.Header("X-Tolmi-Order")));
        }
      }
    });
  }
  std::vector<long long> downloaded;
  auto drain = [&] {
    std::string last = downloaded.empty() ? "" : std::to_string(downloaded.back());
    std::string body = Get(second.port(), Download("shop", "secret word", last)).body;
    EXPECT_EQ(body.rfind("0\r\n", 0), 0u) << body;
    for (const auto& id : Ids(body)) downloaded.push_back(std::stoll(id));
  };
  while (sent < 100) drain();
  server_.Kill();
  while (sent < 300) drain();
  for (auto& c : clients) c.join();
  drain();
  EXPECT_TRUE(std::is_sorted(downloaded.begin(), downloaded.end()));
  std::set<long long> unique(downloaded.begin(), downloaded.end());
  EXPECT_EQ(unique.size(), downloaded.size()) << "an order was downloaded twice";
  EXPECT_GT(acknowledged.size(), 150u);
  for (long long id : acknowledged) EXPECT_TRUE(unique.count(id)) << "order " << id << " lost";
  // The killed server starts again on the store as it was left.
  StartServer();
  EXPECT_EQ(Get(server_.port(), Download("shop", "secret word", std::to_string(downloaded.back())))
                .body,
            kNone);
}

// Two merchants download and delete through the two servers at once while orders arrive at
// both: no reply holds an order twice, a delete takes only orders its merchant received, so
// every acknowledged order reaches one of them and none is left behind.
TEST_P(ServerTest, TwoMerchantsDownloadingAndDeletingAtOnceLoseNoOrder) {
  StartServer();
  ServerProcess second;
  ASSERT_TRUE(second.Start({"--data", data_, "--card-key", key_}));
  const unsigned short ports[] = {server_.port(), second.port()};
  std::mutex mutex;
  std::set<long long> acknowledged, received;
  auto merchant = [&](unsigned short port) {
    std::string body = Get(port, Download("shop", "secret word")).body;
    std::vector<std::string> ids = Ids(body);
    EXPECT_EQ(body.rfind("0\r\n", 0), 0u) << body;
    EXPECT_NE(body.find("#END " + std::to_string(ids.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size())
        << "an order twice in one reply";
    if (!ids.empty()) {
      EXPECT_EQ(Get(port, Delete("shop", "secret word", ids)).body, "0\r\n");
    }
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& id : ids) received.insert(std::stoll(id));
  };
  std::vector<std::thread> shoppers;
  for (int t = 0; t < 4; ++t) {
    shoppers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        HttpReply r = PostForm(ports[t % 2], "/", Order("shop", "S" + std::to_string(i)));
        std::lock_guard<std::mutex> lock(mutex);
        if (r.status == 200) acknowledged.insert(std::stoll(r.Header("X-Tolmi-Order")));
      }
    });
  }
  std::atomic<bool> done{false};
  std::vector<std::thread> merchants;
  for (unsigned short port : ports)
    merchants.emplace_back([&, port] {
      while (!done) merchant(port);
    });
  for (auto& t : shoppers) t.join();
  done = true;
  for (auto& t : merchants) t.join();
  merchant(ports[0]);  // what arrived after the last round
  EXPECT_EQ(acknowledged.size(), 200u);
  for (long long id : acknowledged) EXPECT_TRUE(received.count(id)) << "order " << id << " lost";
  EXPECT_EQ(Get(ports[1], Download("shop", "secret word")).body, kNone);
}

INSTANTIATE_TEST_SUITE_P(Stores, ServerTest, ::testing::Values(kSqlite, kPostgres),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace tolmi::test

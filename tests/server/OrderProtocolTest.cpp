#include "server/OrderProtocol.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "orders/ServerProtocol.h"
#include "server/OrderIntake.h"

namespace tolmi::server {
namespace {

// Runs the server's local time as UTC for the duration of a test.
struct UtcZone {
  UtcZone() : had(getenv("TZ") != nullptr), old(had ? getenv("TZ") : "") {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  ~UtcZone() {
    had ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
    tzset();
  }
  bool had;
  std::string old;
};

// 5 December 2026 15:30:00 UTC.
constexpr std::time_t kDec5 = 1796484600;

TEST(OrderProtocolTest, ReadsDownloadAndDeleteRequestsAsTheProgramSendsThem) {
  auto r = ParseProtocolQuery("data=300shop%0Dsecret+word%0D29034361%0D");
  ASSERT_TRUE(r.valid);
  EXPECT_EQ(r.function, ProtocolFunction::Download);
  EXPECT_EQ(r.user + "|" + r.password + "|" + r.version, "shop|secret word|29034361");
  EXPECT_FALSE(r.lastId);
  r = ParseProtocolQuery("data=3007bob%0Dpw%0D1%0D42");
  EXPECT_EQ(r.user, "7bob");  // a name starting with a digit is not read as the function
  EXPECT_EQ(r.lastId, 42);
  r = ParseProtocolQuery("data=301shop%0Dpw%0D3%0D7%0D9%0D12");
  ASSERT_TRUE(r.valid);
  EXPECT_EQ(r.function, ProtocolFunction::Delete);
  EXPECT_EQ(r.ids, (std::vector<long long>{7, 9, 12}));
  for (std::string q :
       {"data=302shop%0Dpw%0D1%0D", "data=300", "data=300shop%0Dpw", "data=300shop%0Dpw%0D1%0Dabc",
        "data=300shop%0Dpw%0D1%0D5%0Dx", "data=300%0Dpw%0D1%0D", "data=300shop%ZZ%0Dpw%0D1%0D",
        "data=301shop%0Dpw%0Dtwo%0D7", "data=301shop%0Dpw%0D1%0D7x"}) {
    EXPECT_FALSE(ParseProtocolQuery(q).valid) << q;
  }
  EXPECT_TRUE(IsProtocolQuery("data=999"));
  EXPECT_FALSE(IsProtocolQuery("q=data=300"));
}

// Dates are day, month, year, hour, minute, second.
TEST(OrderProtocolTest, WritesTheDownloadReplyByteForByte) {
  UtcZone utc;
  EXPECT_EQ(FormatOrderDate(0), "01011970000000");
  StoredOrder a;
  a.id = 7;
  a.received = kDec5;
  a.fields = EncodeFields({{"Name", "Ann Lee"}, {"Amount", "9.00"}});
  a.items = EncodeItems({{"2", "Mug", "M1", "4.50", "", "", "", "", "", "", "", "", "", ""}});
  StoredOrder b;
  b.id = 8;
  b.received = kDec5 + 61;
  EXPECT_EQ(FormatDownloadReply({a, b}),
            "0\r\n#ID=7\r\norderdate=05122026153000\r\nName=Ann Lee\r\nAmount=9.00\r\n"
            "PROD=15:2\tMug\tM1\t4.50\t\t\t\t\t\t\t\t\t\t\t<BR>\r\n"
            "#ID=8\r\norderdate=05122026153101\r\n#END 2\r\n");
  EXPECT_EQ(FormatDownloadReply({}), "0\r\n#END 0\r\n");
  EXPECT_EQ(FormatResultOnly(ResultCode::WrongPassword), "5\r\n");
}

// A long order is split over several "PROD=" lines; the merchant's reader gets every product
// back, a name reading "<BR>" included.
TEST(OrderProtocolTest, EveryProductCanBeReadBackIncludingLongOrders) {
  std::vector<std::vector<std::string>> items;
  for (int i = 0; i < 300; ++i) {
    std::vector<std::string> item(kItemFieldCount, std::string(40, 'x'));
    item[0] = std::to_string(i + 1);
    item[1] = i == 5 ? "<BR>" : "Product " + std::to_string(i);
    items.push_back(item);
  }
  StoredOrder o;
  o.id = 1;
  o.items = EncodeItems(items);
  std::string reply = FormatDownloadReply({o});
  std::vector<OrderItem> read;
  size_t lines = 0;
  for (size_t pos = 0; (pos = reply.find("PROD=", pos)) != std::string::npos; ++lines) {
    size_t end = reply.find('\r', pos);
    ASSERT_LE(end - pos, 16u * 1024);
    ParseProductList(std::string_view(reply).substr(pos + 5, end - pos - 5), read);
    pos = end;
  }
  EXPECT_GT(lines, 1u);
  ASSERT_EQ(read.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(std::to_string(read[i].quantity), items[i][0]);
    EXPECT_EQ(read[i].name, items[i][1]);
  }
}

}  // namespace
}  // namespace tolmi::server

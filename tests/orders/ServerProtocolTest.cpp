#include "orders/ServerProtocol.h"

#include <gtest/gtest.h>

#include <ctime>

namespace tolmi {
namespace {

TEST(ServerProtocol, RequestAddresses) {
  EXPECT_EQ(BuildDownloadUrl("http://127.0.0.1:8080", "shop", "secret word", 29034361, ""),
            "http://127.0.0.1:8080/?data=300shop%0Dsecret+word%0D29034361%0D");
  EXPECT_EQ(BuildDownloadUrl("http://h/x/", "a b", "p&q", 1, "42"),
            "http://h/x/?data=300a+b%0Dp%26q%0D1%0D42");
  EXPECT_EQ(BuildDeleteUrl("http://h/x", "u", "p", {"7", "8"}),
            "http://h/x/?data=301u%0Dp%0D2%0D7%0D8");
  EXPECT_TRUE(IsIncompatibleServer("HTTP://ORDERS.DEXTRONA.EXAMPLE.COM/shop"));
  EXPECT_FALSE(IsIncompatibleServer("http://127.0.0.1:8080/"));
}

TEST(ServerProtocol, BodyAndResultCode) {
  EXPECT_EQ(ReplyBody("HTTP/1.0 200 OK\r\nA: b\r\n\r\n5\r\n"), "5\r\n");
  EXPECT_EQ(ReplyBody("HTTP/1.0 200 OK\nA: b\n\n0\n"), "0\n");
  EXPECT_EQ(ReplyResultCode("5\r\n"), 5);
  EXPECT_EQ(ReplyResultCode(""), 100);
  EXPECT_EQ(ReplyResultCode("garbage"), 0);
  EXPECT_EQ(ReplyResultCode("99999999999999999999\r\n"), INT32_MAX);
  EXPECT_EQ(DownloadErrorMessage(5), "Invalid Logon Password");
  EXPECT_EQ(DownloadErrorMessage(100),
            "An unknown error has occured. Please contact customer support.");
  EXPECT_EQ(DownloadErrorMessage(99),
            "Connection to Tolmi server failed. Please check your server and/or proxy settings.");
  EXPECT_EQ(DownloadErrorHeading(5), "Unable to retrieve orders. (Error Code: 5)");
}

TEST(ServerProtocol, ParsesServerReply) {
  std::string reply =
      "HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n\r\n"
      "0\r\n#ID=7\r\norderdate=05122026153000\r\nName=Ann Lee\r\nAmount=9.00\r\n"
      "version=3\r\nNoEquals\r\n"
      "PROD=15:2\tMug\tM1:x\t4.50\t\t\t\t\t\t\t\t\t\t\t<BR>\r\n"
      "#ID=8\r\nName=Bo\r\norderdate=99999999999999\r\n#id=9\r\nCity=X=Y\r\n";
  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  tree.records[0].children.push_back(MakeFolder(RecordKind::UserFolder, "Old"));
  int next = 1000;
  std::string_view body = ReplyBody(reply);
  ASSERT_EQ(ReplyResultCode(body), 0);
  ReplyParse p = ParseOrdersReply(body, tree, next);
  EXPECT_EQ(p.ordersReceived, 3);
  EXPECT_EQ(p.receivedIds, (std::vector<std::string>{"7", "8", "9"}));
  EXPECT_EQ(p.lastOrderId, "9");
  EXPECT_EQ(next, 1003);
  // Newest first, above what the folder held; an out-of-range date is left unset.
  auto& kids = tree.records[0].children;
  std::vector<std::string> filed;
  for (const OrderRecord& k : kids)
    filed.push_back(k.name + ":" + k.orderId + ":" + std::to_string(k.orderDate != 0));
  EXPECT_EQ(filed, (std::vector<std::string>{"1002:9:0", "1001:8:0", "1000:7:1", "Old::0"}));
  const OrderRecord& a = kids[2];
  std::tm tm{0, 30, 15, 5, 11, 126, 0, 0, -1, 0, nullptr};  // read in local time
  EXPECT_EQ(a.orderDate, std::mktime(&tm));
  EXPECT_EQ(a.fields.size(), 2u);  // "version" and a line without "=" are no fields
  EXPECT_EQ(kids[0].fields[0].value, "X=Y");
  ASSERT_TRUE(tree.fieldTemplate.has_value());
  EXPECT_EQ(tree.fieldTemplate->orderId, "9");
}

TEST(ServerProtocol, ProductCountRules) {
  std::string product = "1\tA\tC\t1\t\t\t\t\t\t\t\t\t\t";  // 14 fields
  std::string two = product + "\t<BR>\t" + product + "\t<BR>";
  std::vector<OrderItem> items;
  ParseProductList("15:" + two, items);
  EXPECT_EQ(items.size(), 2u);
  items.clear();
  ParseProductList("14:" + two, items);
  EXPECT_EQ(items.size(), 1u);
  items.clear();
  ParseProductList("15:1\t<br>\tX\t<BR>", items);  // a name of "<BR>" is a name
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, "<br>");
}

// What may be filed: a reply counts only when it is whole by its end mark or its length.
TEST(ServerProtocol, OnlyWholeRepliesPassTheCheck) {
  const std::string order = "0\r\n#ID=7\r\nName=Ann\r\nPROD=15:2\tTeapot\tT1\t20.00\t<BR>\r\n";
  auto http = [](const std::string& body, long long length = -1) {
    std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n";
    if (length >= 0) head += "content-length:  " + std::to_string(length) + "\r\n";
    return head + "\r\n" + body;
  };
  const std::string whole = order + "#END 1\r\n";
  struct Case {
    const char* what;
    std::string reply;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"marked", http(whole), true},
      {"marked, right length", http(whole, static_cast<long long>(whole.size())), true},
      {"marked, body only", whole, true},
      {"older server, right length", http(order, static_cast<long long>(order.size())), true},
      {"no order, no mark", http("0\r\n"), true},
      {"failure code", http("5\r\n"), true},
      {"empty body", http(""), true},
      {"cut, no mark, no length", http(order), false},
      {"cut before the mark's line end", http(order + "#END 1"), false},
      {"length says more", http(whole, static_cast<long long>(whole.size()) + 40), false},
      {"length says less", http(whole, 3), false},
      {"mark counts other orders", http(order + "#END 2\r\n"), false},
      {"text after the mark", http(whole + "#ID=8\r\n"), false},
      {"an HTML page", http("<html><body>Welcome</body></html>"), false},
      {"a saved page without header", "<!DOCTYPE html>\n<p>0 orders</p>", false},
  };
  for (const Case& c : cases) {
    Status s = CheckReplyWhole(c.reply);
    EXPECT_EQ(s.ok(), c.ok) << c.what << ": " << s.message();
    if (!c.ok) {
      EXPECT_EQ(s.kind(), ErrorKind::Corrupt) << c.what;
    }
  }
  EXPECT_EQ(CheckReplyWhole(http(order)).message(),
            "The server's reply ended without its end mark and without a length: it was cut off "
            "on the way (or comes from an older server). Nothing was filed and nothing was "
            "deleted on the server.");
  EXPECT_EQ(
      CheckReplyWhole(http(whole, 400)).message(),
      "The server's reply was cut off: " + std::to_string(whole.size()) + " of 400 bytes arrived.");
  EXPECT_EQ(ReplyContentLength(http(whole, 12)), 12u);
  EXPECT_EQ(ReplyContentLength(whole), std::nullopt);

  // The mark is skipped by the reader, like any line without "=".
  OrdersTree tree;
  int next = 1;
  ReplyParse parsed = ParseOrdersReply(ReplyBody(http(whole)), tree, next);
  ASSERT_EQ(parsed.ordersReceived, 1);
  EXPECT_EQ(tree.records[0].fields.size(), 1u);
}

TEST(ServerProtocol, ReservedFieldNamesAreKeptUnderThePrefix) {
  for (const char* name :
       {"SN", "version", "TaxVal", "referalid", "ADDFREIGHT", "FreightText", "prod", "OrderDate",
        "#id", "InvoiceNumber", "ORDERID", "date", "SubTotal", "TOTALTAX", " Date"}) {
    EXPECT_TRUE(IsReservedOrderFieldName(name)) << name;
    EXPECT_EQ(CustomerFieldName(name), std::string("Customer_") + name);
  }
  for (const char* name : {"Name", "Amount", "Total", "Tax", "Freight", "FreightTax", "Zip",
                           "Dates", "Customer_DATE", "CardNumber"}) {
    EXPECT_FALSE(IsReservedOrderFieldName(name)) << name;
    EXPECT_EQ(CustomerFieldName(name), name);
  }

  // From an older server, invoice names come in prefixed; the ignored names stay ignored.
  OrdersTree tree;
  int next = 1;
  ParseOrdersReply(
      "0\r\n#ID=7\r\nINVOICENUMBER=INV-FORGED-999\r\nDate=tomorrow\r\nsn=4\r\n"
      "Name=Ann\r\n",
      tree, next);
  ASSERT_EQ(tree.records.size(), 1u);
  const auto& fields = tree.records[0].fields;
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[0].name, "Customer_INVOICENUMBER");
  EXPECT_EQ(fields[0].value, "INV-FORGED-999");
  EXPECT_EQ(fields[1].name, "Customer_Date");
  EXPECT_EQ(fields[2].name, "Name");
}

}  // namespace
}  // namespace tolmi

#include "payments/Charge.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "orders/CsvExport.h"
#include "orders/Invoices.h"
#include "payments/ChargeDialog.h"
#include "payments/TransactionLog.h"
#include "util/Version.h"

namespace tolmi {
namespace {

GatewayDefinition Gateway(int kind, std::string request = "") {
  GatewayDefinition g;
  g.name = "Test";
  g.replyKind = kind;
  g.request = std::move(request);
  return g;
}

OrderRecord Order(std::string name, float total) {
  OrderRecord o;
  o.name = std::move(name);
  o.totalCents = CentsOfDouble(total);
  return o;
}

ChargeOutcome Judge(const GatewayDefinition& g, std::string_view reply,
                    const OrderRecord& order = Order("1000", 10.0f),
                    const std::string& account1 = "") {
  ChargeContext context;
  context.account[0] = account1;
  return JudgeChargeReply(g, reply, order, context);
}

TEST(ChargeSetup, EveryLabelledAccountValueIsNeeded) {
  GatewayAccountValues account;
  EXPECT_FALSE(GatewaySetupComplete(nullptr, account));
  GatewayDefinition g = Gateway(1);
  EXPECT_TRUE(GatewaySetupComplete(&g, account));  // no labels, nothing required
  g.fieldLabels[0] = "Merchant ID";
  g.fieldLabels[3] = "PIN";
  account[0] = "42";
  EXPECT_FALSE(GatewaySetupComplete(&g, account));
  account[3] = "1234";
  EXPECT_TRUE(GatewaySetupComplete(&g, account));
}

TEST(ChargeInputChecks, MessagesInOrderAndFieldsStoredBeforeTheFailure) {
  OrderRecord order = Order("1005", 0);
  AppendField(order, "amount", "3.00");
  AppendField(order, "Name", "Ann");
  ChargeInput in{"", "4111111111111111", "Ann Lee", "Visa", "07", "2027"};

  for (const char* bad : {"", "0", "abc", "-5", "0.00"}) {
    in.amount = bad;
    EXPECT_EQ(ApplyChargeInput(order, in).message(), kAmountMessage) << bad;
  }
  in.amount = "0.01";
  in.cardNumber.clear();
  EXPECT_EQ(ApplyChargeInput(order, in).message(), kCardNumberMessage);
  // The amount was stored over the field of that name (any case) and became the total.
  EXPECT_EQ(order.fields[0].value, "0.01");
  EXPECT_EQ(order.totalCents, 1);

  in.cardNumber = "4111111111111111";
  in.cardHolder.clear();
  EXPECT_EQ(ApplyChargeInput(order, in).message(), kCardHolderMessage);
  EXPECT_EQ(FindField(order, "CardNumber")->value, "4111111111111111");
  in.cardHolder = "Ann Lee";
  in.cardType.clear();
  EXPECT_EQ(ApplyChargeInput(order, in).message(), kCardTypeMessage);
  in.cardType = "Visa";
  for (auto [month, year] : {std::pair{"00", "2027"}, {"", "2027"}, {"07", ""}, {"07", "x"}}) {
    in.expiryMonth = month;
    in.expiryYear = year;
    EXPECT_EQ(ApplyChargeInput(order, in).message(), kExpiryMessage) << month << "/" << year;
  }
  EXPECT_EQ(FindField(order, "CardExpiryMonth"), nullptr);

  in.amount = "12.50";
  in.expiryMonth = "7";
  in.expiryYear = "2027";
  ASSERT_TRUE(ApplyChargeInput(order, in).ok());
  std::vector<std::string> names;
  for (const OrderField& f : order.fields) names.push_back(f.name + "=" + f.value);
  EXPECT_EQ(names,
            (std::vector<std::string>{"amount=12.50", "Name=Ann", "CardNumber=4111111111111111",
                                      "CardholderName=Ann Lee", "CardType=Visa",
                                      "CardExpiryMonth=7", "CardExpiryYear=2027"}));

  // The dialog's start values come back from the stored fields, names in any case.
  order.fields[2].name = "CARDNUMBER";
  ChargeInput again = ChargeInputFromOrder(&order);
  EXPECT_EQ(again.amount + "|" + again.cardNumber + "|" + again.cardHolder + "|" + again.cardType +
                "|" + again.expiryMonth + "|" + again.expiryYear,
            "12.50|4111111111111111|Ann Lee|Visa|7|2027");
  EXPECT_EQ(ChargeInputFromOrder(nullptr).amount, "0.00");
}

TEST(ChargeRequest, UrlRequestFormEncodesEveryValue) {
  OrderRecord order = Order("1005", 12.5f);
  order.orderId = "2026-77-1";
  AppendField(order, "CardholderName", "Ann & Bob=x %Email% $FIELD1");
  AppendField(order, "Email", "a@b.example");
  AppendField(order, "Zip", "AB1 2CD");
  AppendField(order, "CardExpiryMonth", "7");
  AppendField(order, "CardExpiryYear", "2027");
  ChargeContext context;
  context.account = {"merchant 1", "p&ss", "", "", ""};
  context.company = "Shop & Co";
  GatewayDefinition g =
      Gateway(2,
              "https://pay.example.com/charge?name=%cardholdername%&mail=%EMAIL%&pc=%POSTCODE%"
              "&zip=%Zip%&id=$FIELD1&pw=$FIELD2&cents=$DCC&amt=$TOTAL&oid=%ORDERID%"
              "&inv=%INVOICENUMBER%&exp=$MM2$YY&m=$MM&y=$YEAR&co=$COMPANY");
  g.referer = "http://shop.example.com/";
  Result<ChargeRequest> req = BuildChargeRequest(g, order, context);
  ASSERT_TRUE(req.ok());
  EXPECT_EQ(req->request,
            "https://pay.example.com/charge?name=Ann+%26+Bob%3Dx+%25Email%25+%24FIELD1"
            "&mail=a%40b.example&pc=AB1+2CD&zip=AB1+2CD&id=merchant+1&pw=p%26ss&cents=1250"
            "&amt=12.50&oid=2026077-1&inv=1005&exp=0727&m=7&y=2027&co=Shop+%26+Co");
  EXPECT_FALSE(req->post);
  EXPECT_EQ(req->headers, "Referer: http://shop.example.com/\r\nUser-Agent: Tolmi PRO v" +
                              std::to_string(VersionNumber()) + "\r\nPragma: no-cache\r\n");
}

TEST(ChargeRequest, PostRequestKeepsTheMarkerAndEncodesTheBody) {
  OrderRecord order = Order("1006", 19.99f);
  AppendField(order, "CardNumber", "4111 1111 1111 1111");
  AppendField(order, "CardExpiryMonth", "07");
  GatewayDefinition g =
      Gateway(4,
              "http://127.0.0.1:8080/POST /gateway $HTTPCardNumber=%CardNumber%&Amount=$TOTAL"
              "&c=$DCC&m=$MM&y=$YY");
  Result<ChargeRequest> req = BuildChargeRequest(g, order, ChargeContext{});
  ASSERT_TRUE(req.ok());
  EXPECT_TRUE(req->post);
  EXPECT_EQ(req->request,
            "http://127.0.0.1:8080/POST /gateway $HTTPCardNumber=4111+1111+1111+1111"
            "&Amount=19.99&c=1999&m=7&y=");
  EXPECT_EQ(req->url, "http://127.0.0.1:8080/gateway");
  EXPECT_EQ(req->body, "CardNumber=4111+1111+1111+1111&Amount=19.99&c=1999&m=7&y=");
  EXPECT_EQ(req->headers.find("Referer"), std::string::npos);

  EXPECT_EQ(BuildChargeRequest(Gateway(4), order, ChargeContext{}).status().message(),
            "The payment gateway 'Test' has no request (REQ=).");
}

TEST(ChargeRequest, DatesUseTheConfiguredOrder) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  OrderRecord order = Order("1", 1);
  order.orderDate = 1796466600;  // 5 December 2026 10:30 UTC
  ChargeContext context;
  context.dateOrder = 2;
  context.now = 1796466600 + 86400;
  GatewayDefinition g = Gateway(6, "http://x.example.com/?o=%ORDERDATE%&d=%DATE%&t=$DATE");
  Result<ChargeRequest> req = BuildChargeRequest(g, order, context);
  if (old) {
    ::setenv("TZ", saved.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  ASSERT_TRUE(req.ok());
  std::string sep = req->request.substr(req->request.find("o=26") + 4, 3);  // "%2F" or "."...
  EXPECT_EQ(req->request, "http://x.example.com/?o=26" + sep + "12" + sep + "05+10%3A30%3A00&d=26" +
                              sep + "12" + sep + "06+10%3A30%3A00&t=26" + sep + "12" + sep +
                              "06+10%3A30%3A00");
}

// Kind 1: the number after the last "&", less the total in cents and the order number times
// account value 1, is the code looked up in the MAP lines; without an "&" the body is shown.
TEST(ChargeReply, CodedRepliesTable) {
  GatewayDefinition g = Gateway(1);
  g.replyMap = {{"0", 1, "Wrong entry"}, {"00", 1, "Approved by bank"}, {"05", 0, "Declined"}};
  const struct {
    std::string reply;
    float total;
    const char* account1;
    const char* code;
    bool approved;
    const char* text;
  } cases[] = {
      // 4265 - 1250 - 1005 x 3 = 0, written "00".
      {"HTTP/1.0 200 OK\r\n\r\n<b>result&4265</b>", 12.5f, "3", "00", true, "Approved by bank"},
      {"x&4270", 12.5f, "3", "05", false, "Declined"},
      {"x&4260", 12.5f, "3", "-5", false, "Transaction Failed. Unknown Return Code -5"},
      // Account value 1 empty counts as 0; "&amp;" is an "&" once tags are removed.
      {"<p>code &amp;1255</p>", 12.5f, "", "05", false, "Declined"},
      // 19.99 is 1999 cents, as "$DCC" sends it.
      {"&1999", 19.99f, "0", "00", true, "Approved by bank"},
      {"HTTP/1.0 500 Oops\r\nX: y\r\n\r\n  <h1>Server busy</h1>\r\n ", 12.5f, "3", "", false,
       "Server busy"},
      {"no empty line here", 12.5f, "3", "", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    ChargeOutcome o = Judge(g, c.reply, Order("1005", c.total), c.account1);
    EXPECT_EQ(o.approved(), c.approved);
    EXPECT_EQ(o.code, c.code);
    EXPECT_EQ(o.replyText, c.text);
  }
  // Huge numbers everywhere: no overflow, just an unknown code.
  ChargeOutcome o = Judge(g, "&99999999999999999999", Order("99999999999", 3e38f), "-99999999999");
  EXPECT_FALSE(o.approved());
  EXPECT_EQ(o.replyText.rfind(kUnknownReturnCode, 0), 0u);
}

// Kind 2 reads the body as "1"; kind 4 wants "1 OK" or an eWay TRUE and shows the
// transaction status; kind 5 wants a page without "no thanks" after "<HTML>"; kind 6 looks
// for "OK" in the body; other kinds approve nothing. Headers never count. A null text is
// not checked.
TEST(ChargeReply, ReplyKindsTable) {
  const std::string ok = "HTTP/1.0 200 OK\r\n\r\n";
  const std::string plain = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n \t1 OK";
  const std::string eway = "<ewayResponse><ewayTrxnStatus>TRUE</ewayTrxnStatus></ewayResponse>";
  const struct {
    int kind;
    std::string reply;
    bool approved;
    const char* text;
  } cases[] = {
      {2, plain, true, plain.c_str()},  // the whole reply is shown
      {2, "1", true, nullptr},
      {2, ok + "10", false, nullptr},
      {2, ok + "0 Transaction Status: Declined", false, nullptr},
      {2, "HTTP/1.1 1 weird\r\n\r\nno", false, nullptr},
      {4, ok + "1 OK transaction status: <b>Approved</b>  by   bank", true, "Approved by bank"},
      {4, eway, true, eway.c_str()},
      {4, ok + "0 Transaction Status: Declined: card refused", false, "Declined: card refused"},
      {4, "HTTP/1.0 200 OK\r\nX-Note: Approved\r\n\r\nfailed", false, nullptr},
      {5, ok + "<html><body>Paid &amp; done</body></html>", true, "  Paid & done  "},
      {5, "<HTML><p>Sorry.</p> no thanks</HTML>", false, nullptr},
      {5, "No Thanks <HTML>ok</HTML>", true, nullptr},
      {5, "plain text", false, ""},
      {6, ok + "1 OK Transaction Status: Approved", true, nullptr},
      {6, ok + "0 Transaction Status: Declined", false, nullptr},
      {6, ok + "ok", false, nullptr},
      {6, "OK", true, "OK"},
  };
  for (const auto& c : cases) {
    ChargeOutcome o = Judge(Gateway(c.kind), c.reply);
    EXPECT_EQ(o.approved(), c.approved) << c.kind << ": " << c.reply;
    if (c.text) {
      EXPECT_EQ(o.replyText, c.text) << c.kind << ": " << c.reply;
    }
  }
  for (int kind : {0, 3, 7, -1}) {
    ChargeOutcome o = Judge(Gateway(kind), "<b>Approved</b> OK 1");
    EXPECT_FALSE(o.approved()) << kind;
    EXPECT_EQ(o.replyText, " Approved  OK 1") << kind;
  }
}

// Only an empty reply is "no reply" (C101); garbage of any kind is judged, never a crash.
TEST(ChargeReply, OnlyAnEmptyReplyIsC101AndGarbageNeverCrashes) {
  ChargeOutcome empty = Judge(Gateway(6), "");
  EXPECT_EQ(empty.verdict, ChargeVerdict::NoReply);
  EXPECT_EQ(empty.StatusText(), "Error");
  EXPECT_EQ(empty.replyText,
            "Processing Error C101. Connection to payment server failed. If the problem "
            "persists, please contact customer support.\n\n");

  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  const std::string pieces[] = {garbage,
                                "<",
                                "<HTML>\"",
                                "&",
                                "\r\n\r\n",
                                "Transaction Status:",
                                std::string(100000, '<'),
                                std::string("\0&1\0", 4)};
  for (int kind = 0; kind <= 7; ++kind) {
    GatewayDefinition g = Gateway(kind);
    g.replyMap = {{"00", 1, "x"}};
    for (const std::string& reply : pieces)
      EXPECT_NE(Judge(g, reply).verdict, ChargeVerdict::NoReply);
  }
}

TEST(ChargeOutcomeApply, SetsStatusAndChargeDate) {
  OrderRecord order = Order("1", 5);
  order.chargeDate = 100;
  ChargeOutcome rejected;
  ApplyChargeOutcome(order, rejected, 500);
  EXPECT_EQ(order.status, kStatusRejected);
  EXPECT_EQ(order.chargeDate, 100);
  ApplyChargeOutcome(order, NoReplyOutcome(), 600);
  EXPECT_EQ(order.status, kStatusRejected);
  ChargeOutcome approved;
  approved.verdict = ChargeVerdict::Approved;
  ApplyChargeOutcome(order, approved, 700);
  EXPECT_EQ(order.status, kStatusCharged);
  EXPECT_EQ(order.chargeDate, 700);  // the time of approval, even over an earlier date
}

// The charge dialog's states, lists and status texts, without a window.
TEST(ChargeDialogTest, TitleAndExpiryLists) {
  EXPECT_EQ(ChargeDialogTitle("Local Test Gateway (post)"),
            "Online Transaction Processing - Local Test Gateway (post)");
  const auto months = ExpiryMonths();
  ASSERT_EQ(months.size(), 12u);
  EXPECT_EQ(months.front() + months.back(), "0112");
  // 5 December 2026 offers 2026 to 2041.
  const auto years = ExpiryYears(1796472000);
  ASSERT_EQ(years.size(), 16u);
  EXPECT_EQ(years.front() + years.back(), "20262041");
}

TEST(ChargeDialogTest, StatesFromOpeningToTheOutcome) {
  struct Case {
    ChargeVerdict verdict;
    const char* text;
    ChargeStatusColour colour;
  };
  const Case cases[] = {
      {ChargeVerdict::Approved, "Approved", ChargeStatusColour::Green},
      {ChargeVerdict::Rejected, "Rejected", ChargeStatusColour::Red},
      {ChargeVerdict::NoReply, "Error", ChargeStatusColour::Red},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ChargeDialogModel m = OpenChargeDialog(true);
    EXPECT_TRUE(ChargeInputsEnabled(m));
    EXPECT_EQ(ChargeStatusText(m.state), "");
    ASSERT_TRUE(BeginCharge(m));
    EXPECT_EQ(ChargeStatusText(m.state), "Working");
    EXPECT_FALSE(ChargeInputsEnabled(m));
    EXPECT_FALSE(BeginCharge(m));  // one request at a time
    FinishCharge(m, c.verdict);
    EXPECT_EQ(ChargeStatusText(m.state), c.text);
    EXPECT_EQ(ChargeStatusColourOf(m.state), c.colour);
    // The inputs stay disabled until the dialog opens again.
    EXPECT_FALSE(ChargeInputsEnabled(m));
    EXPECT_FALSE(BeginCharge(m));
  }
  // A folder: nothing to charge.
  ChargeDialogModel folder = OpenChargeDialog(false);
  EXPECT_FALSE(ChargeInputsEnabled(folder));
  EXPECT_FALSE(BeginCharge(folder));
  // A verdict after Cancel leaves the dialog canceled.
  ChargeDialogModel m = OpenChargeDialog(true);
  ASSERT_TRUE(BeginCharge(m));
  CancelCharge(m);
  FinishCharge(m, ChargeVerdict::Approved);
  EXPECT_EQ(ChargeStatusText(m.state), "Canceled");
  EXPECT_EQ(ChargeStatusColourOf(m.state), ChargeStatusColour::Plain);
  EXPECT_EQ(WorkingFrame(2) + WorkingFrame(6), "Working..Working");
}

// One order's amounts through the invoice, the export, the transaction log and the gateway
// request: the same cents everywhere, past the range where a 32-bit float keeps cents.
TEST(OneAmount, InvoiceExportLogAndGatewayCarryTheSameCents) {
  OrderRecord o;
  o.name = "1005";
  o.orderId = "9";
  AppendField(o, "Amount", "1234567.89");  // a float would make it 1234567.88
  AppendField(o, "Tax", "0.05");
  OrderItem urn;
  urn.name = "Urn";
  urn.quantity = 3;
  urn.unitCents = 41152263;
  o.items.push_back(urn);

  EXPECT_EQ(FillInvoice("<LOOP>%PRICE%|</LOOP>%SUBTOTAL%|%TOTAL%", "t", o, InvoiceSettings{}),
            "1234567.89|1234567.84|1234567.89");
  EXPECT_NE(ExportOrdersCsv({&o}, {}).find(",'Urn',,3,411522.63,0,"), std::string::npos);
  EXPECT_EQ(FormatTransactionLogLine(MakeTransactionLogEntry(o, 1, 7)), "7,1005,9,1,1234567.89\n");
  GatewayDefinition gateway;
  gateway.request = "http://127.0.0.1/g?a=$TOTAL&c=$DCC";
  Result<ChargeRequest> request = BuildChargeRequest(gateway, o, ChargeContext{});
  ASSERT_TRUE(request.ok());
  EXPECT_EQ(request->url, "http://127.0.0.1/g?a=1234567.89&c=123456789");
  EXPECT_EQ(ChargeInputFromOrder(&o).amount, "1234567.89");
}

}  // namespace
}  // namespace tolmi

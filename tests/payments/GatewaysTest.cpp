// Reading "engines.dat", the shipped one, and the gateway file checks.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "payments/Charge.h"
#include "payments/Gateways.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi {
namespace {

TEST(Gateways, ReadsEveryKeyOfABlock) {
  const std::vector<GatewayDefinition> list = ParseGateways(
      "# comment\n"
      "; another\n"
      "DOMAIN=ignored.before.name\n"
      "NAME=Acme Pay\r\n"
      "DOMAIN=pay.acme.test\n"
      "REQ=GET /charge?amt=$TOTAL HTTP/1.0\n"
      "REQ2=second\n"
      "REFERER=http://shop.test/\n"
      "SUPPORT=http://acme.test/support\n"
      "NEWS=http://acme.test/news\n"
      "FIELD1=Merchant ID\n"
      "FIELD5=PIN   \n"
      "ID=3\n"
      "MAP=00,1, \t Approved, thank you\n"
      "MAP=05,0,Do not honour,really\n"
      "MAP=99,1\n"
      "MAP=98\n"
      "CC=2:Visa\n"
      "CC=x:NoNumber\n"
      "CC=7\n"
      "domain=lower case key is not a key\n"
      "NAME=Second\n"
      "ID=-4x\n");
  ASSERT_EQ(list.size(), 2u);
  const GatewayDefinition& g = list[0];
  EXPECT_EQ(g.name + "|" + g.domain + "|" + g.request + "|" + g.request2 + "|" + g.referer + "|" +
                g.support + "|" + g.news,
            "Acme Pay|pay.acme.test|GET /charge?amt=$TOTAL HTTP/1.0|second|http://shop.test/|"
            "http://acme.test/support|http://acme.test/news");
  std::string labels;
  for (const std::string& label : g.fieldLabels) labels += label + "|";
  EXPECT_EQ(labels, "Merchant ID||||PIN|");
  EXPECT_EQ(g.replyKind, 3);
  std::string map, cards;  // lines with fewer than two commas are ignored
  for (const GatewayReplyCode& m : g.replyMap)
    map += m.code + "|" + std::to_string(m.flag) + "|" + m.message + "\n";
  for (const GatewayCardType& c : g.cardTypes)
    cards += std::to_string(c.number) + ":" + c.name + " ";
  EXPECT_EQ(map, "00|1|Approved, thank you\n05|0|Do not honour,really\n");
  EXPECT_EQ(cards, "2:Visa 0:NoNumber ");
  EXPECT_EQ(list[1].name, "Second");
  EXPECT_EQ(list[1].replyKind, -4);

  EXPECT_EQ(FindGateway(list, "Second"), &list[1]);
  EXPECT_EQ(FindGateway(list, "second"), nullptr);  // NAME matches exactly
}

OrderRecord SampleOrder() {
  OrderRecord order;
  order.name = "1005";
  order.orderId = "2026-1";
  AppendField(order, "Name", "Ann Lee");
  AppendField(order, "CardNumber", "4111111111111111");
  AppendField(order, "CardholderName", "Ann Lee");
  AppendField(order, "CardType", "Visa");
  AppendField(order, "CardExpiryMonth", "07");
  AppendField(order, "CardExpiryYear", "2027");
  AppendField(order, "Amount", "12.50");
  return order;
}

TEST(ShippedGateways, OneTestGatewayPerReplyKindAndNoProblems) {
  const std::string path = (test::SourceDir() / "data/engines.dat").string();
  EXPECT_EQ(CheckGatewaysText(ReadWholeFile(path).value_or("")), std::vector<std::string>{});
  std::vector<GatewayDefinition> list = LoadGateways(path);
  EXPECT_TRUE(LoadGateways(path + ".missing").empty());
  std::set<int> kinds;
  for (const GatewayDefinition& g : list) kinds.insert(g.replyKind);
  for (int kind : {1, 2, 4, 5, 6}) EXPECT_TRUE(kinds.count(kind)) << kind;
  EXPECT_TRUE(kinds.count(3));  // a kind that never approves

  ChargeContext context;
  context.account = {"1234", "key", "", "", ""};
  const std::regex host(R"(^https?://(127\.0\.0\.1:8080|[a-z]+\.example\.com)/)");
  const std::regex leftover(R"(%[A-Za-z]+%|\$[A-Z])");
  for (const GatewayDefinition& g : list) {
    EXPECT_TRUE(GatewaySetupComplete(&g, context.account)) << g.name;
    Result<ChargeRequest> req = BuildChargeRequest(g, SampleOrder(), context);
    ASSERT_TRUE(req.ok()) << g.name;
    EXPECT_TRUE(std::regex_search(req->request, host)) << req->request;
    EXPECT_FALSE(std::regex_search(req->post ? req->body : req->url, leftover)) << req->request;
    EXPECT_EQ(req->request.find(' ') != std::string::npos, req->post) << req->request;
  }

  // The local post gateway speaks the order server's test gateway.
  const GatewayDefinition* local = FindGateway(list, "Local Test Gateway (post)");
  ASSERT_NE(local, nullptr);
  Result<ChargeRequest> req = BuildChargeRequest(*local, SampleOrder(), context);
  ASSERT_TRUE(req.ok());
  EXPECT_EQ(req->request,
            "http://127.0.0.1:8080/POST /gateway $HTTPCardNumber=4111111111111111&Amount=12.50"
            "&CardholderName=Ann+Lee&Expiry=0727&Order=1005");
  // Both local gateways read the test gateway's approval and decline.
  for (const char* name : {"Local Test Gateway (post)", "Local Test Gateway (address)"}) {
    const GatewayDefinition* g = FindGateway(list, name);
    ASSERT_NE(g, nullptr) << name;
    for (const char* reply : {"1 OK Transaction Status: Approved", "0 Transaction Status: No"})
      EXPECT_EQ(JudgeChargeReply(*g, reply, SampleOrder(), context).approved(), reply[0] == '1')
          << name << reply;
  }
}

TEST(ShippedGateways, CheckNamesEveryProblem) {
  EXPECT_EQ(CheckGatewaysText(""),
            std::vector<std::string>{"no gateway: no line starts with \"NAME=\""});
  EXPECT_EQ(CheckGatewaysText("# only comments\nREQ=http://x.example.com/\nname=lower\n"),
            (std::vector<std::string>{
                "line 2: \"REQ=http://x.example.com/\" comes before the first NAME= and is ignored",
                "line 3: not a gateway key: \"name=lower\"",
                "no gateway: no line starts with \"NAME=\""}));
  EXPECT_EQ(CheckGatewaysText("NAME=A\nREQ=http://a.example.com/\nID=x\nMAP=00,1\nMAP=01\n"
                              "MAP=02,1,fine\nCC=Visa\nCC=1:Visa\nNAME=\nNAME=A\nID=-4\n"),
            (std::vector<std::string>{
                "line 3: ID= needs the reply kind as a number",
                "line 4: MAP= needs code,flag,message; the line is ignored",
                "line 5: MAP= needs code,flag,message; the line is ignored",
                "line 7: CC= needs number:name; the line is ignored",
                "line 9: NAME= gives no name",
                "line 10: the gateway 'A' is defined twice; the first is used",
                "the gateway '' has no REQ= line",
                "the gateway 'A' has no REQ= line",
            }));
  // A giant line is named cut short.
  std::vector<std::string> problems = CheckGatewaysText("NAME=G\n" + std::string(100000, 'x'));
  ASSERT_FALSE(problems.empty());
  for (const std::string& p : problems) EXPECT_LT(p.size(), 100u);
}

}  // namespace
}  // namespace tolmi

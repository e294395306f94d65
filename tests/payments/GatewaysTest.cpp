#include "payments/Gateways.h"

#include <gtest/gtest.h>

#include "tests/support/TestHome.h"

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

TEST(Gateways, MissingFileAndGarbageGiveNoCrash) {
  test::TestHome home;
  EXPECT_TRUE(LoadGateways((home / "engines.dat").string()).empty());

  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  home.Write("engines.dat",
             "NAME=G\nMAP=" + garbage + "\nID=99999999999999\n" + std::string(50000, 'x'));
  std::vector<GatewayDefinition> list = LoadGateways((home / "engines.dat").string());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "G");
}

}  // namespace
}  // namespace tolmi

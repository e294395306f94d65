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
      "CC=2:Visa\n"
      "CC=x:NoNumber\n"
      "CC=7\n"
      "domain=lower case key is not a key\n"
      "NAME=Second\n"
      "ID=-4x\n");
  ASSERT_EQ(list.size(), 2u);
  const GatewayDefinition& g = list[0];
  EXPECT_EQ(g.name, "Acme Pay");
  EXPECT_EQ(g.domain, "pay.acme.test");
  EXPECT_EQ(g.request, "GET /charge?amt=$TOTAL HTTP/1.0");
  EXPECT_EQ(g.request2, "second");
  EXPECT_EQ(g.referer, "http://shop.test/");
  EXPECT_EQ(g.support, "http://acme.test/support");
  EXPECT_EQ(g.news, "http://acme.test/news");
  EXPECT_EQ(g.fieldLabels[0], "Merchant ID");
  EXPECT_EQ(g.fieldLabels[1], "");
  EXPECT_EQ(g.fieldLabels[4], "PIN");
  EXPECT_EQ(g.replyKind, 3);
  ASSERT_EQ(g.replyMap.size(), 2u);  // the line with one comma is ignored
  EXPECT_EQ(g.replyMap[0].code, "00");
  EXPECT_EQ(g.replyMap[0].flag, 1);
  EXPECT_EQ(g.replyMap[0].message, "Approved, thank you");
  EXPECT_EQ(g.replyMap[1].code, "05");
  EXPECT_EQ(g.replyMap[1].flag, 0);
  EXPECT_EQ(g.replyMap[1].message, "Do not honour,really");
  ASSERT_EQ(g.cardTypes.size(), 2u);
  EXPECT_EQ(g.cardTypes[0].name, "Visa");
  EXPECT_EQ(g.cardTypes[0].number, 2);
  EXPECT_EQ(g.cardTypes[1].name, "NoNumber");
  EXPECT_EQ(g.cardTypes[1].number, 0);
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

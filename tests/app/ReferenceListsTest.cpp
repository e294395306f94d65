#include "app/ReferenceLists.h"

#include <gtest/gtest.h>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

using test::FakePrompter;
using test::TestHome;

TEST(DomainList, KeyNameAndOrder) {
  std::vector<KnownRegion> regions = ParseDomainList(
      "AU Australia,AUD\r\n"
      "UK \t  United Kingdom\n"
      "NOSPACE\n"
      "US United States, of America,USD   \n"
      "\n"
      "XX \n");
  std::vector<std::string> read;  // "XX " loses its trailing space and so has none
  for (const KnownRegion& r : regions) read.push_back(r.key + "|" + r.name);
  EXPECT_EQ(read,
            (std::vector<std::string>{"AU|Australia", "UK|United Kingdom", "US|United States"}));
}

TEST(DomainList, LoadedOnceAndReportedWhenMissing) {
  TestHome home;
  FakePrompter prompter;
  std::vector<KnownRegion> regions;
  EXPECT_FALSE(LoadDomainList((home / "domain.dat").string(), regions, prompter).ok());
  EXPECT_EQ(prompter.shown.size(), 1u);  // the text: the start-up test
  EXPECT_TRUE(regions.empty());

  home.Write("domain.dat", "NZ New Zealand\n");
  ASSERT_TRUE(LoadDomainList((home / "domain.dat").string(), regions, prompter).ok());
  ASSERT_EQ(regions.size(), 1u);
  home.Write("domain.dat", "FR France\nDE Germany\n");
  ASSERT_TRUE(LoadDomainList((home / "domain.dat").string(), regions, prompter).ok());
  ASSERT_EQ(regions.size(), 1u);  // already loaded: not read again
  EXPECT_EQ(regions[0].name, "New Zealand");
}

TEST(CardList, CommentsAndBlankLinesSkipped) {
  std::vector<InstalledCard> cards =
      ParseCardList("; cards offered\nVisa\r\n   \n\nMasterCard  \n;Amex\n Diners Club\n");
  std::vector<std::string> names;
  for (const InstalledCard& c : cards) names.push_back(c.name + (c.chosen ? "*" : ""));
  EXPECT_EQ(names, (std::vector<std::string>{"Visa", "MasterCard", "Diners Club"}));

  TestHome home;
  FakePrompter prompter;
  cards.push_back({"stale", true});
  EXPECT_FALSE(LoadCardList((home / "cc.dat").string(), cards, prompter).ok());
  EXPECT_TRUE(cards.empty());
  EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST(ReferenceLists, BinaryGarbageNeverCrashes) {
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += static_cast<char>((i * 2654435761u) >> 24);
  garbage += std::string(50000, ' ') + "\n";
  EXPECT_NO_FATAL_FAILURE(ParseDomainList(garbage));
  EXPECT_NO_FATAL_FAILURE(ParseCardList(garbage));
  TestHome home;
  home.Write("settings.dat", garbage);
  WebAddresses urls;
  EXPECT_TRUE(LoadWebAddresses((home / "settings.dat").string(), urls));
}

}  // namespace
}  // namespace tolmi

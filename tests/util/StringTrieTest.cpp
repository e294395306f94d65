#include "util/StringTrie.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tolmi {
namespace {

TEST(StringTrie, SplittingKeepsEveryKeyAndAbsentKeysGiveZero) {
  StringTrie trie;
  EXPECT_TRUE(trie.Empty());
  EXPECT_EQ(trie.FindNoCase(""), 0);
  trie.Insert("table", 1);
  trie.Insert("", 9);  // ignored
  EXPECT_EQ(trie.NodeCount(), 1u);
  trie.Insert("tab", 2);  // key ends at the split point: the split node takes the value
  EXPECT_EQ(trie.NodeCount(), 2u);
  EXPECT_EQ(trie.Find("tab"), 2);
  trie.Insert("tag", 3);  // parts inside "tab": split again, the split node has no value
  EXPECT_EQ(trie.NodeCount(), 4u);
  EXPECT_EQ(trie.Find("ta"), 0);
  trie.Insert("td", 5);
  trie.Insert("tables", 6);
  trie.Insert("tab", 8);  // overwrite
  const std::map<std::string, int> expected = {{"table", 1},   {"tab", 8}, {"tag", 3}, {"td", 5},
                                               {"tables", 6},  {"ta", 0},  {"t", 0},   {"tabl", 0},
                                               {"tablesx", 0}, {"x", 0},   {"", 0},    {"TAB", 0}};
  for (const auto& [key, value] : expected) EXPECT_EQ(trie.Find(key), value) << key;
}

TEST(StringTrie, CaseInsensitiveLookupAndIndependentCopies) {
  StringTrie trie;
  trie.Insert("nbsp", 160);
  trie.Insert("Aring", 197);
  EXPECT_EQ(trie.FindNoCase("NBSP"), 160);
  EXPECT_EQ(trie.FindNoCase("aring"), 197);
  EXPECT_EQ(trie.FindNoCase("nbsps"), 0);
  EXPECT_EQ(trie.Find("aring"), 0);
  StringTrie copy = trie;
  copy.Insert("nbsp", 2);
  EXPECT_EQ(trie.Find("nbsp"), 160);
  copy.Clear();
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.Find("Aring"), 0);
}

TEST(StringTrie, VeryLongKeyChainsFreeWithoutRecursion) {
  StringTrie trie;
  std::string key;
  for (int i = 1; i <= 4000; ++i) {
    key.push_back('k');
    trie.Insert(key, i);
  }
  EXPECT_EQ(trie.Find(key), 4000);
  EXPECT_EQ(trie.Find(std::string(1234, 'k')), 1234);
}

}  // namespace
}  // namespace tolmi

#include "util/StringTrie.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace tolmi {
namespace {

TEST(StringTrie, AbsentKeysGiveZero) {
  StringTrie trie;
  EXPECT_TRUE(trie.Empty());
  EXPECT_EQ(trie.Find("a"), 0);
  EXPECT_EQ(trie.FindNoCase(""), 0);
  trie.Insert("table", 5);
  EXPECT_EQ(trie.Find("table"), 5);
  EXPECT_EQ(trie.Find("tab"), 0);
  EXPECT_EQ(trie.Find("tables"), 0);
  EXPECT_EQ(trie.Find("x"), 0);
  EXPECT_EQ(trie.Find(""), 0);
  trie.Insert("", 9);  // ignored
  EXPECT_EQ(trie.NodeCount(), 1u);
}

TEST(StringTrie, SplittingKeepsEveryKey) {
  StringTrie trie;
  trie.Insert("table", 1);
  trie.Insert("tab", 2);  // key ends at the split point: the split node takes the value
  EXPECT_EQ(trie.NodeCount(), 2u);
  EXPECT_EQ(trie.Find("table"), 1);
  EXPECT_EQ(trie.Find("tab"), 2);

  trie.Insert("tag", 3);  // parts inside "tab": split again, the split node has no value
  EXPECT_EQ(trie.NodeCount(), 4u);
  EXPECT_EQ(trie.Find("ta"), 0);
  EXPECT_EQ(trie.Find("tab"), 2);
  EXPECT_EQ(trie.Find("table"), 1);
  EXPECT_EQ(trie.Find("tag"), 3);

  trie.Insert("ta", 4);
  trie.Insert("td", 5);
  trie.Insert("tables", 6);
  trie.Insert("b", 7);
  trie.Insert("tab", 8);  // overwrite
  EXPECT_EQ(trie.Find("ta"), 4);
  EXPECT_EQ(trie.Find("td"), 5);
  EXPECT_EQ(trie.Find("tables"), 6);
  EXPECT_EQ(trie.Find("table"), 1);
  EXPECT_EQ(trie.Find("b"), 7);
  EXPECT_EQ(trie.Find("tab"), 8);
  EXPECT_EQ(trie.Find("t"), 0);
}

TEST(StringTrie, CaseInsensitiveLookup) {
  StringTrie trie;
  trie.Insert("nbsp", 160);
  trie.Insert("amp", 38);
  trie.Insert("Aring", 197);
  EXPECT_EQ(trie.Find("NBSP"), 0);
  EXPECT_EQ(trie.FindNoCase("NBSP"), 160);
  EXPECT_EQ(trie.FindNoCase("aMp"), 38);
  EXPECT_EQ(trie.FindNoCase("aring"), 197);
  EXPECT_EQ(trie.FindNoCase("amps"), 0);
  EXPECT_EQ(trie.Find("Aring"), 197);
  EXPECT_EQ(trie.Find("aring"), 0);
}

TEST(StringTrie, CopiesAreIndependent) {
  StringTrie a;
  a.Insert("key", 1);
  StringTrie b = a;
  b.Insert("key", 2);
  b.Insert("kex", 3);
  EXPECT_EQ(a.Find("key"), 1);
  EXPECT_EQ(a.Find("kex"), 0);
  EXPECT_EQ(b.Find("key"), 2);
  b.Clear();
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Find("key"), 0);
}

TEST(StringTrie, AgreesWithAMapOnRandomKeys) {
  std::mt19937 rng(42);
  StringTrie trie;
  std::map<std::string, int> expected;
  const char letters[] = "abcAB";
  for (int i = 1; i <= 3000; ++i) {
    std::string key;
    const int length = 1 + static_cast<int>(rng() % 7);
    for (int k = 0; k < length; ++k) key.push_back(letters[rng() % 5]);
    trie.Insert(key, i);
    expected[key] = i;
  }
  for (const auto& [key, value] : expected) EXPECT_EQ(trie.Find(key), value) << key;
  EXPECT_EQ(trie.Find("abcabcabc"), 0);
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

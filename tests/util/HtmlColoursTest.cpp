#include "util/HtmlColours.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tolmi {
namespace {

TEST(HtmlColoursTest, TableHasItsRowsInOrderWithTheDuplicates) {
  auto table = HtmlColourTable();
  ASSERT_EQ(table.size(), 136u);
  EXPECT_EQ(table.front().name, "ALICEBLUE");
  EXPECT_EQ(table.back().name, "YELLOWGREEN");
  EXPECT_EQ(table[65].name, "LIGHTPINK");
  EXPECT_EQ(table[66].name, "LIGHTPINK");
  std::set<std::string_view> names;
  for (const HtmlColour& row : table) {
    for (char c : row.value) EXPECT_TRUE(isxdigit(c) && !islower(c)) << row.name;
    names.insert(row.name);
  }
  EXPECT_EQ(names.size(), 134u);
}

// Names ignore case; five values deviate from the usual ones; greys and silver are missing.
TEST(HtmlColoursTest, LooksUpNamesWithTheTablesOwnValues) {
  const std::pair<const char*, const char*> found[] = {
      {"SIENNA", "A0522D"},   {"skyblue", "87CEEB"},     {"LightGoldenrodYellow", "FAFAD2"},
      {"DARKBLUE", "00008C"}, {"DARKMAGENTA", "8C008C"}, {"DARKRED", "8C0000"},
      {"INDIGO", "4A0084"},   {"LIGHTGREEN", "94ED94"},  {"DARKCYAN", "008B8B"},
      {"GREEN", "008000"},    {"DIMGRAY", "696969"},     {"black", "000000"}};
  for (const auto& [name, value] : found) EXPECT_EQ(ColourByName(name), value) << name;
  for (const char* name : {"", "SKYBLUEX", "SKYBLU", "GRAY", "GREY", "SILVER", "GAINSBORO",
                           "LIGHTSTEELBLUE", "DARKGRAY", "LIGHTGREY", "DIMGREY", "SLATEGREY"}) {
    EXPECT_FALSE(ColourByName(name)) << name;
  }
}

TEST(HtmlColoursTest, ParsesHexWithRedInTheLowByte) {
  EXPECT_EQ(ParseHtmlColour("#FF8000"), 0x0080FFu);
  EXPECT_EQ(ParseHtmlColour("  #a0522d"), 0x2D52A0u);
  EXPECT_EQ(ParseHtmlColour("0000ff"), 0xFF0000u);
  EXPECT_EQ(ParseHtmlColour("#FFFFFF trailing"), 0xFFFFFFu);
  // Short forms, bad digits (a NUL among them) and a doubled "#" read as 0.
  const std::string bad[] = {"#FG0000", "#FFF", "##FF0000", "", "#", std::string("#FF\0abc", 7)};
  for (const std::string& text : bad) EXPECT_EQ(ParseHtmlColour(text), 0u) << text;
}

}  // namespace
}  // namespace tolmi

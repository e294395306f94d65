#include "util/SettingsTable.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

struct Config {
  std::string server;
  int port = 0;
  char separator = 0;
  std::vector<std::string> cards;
  bool sound = false;
  std::uint8_t leave = 0;
};

SettingsTable TableFor(Config& c) {
  return {TextKey("server", &c.server),      NumberKey("port", &c.port),
          CharacterKey("sep", &c.separator), ListKey("cards", &c.cards),
          FlagKey("sound", &c.sound),        FlagKey("leave", &c.leave)};
}

TEST(SettingsTable, WritesEachRowInItsExactForm) {
  Config c{"orders.example.com", -8080, ';', {"Visa", "Amex"}, true, 0};
  EXPECT_EQ(FormatSettings(TableFor(c)),
            "server=orders.example.com\nport=-8080\nsep=;\ncards=Visa,Amex\nsound=1\nleave=0\n");
  // Empty text is left out; a NUL character and an empty list write an empty value.
  Config empty;
  EXPECT_EQ(FormatSettings(TableFor(empty)), "port=0\nsep=\ncards=\nsound=0\nleave=0\n");
}

TEST(SettingsTable, ReadsValuesByTypeWithKeysWithoutRegardToCase) {
  Config c;
  SettingsTable t = TableFor(c);
  EXPECT_EQ(ReadSettingsLine("SERVER=shop.example.com=1", t), 1);
  EXPECT_EQ(ReadSettingsLine("Port= 21abc", t), 1);
  EXPECT_EQ(ReadSettingsLine("sep=;", t), 1);
  EXPECT_EQ(ReadSettingsLine("cards=Visa,Master Card", t), 1);
  EXPECT_EQ(ReadSettingsLine("cards=Diners", t), 1);
  EXPECT_EQ(ReadSettingsLine("sound=7", t), 1);
  EXPECT_EQ(ReadSettingsLine("leave=-1", t), 1);
  EXPECT_EQ(c.server, "shop.example.com=1");
  EXPECT_EQ(c.port, 21);
  EXPECT_EQ(c.separator, ';');
  EXPECT_EQ(c.cards, (std::vector<std::string>{"Visa", "Master Card", "Diners"}));
  EXPECT_TRUE(c.sound);
  EXPECT_EQ(c.leave, 1);

  // A longer character value is a decimal number, low 8 bits kept.
  EXPECT_EQ(ReadSettingsLine("sep=300", t), 1);
  EXPECT_EQ(c.separator, static_cast<char>(300 & 0xFF));
  // Not matched: a key that only begins like a row's, no "=", unknown keys.
  EXPECT_EQ(ReadSettingsLine("servers=x", t), 0);
  EXPECT_EQ(ReadSettingsLine("server", t), 0);
  EXPECT_EQ(ReadSettingsLine("", t), 0);
  EXPECT_EQ(c.server, "shop.example.com=1");
  // Numbers beyond the int range are clamped, not wrapped.
  EXPECT_EQ(ReadSettingsLine("port=99999999999999999999", t), 1);
  EXPECT_EQ(c.port, 2147483647);
  EXPECT_EQ(ReadSettingsLine("port=-99999999999999999999", t), 1);
  EXPECT_EQ(c.port, -2147483647 - 1);
}

// Reading back is the fuzz target's check; here the file's exact bytes.
TEST(SettingsTable, FileAndStreamGetTheSameText) {
  test::TestHome home;
  Config out{"a=b@@@c", 42, '|', {"x", "", "y"}, true, 1};
  ASSERT_TRUE(WriteSettings((home / "config.ini").string(), TableFor(out)).ok());
  EXPECT_EQ(home.Read("config.ini"),
            "server=a=b@@@c\nport=42\nsep=|\ncards=x,,y\nsound=1\nleave=1\n");
  std::ostringstream stream;
  WriteSettings(stream, TableFor(out));
  EXPECT_EQ(stream.str(), home.Read("config.ini"));
  EXPECT_EQ(WriteSettings((home / "missing/dir/x.ini").string(), TableFor(out)).kind(),
            ErrorKind::Io);
}

}  // namespace
}  // namespace tolmi

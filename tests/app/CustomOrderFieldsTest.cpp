#include "app/CustomOrderFields.h"

#include <gtest/gtest.h>

#include "app/Config.h"

namespace tolmi {
namespace {

TEST(CustomOrderFields, AddChecksNamesOfBothListsAndSavesAsFieldLines) {
  std::vector<CustomOrderField> fields = {{"Gift Note", "none"}};
  OrderRecord order;
  AppendField(order, "Email", "a@b.c");
  struct Case {
    const char* title;
    const char* value;
    const char* message;  // nullptr: added
  };
  const Case cases[] = {
      {"Gift Note", "x", kFieldExistsMessage},
      {" Email ", "x", kFieldExistsMessage},
      {"email", "", nullptr},  // names are compared exactly
      {"Size, Colour", "x", kFieldTitleCharsMessage},
      {"A=B", "x", kFieldTitleCharsMessage},
      {"Note", "two\nlines", kFieldTitleCharsMessage},
      {"   ", "x", ""},
      {" Wrap ", "yes, please", nullptr},
  };
  for (const Case& c : cases) {
    const std::size_t before = fields.size();
    Status s = AddCustomOrderField(fields, &order, c.title, c.value);
    EXPECT_EQ(s.ok(), c.message == nullptr) << c.title;
    if (c.message) {
      EXPECT_EQ(s.message(), c.message) << c.title;
    }
    EXPECT_EQ(fields.size(), before + (c.message ? 0 : 1)) << c.title;
  }
  AppConfig config;
  config.customFields = fields;
  const std::string text = ConfigFileText(config);
  EXPECT_NE(text.find("FIELD=Gift Note,none\nFIELD=email,\nFIELD=Wrap,yes, please\n"),
            std::string::npos);
}

}  // namespace
}  // namespace tolmi

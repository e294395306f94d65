#include "server/OrderIntake.h"

#include <gtest/gtest.h>

namespace tolmi::server {
namespace {

TEST(OrderIntakeTest, AcceptsAFormKeepingFieldOrderAndCleaningProductLines) {
  auto order = ParseOrderForm(
      "Name=Ann+Lee&tolmi_user=shop&Address=1+High+St%0D%0ATown%0Aland&Amount=9.00&"
      "tolmi_item=2%09Mug%09M1%094.50&tolmi_return=http%3A%2F%2Fshop.example%2Fregister.html&"
      "Empty=&tolmi_item=003%09%3CBR%3E%09%3Cbr%3E%09a%0Db");
  ASSERT_TRUE(order) << order.status().message();
  EXPECT_EQ(order->account, "shop");
  EXPECT_EQ(order->returnUrl, "http://shop.example/register.html");
  ASSERT_EQ(order->fields.size(), 4u);
  EXPECT_EQ(order->fields[0].name, "Name");
  EXPECT_EQ(order->fields[1].value, "1 High St, Town, land");
  EXPECT_EQ(order->fields[2].name, "Amount");
  EXPECT_EQ(order->fields[3].name, "Empty");
  EXPECT_EQ(order->fields[3].value, "");
  ASSERT_EQ(order->items.size(), 2u);
  std::vector<std::string> expected = {"2", "Mug", "M1", "4.50", "", "", "",
                                       "",  "",    "",   "",     "", "", ""};
  EXPECT_EQ(order->items[0], expected);
  // Product lines are cleaned so that they cannot break the reply: a name may read "<BR>",
  // a code may not; line breaks become spaces.
  expected = {"3", "<BR>", "", "a b", "", "", "", "", "", "", "", "", "", ""};
  EXPECT_EQ(order->items[1], expected);
}

TEST(OrderIntakeTest, RenamesReservedNamesAndDropsOnlyUnusableOnes) {
  // Names the reader or the invoice keep for themselves arrive prefixed; names that cannot be
  // one field line ("=", control bytes, blank) and the form's own "tolmi_" names are dropped.
  auto order = ParseOrderForm(
      "tolmi_user=shop&tolmi_item=1&PROD=15%3Ax&prod=y&OrderDate=1&%23id=5&%23IDx=ok&a%3Db=1&"
      "tolmi_other=1&=novalue&+++=blank&Tab%09Name=1&SN=77&+%23ID=9&INVOICENUMBER=INV-FORGED-999&"
      "Note=a%09b%00c");
  ASSERT_TRUE(order);
  std::vector<std::string> names;
  for (const auto& f : order->fields) names.push_back(f.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Customer_PROD", "Customer_prod", "Customer_OrderDate",
                                             "Customer_#id", "#IDx", "Customer_SN",
                                             "Customer_ #ID", "Customer_INVOICENUMBER", "Note"}));
  EXPECT_EQ(order->fields[0].value, "15:x");
  EXPECT_EQ(order->fields[7].value, "INV-FORGED-999");
  EXPECT_EQ(order->fields[8].value, "a b c");
}

TEST(OrderIntakeTest, RefusesWithTheSentenceTheShopperSees) {
  struct Case {
    std::string body;
    std::string message;
  } cases[] = {
      {"Name=x&tolmi_item=1", "The order form does not name the store's order account."},
      {"tolmi_user=&tolmi_item=1", "The order form does not name the store's order account."},
      {"tolmi_user=shop&Name=x", "The shopping cart is empty."},
      {"tolmi_user=shop&tolmi_item=0%09Mug", "A product line of the order has no valid quantity."},
      {"tolmi_user=shop&tolmi_item=x", "A product line of the order has no valid quantity."},
      {"tolmi_user=shop&tolmi_item=1000001", "A product line of the order has no valid quantity."},
      {"tolmi_user=shop&tolmi_item=1" + std::string(14, '\t'),
       "A product line of the order is malformed."},
      {"tolmi_user=shop&tolmi_item=1&x=%ZZ", "The order form sent unreadable data."},
      {"tolmi_user=shop&tolmi_item=1&Long=" + std::string(4097, 'a'),
       "The field \"Long\" is too long."},
  };
  for (const auto& c : cases) {
    auto order = ParseOrderForm(c.body);
    ASSERT_FALSE(order) << c.body;
    EXPECT_EQ(order.status().message(), c.message) << c.body;
  }
  IntakeLimits limits;
  limits.maxItems = 2;
  auto many = ParseOrderForm("tolmi_user=s&tolmi_item=1&tolmi_item=1&tolmi_item=1", limits);
  ASSERT_FALSE(many);
  EXPECT_EQ(many.status().message(), "The order holds too many products (at most 2).");
}

TEST(OrderIntakeTest, IgnoresReturnAddressesThatAreNotPlainWebAddresses) {
  for (std::string bad :
       {"javascript%3Aalert(1)", "%2F%2Fevil", "http%3A%2F%2Fa%0D%0AX%3A1", "ftp%3A%2F%2Fx"}) {
    auto order = ParseOrderForm("tolmi_user=s&tolmi_item=1&tolmi_return=" + bad);
    ASSERT_TRUE(order);
    EXPECT_EQ(order->returnUrl, "") << bad;
  }
}

TEST(OrderIntakeTest, StoredFormRoundTrips) {
  std::vector<FormField> fields = {{"Name", "Ann = Lee"}, {"Empty", ""}, {"Amount", "9.00"}};
  EXPECT_EQ(EncodeFields(DecodeFields(EncodeFields(fields))), EncodeFields(fields));
  EXPECT_EQ(DecodeFields(EncodeFields(fields)).size(), 3u);
  std::vector<std::vector<std::string>> items = {
      {"2", "Mug", "M1", "4.50", "", "", "", "", "", "", "", "", "Red", ""},
      std::vector<std::string>(kItemFieldCount, "x")};
  EXPECT_EQ(DecodeItems(EncodeItems(items)), items);
  EXPECT_TRUE(DecodeItems("").empty());
  EXPECT_TRUE(DecodeFields("").empty());
  EXPECT_EQ(DecodeFields("noequals\n=x\nA=1").size(), 1u);
}

}  // namespace
}  // namespace tolmi::server

#include "server/OrderIntake.h"

#include <gtest/gtest.h>

#include "server/FormData.h"

namespace tolmi::server {
namespace {

// The fields as "name=value", in order.
std::vector<std::string> Pairs(const std::vector<FormField>& fields) {
  std::vector<std::string> pairs;
  for (const auto& f : fields) pairs.push_back(f.name + "=" + f.value);
  return pairs;
}

TEST(OrderIntakeTest, AcceptsAFormKeepingFieldOrderAndCleaningProductLines) {
  auto order = ParseOrderForm(
      "Name=Ann+Lee&tolmi_user=shop&Address=1+High+St%0D%0ATown%0Aland&Amount=9.00&"
      "tolmi_item=2%09Mug%09M1%094.50&tolmi_return=http%3A%2F%2Fshop.example%2Fregister.html&"
      "Empty=&tolmi_item=003%09%3CBR%3E%09%3Cbr%3E%09a%0Db");
  ASSERT_TRUE(order) << order.status().message();
  EXPECT_EQ(order->account, "shop");
  EXPECT_EQ(order->returnUrl, "http://shop.example/register.html");
  EXPECT_EQ(Pairs(order->fields),
            (std::vector<std::string>{"Name=Ann Lee", "Address=1 High St, Town, land",
                                      "Amount=9.00", "Empty="}));
  // Product lines are cleaned so that they cannot break the reply: a name may read "<BR>",
  // a code may not; line breaks become spaces.
  const std::vector<std::string> blank(10, "");
  std::vector<std::string> mug = {"2", "Mug", "M1", "4.50"}, br = {"3", "<BR>", "", "a b"};
  mug.insert(mug.end(), blank.begin(), blank.end());
  br.insert(br.end(), blank.begin(), blank.end());
  EXPECT_EQ(order->items, (std::vector<std::vector<std::string>>{mug, br}));
}

TEST(OrderIntakeTest, RenamesReservedNamesAndDropsOnlyUnusableOnes) {
  // Names the reader or the invoice keep for themselves arrive prefixed; names that cannot be
  // one field line ("=", control bytes, blank) and the form's own "tolmi_" names are dropped.
  auto order = ParseOrderForm(
      "tolmi_user=shop&tolmi_item=1&PROD=15%3Ax&prod=y&OrderDate=1&%23id=5&%23IDx=ok&a%3Db=1&"
      "tolmi_other=1&=novalue&+++=blank&Tab%09Name=1&SN=77&+%23ID=9&INVOICENUMBER=INV-FORGED-999&"
      "Note=a%09b%00c");
  ASSERT_TRUE(order);
  EXPECT_EQ(
      Pairs(order->fields),
      (std::vector<std::string>{"Customer_PROD=15:x", "Customer_prod=y", "Customer_OrderDate=1",
                                "Customer_#id=5", "#IDx=ok", "Customer_SN=77", "Customer_ #ID=9",
                                "Customer_INVOICENUMBER=INV-FORGED-999", "Note=a b c"}));
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
  std::vector<std::vector<std::string>> items = {
      {"2", "Mug", "M1", "4.50", "", "", "", "", "", "", "", "", "Red", ""},
      std::vector<std::string>(kItemFieldCount, "x")};
  EXPECT_EQ(DecodeItems(EncodeItems(items)), items);
  EXPECT_TRUE(DecodeItems("").empty());
  EXPECT_TRUE(DecodeFields("").empty());
  EXPECT_EQ(DecodeFields("noequals\n=x\nA=1").size(), 1u);
}

// The form reading and text helpers under the intake.
TEST(FormDataTest, EncodesLikeTheMerchantProgramAndDecodesBack) {
  EXPECT_EQ(FormEncode("shop\rsecret word\r29034361\r"), "shop%0Dsecret+word%0D29034361%0D");
  EXPECT_EQ(FormEncode("a*b.c-d_e/f~"), "a*b.c-d_e%2Ff%7E");
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  EXPECT_EQ(FormDecode(FormEncode(bytes)), bytes);
  EXPECT_EQ(*FormDecode("%e9t%C3%A9"), "\xe9t\xc3\xa9");
  for (const char* bad : {"%", "abc%4", "%G1"}) EXPECT_FALSE(FormDecode(bad)) << bad;
  EXPECT_FALSE(ParseForm("a=1&b=%zz"));
}

TEST(FormDataTest, SplitsFormsInOrderKeepingRepeatsAndEmptyValues) {
  auto form = ParseForm("a=1&&b=&c&a=x+y%3D");
  ASSERT_TRUE(form);
  EXPECT_EQ(Pairs(*form), (std::vector<std::string>{"a=1", "b=", "c=", "a=x y="}));
  EXPECT_EQ(*FindField(*form, "a"), "1");
  EXPECT_FALSE(FindField(*form, "A"));
}

TEST(FormDataTest, EscapesAndStripsHtmlAndReadsPlainNumbers) {
  EXPECT_EQ(HtmlEscape("<a href=\"x\">'&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(StripTags("a<b>c</b>d<e"), "a c d");
  EXPECT_TRUE(EqualsNoCase("PrOd", "prod"));
  EXPECT_FALSE(EqualsNoCase("prod", "prods"));
  EXPECT_EQ(ParseDecimal("0017"), 17);
  for (const char* bad : {"", "-1", "12a", "9999999999999999999999"})
    EXPECT_FALSE(ParseDecimal(bad)) << bad;
}

}  // namespace
}  // namespace tolmi::server

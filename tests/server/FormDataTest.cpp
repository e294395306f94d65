#include "server/FormData.h"

#include <gtest/gtest.h>

namespace tolmi::server {
namespace {

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
  std::vector<std::string> pairs;
  for (const auto& f : *form) pairs.push_back(f.name + "=" + f.value);
  EXPECT_EQ(pairs, (std::vector<std::string>{"a=1", "b=", "c=", "a=x y="}));
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

#include "server/FormData.h"

#include <gtest/gtest.h>

namespace tolmi::server {
namespace {

TEST(FormDataTest, EncodesLikeTheMerchantProgramAndDecodesBack) {
  std::string params = "shop\rsecret word\r29034361\r";
  EXPECT_EQ(FormEncode(params), "shop%0Dsecret+word%0D29034361%0D");
  EXPECT_EQ(FormEncode("a*b.c-d_e/f~"), "a*b.c-d_e%2Ff%7E");
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  auto back = FormDecode(FormEncode(bytes));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, bytes);
  EXPECT_EQ(*FormDecode("%e9t%C3%A9"), "\xe9t\xc3\xa9");
}

TEST(FormDataTest, RefusesBrokenEscapes) {
  EXPECT_FALSE(FormDecode("%"));
  EXPECT_FALSE(FormDecode("abc%4"));
  EXPECT_FALSE(FormDecode("%G1"));
  EXPECT_FALSE(ParseForm("a=1&b=%zz"));
}

TEST(FormDataTest, SplitsFormsInOrderKeepingRepeatsAndEmptyValues) {
  auto form = ParseForm("a=1&&b=&c&a=x+y%3D");
  ASSERT_TRUE(form);
  ASSERT_EQ(form->size(), 4u);
  EXPECT_EQ((*form)[0].name, "a");
  EXPECT_EQ((*form)[1].name, "b");
  EXPECT_EQ((*form)[1].value, "");
  EXPECT_EQ((*form)[2].name, "c");
  EXPECT_EQ((*form)[3].value, "x y=");
  EXPECT_EQ(*FindField(*form, "a"), "1");
  EXPECT_FALSE(FindField(*form, "A"));
}

TEST(FormDataTest, EscapesAndStripsHtml) {
  EXPECT_EQ(HtmlEscape("<a href=\"x\">'&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(StripTags("a<b>c</b>d<e"), "a c d");
  EXPECT_TRUE(EqualsNoCase("PrOd", "prod"));
  EXPECT_FALSE(EqualsNoCase("prod", "prods"));
  EXPECT_EQ(ParseDecimal("0017"), 17);
  EXPECT_FALSE(ParseDecimal(""));
  EXPECT_FALSE(ParseDecimal("-1"));
  EXPECT_FALSE(ParseDecimal("12a"));
  EXPECT_FALSE(ParseDecimal("9999999999999999999999"));
}

}  // namespace
}  // namespace tolmi::server

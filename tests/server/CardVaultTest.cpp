#include "server/CardVault.h"

#include <gtest/gtest.h>

#include "server/OrderIntake.h"

namespace tolmi::server {
namespace {

TEST(CardVaultTest, KnowsCardFieldsAndMasksNumbersInLogs) {
  for (const char* name : {"CardNumber", "cardholdername", "CardExpiryYear", "CVV2", "cvc"})
    EXPECT_TRUE(IsCardField(name)) << name;
  for (const char* name : {"Name", "Amount", "Car", "Discard", "CVVX"})
    EXPECT_FALSE(IsCardField(name)) << name;
  const std::pair<const char*, const char*> masks[] = {
      {"4111111111111111", "************1111"},
      {"user 4111-1111-1111-1234 x", "user ****-****-****-1234 x"},
      {"4111 1111 1111 1111", "**** **** **** 1111"},
      {"order 12345678901", "order 12345678901"},  // fewer than twelve digits stay
      {"a1b2", "a1b2"},
  };
  for (const auto& [in, out] : masks) EXPECT_EQ(MaskCardNumbers(in), out) << in;
}

TEST(CardVaultTest, SealedFieldsOpenOnlyWithTheirKey) {
  CardKey key, other;
  key.bytes.fill(1);
  other.bytes.fill(2);
  std::vector<FormField> fields = {{"Name", "Ann"}, {"CardNumber", "4111"}, {"CVV", "12=3"}};
  std::string sealed = SealCardFields(key, fields);
  EXPECT_EQ(EncodeFields(fields), "Name=Ann\nCardNumber=\nCVV=");
  EXPECT_EQ(*OpenCardFields(key, EncodeFields(fields), sealed), "Name=Ann\nCardNumber=4111\nCVV=12=3");
  EXPECT_EQ(OpenCardFields(other, EncodeFields(fields), sealed).status().kind(), ErrorKind::Corrupt);
  std::string flipped = sealed;
  flipped.back() ^= 1;
  EXPECT_FALSE(OpenCardFields(key, EncodeFields(fields), flipped));
  EXPECT_FALSE(OpenCardFields(key, EncodeFields(fields), sealed.substr(0, 10)));
  // Sealed data that does not fit the fields (one taken away) is refused, not half-merged.
  EXPECT_FALSE(OpenCardFields(key, "Name=Ann\nCardNumber=", sealed));
  std::vector<FormField> plain = {{"Name", "Ann"}};
  EXPECT_EQ(SealCardFields(key, plain), "");
  EXPECT_EQ(*OpenCardFields(key, "Name=Ann", ""), "Name=Ann");
}

}  // namespace
}  // namespace tolmi::server

#include "server/Gateway.h"

#include <cstdlib>
#include <string>

namespace tolmi::server {

namespace {

std::string Digits(std::string_view cardNumber, bool& ok) {
  std::string digits;
  ok = true;
  for (char c : cardNumber) {
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
    } else if (c != ' ' && c != '-') {
      ok = false;
    }
  }
  return digits;
}

bool PositiveAmount(std::string_view amount) {
  std::string text(amount);
  if (text.empty() || text.size() > 32) return false;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  while (end && (*end == ' ')) ++end;
  return end && *end == '\0' && value > 0 && value < 1e12;
}

}  // namespace

bool LuhnValid(std::string_view cardNumber) {
  bool ok = false;
  std::string digits = Digits(cardNumber, ok);
  if (!ok || digits.size() < 13 || digits.size() > 19) return false;
  int sum = 0;
  bool twice = false;
  for (size_t i = digits.size(); i-- > 0;) {
    int d = digits[i] - '0';
    if (twice) {
      d *= 2;
      if (d > 9) d -= 9;
    }
    sum += d;
    twice = !twice;
  }
  return sum % 10 == 0;
}

std::string GatewayReply(std::string_view cardNumber, std::string_view amount) {
  const std::string declined = "0 Transaction Status: Declined: ";
  if (!LuhnValid(cardNumber)) return declined + "invalid card number";
  bool ok = false;
  std::string digits = Digits(cardNumber, ok);
  if (digits.size() >= 4 && digits.compare(digits.size() - 4, 4, "0002") == 0)
    return declined + "card refused by the issuer";
  if (!PositiveAmount(amount)) return declined + "invalid amount";
  return "1 OK Transaction Status: Approved";
}

}  // namespace tolmi::server

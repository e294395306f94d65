#include "payments/CardData.h"

#include "util/Strings.h"

namespace tolmi {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool IsCardNumberField(std::string_view name) { return EqualsNoCase(name, "CardNumber"); }

bool IsSecurityCodeField(std::string_view name) {
  for (std::string_view known : {"CVV", "CVV2", "CVC", "CVC2", "CID", "CardCVV", "CardCVV2",
                                 "CardCVC", "CardCode", "CardSecurityCode", "SecurityCode"})
    if (EqualsNoCase(name, known)) return true;
  return false;
}

std::string MaskCardNumber(std::string_view number) {
  std::string digits;
  for (char c : number)
    if (IsDigit(c)) digits += c;
  if (digits.size() <= 4) return std::string(number);
  return std::string(digits.size() - 4, '*') + digits.substr(digits.size() - 4);
}

std::string MaskCardNumbersIn(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!IsDigit(text[i])) {
      out += text[i++];
      continue;
    }
    // The run of digits with single separators between them.
    std::size_t end = i, count = 0, lastDigit = i;
    while (end < text.size()) {
      if (IsDigit(text[end])) {
        ++count;
        lastDigit = end++;
      } else if ((text[end] == ' ' || text[end] == '-') && end + 1 < text.size() &&
                 IsDigit(text[end + 1])) {
        ++end;
      } else {
        break;
      }
    }
    std::string_view run = text.substr(i, lastDigit + 1 - i);
    out += count >= 13 && count <= 19 ? MaskCardNumber(run) : std::string(run);
    i = lastDigit + 1;
  }
  return out;
}

bool ForgetCardData(OrderRecord& order) {
  bool changed = false;
  for (OrderField& f : order.fields) {
    std::string kept = f.value;
    if (IsCardNumberField(f.name)) kept = MaskCardNumber(f.value);
    else if (IsSecurityCodeField(f.name)) kept.clear();
    if (kept != f.value) {
      f.value = std::move(kept);
      changed = true;
    }
  }
  return changed;
}

}  // namespace tolmi

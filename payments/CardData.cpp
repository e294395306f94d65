#include "payments/CardData.h"

#include <functional>
#include <set>

#include "orders/OrdersFile.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/Strings.h"
#include "util/Version.h"

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

Status ForgetCardDataInBackup(const std::string& folder, const OrdersTree& tree, long long now) {
  std::set<std::string> charged;
  std::function<void(const std::vector<OrderRecord>&)> collect = [&](const auto& records) {
    for (const OrderRecord& r : records) {
      if (r.status == kStatusCharged) charged.insert(OrderKey(r));
      collect(r.children);
    }
  };
  collect(tree.records);
  if (charged.empty()) return Status::Ok();
  const std::string backup = JoinPath(folder, kOrdersBackupName);
  auto bytes = ReadWholeFile(backup);
  if (!bytes) return Status::Ok();
  OrdersReading reading = ReadOrdersText(*bytes);
  if (!reading.Accepted()) return Status::Ok();
  bool changed = false;
  std::function<void(std::vector<OrderRecord>&)> forget = [&](auto& records) {
    for (OrderRecord& r : records) {
      if (charged.count(OrderKey(r)) && ForgetCardData(r)) changed = true;
      forget(r.children);
    }
  };
  forget(reading.records);
  if (!changed) return Status::Ok();
  AtomicWriteOptions options;
  options.ownerOnly = true;
  return WriteFileAtomic(backup, WriteOrdersText(reading.records, now, VersionNumber()), options);
}

}  // namespace tolmi

#include "server/StoreMigration.h"

namespace tolmi::server {

Result<MigrationCounts> CopyStore(OrderStore& from, OrderStore& to, bool intoNonEmpty) {
  auto before = to.OrderCount();
  if (!before) return before.status();
  if (*before > 0 && !intoNonEmpty)
    return Status::Error(ErrorKind::InvalidArgument,
                         "The target already holds " + std::to_string(*before) +
                             " orders; give --force to copy into it anyway.");
  // Sealed card data is copied as it stands: both stores must know the same key.
  const std::string kFingerprint = "card_key_fingerprint";
  auto fingerprint = from.Setting(kFingerprint);
  if (!fingerprint) return fingerprint.status();
  if (!fingerprint->empty()) {
    auto claimed = to.ClaimSetting(kFingerprint, *fingerprint);
    if (!claimed) return claimed.status();
    if (*claimed != *fingerprint)
      return Status::Error(ErrorKind::InvalidArgument,
                           "The target's card data is sealed with another card key.");
  }
  auto accounts = from.ListAccounts();
  if (!accounts) return accounts.status();
  MigrationCounts counts;
  long long expected = 0;
  for (const auto& listed : *accounts) {
    auto account = from.FindAccount(listed.name);
    if (!account) return account.status();
    if (!account->has_value()) continue;  // gone since the listing
    auto orders = from.OrdersAfter((**account).id, 0);
    if (!orders) return orders.status();
    if (Status s = to.Import(**account, *orders); !s.ok())
      return Status::Error(s.kind(), "Account '" + listed.name + "': " + s.message());
    ++counts.accounts;
    counts.orders += static_cast<long long>(orders->size());
    expected += static_cast<long long>(orders->size());
  }
  auto after = to.OrderCount();
  if (!after) return after.status();
  auto source = from.OrderCount();
  if (!source) return source.status();
  if (*after != *before + expected || *source != expected)
    return Status::Error(ErrorKind::Corrupt,
                         "Counts differ after copying: " + std::to_string(*source) +
                             " orders in the source, " + std::to_string(*after - *before) +
                             " added to the target.");
  return counts;
}

}  // namespace tolmi::server

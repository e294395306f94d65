// Copying one store into another (a SQLite file into PostgreSQL): accounts with their
// password hashes and state, orders with their ids, received times and sealed card data as
// they stand, and the card key's fingerprint.
#pragma once

#include <string>

#include "server/OrderStore.h"
#include "util/Result.h"

namespace tolmi::server {

struct MigrationCounts {
  long long accounts = 0;
  long long orders = 0;
};

// Copies everything of `from` into `to`, one account per transaction. Refuses (InvalidArgument)
// a target that already holds orders unless `intoNonEmpty`, and a target sealed with another
// card key; fails (Corrupt) when the target's order count afterwards is not what was copied.
Result<MigrationCounts> CopyStore(OrderStore& from, OrderStore& to, bool intoNonEmpty);

}  // namespace tolmi::server

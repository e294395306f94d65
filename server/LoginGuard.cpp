#include "server/LoginGuard.h"

#include <algorithm>

namespace tolmi::server {

void LoginGuard::Forget(std::map<std::string, Failures>& table, TimePoint now) {
  for (auto it = table.begin(); it != table.end();) {
    bool stale = now - it->second.last > limits_.window && now >= it->second.lockedUntil;
    it = stale ? table.erase(it) : std::next(it);
  }
  // Still full (a flood of fresh names): start over rather than grow without bound.
  if (table.size() >= limits_.maxEntries) table.clear();
}

LoginGuard::Failures& LoginGuard::Entry(std::map<std::string, Failures>& table,
                                        const std::string& key, TimePoint now) {
  if (table.size() >= limits_.maxEntries && !table.count(key)) Forget(table, now);
  Failures& f = table[key];
  if (f.count > 0 && now - f.last > limits_.window && now >= f.lockedUntil) f = Failures{};
  return f;
}

LoginDecision LoginGuard::Admit(const std::string& account, const std::string& address,
                                TimePoint now) {
  LoginDecision d;
  d.trusted = trusted_.count({account, address}) > 0;
  Failures& byAddress = Entry(addresses_, address, now);
  if (!d.trusted) {
    auto acc = accounts_.find(account);
    if (now < byAddress.lockedUntil || (acc != accounts_.end() && now < acc->second.lockedUntil)) {
      d.verdict = LoginVerdict::Locked;
      return d;
    }
  }
  if (byAddress.count >= limits_.freeFailures) {
    int steps = std::min(byAddress.count - limits_.freeFailures, 16);
    auto delay = std::min<std::chrono::milliseconds>(limits_.firstDelay * (1 << steps),
                                                     limits_.maxDelay);
    TimePoint start = std::max(now, byAddress.nextStart) + delay;
    byAddress.nextStart = start;
    d.delay = std::chrono::duration_cast<std::chrono::milliseconds>(start - now);
  }
  return d;
}

bool LoginGuard::Failed(const std::string& account, const std::string& address, TimePoint now) {
  bool locked = false;
  Failures& byAddress = Entry(addresses_, address, now);
  ++byAddress.count;
  byAddress.last = now;
  if (byAddress.count >= limits_.addressLockFailures && now >= byAddress.lockedUntil) {
    byAddress.lockedUntil = now + limits_.lockTime;
    locked = true;
  }
  if (!trusted_.count({account, address})) {
    Failures& byAccount = Entry(accounts_, account, now);
    ++byAccount.count;
    byAccount.last = now;
    if (byAccount.count >= limits_.accountLockFailures && now >= byAccount.lockedUntil)
      byAccount.lockedUntil = now + limits_.lockTime;
  }
  return locked;
}

void LoginGuard::Succeeded(const std::string& account, const std::string& address) {
  addresses_.erase(address);
  if (trusted_.size() >= limits_.maxEntries) trusted_.clear();
  trusted_.insert({account, address});
}

}  // namespace tolmi::server

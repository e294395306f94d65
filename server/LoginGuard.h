// Throttling of merchant logins (the download and delete requests). Failed logins of one
// address give a growing delay before its next password check and then a temporary lock;
// failures against one account from addresses it does not know lock that account for them
// too. An address that has logged in to an account is trusted by it: the account's lock and
// the address lock never apply to it there, so a guess flood cannot lock a merchant out.
// Memory only and bounded; used on the server's loop thread (not thread-safe).
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace tolmi::server {

struct LoginLimits {
  int freeFailures = 3;                               // answered without delay
  std::chrono::milliseconds firstDelay{500};          // then this, doubling per failure
  std::chrono::milliseconds maxDelay{8000};
  int addressLockFailures = 20;                       // failures of one address: locked
  int accountLockFailures = 50;                       // from untrusted addresses: locked
  std::chrono::seconds window{15 * 60};               // failures older than this are forgotten
  std::chrono::seconds lockTime{15 * 60};
  std::size_t maxEntries = 100000;                    // per table
};

enum class LoginVerdict { Check, Locked };

struct LoginDecision {
  LoginVerdict verdict = LoginVerdict::Check;
  std::chrono::milliseconds delay{0};  // wait this long before the password check
  bool trusted = false;                // the address has logged in to this account
};

class LoginGuard {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  explicit LoginGuard(LoginLimits limits = {}) : limits_(limits) {}

  // What to do with a login of account from address now. Consecutive logins of one
  // throttled address are spaced by the delay (each waits behind the one before).
  LoginDecision Admit(const std::string& account, const std::string& address, TimePoint now);
  // The outcome of a check. Failed returns true when this failure locked the address.
  bool Failed(const std::string& account, const std::string& address, TimePoint now);
  void Succeeded(const std::string& account, const std::string& address);

 private:
  struct Failures {
    int count = 0;
    TimePoint last{};
    TimePoint lockedUntil{};
    TimePoint nextStart{};  // when the next check of this address may start
  };
  Failures& Entry(std::map<std::string, Failures>& table, const std::string& key, TimePoint now);
  void Forget(std::map<std::string, Failures>& table, TimePoint now);

  LoginLimits limits_;
  std::map<std::string, Failures> addresses_;
  std::map<std::string, Failures> accounts_;  // failures from untrusted addresses
  std::set<std::pair<std::string, std::string>> trusted_;  // (account, address)
};

}  // namespace tolmi::server

#include "server/Passwords.h"

#include <sodium.h>

namespace tolmi::server {

namespace {

bool StartSodium() {
  static const bool started = sodium_init() >= 0;
  return started;
}

}  // namespace

Result<std::string> HashPassword(const std::string& password, HashCost cost) {
  if (!StartSodium()) return Status::Error(ErrorKind::Io, "Unable to start libsodium.");
  unsigned long long ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
  size_t mem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
  if (cost == HashCost::Minimum) {
    ops = crypto_pwhash_OPSLIMIT_MIN;
    mem = crypto_pwhash_MEMLIMIT_MIN;
  } else if (cost == HashCost::Moderate) {
    ops = crypto_pwhash_OPSLIMIT_MODERATE;
    mem = crypto_pwhash_MEMLIMIT_MODERATE;
  }
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str_alg(out, password.data(), password.size(), ops, mem,
                            crypto_pwhash_ALG_ARGON2ID13) != 0)
    return Status::Error(ErrorKind::Io, "Unable to hash the password (out of memory).");
  return std::string(out);
}

bool VerifyPassword(const std::string& hash, const std::string& password) {
  if (!StartSodium()) return false;
  if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  char buffer[crypto_pwhash_STRBYTES] = {};
  hash.copy(buffer, hash.size());
  return crypto_pwhash_str_verify(buffer, password.data(), password.size()) == 0;
}

}  // namespace tolmi::server

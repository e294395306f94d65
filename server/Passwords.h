// Account passwords: stored only as salted Argon2id hashes (libsodium).
#pragma once

#include <string>

#include "util/Result.h"

namespace tolmi::server {

// How much work a new hash costs. Interactive is the default; Minimum is for tests only.
enum class HashCost { Minimum, Interactive, Moderate };

// The hash string of a password (salt and parameters included). Fails when the library
// cannot be started or refuses the work (out of memory).
Result<std::string> HashPassword(const std::string& password,
                                 HashCost cost = HashCost::Interactive);

// Whether the password matches the stored hash. A malformed hash never matches.
bool VerifyPassword(const std::string& hash, const std::string& password);

}  // namespace tolmi::server

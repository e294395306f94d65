// Card data at rest: the card fields of an order (number, holder, expiry, type, security code)
// are sealed with a secret key before they reach the data store and opened again only to
// write the download reply. The key lives in a file of its own (mode 0600), never in the
// store; the store keeps a fingerprint of it so that a missing or different key is an error
// at start-up, not unreadable orders later.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "server/FormData.h"
#include "util/Result.h"

namespace tolmi::server {

class OrderStore;

// The secret key; wiped from memory when it goes.
struct CardKey {
  std::array<unsigned char, 32> bytes{};
  CardKey() = default;
  CardKey(const CardKey&) = default;
  CardKey& operator=(const CardKey&) = default;
  ~CardKey();
};

// Whether a field holds card data: a name starting with "Card" (any case), or one of the
// usual security-code names ("CVV", "CVV2", "CVC", "CVC2", "CID", "SecurityCode").
bool IsCardField(std::string_view name);

// Reads the key file: 64 hexadecimal digits. Fails with NotFound when the file is missing,
// InvalidArgument when others may read or write it or it is not a regular file, Corrupt when
// it holds no key, Io when it cannot be read.
Result<CardKey> ReadCardKey(const std::string& path);

// Creates a new key file with mode 0600; fails with InvalidArgument when it exists, Io when
// it cannot be written.
Result<CardKey> CreateCardKey(const std::string& path);

// A keyed digest that names the key without revealing it (hexadecimal).
std::string CardKeyFingerprint(const CardKey& key);

// The key for a store: reads the key file and checks it against the fingerprint the store
// keeps. Creates the file only for a store that has never had a key; a missing file for a
// store that has one, a file others can read, or a different key is an error naming the
// file. `created` tells whether a new key was made.
Result<CardKey> PrepareCardKey(OrderStore& store, const std::string& path, bool& created);

// Seals the card fields that orders stored by an older server still hold in clear; done once
// per store. Returns the number of orders sealed.
Result<long long> SealClearCardFields(OrderStore& store, const CardKey& key);

// Takes the card fields' values out of `fields` (they stay in place, empty) and returns them
// sealed; "" when the order has no card field.
std::string SealCardFields(const CardKey& key, std::vector<FormField>& fields);

// The stored fields text (see EncodeFields) with the sealed values put back. Fails with
// Corrupt when the sealed data cannot be opened with this key or does not fit the fields.
Result<std::string> OpenCardFields(const CardKey& key, std::string_view fieldsText,
                                   std::string_view sealed);

// A copy of a text for a log: every run of 12 or more digits (spaces and dashes between them
// allowed) keeps only its last four digits, the others become "*".
std::string MaskCardNumbers(std::string_view text);

}  // namespace tolmi::server

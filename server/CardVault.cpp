#include "server/CardVault.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server/OrderIntake.h"
#include "server/OrderStore.h"

namespace tolmi::server {

namespace {

constexpr unsigned char kSealVersion = 1;
constexpr const char* kFingerprintSetting = "card_key_fingerprint";

bool Ready() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

}  // namespace

CardKey::~CardKey() {
  sodium_memzero(bytes.data(), bytes.size());
}

bool IsCardField(std::string_view name) {
  if (name.size() >= 4 && EqualsNoCase(name.substr(0, 4), "card")) return true;
  for (std::string_view code : {"cvv", "cvv2", "cvc", "cvc2", "cid", "securitycode"})
    if (EqualsNoCase(name, code)) return true;
  return false;
}

Result<CardKey> ReadCardKey(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == ENOENT)
      return Status::Error(ErrorKind::NotFound, "Card key file " + Quoted(path) + " is missing.");
    return Status::Error(ErrorKind::Io, "Unable to read the card key file " + Quoted(path) +
                                            ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::Error(ErrorKind::InvalidArgument,
                         "Card key file " + Quoted(path) + " is not a regular file.");
  }
  if (st.st_mode & 077) {
    ::close(fd);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return Status::Error(ErrorKind::InvalidArgument,
                         "Card key file " + Quoted(path) + " has mode " + mode +
                             "; only its owner may read it (chmod 600 " + Quoted(path) + ").");
  }
  char text[200];
  ssize_t n = ::read(fd, text, sizeof text);
  ::close(fd);
  if (n < 0)
    return Status::Error(ErrorKind::Io, "Unable to read the card key file " + Quoted(path) +
                                            ": " + std::strerror(errno));
  std::string_view hex(text, static_cast<size_t>(n));
  while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r' || hex.back() == ' '))
    hex.remove_suffix(1);
  CardKey key;
  size_t length = 0;
  bool ok = Ready() && hex.size() == 2 * key.bytes.size() &&
            sodium_hex2bin(key.bytes.data(), key.bytes.size(), hex.data(), hex.size(), nullptr,
                           &length, nullptr) == 0 &&
            length == key.bytes.size();
  sodium_memzero(text, sizeof text);
  if (!ok)
    return Status::Error(ErrorKind::Corrupt,
                         "Card key file " + Quoted(path) + " does not hold a card key.");
  return key;
}

Result<CardKey> CreateCardKey(const std::string& path) {
  if (!Ready()) return Status::Error(ErrorKind::Io, "The crypto library cannot start.");
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (errno == EEXIST)
      return Status::Error(ErrorKind::InvalidArgument,
                           "Card key file " + Quoted(path) + " exists already.");
    return Status::Error(ErrorKind::Io, "Unable to create the card key file " + Quoted(path) +
                                            ": " + std::strerror(errno));
  }
  CardKey key;
  crypto_secretbox_keygen(key.bytes.data());
  char hex[2 * 32 + 2];
  sodium_bin2hex(hex, sizeof hex - 1, key.bytes.data(), key.bytes.size());
  hex[64] = '\n';
  bool ok = ::fchmod(fd, 0600) == 0 && ::write(fd, hex, 65) == 65 && ::fsync(fd) == 0;
  sodium_memzero(hex, sizeof hex);
  ok = ::close(fd) == 0 && ok;
  if (!ok) {
    ::unlink(path.c_str());
    return Status::Error(ErrorKind::Io, "Unable to write the card key file " + Quoted(path) + ".");
  }
  return key;
}

std::string CardKeyFingerprint(const CardKey& key) {
  static constexpr char kLabel[] = "tolmi-server card key fingerprint";
  unsigned char out[16];
  crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(kLabel),
                     sizeof kLabel - 1, key.bytes.data(), key.bytes.size());
  char hex[33];
  sodium_bin2hex(hex, sizeof hex, out, sizeof out);
  return hex;
}

Result<CardKey> PrepareCardKey(OrderStore& store, const std::string& path, bool& created) {
  created = false;
  if (!Ready()) return Status::Error(ErrorKind::Io, "The crypto library cannot start.");
  auto known = store.Setting(kFingerprintSetting);
  if (!known) return known.status();
  auto key = ReadCardKey(path);
  if (!key && key.status().kind() == ErrorKind::NotFound) {
    if (!known->empty())
      return Status::Error(ErrorKind::NotFound,
                           "Card key file " + Quoted(path) +
                               " is missing; the card data of the stored orders cannot be read "
                               "without it. Restore the file (or name it with --card-key).");
    key = CreateCardKey(path);
    // Another server process sharing the store may have made it a moment ago.
    if (!key && key.status().kind() == ErrorKind::InvalidArgument) key = ReadCardKey(path);
    else if (key) created = true;
  }
  if (!key) return key.status();
  auto claimed = store.ClaimSetting(kFingerprintSetting, CardKeyFingerprint(*key));
  if (!claimed) return claimed.status();
  if (*claimed != CardKeyFingerprint(*key))
    return Status::Error(ErrorKind::InvalidArgument,
                         "Card key file " + Quoted(path) +
                             " is not the key the stored orders' card data was sealed with.");
  return key;
}

Result<long long> SealClearCardFields(OrderStore& store, const CardKey& key) {
  const std::string kDone = "clear_card_fields_sealed";
  auto done = store.Setting(kDone);
  if (!done) return done.status();
  if (!done->empty()) return 0LL;
  auto accounts = store.ListAccounts();
  if (!accounts) return accounts.status();
  long long sealed = 0;
  for (const auto& account : *accounts) {
    auto orders = store.OrdersAfter(account.id, 0);
    if (!orders) return orders.status();
    for (const auto& order : *orders) {
      if (!order.card.empty()) continue;
      std::vector<FormField> fields = DecodeFields(order.fields);
      bool clear = false;
      for (const auto& f : fields) clear = clear || (IsCardField(f.name) && !f.value.empty());
      if (!clear) continue;
      std::string card = SealCardFields(key, fields);
      auto changed = store.SealOrder(order.id, EncodeFields(fields), card);
      if (!changed) return changed.status();
      sealed += *changed ? 1 : 0;
    }
  }
  if (auto claimed = store.ClaimSetting(kDone, "1"); !claimed) return claimed.status();
  return sealed;
}

std::string SealCardFields(const CardKey& key, std::vector<FormField>& fields) {
  std::vector<FormField> card;
  for (auto& f : fields) {
    if (!IsCardField(f.name)) continue;
    card.push_back({f.name, f.value});
    sodium_memzero(f.value.data(), f.value.size());
    f.value.clear();
  }
  if (card.empty() || !Ready()) return "";
  std::string plain = EncodeFields(card);
  for (auto& f : card) sodium_memzero(f.value.data(), f.value.size());
  std::string sealed(1 + crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + plain.size(),
                     '\0');
  auto* out = reinterpret_cast<unsigned char*>(sealed.data());
  out[0] = kSealVersion;
  randombytes_buf(out + 1, crypto_secretbox_NONCEBYTES);
  crypto_secretbox_easy(out + 1 + crypto_secretbox_NONCEBYTES,
                        reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
                        out + 1, key.bytes.data());
  sodium_memzero(plain.data(), plain.size());
  return sealed;
}

Result<std::string> OpenCardFields(const CardKey& key, std::string_view fieldsText,
                                   std::string_view sealed) {
  if (sealed.empty()) return std::string(fieldsText);
  constexpr size_t kHead = 1 + crypto_secretbox_NONCEBYTES;
  auto bad = [] {
    return Status::Error(ErrorKind::Corrupt, "card data cannot be opened with the card key");
  };
  if (!Ready() || sealed.size() < kHead + crypto_secretbox_MACBYTES ||
      static_cast<unsigned char>(sealed[0]) != kSealVersion)
    return bad();
  const auto* in = reinterpret_cast<const unsigned char*>(sealed.data());
  std::string plain(sealed.size() - kHead - crypto_secretbox_MACBYTES, '\0');
  if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char*>(plain.data()), in + kHead,
                                 sealed.size() - kHead, in + 1, key.bytes.data()) != 0)
    return bad();
  std::vector<FormField> card = DecodeFields(plain);
  sodium_memzero(plain.data(), plain.size());
  std::vector<FormField> fields = DecodeFields(fieldsText);
  size_t next = 0;
  for (auto& f : fields) {
    if (!IsCardField(f.name)) continue;
    if (next >= card.size() || card[next].name != f.name) return bad();
    f.value = std::move(card[next++].value);
  }
  if (next != card.size()) return bad();
  return EncodeFields(fields);
}

std::string MaskCardNumbers(std::string_view text) {
  std::string out(text);
  size_t i = 0;
  while (i < out.size()) {
    if (out[i] < '0' || out[i] > '9') {
      ++i;
      continue;
    }
    // A run of digits, allowing single spaces or dashes between them.
    size_t end = i, digits = 0;
    for (size_t j = i; j < out.size(); ++j) {
      if (out[j] >= '0' && out[j] <= '9') {
        ++digits;
        end = j + 1;
      } else if (!((out[j] == ' ' || out[j] == '-') && j + 1 < out.size() && out[j + 1] >= '0' &&
                   out[j + 1] <= '9')) {
        break;
      }
    }
    if (digits >= 12) {
      size_t keep = 0;
      for (size_t j = end; j-- > i;) {
        if (out[j] < '0' || out[j] > '9') continue;
        if (keep < 4) {
          ++keep;
        } else {
          out[j] = '*';
        }
      }
    }
    i = end;
  }
  return out;
}

}  // namespace tolmi::server

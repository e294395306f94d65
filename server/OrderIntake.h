// Turning a posted order form into a clean order record, and the record's stored form.
// Pure functions: the caller owns storage and replies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "server/FormData.h"
#include "util/Result.h"

namespace tolmi::server {

// Number of fields of one product line, as the download reply carries them.
inline constexpr size_t kItemFieldCount = 14;

struct IntakeLimits {
  size_t maxItems = 500;
  size_t maxFields = 200;
  size_t maxNameBytes = 256;
  size_t maxValueBytes = 4096;
};

// An order as accepted from the order form: every text is one line and safe to write into
// the download reply as it stands.
struct IncomingOrder {
  std::string account;                          // tolmi_user
  std::string returnUrl;                        // tolmi_return when usable, else empty
  std::vector<FormField> fields;                // customer fields in the order sent
  std::vector<std::vector<std::string>> items;  // each exactly kItemFieldCount texts
};

// Reads a form-encoded order body. On failure the status message is the sentence shown to the
// shopper (for example "The shopping cart is empty."); nothing is half-accepted.
Result<IncomingOrder> ParseOrderForm(std::string_view body, const IntakeLimits& limits = {});

// The usable tolmi_return address of an order body, even of one that is refused; "" when
// none.
std::string ReturnUrlOf(std::string_view body);

// A customer field value made one line: CR LF, CR and LF become ", ", other control bytes a
// space.
std::string CleanFieldValue(std::string_view value);

// Whether a customer field name can be stored and read back as a field: not empty or blank,
// no "=" or control byte, not in the form's own "tolmi_" names. Reserved names ("SN",
// "PROD", "INVOICENUMBER", ...) are usable: intake stores them prefixed (CustomerFieldName).
bool IsUsableFieldName(std::string_view name, size_t maxBytes = 256);

// The stored form of fields ("name=value" lines joined by LF) and items (tab-joined fields,
// lines joined by LF), and back. The readers skip lines they cannot use.
std::string EncodeFields(const std::vector<FormField>& fields);
std::vector<FormField> DecodeFields(std::string_view text);
std::string EncodeItems(const std::vector<std::vector<std::string>>& items);
std::vector<std::vector<std::string>> DecodeItems(std::string_view text);

}  // namespace tolmi::server

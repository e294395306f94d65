// Card data kept no longer than needed: after an approved charge an order keeps only the last
// four digits of its card number and no security code, and texts shown or logged never
// carry a full card number.
#pragma once

#include <string>
#include <string_view>

#include "orders/OrdersTree.h"
#include "util/Result.h"

namespace tolmi {

// Whether a field holds the card number ("CardNumber", any case).
bool IsCardNumberField(std::string_view name);
// Whether a field holds the card's security code ("CVV", "CVV2", "CVC", "CardCVV",
// "CardCode", "SecurityCode", ...; any case).
bool IsSecurityCodeField(std::string_view name);

// A card number with every digit but the last four written "*" ("************1111");
// separators and other characters are dropped. Four digits or fewer come back unchanged.
std::string MaskCardNumber(std::string_view number);

// Every run of 13 to 19 digits in text (spaces and "-" allowed between them) masked as
// MaskCardNumber does, so a gateway reply that echoes the number can be shown or logged.
std::string MaskCardNumbersIn(std::string_view text);

// After an approved charge: the card number fields keep only their last four digits and
// security code fields are emptied. Returns whether anything changed.
bool ForgetCardData(OrderRecord& order);

// The orders file's backup ("orders.bak" in folder) is the file as it was before the last
// save, so the save after an approved charge leaves the full card number there. Call after
// each save: every order of the backup that is charged in tree (same OrderKey) forgets its
// card data as ForgetCardData does, and the backup is rewritten (owner only) when that
// changed anything. A missing or unreadable backup is left alone; fails only when the
// rewrite fails.
Status ForgetCardDataInBackup(const std::string& folder, const OrdersTree& tree, long long now);

}  // namespace tolmi

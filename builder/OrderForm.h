// The cart page "trolley.html", the order form "register.html" (with the
// confirmation page inside it), and the order and confirmation pages on their own.
#pragma once

#include <string>
#include <string_view>

#include "builder/BuildSession.h"

namespace tolmi {

// Writes a support page (existing file replaced). False after the R106 message.
bool WriteSupportPage(BuildSession& session, std::string_view name, std::string_view text);
bool WriteCartPage(BuildSession& session);
bool WriteOrderForm(BuildSession& session);
// The order (confirmation) template alone, written to path, for the editor's View.
bool WriteOrderPage(BuildSession& session, const std::string& path);
bool WriteConfirmationPage(BuildSession& session, const std::string& path);

// "$ACCEPTED_CARDS" of an order template (first occurrence) with the warning for no cards.
void InsertAcceptedCards(BuildSession& session, std::string& text);

}  // namespace tolmi

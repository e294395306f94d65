// The test payment gateway: approves or declines a charge by its card number, for trying
// charges locally without a real payment service.
#pragma once

#include <string>
#include <string_view>

namespace tolmi::server {

// Whether a card number (spaces and dashes ignored) has 13 to 19 digits and passes the Luhn
// check.
bool LuhnValid(std::string_view cardNumber);

// The reply text for a charge: "1 OK Transaction Status: Approved" when the card is valid,
// does not end in "0002" and the amount reads as a number above 0; otherwise
// "0 Transaction Status: Declined" and the reason.
std::string GatewayReply(std::string_view cardNumber, std::string_view amount);

}  // namespace tolmi::server

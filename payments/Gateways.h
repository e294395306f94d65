// The payment-gateway services of "engines.dat": one GatewayDefinition per "NAME="
// block, with its request templates, account-field labels, reply kind, card types
// and reply-code map. Read once at start-up; charging lives elsewhere.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tolmi {

// One "MAP=code,flag,message" entry: how a reply code is judged and shown.
struct GatewayReplyCode {
  std::string code;
  int flag = 0;
  std::string message;
};

// One "CC=number:name" entry: a card type the service knows and its number.
struct GatewayCardType {
  std::string name;
  int number = 0;
};

struct GatewayDefinition {
  std::string name;                        // NAME
  std::string domain;                      // DOMAIN
  std::string request;                     // REQ: the request template
  std::string request2;                    // REQ2
  std::string referer;                     // REFERER
  std::string support;                     // SUPPORT
  std::string news;                        // NEWS
  std::array<std::string, 5> fieldLabels;  // FIELD1 to FIELD5: labels of the account values
  int replyKind = 0;                       // ID
  std::vector<GatewayReplyCode> replyMap;  // MAP, in file order
  std::vector<GatewayCardType> cardTypes;  // CC, in file order
};

// Applies one line (trailing spaces and line ends already removed) to the list:
// "NAME=" appends a definition, other keys fill the last one, comments and keys
// before the first "NAME=" are ignored. Keys are case-sensitive.
void ApplyGatewayLine(std::vector<GatewayDefinition>& gateways, std::string_view line);

// Every definition of a whole "engines.dat" text (LF or CR LF lines).
std::vector<GatewayDefinition> ParseGateways(std::string_view text);

// Reads the file at path; a missing or unreadable file gives an empty list.
std::vector<GatewayDefinition> LoadGateways(const std::string& path);

// What the lenient reader passes over in silence, for checking a gateway file before it
// ships or after the merchant edits it: no "NAME=" line at all, keys before the first
// "NAME=", an empty NAME or one used twice (the first wins), unknown keys, an ID that is not a
// number, "MAP=" lines with fewer than two commas, "CC=" lines without ":", and gateways
// without REQ. One message per problem ("line 7: ..." where a line is to blame); empty when
// the text is sound.
std::vector<std::string> CheckGatewaysText(std::string_view text);

// The definition whose NAME equals name exactly, or nullptr.
const GatewayDefinition* FindGateway(const std::vector<GatewayDefinition>& gateways,
                                     std::string_view name);

}  // namespace tolmi

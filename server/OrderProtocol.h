// The merchant program's download ("?data=300") and delete ("?data=301") requests: reading
// their parameters and writing the replies. Pure functions; storage is the caller's.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmi::server {

// Result codes of the first reply line.
enum class ResultCode {
  Success = 0,
  InternalError = 1,
  BadRequest = 2,
  NoAccount = 3,
  Disabled = 4,
  WrongPassword = 5,
};

enum class ProtocolFunction { Download, Delete };

// A decoded request. When `valid` is false the reply is result code 2 and nothing else is
// looked at.
struct ProtocolRequest {
  bool valid = false;
  ProtocolFunction function = ProtocolFunction::Download;
  std::string user;
  std::string password;
  std::string version;
  std::optional<long long> lastId;  // download: only orders after this id
  std::vector<long long> ids;       // delete: the ids to remove
  std::string problem;              // when not valid and worth saying: a line for the reply
};

// Whether a query string is one of the protocol requests (it starts with "data=").
bool IsProtocolQuery(std::string_view query);

// Reads "data=300..." or "data=301..." (the raw query string, without "?").
ProtocolRequest ParseProtocolQuery(std::string_view query);

// One stored order as the download hands it out.
struct StoredOrder {
  long long id = 0;
  std::time_t received = 0;  // seconds since 1970
  std::string fields;        // stored form, see EncodeFields
  std::string items;         // stored form, see EncodeItems
  std::string card;          // sealed card fields (CardVault), "" when none; not in replies
};

// "DDMMYYYYHHMISS" in the server's local time zone.
std::string FormatOrderDate(std::time_t when);

// The reply body of a failed request: the code line alone.
std::string FormatResultOnly(ResultCode code);

// The reply body of a successful download: "0", every order in the given order, then the end
// mark "#END <count>" that lets the reader tell a whole reply from a cut one.
std::string FormatDownloadReply(const std::vector<StoredOrder>& orders);

// One order's block ("#ID=", "orderdate=", fields, "PROD=" lines); appended to `out`.
void AppendOrderBlock(const StoredOrder& order, std::string& out);

}  // namespace tolmi::server

// Downloading orders from the order server: one session on the EventLoop sends the
// "?data=300" request through the HTTP client, files the orders it receives at the top
// of "New Orders", saves the orders file, asks the server to delete what it sent
// ("?data=301") unless the merchant leaves orders on the server, and saves again when
// the server answers. Failures show the "Download Error" window through the Prompter and
// leave the reply in "temp/error.htm".
//
// The HTTP engine must have been started (HttpStartup) on the same loop. Everything runs
// on the loop's thread. The session keeps, for as long as it lives, the last received
// order id and the ids of the latest download.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orders/OrdersTree.h"
#include "util/Platform.h"

namespace tolmi {

class EventLoop;

// The label both requests carry, and their time-out tick.
inline constexpr const char* kOrderServerLabel = "Tolmi Server";
inline constexpr int kOrderServerTimeoutMs = 64000;
inline constexpr const char* kDownloadErrorTitle = "Download Error";
// Below the home; holds the whole reply of the latest failed download.
inline constexpr const char* kDownloadErrorFile = "temp/error.htm";

// Where and as whom to download. Values from the configuration (server URL, "o_un",
// the password, "o_leave"); the caller chooses.
struct OrderServerAccount {
  std::string serverUrl;
  std::string user;
  std::string password;
  int versionNumber = 0;  // sent as the third parameter
  bool leaveOrdersOnServer = false;
};

// What one download did, handed to the finished hook.
struct OrderDownloadResult {
  int resultCode = 0;                    // 0 on success, else the code the error window showed
  int ordersReceived = 0;                // orders in the reply
  std::vector<std::string> receivedIds;  // their ids, in reply order
  std::vector<std::string> addedIds;     // ids of the orders filed (not already in the tree)
  bool saved = false;                    // the orders file was written
  bool deleteSent = false;               // the "?data=301" request went out
  bool deleteAnswered = false;           // the server answered it
  int deleteResultCode = -1;             // the code of that answer (not acted upon)
};

// Progress reports for the window. Each may be left empty.
struct OrderDownloadHooks {
  // A status line: "Connecting to Tolmi Server...", "Deleting orders on the server...", ...
  std::function<void(const std::string& text)> status;
  // Orders were filed: refresh the list and scroll to the order with this id.
  std::function<void(const std::string& newestOrderId)> ordersChanged;
  // The session is idle again; called once for every Start that returned true.
  std::function<void(const OrderDownloadResult& result)> finished;
};

class OrderDownload {
 public:
  // tree and nextOrderNumber (the "ordernum" setting) are the caller's and must outlive
  // the session; home is the folder of "orders.ost" and "temp".
  OrderDownload(EventLoop& loop, OrdersTree& tree, int& nextOrderNumber, std::string home,
                Prompter& prompter, const Clock& clock, OrderDownloadHooks hooks = {});
  // A request still in flight is left to end on its own; its answer is then ignored.
  ~OrderDownload();
  OrderDownload(const OrderDownload&) = delete;
  OrderDownload& operator=(const OrderDownload&) = delete;

  // Sends the download request. Returns false, sending nothing and calling no hook, when
  // a download is already running, the server URL is empty, or the server is the
  // incompatible provider's (its message is shown). When the HTTP client refuses the URL
  // the connection error window is shown and false is returned.
  bool Start(const OrderServerAccount& account);

  bool Busy() const { return stage_ != Stage::Idle; }

  // The time-out tick the requests use (kOrderServerTimeoutMs; tests pass less).
  void SetTimeoutMs(int ms) { timeoutMs_ = ms; }

  // The id of the latest order received; passed with later downloads while orders are
  // left on the server. The CLI keeps it in the configuration between runs.
  const std::string& lastOrderId() const { return lastOrderId_; }
  void SetLastOrderId(std::string id) { lastOrderId_ = std::move(id); }
  // The ids of the latest successful download, in reply order.
  const std::vector<std::string>& receivedIds() const { return receivedIds_; }
  // The result code of the latest failed download (0 when none failed).
  int lastResultCode() const { return lastResultCode_; }

 private:
  enum class Stage { Idle, Downloading, Deleting };
  void OnDownloadReply(std::string reply, unsigned flags, std::uint32_t contentLength,
                       std::uint32_t headerLength);
  void OnDeleteReply(std::string reply);
  // Shows the Download Error window for code; detail, when given, is a third line.
  void Fail(int code, const std::string& reply, const std::string& detail = {});
  bool SaveNow();
  void Report(const std::string& text);
  void Finish();

  EventLoop& loop_;
  OrdersTree& tree_;
  int& nextOrderNumber_;
  std::string home_;
  Prompter& prompter_;
  const Clock& clock_;
  OrderDownloadHooks hooks_;
  int timeoutMs_ = kOrderServerTimeoutMs;

  Stage stage_ = Stage::Idle;
  OrderServerAccount account_;
  OrderDownloadResult result_;
  std::string lastOrderId_;
  std::vector<std::string> receivedIds_;
  int lastResultCode_ = 0;
  std::shared_ptr<bool> alive_;
};

// The orders of a successful reply body filed into tree as the download does: each new
// order at the top of "New Orders" (newest first) named from nextOrderNumber, which is
// increased for each. An order whose id and order date equal those of an order already
// in the tree (anywhere, Trash included) was received before and is not filed again.
// Returns the ids of every order in the reply and of those filed.
struct FiledOrders {
  std::vector<std::string> receivedIds;
  std::vector<std::string> addedIds;
};
FiledOrders FileReceivedOrders(std::string_view body, OrdersTree& tree, int& nextOrderNumber);

}  // namespace tolmi

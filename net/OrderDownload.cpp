#include "net/OrderDownload.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "orders/OrdersFile.h"
#include "orders/ServerProtocol.h"

namespace tolmi {

namespace {

std::vector<OrderRecord>& NewOrdersList(OrdersTree& tree) {
  for (auto& r : tree.records)
    if (r.kind == RecordKind::NewOrders) return r.children;
  return tree.records;
}

// Replaces "temp/error.htm" below home with the reply. Best effort: a failure to write it
// must not hide the error window.
void WriteErrorFile(const std::string& home, const std::string& reply) {
  namespace fs = std::filesystem;
  fs::path path = fs::path(home) / kDownloadErrorFile;
  std::error_code ec;
  fs::remove(path, ec);
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reply.data(), static_cast<std::streamsize>(reply.size()));
}

}  // namespace

FiledOrders FileReceivedOrders(std::string_view body, OrdersTree& tree, int& nextOrderNumber) {
  // Read into a scratch tree first, so that orders already held can be left out before
  // anything is numbered or filed.
  OrdersTree scratch;
  scratch.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  int scratchNumber = 0;
  ReplyParse parse = ParseOrdersReply(body, scratch, scratchNumber);

  FiledOrders filed;
  filed.receivedIds = parse.receivedIds;
  std::set<std::pair<std::string, std::int32_t>> held;
  ForEachRecord(tree.records, [&](const OrderRecord& r) {
    if (r.kind == RecordKind::Order && !r.orderId.empty()) held.insert({r.orderId, r.orderDate});
  });

  // The scratch folder holds the newest order first; number them oldest first.
  std::vector<OrderRecord>& arrived = scratch.records.front().children;
  std::vector<OrderRecord> kept;
  for (auto it = arrived.rbegin(); it != arrived.rend(); ++it) {
    if (held.count({it->orderId, it->orderDate})) continue;
    it->name = std::to_string(nextOrderNumber);
    if (nextOrderNumber < INT_MAX) ++nextOrderNumber;
    filed.addedIds.push_back(it->orderId);
    kept.push_back(std::move(*it));
  }
  if (kept.empty()) return filed;

  tree.fieldTemplate = CopyRecord(kept.back());
  std::vector<OrderRecord>& dest = NewOrdersList(tree);
  std::vector<OrderRecord> merged;
  merged.reserve(kept.size() + dest.size());
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) merged.push_back(std::move(*it));
  for (auto& r : dest) merged.push_back(std::move(r));
  dest = std::move(merged);
  return filed;
}

OrderDownload::OrderDownload(EventLoop& loop, OrdersTree& tree, int& nextOrderNumber,
                             std::string home, Prompter& prompter, const Clock& clock,
                             OrderDownloadHooks hooks)
    : loop_(loop),
      tree_(tree),
      nextOrderNumber_(nextOrderNumber),
      home_(std::move(home)),
      prompter_(prompter),
      clock_(clock),
      hooks_(std::move(hooks)),
      alive_(std::make_shared<bool>(true)) {}

OrderDownload::~OrderDownload() {
  *alive_ = false;
}

void OrderDownload::Report(const std::string& text) {
  if (hooks_.status) hooks_.status(text);
}

bool OrderDownload::Start(const OrderServerAccount& account) {
  if (Busy() || account.serverUrl.empty()) return false;
  if (IsIncompatibleServer(account.serverUrl)) {
    prompter_.Show(kIncompatibleServerMessage, kIncompatibleServerTitle, PromptIcon::Warning);
    return false;
  }
  account_ = account;
  result_ = OrderDownloadResult{};
  const std::string lastId = account.leaveOrdersOnServer ? lastOrderId_ : std::string();
  const std::string url = BuildDownloadUrl(account.serverUrl, account.user, account.password,
                                           account.versionNumber, lastId);
  HttpSetNoCache();
  HttpSetTimeout(timeoutMs_);
  std::weak_ptr<bool> alive = alive_;
  HttpRequest* request =
      HttpGet(url, kOrderServerLabel, 0, 0, [this, alive](HttpRequest& req, std::uint32_t) {
        // Handle the reply on a later pass, outside the engine's completion: the error
        // window and the follow-up request then run on a clean stack.
        if (alive.expired() || !*alive.lock()) return 0;
        loop_.Post([this, alive, reply = std::move(req.reply), flags = req.flags,
                    length = req.contentLength, header = req.headerLength]() mutable {
          if (alive.expired() || !*alive.lock()) return;
          OnDownloadReply(std::move(reply), flags, length, header);
        });
        return 0;
      });
  if (!request) {
    lastResultCode_ = 99;
    WriteErrorFile(home_, "");
    prompter_.Show(DownloadErrorHeading(99) + "\n" + std::string(DownloadErrorMessage(99)),
                   kDownloadErrorTitle, PromptIcon::Error);
    return false;
  }
  stage_ = Stage::Downloading;
  Report("Connecting to Tolmi Server...");
  return true;
}

void OrderDownload::Fail(int code, const std::string& reply, const std::string& detail) {
  lastResultCode_ = code;
  result_.resultCode = code;
  WriteErrorFile(home_, reply);
  Report(DownloadErrorHeading(code));
  std::string text = DownloadErrorHeading(code) + "\n" + std::string(DownloadErrorMessage(code));
  if (!detail.empty()) text += "\n" + detail;
  prompter_.Show(text, kDownloadErrorTitle, PromptIcon::Error);
  Finish();
}

void OrderDownload::OnDownloadReply(std::string reply, unsigned flags, std::uint32_t contentLength,
                                    std::uint32_t headerLength) {
  if (reply.empty()) return Fail(99, reply);
  std::string_view body = ReplyBody(reply);
  // A reply cut short (of its length or its end mark), or one that is no order-server reply
  // (a web page, garbage), cannot be read: taking it would file partial orders and then
  // delete the whole ones on the server.
  const bool cutShort = contentLength > 0 && headerLength <= reply.size() &&
                        reply.size() - headerLength < contentLength;
  if (cutShort) return Fail(99, reply, "The server's reply was cut off.");
  if (Status whole = CheckReplyWhole(reply); !whole.ok()) return Fail(99, reply, whole.message());
  const int code = ReplyResultCode(body);
  // A transfer that broke off cannot report success: it counts as a failed connection.
  if ((flags & kHttpFailed) && code == 0) return Fail(99, reply);
  if ((flags & kHttpFailed) || code != 0) return Fail(code, reply);

  Report("Reading orders...");
  FiledOrders filed = FileReceivedOrders(body, tree_, nextOrderNumber_);
  receivedIds_ = filed.receivedIds;
  result_.receivedIds = filed.receivedIds;
  result_.addedIds = filed.addedIds;
  result_.ordersReceived = static_cast<int>(filed.receivedIds.size());
  if (!filed.receivedIds.empty()) lastOrderId_ = filed.receivedIds.back();
  if (!filed.addedIds.empty() && hooks_.ordersChanged) hooks_.ordersChanged(filed.addedIds.back());

  if (filed.receivedIds.empty() || account_.leaveOrdersOnServer) return Finish();

  // The orders reach the disk before the server is asked to forget them: a delete answer
  // that never comes (or a program that ends first) then loses nothing.
  if (!SaveNow()) return Finish();
  const std::string url =
      BuildDeleteUrl(account_.serverUrl, account_.user, account_.password, filed.receivedIds);
  std::weak_ptr<bool> alive = alive_;
  HttpRequest* request =
      HttpGet(url, kOrderServerLabel, 0, 0, [this, alive](HttpRequest& req, std::uint32_t) {
        if (alive.expired() || !*alive.lock()) return 0;
        loop_.Post([this, alive, reply = std::move(req.reply)]() mutable {
          if (alive.expired() || !*alive.lock()) return;
          OnDeleteReply(std::move(reply));
        });
        return 0;
      });
  if (!request) return Finish();
  result_.deleteSent = true;
  stage_ = Stage::Deleting;
  Report("Deleting orders on the server...");
}

void OrderDownload::OnDeleteReply(std::string reply) {
  if (!reply.empty()) {
    result_.deleteAnswered = true;
    result_.deleteResultCode = ReplyResultCode(ReplyBody(reply));
    SaveNow();
  }
  Finish();
}

bool OrderDownload::SaveNow() {
  Report("Saving orders...");
  Status status = SaveOrders(home_, tree_, static_cast<long long>(clock_.Now()));
  if (!status.ok()) {
    prompter_.Show(kOrdersWriteError, "Error", PromptIcon::Error);
    return false;
  }
  result_.saved = true;
  return true;
}

void OrderDownload::Finish() {
  stage_ = Stage::Idle;
  if (result_.resultCode == 0) {
    Report(std::to_string(result_.addedIds.size()) + " new orders received.");
  }
  if (hooks_.finished) hooks_.finished(result_);
}

}  // namespace tolmi

#include "net/ChargeSession.h"

#include <utility>

#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "net/OrderDownload.h"
#include "payments/TransactionLog.h"

namespace tolmi {

namespace {

// The order of tree with this name and id, or null when it is gone.
OrderRecord* FindOrder(OrdersTree& tree, const std::string& name, const std::string& id) {
  OrderRecord* found = nullptr;
  ForEachRecord(tree.records, [&](OrderRecord& r) {
    if (!found && r.kind == RecordKind::Order && r.name == name && r.orderId == id) found = &r;
  });
  return found;
}

}  // namespace

ChargeSession::ChargeSession(EventLoop& loop, OrdersTree& tree, std::string home,
                             const Clock& clock, ChargeSessionHooks hooks)
    : loop_(loop),
      tree_(tree),
      home_(std::move(home)),
      clock_(clock),
      hooks_(std::move(hooks)),
      alive_(std::make_shared<bool>(true)) {}

ChargeSession::~ChargeSession() {
  *alive_ = false;
}

Status ChargeSession::Start(const OrderRecord& order, const GatewayDefinition& gateway,
                            const ChargeContext& context) {
  if (busy_) return Status::Error(ErrorKind::InvalidArgument, "A charge is already running.");
  Result<ChargeRequest> request = BuildChargeRequest(gateway, order, context);
  if (!request) return request.status();
  gateway_ = gateway;
  context_ = context;
  charged_ = CopyRecord(order);
  charged_.totalCents = order.totalCents;  // the amount charged, for the log line
  busy_ = true;
  if (hooks_.status) hooks_.status("Working");
  if (timeoutMs_ > 0) HttpSetTimeout(timeoutMs_);

  std::weak_ptr<bool> alive = alive_;
  auto deliver = [this, alive](std::string reply) {
    loop_.Post([this, alive, reply = std::move(reply)]() mutable {
      if (alive.expired() || !*alive.lock()) return;
      OnReply(std::move(reply));
    });
  };
  HttpRequest* sent = HttpGet(request->request, kOrderServerLabel, 0, 0,
                              [alive, deliver](HttpRequest& req, std::uint32_t) {
                                if (!alive.expired() && *alive.lock())
                                  deliver(std::move(req.reply));
                                return 0;
                              });
  // An address the client cannot use gets no reply either.
  if (!sent) deliver(std::string());
  return Status::Ok();
}

void ChargeSession::OnReply(std::string reply) {
  busy_ = false;
  ChargeResult result;
  result.outcome = JudgeChargeReply(gateway_, reply, charged_, context_);
  const auto now = static_cast<std::int32_t>(clock_.Now());
  if (result.outcome.verdict != ChargeVerdict::NoReply) {
    if (OrderRecord* order = FindOrder(tree_, charged_.name, charged_.orderId)) {
      ApplyChargeOutcome(*order, result.outcome, now);
      result.orderUpdated = true;
    }
    // The charge happened at the gateway: it is logged even when the order has gone.
    Status logged = AppendTransactionLog(
        home_, MakeTransactionLogEntry(charged_, result.outcome.LogResult(), now), clock_.Now());
    result.logged = logged.ok();
    if (!logged.ok()) result.logError = logged.message();
  }
  if (hooks_.status) hooks_.status(std::string(result.outcome.StatusText()));
  if (hooks_.finished) hooks_.finished(result);
}

}  // namespace tolmi

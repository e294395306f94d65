#include "net/ChargeDesk.h"

#include <algorithm>
#include <utility>

namespace tolmi {

namespace {

bool SameFields(const std::vector<OrderField>& a, const std::vector<OrderField>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].name != b[i].name || a[i].value != b[i].value) return false;
  return true;
}

}  // namespace

ChargeCommandStep ChargeCommand(const GatewayDefinition* gateway, Prompter& prompter) {
  if (gateway) return ChargeCommandStep::OpenDialog;
  const PromptAnswer answer = prompter.Ask(std::string(kGatewayNotSetupQuestion),
                                           std::string(kGatewayNotSetupTitle),
                                           PromptButtons::YesNoCancel);
  return answer == PromptAnswer::Yes ? ChargeCommandStep::OpenGatewaySetup
                                     : ChargeCommandStep::Nothing;
}

ChargeDesk::ChargeDesk(EventLoop& loop, OrdersTree& tree, std::string home, const Clock& clock,
                       Prompter& prompter)
    : loop_(loop), tree_(tree), home_(std::move(home)), clock_(clock), prompter_(prompter) {}

ChargeDesk::~ChargeDesk() = default;

ChargeDesk::Entry* ChargeDesk::Find(int id) {
  for (auto& e : entries_)
    if (e->id == id) return e.get();
  return nullptr;
}

ChargePress ChargeDesk::Charge(OrderRecord& order, const ChargeInput& input,
                               const GatewayDefinition* gateway, const ChargeContext& context,
                               ChargeSessionHooks hooks, int* id) {
  if (!GatewaySetupComplete(gateway, context.account)) {
    const PromptAnswer answer = prompter_.Ask(std::string(kGatewaySettingsQuestion),
                                              std::string(kGatewaySettingsTitle),
                                              PromptButtons::YesNo);
    return answer == PromptAnswer::Yes ? ChargePress::OpenGatewaySetup : ChargePress::Stayed;
  }
  const std::vector<OrderField> before = order.fields;
  const Status checked = ApplyChargeInput(order, input);
  if (!SameFields(before, order.fields)) tree_.changed = true;
  if (!checked.ok()) {
    prompter_.Show(checked.message(), "Error", PromptIcon::Error);
    return ChargePress::Stayed;
  }

  // Sessions whose reply came are done with; a running one stays (its reply still counts).
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [](const auto& e) { return !e->session->Busy(); }),
                 entries_.end());
  auto entry = std::make_unique<Entry>();
  entry->id = nextId_++;
  entry->hooks = std::move(hooks);
  Entry* raw = entry.get();
  ChargeSessionHooks own;
  own.status = [raw](const std::string& text) {
    if (raw->hooks.status) raw->hooks.status(text);
  };
  own.finished = [this, raw](const ChargeResult& result) {
    if (result.orderUpdated) tree_.changed = true;
    if (onFinished_) onFinished_(result);
    if (raw->hooks.finished) raw->hooks.finished(result);
  };
  entry->session = std::make_unique<ChargeSession>(loop_, tree_, home_, clock_, std::move(own));
  if (timeoutMs_ > 0) entry->session->SetTimeoutMs(timeoutMs_);
  // Kept before the start: a request the client cannot send still reports, from the loop.
  entries_.push_back(std::move(entry));
  const Status started = raw->session->Start(order, *gateway, context);
  if (!started.ok()) {
    entries_.pop_back();
    prompter_.Show(started.message(), "Error", PromptIcon::Error);
    return ChargePress::Stayed;
  }
  if (id) *id = raw->id;
  return ChargePress::Sent;
}

void ChargeDesk::Detach(int id) {
  if (Entry* e = Find(id)) e->hooks = {};
}

std::size_t ChargeDesk::Running() const {
  return static_cast<std::size_t>(std::count_if(
      entries_.begin(), entries_.end(), [](const auto& e) { return e->session->Busy(); }));
}

}  // namespace tolmi

#include "orders/InvoiceEditor.h"

#include <algorithm>

#include "orders/OrdersView.h"

namespace tolmi {

bool InvoiceEditorCommandEnabled(InvoiceEditorCommand command, const InvoiceTemplateList& list,
                                 std::optional<std::size_t> selected) {
  const bool chosen = selected && *selected < list.templates.size();
  switch (command) {
    case InvoiceEditorCommand::New: return true;
    case InvoiceEditorCommand::SelectAll: return !list.templates.empty();
    case InvoiceEditorCommand::Preview:
    case InvoiceEditorCommand::Rename:
    case InvoiceEditorCommand::Delete:
    case InvoiceEditorCommand::LoadFromFile: return chosen;
    case InvoiceEditorCommand::RestoreDefault:
      return chosen && HasDefaultInvoiceTemplate(list, *selected);
  }
  return false;
}

bool EditInvoiceTemplateText(InvoiceTemplateList& list, std::size_t index, std::string text) {
  if (index >= list.templates.size()) return false;
  const std::size_t before = list.templates[index].text ? list.templates[index].text->size() : 0;
  if (text.size() > kInvoiceTemplateMaxBytes && text.size() > before) return false;
  SetInvoiceTemplateText(list, index, std::move(text));
  return true;
}

InvoiceDeleteResult DeleteInvoiceTemplates(InvoiceTemplateList& list,
                                           std::vector<std::size_t> indexes,
                                           const ConfirmTemplateDelete& confirm) {
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  InvoiceDeleteResult result;
  for (std::size_t index : indexes) {
    if (index >= list.templates.size()) continue;
    if (!confirm(InvoiceDeleteQuestion(list.templates[index].name))) continue;
    result.deleted = true;
    result.select = DeleteInvoiceTemplate(list, index);
    break;
  }
  return result;
}

std::vector<const OrderRecord*> InvoiceOrders(std::vector<OrderRecord>& records,
                                              const std::vector<std::uint64_t>& listSelection,
                                              std::uint64_t shownOrder) {
  std::vector<const OrderRecord*> out;
  for (std::uint64_t uid : listSelection)
    if (const OrderRecord* r = FindRecord(records, uid); r && r->kind == RecordKind::Order)
      out.push_back(r);
  if (!out.empty()) return out;
  if (const OrderRecord* r = FindRecord(records, shownOrder); r && r->kind == RecordKind::Order)
    out.push_back(r);
  return out;
}

}  // namespace tolmi

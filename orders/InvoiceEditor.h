// The "Invoice Editor - Setup" rules without a window: which of its commands are
// offered, the edit limit of a template's text, the Delete command's question loop,
// and which orders an invoice command of the orders window writes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "orders/Invoices.h"
#include "orders/OrdersTree.h"

namespace tolmi {

// The longest template text the editor takes.
inline constexpr std::size_t kInvoiceTemplateMaxBytes = 40000;

// The editor's commands (buttons and the list's context menu).
enum class InvoiceEditorCommand {
  Preview, New, Rename, Delete, LoadFromFile, RestoreDefault, SelectAll
};

// Whether the command is offered with that template selected (nullopt: none). New is
// always offered and Select All whenever there is a template; Rename, Delete, Preview
// and Load need a selected template; Restore Default needs one with a factory copy.
bool InvoiceEditorCommandEnabled(InvoiceEditorCommand command, const InvoiceTemplateList& list,
                                 std::optional<std::size_t> selected);

// An edit in the editor: text replaces the template's text (marked modified) unless it
// is longer than kInvoiceTemplateMaxBytes and longer than the text it replaces; a text
// loaded longer than the limit may still be shortened. False when the edit was refused
// (the template is then unchanged and the editor should show its text again).
bool EditInvoiceTemplateText(InvoiceTemplateList& list, std::size_t index, std::string text);

// Asked once per template until the first Yes: true for Yes.
using ConfirmTemplateDelete = std::function<bool(const std::string& question)>;
struct InvoiceDeleteResult {
  bool deleted = false;
  std::optional<std::size_t> select;  // the template to select next; nullopt: none left
};
// Delete: for the templates at indexes, in list order, asks InvoiceDeleteQuestion; No
// goes on to the next, the first Yes deletes that template (list entry and file) and
// ends the command. Indexes outside the list are skipped. When nothing was deleted,
// select is unchanged (nullopt).
InvoiceDeleteResult DeleteInvoiceTemplates(InvoiceTemplateList& list,
                                           std::vector<std::size_t> indexes,
                                           const ConfirmTemplateDelete& confirm);

// The orders an invoice command writes: the orders among the orders list's selection
// (in list order) when it holds any, else the shown order (uid 0: none).
std::vector<const OrderRecord*> InvoiceOrders(std::vector<OrderRecord>& records,
                                              const std::vector<std::uint64_t>& listSelection,
                                              std::uint64_t shownOrder);

}  // namespace tolmi

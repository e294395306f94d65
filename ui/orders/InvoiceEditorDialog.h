// The "Invoice Editor - Setup" window: the invoice templates on the left, the selected
// template's HTML under " Template:" in the middle, and the buttons View, OK, Help, New,
// Delete, Load and Default; the list's context menu offers Preview, New, Rename, Delete,
// Load from File, Restore Default and Select All. Every rule comes from orders/Invoices
// and orders/InvoiceEditor; the window edits the orders window's template list in place.
//
// Closing the window (OK or the window's close) writes every modified template back; a
// template that cannot be written stays modified and its error is shown.
#pragma once

#include <QDialog>
#include <optional>

#include "orders/Invoices.h"
#include "ui/ProjectWindows.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;
class QMenu;

namespace tolmi::ui {

class TemplateEditor;

class InvoiceEditorDialog : public QDialog {
  Q_OBJECT
 public:
  // list and ctx's references must outlive the window; order is the order View and
  // Preview fill the template from (null: an invoice without order data).
  InvoiceEditorDialog(const WindowContext& ctx, InvoiceTemplateList& list, const OrderRecord* order,
                      QWidget* parent);

  // Selects the template at index (nullopt: none), writing back modified ones first.
  void SelectTemplate(std::optional<std::size_t> index);
  std::optional<std::size_t> selected() const { return selected_; }

  // The commands, as the buttons and the context menu run them.
  void PreviewCommand();
  void NewCommand();
  void RenameCommand(const QString& name);
  void DeleteCommand();
  void LoadCommand();
  void DefaultCommand();
  void SelectAllCommand();
  void HelpCommand();

  void done(int result) override;

 private:
  void FillList();
  void ShowText();
  void TextEdited();
  void UpdateCommands();
  std::vector<std::size_t> SelectedIndexes() const;

  WindowContext ctx_;
  InvoiceTemplateList& list_;
  const OrderRecord* order_;
  std::optional<std::size_t> selected_;
  bool filling_ = false;

  QListWidget* templates_ = nullptr;
  TemplateEditor* editor_ = nullptr;
  QMenu* menu_ = nullptr;
  QPushButton *view_ = nullptr, *delete_ = nullptr, *load_ = nullptr, *default_ = nullptr;
  QAction *preview_ = nullptr, *rename_ = nullptr, *deleteAction_ = nullptr, *loadAction_ = nullptr,
          *restore_ = nullptr, *selectAll_ = nullptr;
};

// Fills the template at index from order into path and opens the page in the browser.
// Shows kInvoiceWriteError ("Error") when the file cannot be written and the browser
// error when no browser starts; a template without text does nothing. True when opened.
bool WriteAndOpenInvoice(const WindowContext& ctx, InvoiceTemplateList& list, std::size_t index,
                         const OrderRecord& order, const std::string& path);

}  // namespace tolmi::ui

// The Orders window's invoice commands (one per invoice template, Edit Invoices), Define
// User Fields, and the items list's context menu.
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTreeWidget>

#include "orders/InvoiceEditor.h"
#include "ui/orders/CustomFieldsDialog.h"
#include "ui/orders/InvoiceEditorDialog.h"
#include "ui/orders/OrdersWindow.h"

namespace tolmi::ui {

void OrdersWindow::BuildInvoiceMenu() {
  if (!invoiceMenu_) {
    invoices_ = LoadInvoiceTemplateList(ctx_.session.home());
    invoiceMenu_ = menuBar()->addMenu("&Invoice");
    invoiceMenu_->setObjectName("invoiceMenu");
    connect(invoiceMenu_, &QMenu::aboutToShow, this, [this] {
      const bool any = !InvoiceOrders(ctx_.session.orders().records, ListSelection(),
                                      ShownOrder() ? ShownOrder()->uid : 0)
                            .empty();
      for (QAction* a : invoiceMenu_->actions())
        if (a->property("template").isValid()) a->setEnabled(any);
    });
    // A project save writes back templates the editor changed, while this window is open.
    QPointer<OrdersWindow> self(this);
    ctx_.session.env().saveInvoiceTemplates = [self] {
      return self ? WriteBackInvoiceTemplates(self->invoices_) : Status::Ok();
    };
    for (QAction* a : menuBar()->actions())
      if (a->menu() && a->text() == "&Edit") {
        a->menu()->addSeparator();
        connect(a->menu()->addAction("Define User Fields"), &QAction::triggered, this,
                [this] { DefineUserFieldsCommand(); });
      }
  }
  invoiceMenu_->clear();
  for (std::size_t i = 0; i < invoices_.templates.size(); ++i) {
    QAction* a = invoiceMenu_->addAction(QString::fromStdString(invoices_.templates[i].name));
    a->setProperty("template", QVariant::fromValue<qulonglong>(i));
    connect(a, &QAction::triggered, this, [this, i] { InvoiceCommand(i); });
  }
  if (!invoices_.templates.empty()) invoiceMenu_->addSeparator();
  connect(invoiceMenu_->addAction("Edit Invoices"), &QAction::triggered, this,
          [this] { EditInvoicesCommand(); });
}

void OrdersWindow::InvoiceCommand(std::size_t index) {
  if (index >= invoices_.templates.size()) return;
  const OrderRecord* shown = ShownOrder();
  for (const OrderRecord* order :
       InvoiceOrders(ctx_.session.orders().records, ListSelection(), shown ? shown->uid : 0)) {
    const std::string path =
        InvoiceOutputPath(ctx_.session.home(), order->name, invoices_.templates[index].name);
    // One message is enough when the folder or the browser fails.
    if (!WriteAndOpenInvoice(ctx_, invoices_, index, *order, path)) return;
  }
}

void OrdersWindow::EditInvoicesCommand() {
  InvoiceEditorDialog dialog(ctx_, invoices_, ShownOrder(), this);
  dialog.exec();
  BuildInvoiceMenu();
}

void OrdersWindow::DefineUserFieldsCommand() {
  CustomFieldsDialog dialog(ctx_, ShownOrder(), this);
  if (dialog.exec() == QDialog::Accepted) FillDetails();
}

void OrdersWindow::BuildItemsMenu() {
  itemsMenu_ = new QMenu(this);
  itemsMenu_->setObjectName("itemsMenu");
  auto add = [this](const char* text, std::function<void()> run) {
    QAction* a = itemsMenu_->addAction(text);
    connect(a, &QAction::triggered, this, std::move(run));
    return a;
  };
  add("New", [this] { NewProductCommand(); });
  itemsMenu_->addSeparator();
  add("Copy", [this] { CopyCommand(); });
  add("Cut", [this] { CutCommand(); });
  add("Paste", [this] { PasteCommand(); });
  add("Delete", [this] { DeleteCommand(); });
  itemsMenu_->addSeparator();
  add("Enable", [this] { SetItemsDisabledCommand(false); });
  add("Disable", [this] { SetItemsDisabledCommand(true); });
  itemsMenu_->addSeparator();
  add("Select All", [this] { items_->selectAll(); });
  items_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(items_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateItemsMenu();
    itemsMenu_->popup(items_->viewport()->mapToGlobal(at));
  });
}

// The menu acts on the items list: the Edit commands take the product lines.
void OrdersWindow::UpdateItemsMenu() {
  SetFocusPane(OrdersFocus::Items);
  OrdersWindowState s;
  s.focus = OrdersFocus::Items;
  s.selected = ShownOrder();
  s.itemSelection = SelectedItemIndexes().size();
  s.clipHasItems = !clipItems_.empty();
  const std::pair<const char*, OrdersCommandId> rules[] = {
      {"New", OrdersCommandId::NewProduct},
      {"Copy", OrdersCommandId::Copy},
      {"Cut", OrdersCommandId::Cut},
      {"Paste", OrdersCommandId::Paste},
      {"Delete", OrdersCommandId::Delete},
      {"Enable", OrdersCommandId::EnableItems},
      {"Disable", OrdersCommandId::DisableItems}};
  for (QAction* a : itemsMenu_->actions()) {
    for (const auto& [text, id] : rules)
      if (a->text() == text) a->setEnabled(OrdersCommandEnabled(id, s));
    if (a->text() == "Select All") a->setEnabled(items_->topLevelItemCount() > 0);
  }
}

}  // namespace tolmi::ui

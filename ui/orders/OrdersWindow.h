// The "Orders" window: the folder tree, the orders list of the selected record, the
// product lines of the selected order with the display rows, the details pane and the
// eight status buttons, with menus and a toolbar for Download Orders, Save, Export,
// New Folder, New Order, New Product, Copy, Cut, Paste, Delete, Rename, Mark as,
// Enable and Disable. All rules come from orders/OrderCommands and orders/OrdersView;
// records are held by uid, never by pointer across a refresh.
//
// The window works on the session's orders tree; opening loads the orders file once,
// closing saves it. Downloads run on the core event loop (driven by the program's
// EventLoopBridge), so the window stays usable while one runs.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <vector>

#include "orders/Invoices.h"
#include "orders/OrderCommands.h"
#include "orders/OrdersView.h"
#include "ui/ProjectWindows.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tolmi {
class OrderDownload;
namespace ui {
class OrderPayments;

class OrdersWindow : public QMainWindow {
  Q_OBJECT
 public:
  // ctx's references must outlive the window.
  explicit OrdersWindow(const WindowContext& ctx);
  ~OrdersWindow() override;

  // Selects the record with that uid in the tree (0: nothing) and shows it.
  void SelectRecord(std::uint64_t uid);
  std::uint64_t selectedUid() const { return selected_; }
  // The uids selected in the orders list.
  std::vector<std::uint64_t> ListSelection() const;
  // Re-reads the tree into the widgets, keeping the selection.
  void Refresh();

  // The commands, as the menus run them.
  void DownloadOrders();
  bool SaveOrders();
  void ExportOrders();
  void NewFolderCommand();
  void NewOrderCommand();
  void NewProductCommand();
  void CopyCommand();
  void CutCommand();
  void PasteCommand();
  void DeleteCommand();
  void RenameCommand(const QString& title);
  void MarkCommand(std::uint16_t status);
  void SetItemsDisabledCommand(bool disabled);
  // Invoices, user fields and the items list's menu (OrdersWindowMenus.cpp).
  void InvoiceCommand(std::size_t index);  // the invoice of the selected orders, opened
  void EditInvoicesCommand();               // the Invoice Editor, then the menu rebuilt
  void DefineUserFieldsCommand();           // "Custom Order fields setup"
  InvoiceTemplateList& invoiceTemplates() { return invoices_; }
  QMenu* invoiceMenu() const { return invoiceMenu_; }
  QMenu* itemsMenu() const { return itemsMenu_; }  // the items list's context menu
  // Charge, Payment Gateway Setup, Settings, Transaction Log and the charges they run.
  OrderPayments* payments() const { return payments_; }

  // Which pane the Edit commands act on (the last of tree, list and items to have the focus).
  OrdersFocus focus() const { return focus_; }
  void SetFocusPane(OrdersFocus focus);
  bool downloadBusy() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void FillTree();
  void FillList();
  void FillItems();
  void FillDetails();
  void CommitDetails();
  void UpdateCommands();
  void Changed();
  OrderRecord* Selected();
  OrderRecord* ShownOrder();
  bool ChargesTax(const OrderRecord& order) const;
  std::vector<int> SelectedItemIndexes() const;
  void BuildInvoiceMenu();
  void BuildItemsMenu();
  void BuildPaymentsMenu();  // Charge, gateway setup, settings, log (OrdersWindowPayments.cpp)
  void UpdateItemsMenu();

  WindowContext ctx_;
  std::uint64_t selected_ = 0;
  OrdersFocus focus_ = OrdersFocus::Tree;
  bool filling_ = false;
  std::vector<OrderRecord> clipRecords_;
  std::vector<OrderItem> clipItems_;
  std::vector<ItemRow> itemRows_;
  int detailRow_ = -1;  // the items-list row the details pane shows; -1 for the order

  QTreeWidget* tree_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QTreeWidget* items_ = nullptr;
  QTableWidget* details_ = nullptr;
  std::vector<QPushButton*> statusButtons_;
  QLabel* changedLabel_ = nullptr;
  QAction *save_ = nullptr, *copy_ = nullptr, *cut_ = nullptr, *paste_ = nullptr,
          *delete_ = nullptr, *rename_ = nullptr, *newProduct_ = nullptr, *enable_ = nullptr,
          *disable_ = nullptr, *download_ = nullptr;
  std::vector<QAction*> markActions_;
  std::unique_ptr<OrderDownload> download_session_;
  OrderPayments* payments_ = nullptr;  // a child object: charges live as long as the window
  InvoiceTemplateList invoices_;
  QMenu* invoiceMenu_ = nullptr;
  QMenu* itemsMenu_ = nullptr;
};

// Orders (151), after the main window's order-server check: loads the orders file and
// opens the Orders window (raised when already open). A load failure (a damaged file
// without a backup, the orders lock held elsewhere) shows its message titled "Error";
// the window then does not open.
OrdersWindow* OrdersCommand(const WindowContext& ctx);

}  // namespace ui
}  // namespace tolmi

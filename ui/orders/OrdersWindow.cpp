#include "ui/orders/OrdersWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

#include "app/UiTexts.h"
#include "net/OrderDownload.h"
#include "orders/CsvExport.h"
#include "orders/OrderOperations.h"
#include "orders/OrderNumbers.h"
#include "orders/OrdersView.h"
#include "orders/PriceCheck.h"
#include "ui/dialogs/ProgressWindow.h"
#include "util/Dates.h"

namespace tolmi::ui {

namespace {
constexpr int kUidRole = Qt::UserRole + 1;

QString Q(const std::string& s) { return QString::fromStdString(s); }

QIcon RecordIconFor(const OrderRecord& r, QStyle* style) {
  switch (IconFor(r)) {
    case RecordIcon::UnreadOrder: return style->standardIcon(QStyle::SP_FileDialogNewFolder);
    case RecordIcon::Order: return style->standardIcon(QStyle::SP_FileIcon);
    case RecordIcon::UserFolder: return style->standardIcon(QStyle::SP_DirIcon);
    case RecordIcon::NewOrders: return style->standardIcon(QStyle::SP_DirOpenIcon);
    case RecordIcon::Trash: return style->standardIcon(QStyle::SP_TrashIcon);
  }
  return {};
}

struct StatusCommand {
  const char* label;
  std::uint16_t status;
};
// Mark as, in menu order.
constexpr StatusCommand kMarkCommands[] = {
    {"Pending", kStatusPending},     {"Dispatched", kStatusDispatched},
    {"Charged", kStatusCharged},     {"Rejected", kStatusRejected},
    {"Cancelled", kStatusCancelled}, {"Chargeback", kStatusChargeback},
    {"Confirm", kStatusConfirm},     {"Back Order", kStatusBackOrder},
    {"Unread", kStatusUnread}};

// The "Logon" window: user, password and "Remember Password". False when cancelled.
bool AskLogon(QWidget* parent, AppConfig& config, std::string& password) {
  QDialog dialog(parent);
  dialog.setObjectName("LogonDialog");
  dialog.setWindowTitle("Logon");
  auto* user = new QLineEdit(Q(config.orderUser));
  user->setObjectName("userEdit");
  auto* pass = new QLineEdit(Q(config.orderPassword));
  pass->setObjectName("passwordEdit");
  pass->setEchoMode(QLineEdit::Password);
  auto* remember = new QCheckBox("Remember Password");
  remember->setObjectName("rememberCheck");
  remember->setChecked(config.orderSave != 0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout(&dialog);
  form->addRow("User:", user);
  form->addRow("Password:", pass);
  form->addRow(remember);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  config.orderUser = user->text().toStdString();
  password = pass->text().toStdString();
  config.orderSave = remember->isChecked() ? 1 : 0;
  config.orderPassword = remember->isChecked() ? password : std::string();
  return true;
}
}  // namespace

OrdersWindow::OrdersWindow(const WindowContext& ctx) : QMainWindow(ctx.parent), ctx_(ctx) {
  setObjectName("OrdersWindow");
  setWindowTitle("Orders[*]");
  setAttribute(Qt::WA_DeleteOnClose);
  if (ctx.parent) setWindowFlag(Qt::Window);

  tree_ = new QTreeWidget;
  tree_->setObjectName("ordersTree");
  tree_->setHeaderHidden(true);
  list_ = new QTreeWidget;
  list_->setObjectName("ordersList");
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  QStringList headers;
  for (const char* h : kOrderListHeaders) headers << h;
  list_->setHeaderLabels(headers);
  list_->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  items_ = new QTreeWidget;
  items_->setObjectName("itemsList");
  items_->setRootIsDecorated(false);
  items_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  headers.clear();
  for (const char* h : kItemListHeaders) headers << h;
  items_->setHeaderLabels(headers);
  for (int c = 3; c < 7; ++c) items_->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  items_->header()->setStretchLastSection(false);  // the totals stay beside the other figures
  details_ = new QTableWidget(0, 2);
  details_->setObjectName("detailsPane");
  details_->horizontalHeader()->setVisible(false);
  details_->verticalHeader()->setVisible(false);
  details_->horizontalHeader()->setStretchLastSection(true);

  auto* buttonRow = new QHBoxLayout;
  for (int i = 0; i < 8; ++i) {
    auto* b = new QPushButton(kMarkCommands[i].label);
    b->setObjectName(QString("status%1").arg(kStatusButtons[i]));
    b->setCheckable(true);
    const std::uint16_t status = kStatusButtons[i];
    connect(b, &QPushButton::clicked, this, [this, status] {
      SetFocusPane(OrdersFocus::Tree);
      MarkCommand(status);
    });
    buttonRow->addWidget(b);
    statusButtons_.push_back(b);
  }
  auto* right = new QSplitter(Qt::Vertical);
  right->addWidget(list_);
  auto* lower = new QSplitter(Qt::Horizontal);
  lower->addWidget(items_);
  lower->addWidget(details_);
  lower->setStretchFactor(0, 3);
  lower->setStretchFactor(1, 2);
  right->addWidget(lower);
  auto* main = new QSplitter(Qt::Horizontal);
  main->addWidget(tree_);
  main->addWidget(right);
  main->setStretchFactor(1, 4);
  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(main, 1);
  layout->addLayout(buttonRow);
  setCentralWidget(central);
  changedLabel_ = new QLabel;
  statusBar()->addPermanentWidget(changedLabel_);

  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (filling_) return;
    SelectRecord(item ? item->data(0, kUidRole).toULongLong() : 0);
  });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    focus_ = OrdersFocus::List;
    const auto uids = ListSelection();
    // Reading an order: an unread one becomes pending (written by the next save).
    if (uids.size() == 1)
      if (OrderRecord* r = FindRecord(ctx_.session.orders().records, uids[0]); r && r->kind == RecordKind::Order && r->status == kStatusUnread) {
        MarkRead(*r);
        if (auto* item = list_->currentItem()) item->setIcon(0, RecordIconFor(*r, style()));
      }
    FillItems();
    FillDetails();
    UpdateCommands();
  });
  connect(items_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    focus_ = OrdersFocus::Items;
    auto* item = items_->currentItem();
    detailRow_ = item ? items_->indexOfTopLevelItem(item) : -1;
    FillDetails();
    UpdateCommands();
  });
  connect(tree_, &QTreeWidget::itemPressed, this, [this] { SetFocusPane(OrdersFocus::Tree); });
  connect(details_, &QTableWidget::cellChanged, this, [this] {
    if (!filling_) CommitDetails();
  });

  BuildMenus();
  BuildInvoiceMenu();
  BuildItemsMenu();
  BuildPaymentsMenu();
  const auto& records = ctx_.session.orders().records;
  Refresh();
  if (!records.empty()) SelectRecord(records.front().uid);
  resize(960, 640);
}

OrdersWindow::~OrdersWindow() = default;

void OrdersWindow::BuildMenus() {
  auto add = [this](QMenu* menu, const char* text, std::function<void()> run,
                    QKeySequence key = {}) {
    QAction* a = menu->addAction(text);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, std::move(run));
    return a;
  };
  QMenu* file = menuBar()->addMenu("&File");
  download_ = add(file, "Download Orders", [this] { DownloadOrders(); });
  save_ = add(file, "Save", [this] { SaveOrders(); }, QKeySequence::Save);
  add(file, "Export", [this] { ExportOrders(); });
  file->addSeparator();
  add(file, "Exit", [this] { close(); });
  QMenu* edit = menuBar()->addMenu("&Edit");
  add(edit, "New Folder", [this] { NewFolderCommand(); });
  add(edit, "New Order", [this] { NewOrderCommand(); });
  newProduct_ = add(edit, "New Product", [this] { NewProductCommand(); });
  edit->addSeparator();
  copy_ = add(edit, "Copy", [this] { CopyCommand(); }, QKeySequence::Copy);
  cut_ = add(edit, "Cut", [this] { CutCommand(); }, QKeySequence::Cut);
  paste_ = add(edit, "Paste", [this] { PasteCommand(); }, QKeySequence::Paste);
  delete_ = add(edit, "Delete", [this] { DeleteCommand(); }, QKeySequence::Delete);
  rename_ = add(edit, "Rename", [this] {
    OrderRecord* r = Selected();
    if (!r) return;
    bool ok = false;
    const QString title =
        QInputDialog::getText(this, "Rename", "Folder Name:", QLineEdit::Normal, Q(r->name), &ok);
    if (ok) RenameCommand(title);
  });
  QMenu* mark = menuBar()->addMenu("&Mark as");
  for (const auto& m : kMarkCommands) {
    const std::uint16_t status = m.status;
    markActions_.push_back(add(mark, m.label, [this, status] { MarkCommand(status); }));
  }
  QMenu* itemsMenu = menuBar()->addMenu("&Items");
  enable_ = add(itemsMenu, "Enable", [this] { SetItemsDisabledCommand(false); });
  disable_ = add(itemsMenu, "Disable", [this] { SetItemsDisabledCommand(true); });

  QToolBar* bar = addToolBar("Toolbar");
  bar->setObjectName("ordersToolbar");
  for (QAction* a : {download_, save_, copy_, cut_, paste_, delete_}) bar->addAction(a);
}

OrderRecord* OrdersWindow::Selected() { return FindRecord(ctx_.session.orders().records, selected_); }

// The order whose items and details show: the single order selected in the list, else
// the tree's selected order.
OrderRecord* OrdersWindow::ShownOrder() {
  auto& records = ctx_.session.orders().records;
  const auto uids = ListSelection();
  if (uids.size() == 1)
    if (OrderRecord* r = FindRecord(records, uids[0]); r && r->kind == RecordKind::Order) return r;
  OrderRecord* r = Selected();
  return r && r->kind == RecordKind::Order ? r : nullptr;
}

// Whether the store charges tax is the open store's setting (TAXD), not a guess from the
// order: it decides the Tax row and the "Tax" field a charge's request carries.
bool OrdersWindow::ChargesTax(const OrderRecord&) const {
  return ctx_.session.project().settings.taxOn;
}

std::vector<std::uint64_t> OrdersWindow::ListSelection() const {
  std::vector<std::uint64_t> uids;
  for (int i = 0; i < list_->topLevelItemCount(); ++i)
    if (list_->topLevelItem(i)->isSelected())
      uids.push_back(list_->topLevelItem(i)->data(0, kUidRole).toULongLong());
  return uids;
}

std::vector<int> OrdersWindow::SelectedItemIndexes() const {
  std::vector<int> out;
  for (int i = 0; i < items_->topLevelItemCount() && i < static_cast<int>(itemRows_.size()); ++i)
    if (items_->topLevelItem(i)->isSelected() && itemRows_[static_cast<std::size_t>(i)].item >= 0)
      out.push_back(itemRows_[static_cast<std::size_t>(i)].item);
  return out;
}

void OrdersWindow::SetFocusPane(OrdersFocus focus) {
  focus_ = focus;
  UpdateCommands();
}

bool OrdersWindow::downloadBusy() const { return download_session_ && download_session_->Busy(); }

void OrdersWindow::SelectRecord(std::uint64_t uid) {
  if (!FindRecord(ctx_.session.orders().records, uid)) uid = 0;
  selected_ = uid;
  focus_ = OrdersFocus::Tree;
  filling_ = true;
  QTreeWidgetItemIterator it(tree_);
  tree_->setCurrentItem(nullptr);
  for (; *it; ++it)
    if ((*it)->data(0, kUidRole).toULongLong() == uid) {
      tree_->setCurrentItem(*it);
      break;
    }
  filling_ = false;
  FillList();
  FillItems();
  FillDetails();
  UpdateCommands();
}

void OrdersWindow::Refresh() {
  FillTree();
  SelectRecord(selected_);
}

void OrdersWindow::FillTree() {
  filling_ = true;
  tree_->clear();
  std::function<void(QTreeWidgetItem*, const std::vector<OrderRecord>&, int)> add =
      [&](QTreeWidgetItem* parent, const std::vector<OrderRecord>& list, int depth) {
        if (depth > 1000) return;
        for (const auto& r : list) {
          auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
          item->setText(0, Q(r.name));
          item->setIcon(0, RecordIconFor(r, style()));
          item->setData(0, kUidRole, QVariant::fromValue<qulonglong>(r.uid));
          add(item, r.children, depth + 1);
        }
      };
  add(nullptr, ctx_.session.orders().records, 0);
  tree_->expandToDepth(0);
  filling_ = false;
}

void OrdersWindow::FillList() {
  filling_ = true;
  list_->clear();
  const AppConfig& config = ctx_.session.config();
  auto date = [&config](std::time_t t) { return FormatDateLocale(t, config.dateFormat); };
  for (OrderRecord* r : ListedRecords(Selected())) {
    auto* item = new QTreeWidgetItem(list_);
    const auto cells = OrderListCells(*r, date);
    for (int c = 0; c < 7; ++c) item->setText(c, Q(cells[static_cast<std::size_t>(c)]));
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);  // amounts line up
    item->setIcon(0, RecordIconFor(*r, style()));
    item->setData(0, kUidRole, QVariant::fromValue<qulonglong>(r->uid));
    // The price check's mark: the differences in a tip, the row in red.
    if (r->priceMark == PriceMark::Differs || r->priceMark == PriceMark::CatalogueChanged) {
      std::string tip(PriceMarkText(r->priceMark));
      for (const std::string& note : r->priceNotes) tip += "\n" + note;
      for (int c = 0; c < 7; ++c) item->setToolTip(c, Q(tip));
      if (r->priceMark == PriceMark::Differs)
        for (int c = 0; c < 7; ++c) item->setForeground(c, QBrush(Qt::red));
    }
  }
  for (int c = 0; c < 7; ++c) list_->resizeColumnToContents(c);
  filling_ = false;
}

void OrdersWindow::FillItems() {
  filling_ = true;
  items_->clear();
  itemRows_.clear();
  detailRow_ = -1;
  if (OrderRecord* order = ShownOrder()) {
    // A shown order carries its tax as a field; not a change of the merchant's.
    (void)EnsureTaxField(*order, ChargesTax(*order));
    itemRows_ = ItemRows(*order, ChargesTax(*order));
    for (const auto& row : itemRows_) {
      auto* item = new QTreeWidgetItem(items_);
      if (row.kind == RowKind::Product)
        item->setIcon(0, style()->standardIcon(row.disabled ? QStyle::SP_DialogCancelButton
                                                            : QStyle::SP_DialogApplyButton));
      for (int c = 0; c < 6; ++c) item->setText(c + 1, Q(row.cells[static_cast<std::size_t>(c)]));
      for (int c = 3; c < 7; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int c = 0; c < 7; ++c) items_->resizeColumnToContents(c);
  }
  filling_ = false;
}

void OrdersWindow::FillDetails() {
  filling_ = true;
  details_->setRowCount(0);
  std::vector<DetailPair> pairs;
  if (OrderRecord* order = ShownOrder()) {
    if (detailRow_ >= 0 && static_cast<std::size_t>(detailRow_) < itemRows_.size()) {
      pairs = ItemDetails(*order, itemRows_[static_cast<std::size_t>(detailRow_)]);
    } else {
      std::vector<OrderField> custom;
      for (const auto& c : ctx_.session.config().customFields)
        custom.push_back({c.title, c.defaultValue});
      pairs = OrderDetails(*order, custom);
    }
  }
  details_->setRowCount(static_cast<int>(pairs.size()));
  for (int i = 0; i < static_cast<int>(pairs.size()); ++i) {
    auto* label = new QTableWidgetItem(Q(pairs[static_cast<std::size_t>(i)].label));
    label->setFlags(Qt::ItemIsEnabled);
    details_->setItem(i, 0, label);
    details_->setItem(i, 1, new QTableWidgetItem(Q(pairs[static_cast<std::size_t>(i)].value)));
  }
  details_->resizeColumnToContents(0);
  filling_ = false;
}

void OrdersWindow::CommitDetails() {
  OrderRecord* order = ShownOrder();
  if (!order) return;
  std::vector<DetailPair> pairs;
  for (int i = 0; i < details_->rowCount(); ++i)
    pairs.push_back({details_->item(i, 0)->text().toStdString(),
                     details_->item(i, 1) ? details_->item(i, 1)->text().toStdString() : ""});
  bool rebuild = false;
  if (detailRow_ >= 0 && static_cast<std::size_t>(detailRow_) < itemRows_.size()) {
    rebuild = CommitItemDetails(*order, itemRows_[static_cast<std::size_t>(detailRow_)], pairs);
  } else {
    rebuild = CommitOrderDetails(*order, pairs);
  }
  Changed();
  if (rebuild) {
    const int keep = detailRow_;
    FillItems();
    detailRow_ = keep;
  }
}

void OrdersWindow::UpdateCommands() {
  OrdersTree& tree = ctx_.session.orders();
  OrdersWindowState s;
  s.focus = focus_;
  s.selected = Selected();
  for (std::uint64_t uid : ListSelection())
    if (const OrderRecord* r = FindRecord(tree.records, uid)) s.listSelection.push_back(r);
  s.itemSelection = SelectedItemIndexes().size();
  s.clipHasRecords = !clipRecords_.empty();
  s.clipHasItems = !clipItems_.empty();
  s.changed = tree.changed;
  auto on = [&](OrdersCommandId id) { return OrdersCommandEnabled(id, s); };
  save_->setEnabled(on(OrdersCommandId::Save));
  copy_->setEnabled(on(OrdersCommandId::Copy));
  cut_->setEnabled(on(OrdersCommandId::Cut));
  paste_->setEnabled(on(OrdersCommandId::Paste));
  delete_->setEnabled(on(OrdersCommandId::Delete));
  rename_->setEnabled(on(OrdersCommandId::Rename));
  newProduct_->setEnabled(ShownOrder() != nullptr);
  enable_->setEnabled(on(OrdersCommandId::EnableItems) || (ShownOrder() && s.itemSelection > 0));
  disable_->setEnabled(enable_->isEnabled());
  for (QAction* a : markActions_) a->setEnabled(on(OrdersCommandId::MarkAs));
  download_->setEnabled(!downloadBusy());
  const OrderRecord* shown = ShownOrder();
  for (std::size_t i = 0; i < statusButtons_.size(); ++i) {
    statusButtons_[i]->setEnabled(shown != nullptr);
    statusButtons_[i]->setChecked(shown && PressedStatus(*shown) == kStatusButtons[i]);
  }
  setWindowModified(tree.changed);
  changedLabel_->setText(tree.changed ? "Changed" : "");
}

void OrdersWindow::Changed() {
  ctx_.session.orders().changed = true;
  UpdateCommands();
}

void OrdersWindow::DownloadOrders() {
  if (downloadBusy()) return;
  AppSession& session = ctx_.session;
  AppConfig& config = session.config();
  std::string password;
  if (!AskLogon(this, config, password)) return;
  (void)session.WriteConfig();
  if (!session.networkStarted() && !session.StartNetwork(nullptr)) return;
  OrderServerAccount account;
  account.serverUrl = config.server;
  account.user = config.orderUser;
  account.password = password;
  account.versionNumber = session.globals().versionNumber;
  account.leaveOrdersOnServer = config.orderLeave != 0;
  OrderDownloadHooks hooks;
  hooks.status = [this](const std::string& text) { statusBar()->showMessage(Q(text)); };
  hooks.ordersChanged = [this](const std::string&) {
    Refresh();
  };
  hooks.finished = [this, leave = account.leaveOrdersOnServer](const OrderDownloadResult& r) {
    AppSession& s = ctx_.session;
    if (!r.addedIds.empty() && !r.saved && leave) (void)SaveOrders();
    if (download_session_ && download_session_->lastOrderId() != s.config().orderLast) {
      s.config().orderLast = download_session_->lastOrderId();
    }
    (void)s.WriteConfig();
    // The new orders are checked against the open store's catalogue at once.
    int differing = 0;
    if (r.resultCode == 0 && !r.addedIds.empty() && !s.session().path.empty())
      differing = CheckReceivedOrders(s.orders(), r.addedIds,
                                      CatalogueHistoryOf(s.project(), s.session().path,
                                                         &s.globals().domains));
    statusBar()->showMessage(
        r.resultCode != 0 ? QString()
        : differing       ? QString("Received %1 orders; %2 differ from the catalogue (marked !).")
                          .arg(r.ordersReceived)
                          .arg(differing)
                          : QString("Received %1 orders.").arg(r.ordersReceived));
    Refresh();
  };
  download_session_ = std::make_unique<OrderDownload>(session.loop(), session.orders(),
                                                      config.orderNumber, session.home(),
                                                      ctx_.prompter, session.clock(), hooks);
  download_session_->SetLastOrderId(config.orderLast);
  if (!download_session_->Start(account)) download_session_.reset();
  UpdateCommands();
}

bool OrdersWindow::SaveOrders() {
  ProgressWindow progress(this, QString::fromUtf8(kSavingOrdersText));
  progress.Begin();
  const bool ok = ctx_.session.SaveOrdersFile(progress.Callback()).ok();
  progress.hide();
  UpdateCommands();
  return ok;
}

void OrdersWindow::ExportOrders() {
  const std::string path =
      ctx_.chooser.SaveFile({"Export File", "Export File (*.csv)", ctx_.session.home()});
  if (path.empty()) return;
  auto set = ExportSet(ctx_.session.orders().records, focus_ == OrdersFocus::List,
                       ListSelection(), selected_);
  const int order = ctx_.session.config().dateFormat;
  // A file that cannot be written shows nothing.
  (void)WriteOrdersCsv(path, set, [order](std::time_t t) {
    return t ? FormatDateLocale(t, order) : std::string();
  });
}

void OrdersWindow::NewFolderCommand() {
  SelectRecord(NewFolder(ctx_.session.orders().records, selected_));
  FillTree();
  SelectRecord(selected_);
  Changed();
}

void OrdersWindow::NewOrderCommand() {
  OrdersTree& tree = ctx_.session.orders();
  int& next = ctx_.session.config().orderNumber;
  next = NextOrderNumber(tree, next);
  selected_ = NewOrder(tree, selected_, next);
  Refresh();
  Changed();
}

void OrdersWindow::NewProductCommand() {
  OrderRecord* order = ShownOrder();
  if (!order) return;
  NewProduct(*order);
  FillItems();
  Changed();
}

void OrdersWindow::CopyCommand() {
  auto& records = ctx_.session.orders().records;
  if (focus_ == OrdersFocus::Items) {
    OrderRecord* order = ShownOrder();
    if (!order) return;
    clipItems_.clear();
    for (int i : SelectedItemIndexes()) clipItems_.push_back(DuplicateItem(order->items[static_cast<std::size_t>(i)]));
  } else {
    const auto uids = focus_ == OrdersFocus::List ? ListSelection()
                                                  : std::vector<std::uint64_t>{selected_};
    clipRecords_ = CopyRecords(records, uids);
  }
  UpdateCommands();
}

void OrdersWindow::CutCommand() {
  CopyCommand();
  DeleteCommand();
}

void OrdersWindow::PasteCommand() {
  auto& records = ctx_.session.orders().records;
  if (focus_ == OrdersFocus::Items) {
    OrderRecord* order = ShownOrder();
    if (!order || !PasteItems(*order, clipItems_)) return;
    FillItems();
    Changed();
    return;
  }
  const auto pasted = PasteRecords(records, clipRecords_, selected_,
                                   focus_ == OrdersFocus::List ? PasteTarget::List : PasteTarget::Tree);
  if (pasted.empty()) return;
  Refresh();
  Changed();
}

void OrdersWindow::DeleteCommand() {
  if (focus_ == OrdersFocus::Items) {
    OrderRecord* order = ShownOrder();
    if (order && DeleteItems(*order, SelectedItemIndexes())) {
      FillItems();
      FillDetails();
      Changed();
    }
    return;
  }
  const bool fromList = focus_ == OrdersFocus::List;
  const auto uids = fromList ? ListSelection() : std::vector<std::uint64_t>{selected_};
  auto confirm = [this] {
    return ctx_.prompter.Ask(kPermanentDeleteQuestion, "Confirmation", PromptButtons::YesNo) ==
           PromptAnswer::Yes;
  };
  const DeleteResult r = DeleteRecords(ctx_.session.orders().records, uids, confirm);
  if (!r.changed) return;
  if (!fromList) selected_ = r.nextSelection;
  Refresh();
  Changed();
}

void OrdersWindow::RenameCommand(const QString& title) {
  OrderRecord* r = Selected();
  if (!r || !RenameFolder(*r, title.toStdString())) return;
  Refresh();
  Changed();
}

void OrdersWindow::MarkCommand(std::uint16_t status) {
  std::vector<std::uint64_t> uids;
  if (focus_ == OrdersFocus::List) uids = ListSelection();
  else if (OrderRecord* r = ShownOrder()) uids = {r->uid};
  if (MarkRecords(ctx_.session.orders().records, uids, status, ctx_.session.clock().Now()) == 0)
    return;
  const auto keep = ListSelection();
  FillList();
  filling_ = true;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    auto* item = list_->topLevelItem(i);
    const auto uid = item->data(0, kUidRole).toULongLong();
    item->setSelected(std::find(keep.begin(), keep.end(), uid) != keep.end());
  }
  filling_ = false;
  Changed();
}

void OrdersWindow::SetItemsDisabledCommand(bool disabled) {
  OrderRecord* order = ShownOrder();
  if (!order || !SetItemsDisabled(*order, SelectedItemIndexes(), disabled)) return;
  FillItems();
  Changed();
}

void OrdersWindow::closeEvent(QCloseEvent* event) {
  // Closing saves the orders file (reads turned unread orders pending, too).
  if (ctx_.session.ordersLoaded()) (void)ctx_.session.SaveOrdersFile();
  QMainWindow::closeEvent(event);
}

OrdersWindow* OrdersCommand(const WindowContext& ctx) {
  if (ctx.parent)
    if (auto* open = ctx.parent->findChild<OrdersWindow*>("OrdersWindow")) {
      open->show();
      open->raise();
      open->activateWindow();
      return open;
    }
  if (Status loaded = ctx.session.LoadOrdersOnce(); !loaded.ok()) {
    // A damaged file without a backup was kept aside unread, so nothing saves over it.
    ctx.prompter.Show(loaded.message(), "Error", PromptIcon::Error);
    return nullptr;
  }
  auto* window = new OrdersWindow(ctx);
  window->show();
  return window;
}

}  // namespace tolmi::ui

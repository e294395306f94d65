#include "ui/freight/FreightPage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/CommandRules.h"
#include "builder/Freight.h"
#include "ui/wizard/WizardCommands.h"
#include "util/Paths.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {
namespace {

QString Shown(std::string_view bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

std::string Stored(const QString& text) { return EncodeFromDisplay(text.toStdString(), true); }

// The chooser's text of a method: its name, or its number while it has none.
QString MethodText(const StoreProject& project, int method) {
  const auto& name = project.deliveryMethodNames[static_cast<std::size_t>(method)];
  if (name && !name->empty()) return Shown(*name);
  return QStringLiteral("Method %1").arg(method + 1);
}

}  // namespace

FreightGridModel::FreightGridModel(StoreProject& project, QObject* parent)
    : QAbstractTableModel(parent), project_(project) {}

int FreightGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FreightGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kFreightGridHeaders.size());
}

QVariant FreightGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const FreightGridRow& row = rows_[static_cast<std::size_t>(index.row())];
  const int column = index.column();
  if (role == Qt::DisplayRole || role == Qt::EditRole)
    return Shown(row.cells[static_cast<std::size_t>(column)]);
  if (role == Qt::CheckStateRole && column == kFreightNameColumn)
    return row.enabled ? Qt::Checked : Qt::Unchecked;
  if (role == Qt::TextAlignmentRole && column != kFreightNameColumn)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant FreightGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (section < 0 || section >= static_cast<int>(kFreightGridHeaders.size())) return {};
  return QString::fromLatin1(kFreightGridHeaders[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags FreightGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const FreightGridRow& row = rows_[static_cast<std::size_t>(index.row())];
  if (index.column() == kFreightNameColumn) return f | Qt::ItemIsUserCheckable;
  if (index.column() == kFreightTaxColumn || !row.hasRule) f |= Qt::ItemIsEditable;
  return f;
}

bool FreightGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return false;
  const std::size_t region = rows_[static_cast<std::size_t>(index.row())].region;
  const bool before = project_.changed;
  project_.changed = false;
  bool ok = false;
  if (role == Qt::CheckStateRole && index.column() == kFreightNameColumn)
    ok = SetFreightEnabled(project_, region, method_, value.toInt() == Qt::Checked);
  else if (role == Qt::EditRole)
    ok = SetFreightCell(project_, region, method_, index.column(), Stored(value.toString()));
  const bool edited = project_.changed;
  project_.changed = before || edited;
  if (!ok) return false;
  RefreshRows();
  if (edited) emit this->edited();
  return true;
}

void FreightGridModel::Reload(int method, int sortColumn, bool descending) {
  beginResetModel();
  method_ = method;
  sortColumn_ = sortColumn;
  descending_ = descending;
  rows_ = FreightGridRows(project_, method_, sortColumn_, descending_);
  endResetModel();
}

void FreightGridModel::RefreshRows() {
  // The rows keep their regions and order; only their texts are read again.
  const std::vector<FreightGridRow> fresh = FreightGridRows(project_, method_);
  if (fresh.size() != rows_.size()) {
    Reload(method_, sortColumn_, descending_);
    return;
  }
  for (FreightGridRow& row : rows_) row = fresh[row.region];
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int FreightGridModel::RegionAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return -1;
  return static_cast<int>(rows_[static_cast<std::size_t>(row)].region);
}

FreightPage::FreightPage(const WindowContext& ctx, QWidget* parent) : StorePage(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("freightPage"));
  method_ = new QComboBox(this);
  method_->setObjectName(QStringLiteral("freightMethod"));
  auto* methodLabel = new QLabel(QStringLiteral("Delivery Method:"), this);
  methodLabel->setBuddy(method_);

  model_ = new FreightGridModel(ctx_.session.project(), this);
  grid_ = new QTableView(this);
  grid_->setObjectName(QStringLiteral("freightGrid"));
  grid_->setModel(model_);
  grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->horizontalHeader()->setDefaultSectionSize(44);
  // Long titles ("11+ per/unit of weight") wrap instead of widening their column.
  grid_->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
  grid_->horizontalHeader()->setFixedHeight(grid_->fontMetrics().height() * 2 + 10);
  grid_->horizontalHeader()->setSectionsClickable(true);
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);

  rule_ = new QLineEdit(this);
  rule_->setObjectName(QStringLiteral("freightRule"));
  rule_->setMaxLength(static_cast<int>(kMaxFreightRule));
  auto* ruleLabel = new QLabel(QStringLiteral("Rule:"), this);
  ruleLabel->setBuddy(rule_);

  auto button = [this](const char* name, const char* text, WizardMode mode) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, [this, mode] { RunWizard(mode); });
    return b;
  };
  auto* top = new QHBoxLayout;
  top->addWidget(methodLabel);
  top->addWidget(method_, 1);
  top->addWidget(button("freightWizard", "Wizard", WizardMode::FreightSetup));
  top->addWidget(button("freightMethods", "Methods", WizardMode::MethodsOnly));
  top->addWidget(button("freightRegions", "Add/Remove &Regions", WizardMode::RegionsOnly));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(ruleLabel);
  bottom->addWidget(rule_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(grid_, 1);
  layout->addLayout(bottom);

  // The page's own Copy, Paste and Delete, as keys on the grid and in its menu.
  auto action = [this](const char* name, const char* text, QKeySequence keys, auto slot) {
    auto* a = new QAction(QString::fromLatin1(text), grid_);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(keys);
    a->setShortcutContext(Qt::WidgetShortcut);
    connect(a, &QAction::triggered, this, slot);
    grid_->addAction(a);
    return a;
  };
  action("freightCopy", "&Copy", QKeySequence::Copy, [this] { CopyTables(); });
  action("freightPaste", "&Paste", QKeySequence::Paste, [this] { PasteTables(); });
  action("freightDelete", "&Delete", QKeySequence::Delete, [this] { DeleteTables(); });
  connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QMenu menu(this);
    menu.addActions(grid_->actions());
    menu.exec(grid_->viewport()->mapToGlobal(pos));
  });

  connect(method_, &QComboBox::activated, this, [this] {
    model_->Reload(method_->currentIndex(), sortColumn_, descending_);
    ShowFocusedRule();
  });
  connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int column) { Sort(column); });
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { ShowFocusedRule(); });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { ShowFocusedRule(); });
  connect(model_, &FreightGridModel::edited, this, &FreightPage::projectChanged);
  connect(rule_, &QLineEdit::editingFinished, this, [this] {
    const int region = model_->RegionAt(grid_->currentIndex().row());
    if (region < 0) return;
    StoreProject& project = ctx_.session.project();
    const bool before = project.changed;
    project.changed = false;
    const bool ok = SetFreightRule(project, static_cast<std::size_t>(region), model_->method(),
                                   Stored(rule_->text()));
    const bool edited = project.changed;
    project.changed = before || edited;
    if (!ok) ShowFocusedRule();
    if (edited) {
      model_->RefreshRows();
      emit projectChanged();
    }
  });
  Reload();
}

void FreightPage::Reload() {
  const StoreProject& project = ctx_.session.project();
  const int method = std::max(0, method_->currentIndex());
  method_->clear();
  for (int m = 0; m < 3; ++m) method_->addItem(MethodText(project, m));
  method_->setCurrentIndex(method);
  model_->Reload(method, sortColumn_, descending_);
  grid_->setColumnWidth(kFreightNameColumn, 124);
  grid_->setColumnWidth(12, 84);
  grid_->setColumnWidth(kFreightTaxColumn, 56);
  ShowFocusedRule();
}

void FreightPage::Sort(int column) {
  descending_ = column == sortColumn_ ? !descending_ : false;
  sortColumn_ = column;
  grid_->horizontalHeader()->setSortIndicatorShown(true);
  grid_->horizontalHeader()->setSortIndicator(
      column, descending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
  model_->Reload(model_->method(), sortColumn_, descending_);
}

void FreightPage::ShowFocusedRule() {
  const int region = model_->RegionAt(grid_->currentIndex().row());
  const StoreProject& project = ctx_.session.project();
  rule_->setEnabled(region >= 0);
  rule_->setText(region >= 0 ? Shown(project.regions[static_cast<std::size_t>(region)]
                                         .methods[static_cast<std::size_t>(model_->method())]
                                         .rule)
                             : QString());
}

std::vector<std::size_t> FreightPage::SelectedRegions() const {
  std::vector<int> rows;
  for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
    rows.push_back(index.row());
  if (rows.empty() && grid_->currentIndex().isValid()) rows.push_back(grid_->currentIndex().row());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<std::size_t> regions;
  for (int row : rows)
    if (int region = model_->RegionAt(row); region >= 0)
      regions.push_back(static_cast<std::size_t>(region));
  return regions;
}

void FreightPage::CopyTables() {
  const std::string text =
      CopyFreightTables(ctx_.session.project(), model_->method(), SelectedRegions());
  if (!text.empty()) QGuiApplication::clipboard()->setText(Shown(text));
}

void FreightPage::PasteTables() {
  StoreProject& project = ctx_.session.project();
  const bool before = project.changed;
  project.changed = false;
  PasteFreightTables(project, model_->method(), SelectedRegions(),
                     Stored(QGuiApplication::clipboard()->text()));
  const bool edited = project.changed;
  project.changed = before || edited;
  if (!edited) return;
  model_->RefreshRows();
  ShowFocusedRule();
  emit projectChanged();
}

void FreightPage::DeleteTables() {
  if (ClearFreightTables(ctx_.session.project(), model_->method(), SelectedRegions()) == 0) return;
  model_->RefreshRows();
  ShowFocusedRule();
  emit projectChanged();
}

bool FreightPage::RunPageCommand(int command) {
  switch (command) {
    case kCmdCopy: CopyTables(); return true;
    case kCmdPaste: PasteTables(); return true;
    case kCmdDelete: DeleteTables(); return true;
    case kCmdSelectAll: grid_->selectAll(); return true;
    default: return false;
  }
}

void FreightPage::RunWizard(WizardMode mode) {
  WindowContext inner = ctx_;
  inner.parent = this;
  (void)StoreWizardCommand(inner, mode, model_->method());
  Reload();
  emit projectChanged();  // the title and Save follow the project's mark
}

Status ImportFreightTablesCommand(const WindowContext& ctx) {
  const std::string path = ctx.chooser.OpenFile(
      {"Import Freight Tables", "Store Project (*.stp)", JoinPath(ctx.session.home(), "Projects")});
  if (path.empty()) return Status::Error(ErrorKind::Cancelled, "No project file was chosen.");
  if (!ImportFreightTables(ctx.session.project(), path, ctx.session.globals().domains,
                           ctx.prompter))
    return Status::Error(ErrorKind::NotFound, "S105: Unable to read project file '" + path + "'");
  return Status::Ok();
}

}  // namespace tolmi::ui

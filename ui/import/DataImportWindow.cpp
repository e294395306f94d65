#include "ui/import/DataImportWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "util/TextEncoding.h"

namespace tolmi::ui {
namespace {

QString Shown(std::string_view bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

QLineEdit* SettingEdit(const char* name, const std::string& value, QWidget* parent) {
  auto* edit = new QLineEdit(Shown(value), parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaximumWidth(60);
  return edit;
}

}  // namespace

ImportRecordModel::ImportRecordModel(ImportSession& session, QObject* parent)
    : QAbstractTableModel(parent), session_(session) {}

int ImportRecordModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(session_.rows.size());
}

int ImportRecordModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(session_.columnCount);
}

QVariant ImportRecordModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  return Shown(ImportCell(session_, static_cast<std::size_t>(index.row()),
                          static_cast<std::size_t>(index.column())));
}

QVariant ImportRecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return QString::fromStdString(ColumnHeader(session_.data, static_cast<std::size_t>(section)));
}

void ImportRecordModel::Reset() {
  beginResetModel();
  endResetModel();
}

void ImportRecordModel::RecordChanged(int row, std::size_t columnsBefore) {
  if (session_.columnCount > columnsBefore) {
    beginInsertColumns({}, static_cast<int>(columnsBefore),
                       static_cast<int>(session_.columnCount) - 1);
    endInsertColumns();
  }
  emit dataChanged(index(row, 0), index(row, std::max(0, columnCount() - 1)));
}

void ImportRecordModel::HeadersChanged() {
  emit headerDataChanged(Qt::Horizontal, 0, std::max(0, columnCount() - 1));
}

DataImportWindow::DataImportWindow(ImportSession& session, const WindowContext& ctx)
    : QDialog(ctx.parent), session_(session), ctx_(ctx) {
  setObjectName(QStringLiteral("DataImportWindow"));
  setWindowTitle(QStringLiteral("Tolmi PRO - Data Import"));
  content_ = new QWidget(this);
  content_->setObjectName(QStringLiteral("importContent"));

  const ImportSettings& s = session_.data.settings;
  delimiter_ = SettingEdit("delimiterEdit", std::string(1, s.delimiter), content_);
  delimiter_->setMaxLength(1);
  quote_ = SettingEdit("quoteEdit", s.quote, content_);
  escape_ = SettingEdit("escapeEdit", s.escape, content_);
  decimal_ = SettingEdit("decimalPointEdit", s.decimalPoint, content_);
  auto* settings = new QHBoxLayout;
  for (auto [label, edit] : {std::pair{"Field Delimiter:", delimiter_},
                             {"Quote Character:", quote_},
                             {"Quote Escape Character:", escape_},
                             {"Decimal Point:", decimal_}}) {
    auto* text = new QLabel(QString::fromLatin1(label), content_);
    text->setBuddy(edit);
    settings->addWidget(text);
    settings->addWidget(edit);
    settings->addSpacing(12);
    connect(edit, &QLineEdit::textEdited, this, [this] { ApplySettings(); });
  }
  settings->addStretch(1);

  list_ = new QTableView(content_);
  list_->setObjectName(QStringLiteral("importRecords"));
  model_ = new ImportRecordModel(session_, this);
  list_->setModel(model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
  list_->horizontalHeader()->setSectionsClickable(true);
  list_->horizontalHeader()->setDefaultSectionSize(110);
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
    if (QMenu* menu = BuildTargetMenu(column)) {
      const QHeaderView* header = list_->horizontalHeader();
      menu->exec(header->mapToGlobal(QPoint(header->sectionViewportPosition(column), header->height())));
      menu->deleteLater();
    }
  });
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowContextMenu(pos); });
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { ShowFocusedLine(); });

  rawLine_ = new QLineEdit(content_);
  rawLine_->setObjectName(QStringLiteral("rawLineEdit"));
  rawLine_->setMaxLength(static_cast<int>(kImportPieceSize));
  connect(rawLine_, &QLineEdit::textEdited, this, [this](const QString& t) { RawLineEdited(t); });

  auto* buttons = new QHBoxLayout;
  auto button = [&](const char* name, const char* text, auto slot) {
    auto* b = new QPushButton(QString::fromLatin1(text), content_);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
    return b;
  };
  button("importButton", "Import", [this] { Import(); });
  button("updateButton", "Update", [this] { Update(); });
  button("selectAllButton", "Select All", [this] { list_->selectAll(); });
  button("deleteButton", "Delete", [this] { DeleteSelected(); });
  buttons->addStretch(1);
  button("cancelButton", "Cancel", [this] { reject(); });

  auto* inner = new QVBoxLayout(content_);
  inner->setContentsMargins(0, 0, 0, 0);
  inner->addLayout(settings);
  inner->addWidget(list_, 1);
  inner->addWidget(rawLine_);
  inner->addLayout(buttons);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(content_);
  resize(820, 480);
  if (model_->rowCount() > 0) list_->setCurrentIndex(model_->index(0, 0));
  ShowFocusedLine();
}

QMenu* DataImportWindow::BuildTargetMenu(int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= kAssignableColumns) return nullptr;
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("targetMenu"));
  auto add = [this, column](QMenu* into, ImportTarget target, const QString& text) {
    QAction* a = into->addAction(text);
    connect(a, &QAction::triggered, this, [this, column, target] { Assign(column, target); });
  };
  for (ImportTarget target : kImportMenuTargets)
    add(menu, target, QString::fromLatin1(TargetHeader(target)));
  QMenu* fields = menu->addMenu(QStringLiteral("User Fields"));
  QMenu* labels = menu->addMenu(QStringLiteral("User Labels"));
  for (int i = 0; i < 6; ++i) {
    add(fields, static_cast<ImportTarget>(static_cast<int>(ImportTarget::Field1) + i),
        QStringLiteral("Field %1").arg(i + 1));
    add(labels, static_cast<ImportTarget>(static_cast<int>(ImportTarget::Label1) + i),
        QStringLiteral("Label %1").arg(i + 1));
  }
  add(menu, ImportTarget::None, QStringLiteral("Clear"));
  return menu;
}

void DataImportWindow::Assign(int column, ImportTarget target) {
  if (AssignColumn(session_, static_cast<std::size_t>(column), target)) model_->HeadersChanged();
}

void DataImportWindow::ApplySettings() {
  ImportSettings s;
  const std::string delimiter = EncodeFromDisplay(delimiter_->text().toStdString(), false);
  s.delimiter = delimiter.size() == 1 ? delimiter[0] : '\0';
  s.quote = EncodeFromDisplay(quote_->text().toStdString(), false);
  s.escape = EncodeFromDisplay(escape_->text().toStdString(), false);
  s.decimalPoint = EncodeFromDisplay(decimal_->text().toStdString(), false);
  // Without a usable delimiter (the box emptied while typing) the split stays.
  if (!SetImportSettings(session_, s)) return;
  const int row = list_->currentIndex().row();
  model_->Reset();
  if (row >= 0 && row < model_->rowCount()) list_->setCurrentIndex(model_->index(row, 0));
}

void DataImportWindow::ShowFocusedLine() {
  const int row = list_->currentIndex().row();
  const bool has = row >= 0 && static_cast<std::size_t>(row) < session_.data.records.size();
  rawLine_->setEnabled(has);
  rawLine_->setText(has ? Shown(session_.data.records[static_cast<std::size_t>(row)]) : QString());
}

void DataImportWindow::RawLineEdited(const QString& text) {
  const int row = list_->currentIndex().row();
  if (row < 0) return;
  const std::string& old = session_.data.records[static_cast<std::size_t>(row)];
  const std::size_t columnsBefore = session_.columnCount;
  if (SetRecordText(session_, static_cast<std::size_t>(row),
                    EncodeFromDisplay(text.toStdString(), IsUtf8Text(old))))
    model_->RecordChanged(row, columnsBefore);
}

std::vector<std::size_t> DataImportWindow::SelectedRecords() const {
  std::vector<std::size_t> chosen;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows())
    chosen.push_back(static_cast<std::size_t>(index.row()));
  std::sort(chosen.begin(), chosen.end());  // list order
  return chosen;
}

void DataImportWindow::Import() {
  ImportProgressWindow progress(this);
  content_->setEnabled(false);
  progress.show();
  (void)ImportProducts(ctx_.session.project(), ctx_.session.globals().serialCounter,
                       session_.data, SelectedRecords(), ctx_.prompter,
                       [&progress](int done, int total) { return progress.Step(done, total); });
  progress.hide();
  content_->setEnabled(true);
}

void DataImportWindow::Update() {
  (void)UpdateProducts(ctx_.session.project(), session_.data, SelectedRecords(), ctx_.prompter);
}

void DataImportWindow::DeleteSelected() {
  if (RemoveRecords(session_, SelectedRecords()) == 0) return;
  model_->Reset();
  if (model_->rowCount() > 0) list_->setCurrentIndex(model_->index(0, 0));
  ShowFocusedLine();
}

void DataImportWindow::ShowContextMenu(const QPoint& pos) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("Import"), this, [this] { Import(); });
  menu.addAction(QStringLiteral("Update"), this, [this] { Update(); });
  menu.addAction(QStringLiteral("Delete"), this, [this] { DeleteSelected(); });
  menu.addAction(QStringLiteral("Select All"), this, [this] { list_->selectAll(); });
  menu.exec(list_->viewport()->mapToGlobal(pos));
}

ImportProgressWindow::ImportProgressWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ImportProgressWindow"));
  setWindowTitle(QStringLiteral("Importing..."));
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("importProgressBar"));
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("importProgressText"));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("importProgressCancel"));
  connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bar_);
  layout->addWidget(text_);
  layout->addWidget(cancel, 0, Qt::AlignRight);
  resize(320, 120);
}

bool ImportProgressWindow::Step(int done, int total) {
  bar_->setRange(0, std::max(total, 1));
  bar_->setValue(done);
  text_->setText(QString::fromStdString(ImportProgressText(done, total)));
  QCoreApplication::processEvents();
  return !cancelled_;
}

Status DataImportCommand(const WindowContext& ctx) {
  // "*" stands for the system's "*.*": names without a dot are data files too.
  const std::string path = ctx.chooser.OpenFile({"Open Data File", "File (*)", ""});
  if (path.empty()) return Status::Error(ErrorKind::Cancelled, "No data file was chosen.");
  Result<ImportData> data = ReadDataFile(path);
  Status problem = data ? CheckDataRecords(*data) : data.status();
  if (!problem) {
    ctx.prompter.Show(problem.message(), "Import Error", PromptIcon::Error);
    return problem;
  }
  ImportSession session = StartImportSession(std::move(*data));
  DataImportWindow window(session, ctx);
  window.exec();
  return Status::Ok();
}

}  // namespace tolmi::ui

#include "ui/templates/VariablesPage.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/AppSession.h"
#include "app/CommandRules.h"
#include "builder/UserVariables.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

QString Shown(const std::string& bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

// Typed text back into bytes, in the encoding the entry had.
std::string Stored(const QString& text, const std::string& original) {
  return EncodeFromDisplay(text.toStdString(), IsUtf8Text(original));
}

}  // namespace

std::optional<VariableInput> AskVariableDialog(QWidget* parent, const QString& title,
                                               const VariableInput& shown) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* name = new QLineEdit(shown.name, &dialog);
  name->setObjectName(QStringLiteral("variableNameEdit"));
  auto* value = new QPlainTextEdit(shown.value, &dialog);
  value->setObjectName(QStringLiteral("variableValueEdit"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout(&dialog);
  form->addRow(QObject::tr("Name:"), name);
  form->addRow(QObject::tr("Value:"), value);
  form->addRow(buttons);
  dialog.resize(420, 240);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return VariableInput{name->text(), value->toPlainText()};
}

VariablesPage::VariablesPage(AppSession& session, Prompter& prompter, QWidget* parent)
    : StorePage(parent), session_(session), prompter_(prompter) {
  setObjectName(QStringLiteral("variablesPage"));
  table_ = new QTableWidget(0, 2, this);
  table_->setObjectName(QStringLiteral("variableList"));
  table_->setHorizontalHeaderLabels({tr("Name"), tr("Value")});
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(0, 200);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->installEventFilter(this);

  auto* buttons = new QHBoxLayout;
  auto button = [&](const QString& text, const char* name, void (VariablesPage::*slot)()) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    connect(b, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
    buttons->addWidget(b);
  };
  button(tr("&Add"), "addVariableButton", &VariablesPage::Add);
  button(tr("&Edit"), "editVariableButton", &VariablesPage::Edit);
  button(tr("&Delete"), "deleteVariableButton", &VariablesPage::Delete);
  buttons->addSpacing(16);
  button(tr("&Copy"), "copyVariableButton", &VariablesPage::Copy);
  button(tr("&Paste"), "pasteVariableButton", &VariablesPage::Paste);
  buttons->addStretch(1);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { Edit(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addLayout(buttons);
  Reload();
}

void VariablesPage::Reload() {
  const std::vector<StoreVariable>& variables = session_.project().variables;
  table_->setRowCount(static_cast<int>(variables.size()));
  for (std::size_t i = 0; i < variables.size(); ++i) {
    const int row = static_cast<int>(i);
    table_->setItem(row, 0, new QTableWidgetItem(Shown(variables[i].name)));
    // A value of several lines shows on one line.
    QString value = Shown(variables[i].value);
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    table_->setItem(row, 1, new QTableWidgetItem(value));
  }
  setEnabled(!session_.session().path.empty());
}

std::vector<std::size_t> VariablesPage::SelectedRows() const {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    rows.push_back(static_cast<std::size_t>(index.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void VariablesPage::Store(std::optional<std::size_t> row, const QString& title,
                          VariableInput shown) {
  std::optional<VariableInput> typed =
      askVariable ? askVariable(title, shown) : AskVariableDialog(this, title, shown);
  if (!typed) return;
  const std::vector<StoreVariable>& variables = session_.project().variables;
  const StoreVariable original = row ? variables[*row] : StoreVariable{};
  Result<std::size_t> stored =
      StoreVariableEntry(session_.project(), row, Stored(typed->name.trimmed(), original.name),
                         Stored(typed->value, original.value));
  if (!stored) {
    prompter_.Show(stored.status().message(), "Error", PromptIcon::Error);
    return;
  }
  Reload();
  table_->selectRow(static_cast<int>(*stored));
  emit projectChanged();
}

void VariablesPage::Add() { Store(std::nullopt, tr("Add Variable"), {}); }

void VariablesPage::Edit() {
  std::vector<std::size_t> rows = SelectedRows();
  if (rows.size() != 1) return;
  const StoreVariable& v = session_.project().variables[rows.front()];
  Store(rows.front(), tr("Edit Variable"), {Shown(v.name), Shown(v.value)});
}

void VariablesPage::Delete() {
  if (DeleteVariables(session_.project(), SelectedRows()) == 0) return;
  Reload();
  emit projectChanged();
}

void VariablesPage::Copy() {
  std::string text = VariablesClipboardText(session_.project().variables, SelectedRows());
  if (!text.empty()) QGuiApplication::clipboard()->setText(Shown(text));
}

void VariablesPage::Paste() {
  const std::string text =
      EncodeFromDisplay(QGuiApplication::clipboard()->text().toStdString(), false);
  VariablePaste paste = PasteVariables(session_.project(), text);
  if (paste.stored > 0) {
    Reload();
    emit projectChanged();
  }
  if (!paste.refused) prompter_.Show(paste.refused.message(), "Error", PromptIcon::Error);
}

void VariablesPage::showEvent(QShowEvent* event) {
  Reload();
  StorePage::showEvent(event);
}

bool VariablesPage::RunPageCommand(int id) {
  switch (id) {
    case kCmdCopy: Copy(); return true;
    case kCmdPaste: Paste(); return true;
    case kCmdDelete: Delete(); return true;
    case kCmdSelectAll: table_->selectAll(); return true;
    default: return false;
  }
}

bool VariablesPage::eventFilter(QObject* watched, QEvent* event) {
  // The list's own keys win over the main window's shortcuts of the same keys.
  if (watched == table_ &&
      (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
    auto* key = static_cast<QKeyEvent*>(event);
    int id = 0;
    if (key->matches(QKeySequence::Copy)) id = kCmdCopy;
    else if (key->matches(QKeySequence::Paste)) id = kCmdPaste;
    else if (key->matches(QKeySequence::Delete)) id = kCmdDelete;
    else if (key->matches(QKeySequence::SelectAll)) id = kCmdSelectAll;
    if (id != 0) {
      event->accept();
      if (event->type() == QEvent::KeyPress) RunPageCommand(id);
      return event->type() == QEvent::KeyPress;
    }
  }
  return StorePage::eventFilter(watched, event);
}

}  // namespace tolmi::ui

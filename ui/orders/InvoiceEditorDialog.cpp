#include "ui/orders/InvoiceEditorDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "orders/InvoiceEditor.h"
#include "ui/templates/TemplateEditor.h"
#include "util/Browser.h"
#include "util/Paths.h"

namespace tolmi::ui {

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;
constexpr const char* kOpenTemplateTitle = "Open Template File";
constexpr const char* kOpenTemplateFilter =
    "Template File (*.htm;*.html);;Template File (*.txt);;All Files (*.*)";
}  // namespace

bool WriteAndOpenInvoice(const WindowContext& ctx, InvoiceTemplateList& list, std::size_t index,
                         const OrderRecord& order, const std::string& path) {
  AppSession& session = ctx.session;
  const StoreProject* project = session.session().path.empty() ? nullptr : &session.project();
  const Status made =
      GenerateInvoice(list, index, order, session.MakeInvoiceSettings(project), path);
  if (made.kind() == ErrorKind::NotFound) return false;
  if (!made.ok()) {
    ctx.prompter.Show(kInvoiceWriteError, "Error", PromptIcon::Error);
    return false;
  }
  const AppConfig& config = session.config();
  if (OpenInBrowser(ctx.launcher, config.browser, path, config.newWindow)) return true;
  ShowBrowserError(ctx.prompter);
  return false;
}

InvoiceEditorDialog::InvoiceEditorDialog(const WindowContext& ctx, InvoiceTemplateList& list,
                                         const OrderRecord* order, QWidget* parent)
    : QDialog(parent), ctx_(ctx), list_(list), order_(order) {
  setObjectName("InvoiceEditorDialog");
  setWindowTitle("Invoice Editor - Setup");

  templates_ = new QListWidget;
  templates_->setObjectName("templateList");
  templates_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  templates_->setContextMenuPolicy(Qt::CustomContextMenu);
  editor_ = new TemplateEditor;
  editor_->setObjectName("templateEditor");
  auto* editorLabel = new QLabel(" Template:");
  editorLabel->setObjectName("templateLabel");

  auto button = [this](const char* text, const char* name, void (InvoiceEditorDialog::*run)()) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, run);
    return b;
  };
  view_ = button("View", "viewButton", &InvoiceEditorDialog::PreviewCommand);
  auto* ok = new QPushButton("OK");
  ok->setObjectName("okButton");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* help = button("Help", "helpButton", &InvoiceEditorDialog::HelpCommand);
  auto* newButton = button("New", "newButton", &InvoiceEditorDialog::NewCommand);
  delete_ = button("Delete", "deleteButton", &InvoiceEditorDialog::DeleteCommand);
  load_ = button("Load", "loadButton", &InvoiceEditorDialog::LoadCommand);
  default_ = button("Default", "defaultButton", &InvoiceEditorDialog::DefaultCommand);

  menu_ = new QMenu(this);
  menu_->setObjectName("templateMenu");
  auto entry = [this](const char* text, void (InvoiceEditorDialog::*run)()) {
    QAction* a = menu_->addAction(text);
    connect(a, &QAction::triggered, this, run);
    return a;
  };
  preview_ = entry("Preview", &InvoiceEditorDialog::PreviewCommand);
  entry("New", &InvoiceEditorDialog::NewCommand);
  rename_ = menu_->addAction("Rename");
  connect(rename_, &QAction::triggered, this, [this] {
    if (auto* item = templates_->currentItem()) templates_->editItem(item);
  });
  deleteAction_ = entry("Delete", &InvoiceEditorDialog::DeleteCommand);
  loadAction_ = entry("Load from File", &InvoiceEditorDialog::LoadCommand);
  restore_ = entry("Restore Default", &InvoiceEditorDialog::DefaultCommand);
  menu_->addSeparator();
  selectAll_ = entry("Select All", &InvoiceEditorDialog::SelectAllCommand);

  auto* side = new QVBoxLayout;
  for (QPushButton* b : {view_, ok, help, newButton, delete_, load_, default_}) side->addWidget(b);
  side->addStretch(1);
  auto* middle = new QWidget;
  auto* middleLayout = new QVBoxLayout(middle);
  middleLayout->setContentsMargins(0, 0, 0, 0);
  middleLayout->addWidget(editorLabel);
  middleLayout->addWidget(editor_, 1);
  auto* split = new QSplitter(Qt::Horizontal);
  split->addWidget(templates_);
  split->addWidget(middle);
  split->setStretchFactor(1, 4);
  split->setSizes({180, 560});
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(split, 1);
  layout->addLayout(side);

  connect(templates_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (filling_) return;
    SelectTemplate(item ? std::optional<std::size_t>(item->data(kIndexRole).toULongLong())
                        : std::nullopt);
  });
  connect(templates_, &QListWidget::itemSelectionChanged, this, [this] {
    if (!filling_) UpdateCommands();
  });
  connect(templates_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    if (!filling_ && item) RenameCommand(item->text());
  });
  connect(templates_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateCommands();
    menu_->popup(templates_->viewport()->mapToGlobal(at));
  });
  connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
    if (!filling_) TextEdited();
  });

  FillList();
  SelectTemplate(list_.templates.empty() ? std::nullopt : std::optional<std::size_t>(0));
  resize(860, 560);
}

std::vector<std::size_t> InvoiceEditorDialog::SelectedIndexes() const {
  std::vector<std::size_t> out;
  for (int i = 0; i < templates_->count(); ++i)
    if (templates_->item(i)->isSelected()) out.push_back(static_cast<std::size_t>(i));
  if (out.empty() && selected_) out.push_back(*selected_);
  return out;
}

void InvoiceEditorDialog::FillList() {
  filling_ = true;
  templates_->clear();
  for (std::size_t i = 0; i < list_.templates.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(list_.templates[i].name), templates_);
    item->setData(kIndexRole, QVariant::fromValue<qulonglong>(i));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
  }
  filling_ = false;
}

void InvoiceEditorDialog::SelectTemplate(std::optional<std::size_t> index) {
  if (index && *index >= list_.templates.size()) index.reset();
  // A template that cannot be written now stays modified and is tried again on closing.
  (void)WriteBackInvoiceTemplates(list_);
  selected_ = index;
  if (index) (void)LoadInvoiceTemplateText(list_, *index);
  filling_ = true;
  templates_->setCurrentRow(index ? static_cast<int>(*index) : -1);
  filling_ = false;
  ShowText();
  UpdateCommands();
}

void InvoiceEditorDialog::ShowText() {
  filling_ = true;
  editor_->SetBytes(selected_ ? list_.templates[*selected_].text.value_or(std::string())
                              : std::string());
  editor_->setReadOnly(!selected_);
  filling_ = false;
}

void InvoiceEditorDialog::TextEdited() {
  if (!selected_) return;
  if (EditInvoiceTemplateText(list_, *selected_, editor_->Bytes())) return;
  // Beyond the limit: the editor shows the template's text again, once this edit is done.
  QMetaObject::invokeMethod(
      this,
      [this] {
        const int at = editor_->textCursor().position();
        ShowText();
        QTextCursor cursor = editor_->textCursor();
        cursor.setPosition(std::min(at, editor_->document()->characterCount() - 1));
        editor_->setTextCursor(cursor);
      },
      Qt::QueuedConnection);
}

void InvoiceEditorDialog::UpdateCommands() {
  using C = InvoiceEditorCommand;
  auto on = [this](C c) { return InvoiceEditorCommandEnabled(c, list_, selected_); };
  view_->setEnabled(on(C::Preview));
  preview_->setEnabled(on(C::Preview));
  rename_->setEnabled(on(C::Rename));
  delete_->setEnabled(on(C::Delete));
  deleteAction_->setEnabled(on(C::Delete));
  load_->setEnabled(on(C::LoadFromFile));
  loadAction_->setEnabled(on(C::LoadFromFile));
  default_->setEnabled(on(C::RestoreDefault));
  restore_->setEnabled(on(C::RestoreDefault));
  selectAll_->setEnabled(on(C::SelectAll));
}

void InvoiceEditorDialog::PreviewCommand() {
  if (!selected_) return;
  OrderRecord none;
  const std::string path = JoinPath(ctx_.session.home(), kInvoicePreviewPath);
  (void)WriteAndOpenInvoice(ctx_, list_, *selected_, order_ ? *order_ : none, path);
}

void InvoiceEditorDialog::NewCommand() {
  Result<std::size_t> made = NewInvoiceTemplate(list_);
  if (!made) {
    ctx_.prompter.Show(made.status().message(), "Error", PromptIcon::Error);
    return;
  }
  FillList();
  SelectTemplate(*made);
}

void InvoiceEditorDialog::RenameCommand(const QString& name) {
  if (!selected_) return;
  if (Status s = RenameInvoiceTemplate(list_, *selected_, name.toStdString()); !s.ok())
    ctx_.prompter.Show(s.message(), "Error", PromptIcon::Error);
  // The list shows the name the file has, old or new (the item is changed in place: this
  // runs while the list commits its editor).
  filling_ = true;
  if (QListWidgetItem* item = templates_->item(static_cast<int>(*selected_)))
    item->setText(QString::fromStdString(list_.templates[*selected_].name));
  filling_ = false;
}

void InvoiceEditorDialog::DeleteCommand() {
  const InvoiceDeleteResult r =
      DeleteInvoiceTemplates(list_, SelectedIndexes(), [this](const std::string& question) {
        return ctx_.prompter.Ask(question, "Confirmation", PromptButtons::YesNo) ==
               PromptAnswer::Yes;
      });
  if (!r.deleted) return;
  selected_.reset();
  FillList();
  SelectTemplate(r.select);
}

void InvoiceEditorDialog::LoadCommand() {
  if (!selected_) return;
  const std::string path =
      ctx_.chooser.OpenFile({kOpenTemplateTitle, kOpenTemplateFilter,
                             JoinPath(ctx_.session.home(), kInvoiceTemplateFolder)});
  if (path.empty()) return;
  if (Status s = LoadInvoiceTemplateFromFile(list_, *selected_, path); !s.ok()) {
    ctx_.prompter.Show(s.message(), "Error", PromptIcon::Error);
    return;
  }
  ShowText();
}

void InvoiceEditorDialog::DefaultCommand() {
  if (!selected_) return;
  if (Status s = RestoreDefaultInvoiceTemplate(list_, *selected_); !s.ok()) {
    ctx_.prompter.Show(s.message(), "Error", PromptIcon::Error);
    return;
  }
  ShowText();
}

void InvoiceEditorDialog::SelectAllCommand() {
  templates_->selectAll();
}

void InvoiceEditorDialog::HelpCommand() {
  tolmi::ui::HelpCommand(ctx_);
}

void InvoiceEditorDialog::done(int result) {
  if (Status s = WriteBackInvoiceTemplates(list_); !s.ok())
    ctx_.prompter.Show(s.message(), "Error", PromptIcon::Error);
  QDialog::done(result);
}

}  // namespace tolmi::ui

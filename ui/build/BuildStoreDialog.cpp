#include "ui/build/BuildStoreDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "builder/BuildDialog.h"
#include "ui/publish/PublishDialog.h"

namespace tolmi::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

BuildStoreDialog::BuildStoreDialog(const WindowContext& ctx, std::vector<StoreNode*> selectedItems)
    : QDialog(ctx.parent), ctx_(ctx), selectedItems_(std::move(selectedItems)) {
  setObjectName("BuildStoreDialog");
  setWindowTitle(kBuildStoreTitle);

  titleEdit_ = new QLineEdit(this);
  titleEdit_->setObjectName("titleEdit");
  dirEdit_ = new QLineEdit(this);
  dirEdit_->setObjectName("buildDirEdit");
  dirEdit_->setMaxLength(512);
  browseButton_ = new QPushButton("&Browse >", this);
  browseButton_->setObjectName("browseButton");
  allRadio_ = new QRadioButton("All", this);
  allRadio_->setObjectName("allRadio");
  selectedRadio_ = new QRadioButton("Selected Items", this);
  selectedRadio_->setObjectName("selectedRadio");
  buildButton_ = new QPushButton("Build", this);
  buildButton_->setObjectName("buildButton");
  buildButton_->setDefault(true);
  publishButton_ = new QPushButton("Publish", this);
  publishButton_->setObjectName("publishButton");
  optionsButton_ = new QPushButton("Options", this);
  optionsButton_->setObjectName("optionsButton");
  helpButton_ = new QPushButton("Help", this);
  helpButton_->setObjectName("helpButton");
  cancelButton_ = new QPushButton("Cancel", this);
  cancelButton_->setObjectName("cancelButton");
  logList_ = new QListWidget(this);
  logList_->setObjectName("logList");
  logList_->setUniformItemSizes(true);  // a 10,000-line log stays quick
  fileLabel_ = new QLabel(this);
  fileLabel_->setObjectName("fileLabel");
  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("progressBar");

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("Store Title:", this), 0, 0);
  fields->addWidget(titleEdit_, 0, 1, 1, 2);
  fields->addWidget(new QLabel("Build Directory:", this), 1, 0);
  fields->addWidget(dirEdit_, 1, 1);
  fields->addWidget(browseButton_, 1, 2);
  auto* scope = new QHBoxLayout;
  scope->addWidget(allRadio_);
  scope->addWidget(selectedRadio_);
  scope->addStretch();
  fields->addLayout(scope, 2, 1, 1, 2);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button :
       {buildButton_, publishButton_, optionsButton_, helpButton_, cancelButton_})
    buttons->addWidget(button);
  buttons->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(fields, 1);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(logList_, 1);
  layout->addWidget(fileLabel_);
  layout->addWidget(progressBar_);
  resize(640, 480);

  // Opening: the style made current, the fields filled, "All", the ready line.
  build_ = ctx_.session.MakeBuildSession();
  build_->launcher = &ctx_.launcher;
  const Clock* clock = &ctx_.session.clock();
  build_->now = [clock] { return clock->Now(); };
  QPointer<BuildStoreDialog> self(this);
  build_->log.onLine = [self](const std::string& line) {
    if (self) self->AddLogLine(Q(line));
  };
  build_->progressStep = [self] {
    if (self) self->progressBar_->setValue(self->progressBar_->value() + 1);
  };
  build_->fileLabel = [self](const std::string& name) {
    if (self) self->fileLabel_->setText(Q(name));
  };
  (void)build_->CurrentScheme();
  BuildDialogFields defaults = BuildDialogDefaults(ctx_.session.project().settings);
  titleEdit_->setText(Q(defaults.storeTitle));
  dirEdit_->setText(Q(defaults.buildDir));
  allRadio_->setChecked(true);
  AddLogLine(Q(ReadyLine()));
  progressBar_->setRange(0, BuildProgressMaximum(ctx_.session.project()));
  progressBar_->setValue(0);

  connect(dirEdit_, &QLineEdit::textChanged, this, [this] { UpdateControls(); });
  connect(browseButton_, &QPushButton::clicked, this, [this] { Browse(); });
  connect(buildButton_, &QPushButton::clicked, this, [this] { Build(); });
  connect(publishButton_, &QPushButton::clicked, this, [this] { Publish(); });
  connect(optionsButton_, &QPushButton::clicked, this, [this] {
    if (PreferencesCommand(ctx_, PreferencesPage::StoreOptions)) {
      ctx_.session.project().changed = true;
      build_->options = ctx_.session.MakeBuildOptions();
    }
  });
  connect(helpButton_, &QPushButton::clicked, this, [this] { HelpCommand(ctx_); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { reject(); });
  UpdateControls();
}

BuildStoreDialog::~BuildStoreDialog() = default;

void BuildStoreDialog::AddLogLine(const QString& line) {
  logList_->addItem(line);
  logList_->setCurrentRow(logList_->count() - 1);
  logList_->scrollToBottom();
}

QStringList BuildStoreDialog::LogLines() const {
  QStringList lines;
  for (int i = 0; i < logList_->count(); ++i) lines << logList_->item(i)->text();
  return lines;
}

void BuildStoreDialog::StoreFields() {
  StoreBuildDialogFields(ctx_.session.project(),
                         {titleEdit_->text().toStdString(), dirEdit_->text().toStdString()});
}

void BuildStoreDialog::UpdateControls() {
  const std::string dir = dirEdit_->text().toStdString();
  auto enabled = [&](BuildControl control) {
    return BuildControlEnabled(control, building_, dir);
  };
  buildButton_->setEnabled(enabled(BuildControl::Build));
  publishButton_->setEnabled(enabled(BuildControl::Publish));
  optionsButton_->setEnabled(enabled(BuildControl::Options));
  helpButton_->setEnabled(enabled(BuildControl::Help));
  browseButton_->setEnabled(enabled(BuildControl::Browse));
  titleEdit_->setEnabled(enabled(BuildControl::Fields));
  dirEdit_->setEnabled(enabled(BuildControl::Fields));
  allRadio_->setEnabled(enabled(BuildControl::Scope));
  selectedRadio_->setEnabled(enabled(BuildControl::Scope));
  cancelButton_->setEnabled(enabled(BuildControl::Cancel));
}

void BuildStoreDialog::Browse() {
  std::string chosen =
      ctx_.chooser.ChooseFolder({"Select Build Directory", "", dirEdit_->text().toStdString()});
  if (!chosen.empty()) dirEdit_->setText(Q(chosen));
}

void BuildStoreDialog::Build() {
  if (dirEdit_->text().isEmpty()) return;
  BuildBusyGuard guard(building_);
  if (!guard.entered()) return;
  UpdateControls();
  StoreFields();
  StoreProject& project = ctx_.session.project();
  build_->buildDir = project.settings.rebuildDir;
  build_->selectedOnly = selectedRadio_->isChecked();
  build_->selectedItems = build_->selectedOnly ? selectedItems_ : std::vector<StoreNode*>{};
  build_->stop = false;
  logList_->clear();
  progressBar_->setValue(0);
  QPointer<BuildStoreDialog> self(this);
  (void)RunBuild(*build_);
  // The project records the new page sizes and checksums (publishing compares them).
  project.changed = true;
  if (!self) return;
  // The completion line says how it went; the bar and label are ready for the next build.
  fileLabel_->clear();
  progressBar_->setValue(0);
  building_ = false;  // the guard's own reset comes after the signal below
  UpdateControls();
  emit buildFinished();
  if (closeAfterBuild_) QDialog::reject();
}

void BuildStoreDialog::reject() {
  StoreFields();
  if (building_) {
    // The walk stops before its next page; the build's last steps still run.
    build_->stop = true;
    closeAfterBuild_ = true;
    return;
  }
  QDialog::reject();
}

void BuildStoreDialog::Publish() {
  StoreFields();
  PublishCommand(ctx_, this);
}

void BuildStoreCommand(const WindowContext& ctx, bool modal,
                       std::vector<StoreNode*> selectedItems) {
  if (ctx.parent)
    if (auto* open = ctx.parent->findChild<BuildStoreDialog*>("BuildStoreDialog",
                                                              Qt::FindDirectChildrenOnly)) {
      open->show();
      open->raise();
      open->activateWindow();
      return;
    }
  auto* dialog = new BuildStoreDialog(ctx, std::move(selectedItems));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  if (modal) {
    dialog->exec();
    return;
  }
  dialog->show();
}

}  // namespace tolmi::ui

#include "ui/publish/PublishDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/Config.h"
#include "app/Preferences.h"
#include "schemes/Schemes.h"
#include "ui/SoundPlayer.h"
#include "util/Browser.h"
#include "util/PumpMessages.h"

namespace tolmi::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The web directory the build wrote: REBUILD, else the project folder's "Web".
std::string WebDirectory(const StoreSettings& settings) {
  return !settings.rebuildDir.empty() ? settings.rebuildDir : settings.projectDir + "/Web";
}

// The chosen style's extra files (the "Template" group); without a chosen style the
// build uses the first one, and so does publishing.
std::vector<std::string> TemplateFiles(AppSession& session, Prompter& prompter) {
  SchemeList& schemes = session.schemes();
  if (const auto& style = session.project().settings.style)
    if (std::optional<SchemeIndex> at = FindScheme(schemes, *style)) schemes.current = at;
  bool any = false;
  for (const StyleCategory& category : schemes.categories) any |= !category.schemes.empty();
  if (!any) return {};
  Scheme* scheme = MakeSchemeCurrent(schemes, prompter);
  return scheme ? scheme->files : std::vector<std::string>{};
}

QLineEdit* Field(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

QPushButton* Button(QWidget* parent, const char* text, const char* name) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

PublishDialog::PublishDialog(const WindowContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.parent), ctx_(ctx) {
  setObjectName("PublishDialog");
  setWindowTitle(kPublishTitle);

  serverEdit_ = Field(this, "serverEdit");
  portEdit_ = Field(this, "portEdit");
  userEdit_ = Field(this, "userEdit");
  passwordEdit_ = Field(this, "passwordEdit");
  passwordEdit_->setEchoMode(QLineEdit::Password);
  dirEdit_ = Field(this, "remoteDirEdit");
  passiveCheck_ = new QCheckBox("Passive Transfer", this);
  passiveCheck_->setObjectName("passiveCheck");
  savePasswordCheck_ = new QCheckBox("Save Password", this);
  savePasswordCheck_->setObjectName("savePasswordCheck");
  connectionsSpin_ = new QSpinBox(this);
  connectionsSpin_->setObjectName("connectionsSpin");
  connectionsSpin_->setRange(1, kMaxFtpConnections);
  connectionsSpin_->setToolTip("FTP sessions that share the files to send");
  connectButton_ = Button(this, "&Connect", "connectButton");
  compareButton_ = Button(this, "Co&mpare", "compareButton");
  uploadButton_ = Button(this, "&Upload", "uploadButton");
  cancelButton_ = Button(this, "&Cancel", "cancelButton");
  infoButton_ = Button(this, "Hosting &Info", "infoButton");

  list_ = new QTreeWidget(this);
  list_->setObjectName("uploadList");
  list_->setHeaderLabels({"Page", "Filename", "Path"});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setTextElideMode(Qt::ElideMiddle);  // a long local path keeps its file name
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto addAction = [this](const char* text, const char* name, void (PublishDialog::*slot)()) {
    auto* action = new QAction(text, list_);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, slot);
    list_->addAction(action);
  };
  addAction("&Publish Now", "publishNowAction", &PublishDialog::PublishNow);
  addAction("&Transfer during Upload", "transferAction", &PublishDialog::TransferDuringUpload);
  addAction("&Ignore during Upload", "ignoreAction", &PublishDialog::IgnoreDuringUpload);
  addAction("Select &All", "selectAllAction", &PublishDialog::SelectAll);

  logBox_ = new QPlainTextEdit(this);
  logBox_->setObjectName("logBox");
  logBox_->setReadOnly(true);
  logBox_->setMaximumBlockCount(5000);
  statusBar_ = new QStatusBar(this);
  statusBar_->setObjectName("statusBar");
  statusBar_->setSizeGripEnabled(false);
  progress_ = new QProgressBar(this);
  progress_->setObjectName("progressBar");
  progress_->setRange(0, 20);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setMaximumWidth(120);
  statusBar_->addPermanentWidget(progress_);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("FTP Server:", this), 0, 0);
  fields->addWidget(serverEdit_, 0, 1);
  fields->addWidget(new QLabel("Port:", this), 0, 2);
  fields->addWidget(portEdit_, 0, 3);
  fields->addWidget(new QLabel("Username:", this), 1, 0);
  fields->addWidget(userEdit_, 1, 1);
  fields->addWidget(new QLabel("Password:", this), 1, 2);
  fields->addWidget(passwordEdit_, 1, 3);
  fields->addWidget(new QLabel("Remote Directory:", this), 2, 0);
  fields->addWidget(dirEdit_, 2, 1, 1, 3);
  auto* checks = new QHBoxLayout;
  checks->addWidget(passiveCheck_);
  checks->addWidget(savePasswordCheck_);
  checks->addStretch();
  auto* connectionsLabel = new QLabel("Co&nnections:", this);
  connectionsLabel->setBuddy(connectionsSpin_);
  checks->addWidget(connectionsLabel);
  checks->addWidget(connectionsSpin_);
  fields->addLayout(checks, 3, 1, 1, 3);
  portEdit_->setMaximumWidth(70);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button :
       {connectButton_, compareButton_, uploadButton_, cancelButton_, infoButton_})
    buttons->addWidget(button);
  buttons->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(fields, 1);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_, 3);
  layout->addWidget(logBox_, 1);
  layout->addWidget(statusBar_);
  resize(760, 560);

  PublishFormFields shown = PublishFormFromSettings(ctx_.session.project().settings);
  serverEdit_->setText(Q(shown.server));
  portEdit_->setText(Q(shown.port));
  userEdit_->setText(Q(shown.user));
  passwordEdit_->setText(Q(shown.password));
  dirEdit_->setText(Q(shown.remoteDir));
  passiveCheck_->setChecked(shown.passive);
  savePasswordCheck_->setChecked(shown.savePassword);
  connectionsSpin_->setValue(shown.connections);

  const StoreSettings& settings = ctx_.session.project().settings;
  publish_ = std::make_unique<PublishSession>(ctx_.session.project(), ctx_.session.loop(),
                                              WebDirectory(settings), ctx_.session.home(),
                                              TemplateFiles(ctx_.session, ctx_.prompter));
  PublishHooks& hooks = publish_->hooks;
  QPointer<PublishDialog> self(this);
  hooks.log = [self](const std::string& line) {
    if (self) self->AddLog(line);
  };
  hooks.statusText = [self](const std::string& text) {
    if (self) self->statusBar_->showMessage(Q(text));
  };
  hooks.message = [self](const std::string& text) {
    if (self) self->ctx_.prompter.Show(text, "Error", PromptIcon::Error);
  };
  hooks.refresh = [self] {
    if (!self) return;
    self->ShowRows();
  };
  hooks.tick = [self] {
    if (self) self->progress_->setValue((self->progress_->value() + 1) % 21);
  };
  hooks.rowChanged = [self](const UploadEntry& entry) {
    if (!self) return;
    const auto& entries = self->publish_->entries();
    std::ptrdiff_t row = &entry - entries.data();
    if (row >= 0 && row < static_cast<std::ptrdiff_t>(entries.size()))
      self->ShowRow(static_cast<int>(row));
  };
  hooks.fileDone = [self](const UploadEntry&, bool ok, const std::string&) {
    if (!self) return;
    self->UpdateControls();
    emit self->fileDone(ok);
  };
  hooks.loginDone = [self](bool) {
    if (self) self->UpdateControls();
  };
  SoundPlayer* player = ctx_.sounds ? ctx_.sounds : &ProgramSoundPlayer();
  hooks.sound = [self, player](std::string_view event) {
    if (self) PlaySoundEvent(self->ctx_.session.config(), *player, event);
  };
  hooks.sessionClosed = [self] {
    if (!self) return;
    // The session calls this from inside its own work: update once it has returned.
    QTimer::singleShot(0, self, [self] {
      if (!self) return;
      self->progress_->setValue(0);
      // After an upload the status bar keeps its outcome, in tolmi-cli publish's words.
      if (self->sentBefore_ >= 0) {
        self->statusBar_->showMessage(QString("Published: %1 sent, %2 failed")
                                          .arg(self->publish_->sentCount() - self->sentBefore_)
                                          .arg(self->publish_->failedCount() - self->failedBefore_));
        self->sentBefore_ = -1;
      }
      self->UpdateControls();
      emit self->sessionClosed();
    });
  };

  connect(serverEdit_, &QLineEdit::textChanged, this, [this] { UpdateControls(); });
  connect(connectButton_, &QPushButton::clicked, this, &PublishDialog::ConnectOrDisconnect);
  connect(compareButton_, &QPushButton::clicked, this, &PublishDialog::Compare);
  connect(uploadButton_, &QPushButton::clicked, this, &PublishDialog::Upload);
  connect(cancelButton_, &QPushButton::clicked, this, &PublishDialog::reject);
  connect(infoButton_, &QPushButton::clicked, this, [this] {
    const AppConfig& config = ctx_.session.config();
    if (!OpenInBrowser(ctx_.launcher, config.browser, HostingInfoPage(config), config.newWindow))
      ShowBrowserError(ctx_.prompter);
  });

  publish_->BuildList();
  FillList();
  UpdateControls();
}

PublishDialog::~PublishDialog() {
  if (publish_) publish_->hooks = {};
}

PublishFormFields PublishDialog::Fields() const {
  return {serverEdit_->text().toStdString(),   portEdit_->text().toStdString(),
          userEdit_->text().toStdString(),     passwordEdit_->text().toStdString(),
          dirEdit_->text().toStdString(),      passiveCheck_->isChecked(),
          savePasswordCheck_->isChecked(),     connectionsSpin_->value()};
}

void PublishDialog::SaveFields() { StorePublishForm(ctx_.session.project(), Fields()); }

void PublishDialog::UpdateControls() {
  PublishFormState state;
  state.serverEntered = !serverEdit_->text().trimmed().isEmpty();
  state.connected = publish_->connected();
  state.busy = publish_->busy();
  auto enable = [&](QWidget* widget, PublishControl control) {
    widget->setEnabled(PublishControlEnabled(control, state));
  };
  enable(connectButton_, PublishControl::Connect);
  enable(portEdit_, PublishControl::Port);
  enable(userEdit_, PublishControl::User);
  enable(passwordEdit_, PublishControl::Password);
  enable(dirEdit_, PublishControl::RemoteDir);
  enable(passiveCheck_, PublishControl::Passive);
  enable(savePasswordCheck_, PublishControl::SavePassword);
  enable(connectionsSpin_, PublishControl::Connections);
  enable(uploadButton_, PublishControl::Upload);
  connectButton_->setText(Q(ConnectButtonText(state.connected)));
}

void PublishDialog::FillList() {
  list_->clear();
  QList<QTreeWidgetItem*> items;
  for (const UploadEntry& entry : publish_->entries()) {
    auto* item = new QTreeWidgetItem(
        {Q(entry.title), Q(entry.path), Q(publish_->LocalPath(entry))});
    items << item;
  }
  list_->addTopLevelItems(items);
  ShowRows();
}

// Every row again, and the page and file names as wide as their text: rows to transfer
// turn bold after a compare, and a name cut short would hide which file goes.
void PublishDialog::ShowRows() {
  for (int row = 0; row < list_->topLevelItemCount(); ++row) ShowRow(row);
  list_->resizeColumnToContents(0);
  list_->resizeColumnToContents(1);
}

// The row's status shows in its colour: to transfer in bold, missing in grey,
// uploaded in green.
void PublishDialog::ShowRow(int row) {
  QTreeWidgetItem* item = list_->topLevelItem(row);
  if (!item || row >= static_cast<int>(publish_->entries().size())) return;
  const int status = publish_->entries()[row].status;
  QFont font = list_->font();
  font.setBold(status == kUploadTransfer);
  QBrush brush = status == kUploadMissing ? QBrush(Qt::gray)
                 : status == kUploadDone  ? QBrush(QColor(0, 128, 0))
                                          : list_->palette().text();
  for (int column = 0; column < 3; ++column) {
    item->setFont(column, font);
    item->setForeground(column, brush);
  }
  item->setData(0, Qt::UserRole, status);
}

std::vector<int> PublishDialog::SelectedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < list_->topLevelItemCount(); ++row)
    if (list_->topLevelItem(row)->isSelected()) rows.push_back(row);
  return rows;
}

void PublishDialog::AddLog(const std::string& line) {
  logBox_->appendPlainText(Q(PublishLogLine(line)));
}

QStringList PublishDialog::LogLines() const {
  return logBox_->toPlainText().split('\n', Qt::SkipEmptyParts);
}

QString PublishDialog::StatusText() const { return statusBar_->currentMessage(); }

// Lets the bridge run the core loop for what a command queued and re-arm its timer.
void PublishDialog::Poke() {
  QTimer::singleShot(0, this, [] { PumpMessages(); });
}

void PublishDialog::ConnectOrDisconnect() {
  if (publish_->connected()) {
    publish_->Disconnect();
  } else {
    SaveFields();
    if (Status status = publish_->Connect(); !status.ok())
      statusBar_->showMessage(Q(status.message()));
  }
  UpdateControls();
  Poke();
}

void PublishDialog::Compare() {
  SaveFields();
  CompareCounts counts = publish_->Compare();
  (void)counts;  // the session logs and shows the summary itself
  ShowRows();
  UpdateControls();
}

void PublishDialog::Upload() {
  if (publish_->connected() && sentBefore_ < 0) {
    sentBefore_ = publish_->sentCount();
    failedBefore_ = publish_->failedCount();
  }
  SaveFields();  // the connections as now set
  publish_->connections = connectionsSpin_->value();
  publish_->Upload();
  if (!publish_->busy()) sentBefore_ = -1;  // nothing went out
  UpdateControls();
  Poke();
}

void PublishDialog::PublishNow() {
  SaveFields();
  if (sentBefore_ < 0) {
    sentBefore_ = publish_->sentCount();
    failedBefore_ = publish_->failedCount();
  }
  publish_->PublishNow(SelectedRows());
  UpdateControls();
  Poke();
}

void PublishDialog::TransferDuringUpload() {
  publish_->TransferDuringUpload(SelectedRows());
  for (int row : SelectedRows()) ShowRow(row);
}

void PublishDialog::IgnoreDuringUpload() {
  publish_->IgnoreDuringUpload(SelectedRows());
  for (int row : SelectedRows()) ShowRow(row);
}

void PublishDialog::SelectAll() { list_->selectAll(); }

void PublishDialog::reject() {
  publish_->Cancel();
  QDialog::reject();
}

void PublishCommand(const WindowContext& ctx, QWidget* parent) {
  auto* dialog = new PublishDialog(ctx, parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}

}  // namespace tolmi::ui

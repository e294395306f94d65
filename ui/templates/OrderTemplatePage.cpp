#include "ui/templates/OrderTemplatePage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppSession.h"
#include "app/CommandRules.h"
#include "builder/TemplatePreview.h"
#include "ui/FileChooser.h"
#include "ui/templates/TemplateEditor.h"
#include "util/Paths.h"

namespace tolmi::ui {

OrderTemplatePage::OrderTemplatePage(OrderTemplateKind kind, AppSession& session,
                                     Prompter& prompter, FileChooser& chooser,
                                     BrowserLauncher& launcher, QWidget* parent)
    : StorePage(parent),
      kind_(kind),
      session_(session),
      prompter_(prompter),
      chooser_(chooser),
      launcher_(launcher) {
  const bool order = kind == OrderTemplateKind::Order;
  setObjectName(order ? QStringLiteral("orderFormPage") : QStringLiteral("confirmationPage"));
  auto* buttons = new QHBoxLayout;
  auto* title = new QLabel(order ? tr("Order form template (order.htm):")
                                 : tr("Confirmation page template (confirm.htm):"),
                           this);
  auto* insert = new QPushButton(tr("&Insert"), this);
  insert->setObjectName(QStringLiteral("insertButton"));
  auto* find = new QPushButton(tr("&Find"), this);
  find->setObjectName(QStringLiteral("findButton"));
  auto* load = new QPushButton(tr("Load"), this);
  load->setObjectName(QStringLiteral("loadButton"));
  auto* reset = new QPushButton(tr("Default"), this);
  reset->setObjectName(QStringLiteral("defaultButton"));
  auto* view = new QPushButton(tr("View"), this);
  view->setObjectName(QStringLiteral("viewButton"));
  buttons->addWidget(title, 1);
  buttons->addWidget(insert);
  buttons->addWidget(find);
  buttons->addWidget(load);
  buttons->addWidget(reset);
  buttons->addWidget(view);
  editor_ = new TemplateEditor(this);
  editor_->setObjectName(order ? QStringLiteral("orderFormEditor")
                               : QStringLiteral("confirmationEditor"));
  insert->setMenu(editor_->MakeInsertMenu(insert));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(editor_);

  connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
    if (SetOrderTemplateText(session_.session(), kind_, editor_->Bytes())) emit projectChanged();
  });
  connect(find, &QPushButton::clicked, this,
          [this] { FindInTemplate(*editor_, askFindText, prompter_); });
  connect(load, &QPushButton::clicked, this, [this] { Load(); });
  connect(reset, &QPushButton::clicked, this, [this] { Default(); });
  connect(view, &QPushButton::clicked, this, [this] { View(); });
  Reload();
}

void OrderTemplatePage::Reload() {
  editor_->SetBytes(OrderTemplateText(session_.session(), kind_));
  setEnabled(!session_.session().path.empty());
}

bool OrderTemplatePage::RunPageCommand(int id) {
  if (id != kCmdFind) return false;
  FindInTemplate(*editor_, askFindText, prompter_);
  return true;
}

void OrderTemplatePage::showEvent(QShowEvent* event) {
  if (editor_->Bytes() != OrderTemplateText(session_.session(), kind_)) Reload();
  StorePage::showEvent(event);
}

void OrderTemplatePage::Load() {
  AppConfig& config = session_.config();
  FileQuery query{tr("Open Template File").toStdString(),
                  "Template File (*.htm *.html *.dat);;All Files (*)",
                  config.ld3.empty()
                      ? ProjectTemplateFolder(session_.project().settings.projectDir)
                      : config.ld3};
  const std::string path = chooser_.OpenFile(query);
  if (path.empty()) return;
  Result<std::string> text = ReadTemplateFile(path);
  if (!text) {
    prompter_.Show(text.status().message(), "Error", PromptIcon::Error);
    return;
  }
  const std::string slashed = NormalisePath(path);
  if (const std::size_t slash = slashed.rfind('/'); slash != std::string::npos)
    config.ld3 = slashed.substr(0, slash);
  editor_->ReplaceBytes(*text);  // the edit reaches the project through textChanged
}

void OrderTemplatePage::Default() {
  if (!ResetOrderTemplate(session_.session(), kind_, session_.home(), prompter_)) return;
  editor_->SetBytes(OrderTemplateText(session_.session(), kind_));
  emit projectChanged();
}

void OrderTemplatePage::View() {
  std::unique_ptr<BuildSession> build = session_.MakeBuildSession();
  if (!build) return;
  build->launcher = &launcher_;
  (void)ViewOrderTemplate(*build, kind_);
}

}  // namespace tolmi::ui

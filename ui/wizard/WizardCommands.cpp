#include "ui/wizard/WizardCommands.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Config.h"
#include "builder/Freight.h"
#include "schemes/TemplateInstall.h"
#include "ui/wizard/CardListWidget.h"
#include "ui/wizard/StoreWizardDialog.h"
#include "util/Browser.h"
#include "util/Files.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {
namespace {

QString SummaryText(const StoreSettings& settings) {
  QString text = QString::fromStdString(DecodeForDisplay(TaxSummaryText(settings)));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

Status StoreWizardCommand(const WindowContext& ctx, WizardMode mode, int presetMethod) {
  AppSession& session = ctx.session;
  AppGlobals& globals = session.globals();
  const LifecycleEnv& env = session.env();
  StoreWizard wizard(mode, session.project(), session.wizardMemory(), ctx.prompter,
                     [&env](const std::string& name) {
                       return FileExists(ProjectFilePath(env, name));
                     });
  BrowserLauncher& launcher = ctx.launcher;
  Prompter& prompter = ctx.prompter;
  const AppConfig& config = session.config();
  StoreWizardDialog dialog(
      wizard, session.schemes(), globals.domains, globals.cards,
      [&launcher, &prompter, &config] {
        if (!OpenInBrowser(launcher, config.browser, HostingInfoPage(config), config.newWindow))
          ShowBrowserError(prompter);
      },
      ctx.parent);
  dialog.exec();
  if (dialog.outcome() == WizardStep::LoadExisting)
    return LoadProjectCommand(ctx, ProjectFilePath(env, wizard.state().folderName));
  if (dialog.outcome() != WizardStep::Finished)
    return Status::Error(ErrorKind::Cancelled, "The wizard was cancelled.");

  WizardCompletionEnv completion;
  completion.session = &session.session();
  completion.lifecycle = &env;
  completion.installedCards = &globals.cards;
  completion.presetMethod = presetMethod;
  SchemeList& schemes = session.schemes();
  const std::string home = session.home();
  completion.applyStyleTemplates = [&schemes, home](StoreProject& p, const std::string& dir) {
    if (!p.settings.style) return;
    const std::optional<SchemeIndex> at = FindScheme(schemes, *p.settings.style);
    if (!at) return;
    schemes.current = *at;
    if (const Scheme* scheme = schemes.At(*at)) ApplyStyleTemplates(p, home, *scheme, dir);
  };
  Status done = CompleteWizard(wizard, completion);
  if (done && mode == WizardMode::NewStore)
    RememberRecentProject(session.config(), session.session().path);
  return done;
}

Status NewStoreCommand(const WindowContext& ctx) {
  if (!ctx.session.project().settings.storeTitle.empty()) {
    Status saved = AskToSaveChanges(ctx.session.session(), ctx.session.env());
    if (!saved) return saved;
  }
  return StoreWizardCommand(ctx, WizardMode::NewStore);
}

Status FreightRegionsCommand(const WindowContext& ctx) {
  return StoreWizardCommand(ctx, WizardMode::RegionsOnly);
}

void TaxOptionsCommand(const WindowContext& ctx) {
  QDialog dialog(ctx.parent);
  dialog.setObjectName(QStringLiteral("TaxOptionsDialog"));
  dialog.setWindowTitle(QStringLiteral("Tax Options"));
  auto* summary = new QLabel(SummaryText(ctx.session.project().settings), &dialog);
  summary->setObjectName(QStringLiteral("taxSummary"));
  summary->setWordWrap(true);
  summary->setMinimumWidth(360);
  summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QPushButton* edit = buttons->addButton(QStringLiteral("&Edit"), QDialogButtonBox::ActionRole);
  edit->setObjectName(QStringLiteral("taxEdit"));
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(edit, &QPushButton::clicked, &dialog, [&ctx, &dialog, summary] {
    WindowContext inner = ctx;
    inner.parent = &dialog;
    (void)StoreWizardCommand(inner, WizardMode::TaxSetup);
    summary->setText(SummaryText(ctx.session.project().settings));
  });
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(summary, 1);
  layout->addWidget(buttons);
  dialog.resize(440, 240);
  dialog.exec();
}

void CreditCardsCommand(const WindowContext& ctx) {
  QDialog dialog(ctx.parent);
  dialog.setObjectName(QStringLiteral("CreditCardsDialog"));
  dialog.setWindowTitle(QStringLiteral("Accepted Credit Cards"));
  auto* cards = new CardListWidget(ctx.session.project(), ctx.session.globals().cards, &dialog);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(cards, 1);
  layout->addWidget(buttons);
  dialog.resize(480, 320);
  dialog.exec();
}

}  // namespace tolmi::ui

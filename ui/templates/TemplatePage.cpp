#include "ui/templates/TemplatePage.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/AppSession.h"
#include "app/CommandRules.h"
#include "schemes/ProjectTemplates.h"
#include "ui/FileChooser.h"
#include "ui/templates/TemplateEditor.h"
#include "util/Paths.h"

namespace tolmi::ui {

std::optional<QString> AskFindTextDialog(QWidget* parent) {
  bool ok = false;
  QString text = QInputDialog::getText(parent, QObject::tr("Find"), QObject::tr("Find:"),
                                       QLineEdit::Normal, {}, &ok);
  if (!ok) return std::nullopt;
  return text;
}

TemplatePage::TemplatePage(AppSession& session, Prompter& prompter, FileChooser& chooser,
                           QWidget* parent)
    : StorePage(parent), session_(session), prompter_(prompter), chooser_(chooser) {
  setObjectName(QStringLiteral("templatePage"));
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  list_ = new QListWidget(splitter);
  list_->setObjectName(QStringLiteral("templateList"));

  auto* right = new QWidget(splitter);
  auto* buttons = new QHBoxLayout;
  name_ = new QLabel(right);
  name_->setObjectName(QStringLiteral("templateName"));
  auto* insert = new QPushButton(tr("&Insert"), right);
  insert->setObjectName(QStringLiteral("insertButton"));
  auto* find = new QPushButton(tr("&Find"), right);
  find->setObjectName(QStringLiteral("findButton"));
  auto* load = new QPushButton(tr("&Load"), right);
  load->setObjectName(QStringLiteral("loadButton"));
  buttons->addWidget(name_, 1);
  buttons->addWidget(insert);
  buttons->addWidget(find);
  buttons->addWidget(load);
  editor_ = new TemplateEditor(right);
  editor_->setObjectName(QStringLiteral("templateEditor"));
  insert->setMenu(editor_->MakeInsertMenu(insert));
  auto* column = new QVBoxLayout(right);
  column->setContentsMargins(0, 0, 0, 0);
  column->addLayout(buttons);
  column->addWidget(editor_);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 4);
  splitter->setSizes({150, 600});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);

  connect(list_, &QListWidget::currentTextChanged, this,
          [this](const QString& name) { ShowTemplate(name); });
  connect(find, &QPushButton::clicked, this, [this] { Find(); });
  connect(load, &QPushButton::clicked, this, [this] { Load(); });
  Reload();
}

void TemplatePage::Commit() {
  if (shown_.empty() || !editor_->document()->isModified()) return;
  if (WriteProjectTemplate(shownDir_, shown_, editor_->Bytes(), prompter_))
    editor_->document()->setModified(false);
}

void TemplatePage::hideEvent(QHideEvent* event) {
  Commit();
  StorePage::hideEvent(event);
}

void TemplatePage::Reload() {
  Commit();  // into the folder it was read from, even when another project is open now
  const QString before =
      shownDir_ == session_.project().settings.projectDir ? shownTemplate() : QString();
  shown_.clear();
  const bool blocked = list_->blockSignals(true);
  list_->clear();
  for (const std::string& name : session_.session().templateList)
    list_->addItem(QString::fromStdString(name));
  list_->blockSignals(blocked);
  setEnabled(!session_.session().path.empty());
  if (list_->findItems(before, Qt::MatchExactly).isEmpty())
    ShowTemplate(list_->count() > 0 ? list_->item(0)->text() : QString());
  else
    ShowTemplate(before);
}

void TemplatePage::ShowTemplate(const QString& name) {
  Commit();
  shown_ = name.toStdString();
  shownDir_ = session_.project().settings.projectDir;
  name_->setText(name);
  if (QList<QListWidgetItem*> items = list_->findItems(name, Qt::MatchExactly);
      !items.isEmpty() && list_->currentItem() != items.front()) {
    const bool blocked = list_->blockSignals(true);
    list_->setCurrentItem(items.front());
    list_->blockSignals(blocked);
  }
  Result<std::string> text =
      shown_.empty() ? Result<std::string>(std::string())
                     : ReadProjectTemplate(shownDir_, shown_);
  editor_->SetBytes(text ? *text : std::string());
  editor_->setEnabled(!shown_.empty());
}

void TemplatePage::Load() {
  if (shown_.empty()) return;
  AppConfig& config = session_.config();
  FileQuery query{tr("Open Template File").toStdString(),
                  "Template File (*.htm *.html);;All Files (*)",
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
  const std::size_t slash = NormalisePath(path).rfind('/');
  if (slash != std::string::npos) config.ld3 = NormalisePath(path).substr(0, slash);
  editor_->ReplaceBytes(*text);
}

void FindInTemplate(TemplateEditor& editor, const AskFindText& ask, Prompter& prompter) {
  std::optional<QString> text = ask ? ask() : AskFindTextDialog(&editor);
  if (!text || text->isEmpty()) return;
  if (!editor.FindNext(*text))
    prompter.Show(QString::fromLatin1(kTextNotFound).arg(*text).toStdString(), "Find",
                  PromptIcon::Information);
  editor.setFocus();
}

void TemplatePage::Find() {
  if (!shown_.empty()) FindInTemplate(*editor_, askFindText, prompter_);
}

bool TemplatePage::RunPageCommand(int id) {
  if (id != kCmdFind) return false;
  Find();
  return true;
}

}  // namespace tolmi::ui

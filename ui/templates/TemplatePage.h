// The "Template" page: the project's page templates ("category.htm", "product.htm"
// and the others of its "Template" folder) in a list, the chosen one in an editor
// with Insert, Find and Load. An edited template is written back to its file, byte
// for byte, when another one is chosen and whenever the main window commits the
// pages (save, preview, build, quit).
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "ui/StorePage.h"

class QListWidget;
class QLabel;

namespace tolmi {
class AppSession;
class Prompter;
}  // namespace tolmi

namespace tolmi::ui {

class FileChooser;
class TemplateEditor;

// The search text of a template page's Find; the default asks with a small dialog.
using AskFindText = std::function<std::optional<QString>()>;

// Find's message when the text does not occur ("%1" is the text), title "Find".
inline constexpr const char* kTextNotFound = "Cannot find \"%1\".";

class TemplatePage : public StorePage {
  Q_OBJECT
 public:
  TemplatePage(AppSession& session, Prompter& prompter, FileChooser& chooser,
               QWidget* parent = nullptr);

  void Commit() override;
  void Reload() override;
  // Edit, Find (449) while the page is shown: the editor's Find.
  bool RunPageCommand(int id) override;

  // Shows the template of that name (after committing the one shown).
  void ShowTemplate(const QString& name);
  QString shownTemplate() const { return QString::fromStdString(shown_); }
  TemplateEditor* editor() const { return editor_; }

  AskFindText askFindText;

 protected:
  // Leaving the page (another tab) writes the edit, so that nothing chosen elsewhere
  // (a new style's templates) is overwritten by it later.
  void hideEvent(QHideEvent* event) override;

 private:
  void Load();
  void Find();

  AppSession& session_;
  Prompter& prompter_;
  FileChooser& chooser_;
  QListWidget* list_;
  QLabel* name_;
  TemplateEditor* editor_;
  std::string shown_;     // the template shown, "" for none
  std::string shownDir_;  // the project folder it was read from
};

// Asks for a search text with a small dialog.
std::optional<QString> AskFindTextDialog(QWidget* parent);

// Find in a template editor: asks for the text (ask, or the dialog when ask is
// empty) and selects its next occurrence; a text that does not occur shows
// kTextNotFound (title "Find").
void FindInTemplate(TemplateEditor& editor, const AskFindText& ask, Prompter& prompter);

}  // namespace tolmi::ui

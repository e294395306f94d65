// The "Order Form" and "Confirmation" pages: the project's order-form or
// confirmation template in an editor with Insert, Find, Load, Default and View. Edits go
// into the open project at once (marking it changed) and are written with the
// project; View writes the page into the preview folder and opens the browser.
#pragma once

#include "schemes/ProjectTemplates.h"
#include "ui/StorePage.h"
#include "ui/templates/TemplatePage.h"

namespace tolmi {
class AppSession;
class BrowserLauncher;
class Prompter;
}  // namespace tolmi

namespace tolmi::ui {

class FileChooser;
class TemplateEditor;

class OrderTemplatePage : public StorePage {
  Q_OBJECT
 public:
  OrderTemplatePage(OrderTemplateKind kind, AppSession& session, Prompter& prompter,
                    FileChooser& chooser, BrowserLauncher& launcher, QWidget* parent = nullptr);

  void Reload() override;
  // Edit, Find (449) while the page is shown: the editor's Find.
  bool RunPageCommand(int id) override;
  TemplateEditor* editor() const { return editor_; }

  AskFindText askFindText;

 protected:
  // Shown again: a template replaced elsewhere (a new style, Save As) is shown.
  void showEvent(QShowEvent* event) override;

 private:
  void Load();
  void Default();
  void View();

  OrderTemplateKind kind_;
  AppSession& session_;
  Prompter& prompter_;
  FileChooser& chooser_;
  BrowserLauncher& launcher_;
  TemplateEditor* editor_;
};

}  // namespace tolmi::ui

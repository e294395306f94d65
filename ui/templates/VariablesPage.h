// The "Variables" page: the store's user variables as a name and value list with
// Add, Edit and Delete, and its own Copy, Paste and Delete (buttons, the list's
// keys, and the Edit menu's commands when the page has them). Names go through
// the same check as the build's; a refused entry shows the check's message and
// changes nothing.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <utility>

#include "ui/StorePage.h"

class QTableWidget;

namespace tolmi {
class AppSession;
class Prompter;
}  // namespace tolmi

namespace tolmi::ui {

// A variable as typed in the Add or Edit dialog.
struct VariableInput {
  QString name;
  QString value;
};
// Asks for a variable (title, and the entry shown first); nullopt when cancelled.
using AskVariable = std::function<std::optional<VariableInput>(const QString& title,
                                                               const VariableInput& shown)>;

class VariablesPage : public StorePage {
  Q_OBJECT
 public:
  VariablesPage(AppSession& session, Prompter& prompter, QWidget* parent = nullptr);

  void Reload() override;
  bool RunPageCommand(int id) override;

  void Add();
  void Edit();
  void Delete();
  void Copy();
  void Paste();

  QTableWidget* table() const { return table_; }
  // The Add and Edit dialog; tests replace it.
  AskVariable askVariable;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Shown again: variables set elsewhere (the merchant details) are listed.
  void showEvent(QShowEvent* event) override;

 private:
  std::vector<std::size_t> SelectedRows() const;
  void Store(std::optional<std::size_t> row, const QString& title, VariableInput shown);

  AppSession& session_;
  Prompter& prompter_;
  QTableWidget* table_;
};

// The real Add/Edit dialog: "Name:" and "Value:" (several lines), OK and Cancel.
std::optional<VariableInput> AskVariableDialog(QWidget* parent, const QString& title,
                                               const VariableInput& shown);

}  // namespace tolmi::ui

// The "Custom Order fields setup" window (Define User Fields of the orders window):
// "Field Title:", "Default Value:", Add and Remove over a list with the columns "Field"
// and "Default Value". Add runs AddCustomOrderField against the order the orders window
// shows; OK stores the list in the configuration and writes "config.ini" as tolmi-cli's
// "config FIELD=..." does, Cancel drops the changes.
#pragma once

#include <QDialog>
#include <vector>

#include "app/Config.h"
#include "ui/ProjectWindows.h"

class QLineEdit;
class QTreeWidget;

namespace tolmi::ui {

class CustomFieldsDialog : public QDialog {
  Q_OBJECT
 public:
  // order: the order shown in the orders window (null: none), whose fields Add checks.
  CustomFieldsDialog(const WindowContext& ctx, const OrderRecord* order, QWidget* parent);

  // Add with the two boxes' texts; a refused field shows its message titled "Invalid Field".
  void AddCommand();
  // Removes the selected pair.
  void RemoveCommand();
  const std::vector<CustomOrderField>& fields() const { return fields_; }

  void accept() override;

 private:
  void FillList();

  WindowContext ctx_;
  const OrderRecord* order_;
  std::vector<CustomOrderField> fields_;
  QLineEdit* title_ = nullptr;
  QLineEdit* value_ = nullptr;
  QTreeWidget* list_ = nullptr;
};

}  // namespace tolmi::ui

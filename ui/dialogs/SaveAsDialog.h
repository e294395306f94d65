// The "Save Project As" window: the prompt, a name box that takes a name the way
// the core cleans it ("," becomes "_", 50 characters at most), OK only with a
// name, Cancel only when the project already has a file (a project must be saved
// somewhere), and "&Browse >" to pick an existing project folder's name.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace tolmi::ui {

class SaveAsDialog : public QDialog {
 public:
  // browseFolder returns the chosen folder (a full path) or nothing.
  SaveAsDialog(QWidget* parent, bool hasProjectPath,
               std::function<std::optional<std::string>()> browseFolder);

  // The name as typed (already cleaned), in the project's byte encoding.
  std::string Name() const;
  void SetName(const std::string& name);

  void reject() override;

 private:
  void CleanTyped(const QString& typed);
  void Browse();

  bool hasProjectPath_;
  std::function<std::optional<std::string>()> browseFolder_;
  QLineEdit* nameEdit_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* browseButton_ = nullptr;
};

}  // namespace tolmi::ui

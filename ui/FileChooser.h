// Choosing files and folders. Windows take a FileChooser by reference, so tests
// pass a scripted fake instead of a file dialog.
#pragma once

#include <string>

class QWidget;

namespace tolmi::ui {

// What a chooser shows: a title, a filter in Qt's form ("Projects (*.tolmi)",
// several separated by ";;"), and the folder or file it starts at.
struct FileQuery {
  std::string title;
  std::string filter;
  std::string start;
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen path, "" when the merchant cancels.
  virtual std::string OpenFile(const FileQuery& query) = 0;
  virtual std::string SaveFile(const FileQuery& query) = 0;
  virtual std::string ChooseFolder(const FileQuery& query) = 0;
};

// The real one: QFileDialog, parented to a window.
class DialogFileChooser : public FileChooser {
 public:
  explicit DialogFileChooser(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::string OpenFile(const FileQuery& query) override;
  std::string SaveFile(const FileQuery& query) override;
  std::string ChooseFolder(const FileQuery& query) override;

 private:
  QWidget* parent_;
};

}  // namespace tolmi::ui

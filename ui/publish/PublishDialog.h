// The "Publish/Upload Store" window over the core's PublishSession: the FTP
// account fields and the number of connections an upload shares the files between
// (kept in the project), Connect/Disconnect, Compare, Upload,
// the upload list with its menu (Publish Now, Transfer and Ignore during Upload,
// Select All), the log with the password masked, a status bar and progress.
//
// The FTP work runs on the core's event loop, which the EventLoopBridge drives
// from Qt's loop: no call here waits for the network. The session's hooks reach
// this window only while it exists (they are cleared when it closes).
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

#include "net/Publish.h"
#include "net/PublishForm.h"
#include "ui/ProjectWindows.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTreeWidget;

namespace tolmi::ui {

inline constexpr const char* kPublishTitle = "Publish/Upload Store";

class PublishDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PublishDialog(const WindowContext& ctx, QWidget* parent = nullptr);
  ~PublishDialog() override;

  // The buttons' commands.
  void ConnectOrDisconnect();
  void Compare();
  void Upload();
  // The list menu's commands on the selected rows.
  void PublishNow();
  void TransferDuringUpload();
  void IgnoreDuringUpload();
  void SelectAll();

  PublishSession& publishSession() { return *publish_; }
  // The log box's lines, top to bottom.
  QStringList LogLines() const;
  QString StatusText() const;

 signals:
  void sessionClosed();
  void fileDone(bool ok);

 protected:
  void reject() override;  // "&Cancel", Escape and the close box

 private:
  PublishFormFields Fields() const;
  void SaveFields();
  void UpdateControls();
  void FillList();
  void ShowRow(int row);
  void ShowRows();
  std::vector<int> SelectedRows() const;
  void AddLog(const std::string& line);
  void Poke();

  WindowContext ctx_;
  std::unique_ptr<PublishSession> publish_;

  QLineEdit* serverEdit_;
  QLineEdit* portEdit_;
  QLineEdit* userEdit_;
  QLineEdit* passwordEdit_;
  QLineEdit* dirEdit_;
  QCheckBox* passiveCheck_;
  QCheckBox* savePasswordCheck_;
  QSpinBox* connectionsSpin_;
  QPushButton* connectButton_;
  QPushButton* compareButton_;
  QPushButton* uploadButton_;
  QPushButton* cancelButton_;
  QPushButton* infoButton_;
  QTreeWidget* list_;
  QPlainTextEdit* logBox_;
  QStatusBar* statusBar_;
  QProgressBar* progress_;
  // The sent and failed counts when an Upload or Publish Now began (-1: none running).
  int sentBefore_ = -1;
  int failedBefore_ = 0;
};

// Opens the window over parent (the Build Store window); it deletes itself on close.
void PublishCommand(const WindowContext& ctx, QWidget* parent);

}  // namespace tolmi::ui

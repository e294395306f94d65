// The "Build Store" window: store title, build directory, All or Selected Items,
// and the live build log with its progress bar and file label. The build itself
// is the core's RunBuild; this window only collects the two fields, shows the
// lines as they come and stops the walk on Cancel.
//
// The build runs on the window's thread: the walk calls the pump hook after each
// page (installed by the EventLoopBridge), which processes window events, so the
// log, the progress bar and Cancel stay alive. The core may fill pages ahead on
// worker threads, but it reports every page and pumps from this thread, so no
// window call ever comes from another thread. Running RunBuild itself on a worker
// would need the project tree, which the main window reads and edits, locked for
// the whole build, so the pump is the safer choice. While a
// build walks, every control but Cancel is disabled (the core's BuildControlEnabled),
// so nothing can re-enter the build.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

#include "builder/BuildDriver.h"
#include "ui/ProjectWindows.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tolmi::ui {

inline constexpr const char* kBuildStoreTitle = "Build Store";

class BuildStoreDialog : public QDialog {
  Q_OBJECT
 public:
  // selectedItems: what "Selected Items" builds (see SelectedItemsFor). The
  // context's references must outlive the window.
  BuildStoreDialog(const WindowContext& ctx, std::vector<StoreNode*> selectedItems);
  ~BuildStoreDialog() override;

  // The "Build" button: stores the fields and runs the build (returns when the
  // build ended; nothing happens while one runs or without a build directory).
  void Build();
  bool building() const { return building_; }
  // The lines of the log list, top to bottom.
  QStringList LogLines() const;
  // Adds a line at the bottom of the log list and shows it.
  void AddLogLine(const QString& line);
  // The build this window drives (tests set its clock).
  BuildSession* buildSession() { return build_.get(); }

 signals:
  void buildFinished();

 protected:
  void reject() override;  // Cancel, Escape and the close box

 private:
  void StoreFields();
  void UpdateControls();
  void Browse();
  void Publish();

  WindowContext ctx_;
  std::vector<StoreNode*> selectedItems_;
  std::unique_ptr<BuildSession> build_;
  bool building_ = false;
  bool closeAfterBuild_ = false;

  QLineEdit* titleEdit_;
  QLineEdit* dirEdit_;
  QPushButton* browseButton_;
  QRadioButton* allRadio_;
  QRadioButton* selectedRadio_;
  QPushButton* buildButton_;
  QPushButton* publishButton_;
  QPushButton* optionsButton_;
  QPushButton* helpButton_;
  QPushButton* cancelButton_;
  QListWidget* logList_;
  QLabel* fileLabel_;
  QProgressBar* progressBar_;
};

// Build Store from the main window (after its order-server check): opens the
// window, or raises the one already open. Modeless; modal (returning when it
// closes) for the "-R" start option.
void BuildStoreCommand(const WindowContext& ctx, bool modal,
                       std::vector<StoreNode*> selectedItems);

}  // namespace tolmi::ui

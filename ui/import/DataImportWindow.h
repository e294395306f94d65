// "Tolmi PRO - Data Import": the records of a data file in a list with one
// column per field, the four split settings above it, the focused record's raw
// line below it, and Import, Update, Select All, Delete and Cancel. A column
// header's click opens the target menu. The state and every rule live in the
// core's ImportSession; Import and Update are ImportProducts and UpdateProducts
// (so the result is what tolmi-cli import makes), with the "Importing..." window
// whose Cancel stops after the current record.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>

#include "app/AppSession.h"
#include "project/ImportSession.h"
#include "ui/ProjectWindows.h"

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;

namespace tolmi::ui {

// The records as rows and the fields as columns; headers are the targets.
class ImportRecordModel : public QAbstractTableModel {
 public:
  ImportRecordModel(ImportSession& session, QObject* parent);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // The session changed as a whole (settings, records removed).
  void Reset();
  // One record's line changed; the columns are rebuilt when their count grew.
  void RecordChanged(int row, std::size_t columnsBefore);
  void HeadersChanged();

 private:
  ImportSession& session_;
};

class DataImportWindow : public QDialog {
  Q_OBJECT
 public:
  // The window over the session; imports go below the project's selected node.
  DataImportWindow(ImportSession& session, const WindowContext& ctx);

  // The target menu of a column (null beyond the assignable columns): the targets,
  // User Fields and User Labels, Clear. Triggering an entry assigns it.
  QMenu* BuildTargetMenu(int column);
  // Import, Update and Delete on the selected records.
  void Import();
  void Update();
  void DeleteSelected();

  ImportSession& session() { return session_; }
  QTableView* records() const { return list_; }

 private:
  void ApplySettings();
  void ShowFocusedLine();
  void RawLineEdited(const QString& text);
  void ShowContextMenu(const QPoint& pos);
  std::vector<std::size_t> SelectedRecords() const;
  void Assign(int column, ImportTarget target);

  ImportSession& session_;
  WindowContext ctx_;
  ImportRecordModel* model_ = nullptr;
  QWidget* content_ = nullptr;
  QTableView* list_ = nullptr;
  QLineEdit* delimiter_ = nullptr;
  QLineEdit* quote_ = nullptr;
  QLineEdit* escape_ = nullptr;
  QLineEdit* decimal_ = nullptr;
  QLineEdit* rawLine_ = nullptr;
};

// The "Importing..." window: a progress bar, "%d/%d Records imported." and Cancel.
class ImportProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ImportProgressWindow(QWidget* parent);
  // Shows done of total, lets the window's events run; false once Cancel was clicked.
  bool Step(int done, int total);
  bool cancelled() const { return cancelled_; }

 private:
  QProgressBar* bar_ = nullptr;
  QLabel* text_ = nullptr;
  bool cancelled_ = false;
};

// File, Import: "Open Data File", then the window over that file (an unreadable
// file opens an empty list). A file with a line too long or a record that is not
// text shows the reason ("Import Error") and opens nothing. Cancelled when no
// file was chosen.
Status DataImportCommand(const WindowContext& ctx);

}  // namespace tolmi::ui

// The "Restore project from Backup" window: the files of the project's "Backup"
// folder with their size and backup time ("Backup Date/Time", blank for a file
// whose first line is not "TIME="). OK needs a selected backup; a damaged backup
// is shown greyed out with its problem and cannot be selected.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "project/Lifecycle.h"

class QPushButton;
class QTreeWidget;

namespace tolmi::ui {

class RestoreBackupDialog : public QDialog {
 public:
  // dateOrder is the configured "dateformat".
  RestoreBackupDialog(QWidget* parent, std::vector<BackupEntry> backups, int dateOrder);

  // The selected backup, if any.
  std::optional<BackupEntry> Selected() const;

 private:
  std::vector<BackupEntry> backups_;
  QTreeWidget* backupList_ = nullptr;
  QPushButton* okButton_ = nullptr;
};

}  // namespace tolmi::ui

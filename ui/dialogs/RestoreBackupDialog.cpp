#include "ui/dialogs/RestoreBackupDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/UiTexts.h"
#include "util/Dates.h"

namespace tolmi::ui {

RestoreBackupDialog::RestoreBackupDialog(QWidget* parent, std::vector<BackupEntry> backups,
                                         int dateOrder)
    : QDialog(parent), backups_(std::move(backups)) {
  setObjectName("restoreBackupDialog");
  setWindowTitle(QString::fromUtf8(kRestoreBackupTitle));
  backupList_ = new QTreeWidget(this);
  backupList_->setObjectName("backupList");
  backupList_->setRootIsDecorated(false);
  backupList_->setUniformRowHeights(true);
  backupList_->setSelectionMode(QAbstractItemView::SingleSelection);
  backupList_->setHeaderLabels({tr("Name"), tr("Size"), QString::fromUtf8(kBackupTimeHeading)});
  for (std::size_t i = 0; i < backups_.size(); ++i) {
    const BackupEntry& b = backups_[i];
    auto* row = new QTreeWidgetItem(backupList_);
    row->setText(0, QString::fromStdString(b.name));
    row->setText(1, QString::number(b.size));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    if (b.time) row->setText(2, QString::fromStdString(FormatDateLocale(*b.time, dateOrder)));
    row->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    // A damaged backup is listed, greyed out, with what is wrong; it cannot be chosen.
    if (!b.problem.empty()) {
      row->setDisabled(true);
      for (int column = 0; column < 3; ++column)
        row->setToolTip(column, QString::fromStdString(b.problem));
    }
  }
  backupList_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  backupList_->header()->setStretchLastSection(true);

  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setObjectName("okButton");
  okButton_->setEnabled(false);
  okButton_->setDefault(true);
  auto* cancelButton = new QPushButton(tr("Cancel"), this);
  cancelButton->setObjectName("cancelButton");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(backupList_);
  layout->addLayout(buttons);
  resize(520, 320);

  connect(backupList_, &QTreeWidget::itemSelectionChanged, this,
          [this] { okButton_->setEnabled(!backupList_->selectedItems().isEmpty()); });
  connect(backupList_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<BackupEntry> RestoreBackupDialog::Selected() const {
  const QList<QTreeWidgetItem*> rows = backupList_->selectedItems();
  if (rows.isEmpty()) return std::nullopt;
  const auto i = rows.front()->data(0, Qt::UserRole).toULongLong();
  if (i >= backups_.size()) return std::nullopt;
  return backups_[i];
}

}  // namespace tolmi::ui

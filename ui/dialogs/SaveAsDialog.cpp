#include "ui/dialogs/SaveAsDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/UiTexts.h"
#include "project/Lifecycle.h"

namespace tolmi::ui {

SaveAsDialog::SaveAsDialog(QWidget* parent, bool hasProjectPath,
                           std::function<std::optional<std::string>()> browseFolder)
    : QDialog(parent), hasProjectPath_(hasProjectPath), browseFolder_(std::move(browseFolder)) {
  setObjectName("saveAsDialog");
  setWindowTitle(QString::fromUtf8(kSaveAsTitle));
  auto* prompt = new QLabel(QString::fromUtf8(kSaveAsPrompt), this);
  prompt->setObjectName("promptLabel");
  nameEdit_ = new QLineEdit(this);
  nameEdit_->setObjectName("nameEdit");
  nameEdit_->setMaxLength(static_cast<int>(kMaxSaveAsNameLength));
  prompt->setBuddy(nameEdit_);

  okButton_ = new QPushButton(tr("OK"), this);
  okButton_->setObjectName("okButton");
  okButton_->setDefault(true);
  okButton_->setEnabled(false);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  cancelButton_->setObjectName("cancelButton");
  cancelButton_->setEnabled(hasProjectPath_);
  browseButton_ = new QPushButton(QString::fromUtf8(kBrowseButton), this);
  browseButton_->setObjectName("browseButton");

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(nameEdit_, 1);
  nameRow->addWidget(browseButton_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addLayout(nameRow);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setMinimumWidth(420);

  connect(nameEdit_, &QLineEdit::textEdited, this, &SaveAsDialog::CleanTyped);
  connect(nameEdit_, &QLineEdit::textChanged, this,
          [this](const QString& text) { okButton_->setEnabled(!text.isEmpty()); });
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &SaveAsDialog::reject);
  connect(browseButton_, &QPushButton::clicked, this, &SaveAsDialog::Browse);
}

std::string SaveAsDialog::Name() const { return nameEdit_->text().toStdString(); }

void SaveAsDialog::SetName(const std::string& name) {
  nameEdit_->setText(QString::fromStdString(CleanSaveAsName(name)));
}

void SaveAsDialog::reject() {
  // Without a project file there is nothing to go back to: the name must be given.
  if (hasProjectPath_) QDialog::reject();
}

void SaveAsDialog::CleanTyped(const QString& typed) {
  const QString cleaned = QString::fromStdString(CleanSaveAsName(typed.toStdString()));
  if (cleaned == typed) return;
  const int cursor = nameEdit_->cursorPosition();
  nameEdit_->setText(cleaned);
  nameEdit_->setCursorPosition(std::min(cursor, static_cast<int>(cleaned.size())));
}

void SaveAsDialog::Browse() {
  if (!browseFolder_) return;
  std::optional<std::string> folder = browseFolder_();
  if (!folder || folder->empty()) return;
  std::string name = *folder;
  while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  SetName(name);
}

}  // namespace tolmi::ui

#include "ui/orders/CustomFieldsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/CustomOrderFields.h"

namespace tolmi::ui {

CustomFieldsDialog::CustomFieldsDialog(const WindowContext& ctx, const OrderRecord* order,
                                       QWidget* parent)
    : QDialog(parent), ctx_(ctx), order_(order), fields_(ctx.session.config().customFields) {
  setObjectName("CustomFieldsDialog");
  setWindowTitle(kCustomFieldsTitle);
  title_ = new QLineEdit;
  title_->setObjectName("fieldTitleEdit");
  value_ = new QLineEdit;
  value_->setObjectName("defaultValueEdit");
  auto* add = new QPushButton("Add");
  add->setObjectName("addButton");
  auto* remove = new QPushButton("Remove");
  remove->setObjectName("removeButton");
  list_ = new QTreeWidget;
  list_->setObjectName("fieldList");
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({"Field", "Default Value"});
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(add, &QPushButton::clicked, this, &CustomFieldsDialog::AddCommand);
  connect(remove, &QPushButton::clicked, this, &CustomFieldsDialog::RemoveCommand);

  auto* form = new QFormLayout;
  form->addRow("Field Title:", title_);
  form->addRow("Default Value:", value_);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(add);
  row->addWidget(remove);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(row);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
  FillList();
  resize(420, 360);
}

void CustomFieldsDialog::FillList() {
  list_->clear();
  for (const CustomOrderField& f : fields_)
    new QTreeWidgetItem(list_,
                        {QString::fromStdString(f.title), QString::fromStdString(f.defaultValue)});
  list_->resizeColumnToContents(0);
}

void CustomFieldsDialog::AddCommand() {
  const Status s = AddCustomOrderField(fields_, order_, title_->text().toStdString(),
                                       value_->text().toStdString());
  if (!s.ok()) {
    if (!s.message().empty())
      ctx_.prompter.Show(s.message(), kInvalidFieldTitle, PromptIcon::Warning);
    return;
  }
  title_->clear();
  value_->clear();
  FillList();
  list_->setCurrentItem(list_->topLevelItem(list_->topLevelItemCount() - 1));
}

void CustomFieldsDialog::RemoveCommand() {
  const int row = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
  if (row < 0 || static_cast<std::size_t>(row) >= fields_.size()) return;
  fields_.erase(fields_.begin() + row);
  FillList();
}

void CustomFieldsDialog::accept() {
  AppConfig& config = ctx_.session.config();
  const std::vector<CustomOrderField> before = config.customFields;
  config.customFields = fields_;
  // A config.ini that cannot be written was reported by the core; the list stays as it was.
  if (!ctx_.session.WriteConfig().ok()) {
    config.customFields = before;
    return;
  }
  QDialog::accept();
}

}  // namespace tolmi::ui

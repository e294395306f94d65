#include "ui/wizard/CardListWidget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "project/CardList.h"
#include "project/WizardPages.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {
namespace {

QString Shown(const std::string& bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

}  // namespace

CardListWidget::CardListWidget(StoreProject& project, std::vector<InstalledCard>& installed,
                               QWidget* parent)
    : QWidget(parent), project_(project), installed_(installed) {
  available_ = new QListWidget(this);
  available_->setObjectName(QStringLiteral("availableCards"));
  available_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  accepted_ = new QListWidget(this);
  accepted_->setObjectName(QStringLiteral("acceptedCards"));
  accepted_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  other_ = new QLineEdit(this);
  other_->setObjectName(QStringLiteral("otherCardEdit"));
  auto* add = new QPushButton(tr("&Add >>"), this);
  add->setObjectName(QStringLiteral("addCard"));
  auto* remove = new QPushButton(tr("<< &Remove"), this);
  remove->setObjectName(QStringLiteral("removeCard"));
  auto* addOther = new QPushButton(tr("Add"), this);
  addOther->setObjectName(QStringLiteral("addOtherCard"));

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel(tr("Available cards:"), this), 0, 0);
  grid->addWidget(new QLabel(tr("Accepted cards:"), this), 0, 2);
  grid->addWidget(available_, 1, 0, 2, 1);
  grid->addWidget(add, 1, 1, Qt::AlignBottom);
  grid->addWidget(remove, 2, 1, Qt::AlignTop);
  grid->addWidget(accepted_, 1, 2, 2, 1);
  auto* otherRow = new QHBoxLayout;
  otherRow->addWidget(new QLabel(QString::fromUtf8(kOtherCardLabel), this));
  otherRow->addWidget(other_, 1);
  otherRow->addWidget(addOther);
  grid->addLayout(otherRow, 3, 0, 1, 3);
  // The lists take the height; their titles and the Other row keep theirs.
  grid->setRowStretch(1, 1);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(2, 1);

  connect(add, &QPushButton::clicked, this, &CardListWidget::AddSelected);
  connect(available_, &QListWidget::itemDoubleClicked, this, &CardListWidget::AddSelected);
  connect(remove, &QPushButton::clicked, this, &CardListWidget::RemoveSelected);
  connect(accepted_, &QListWidget::itemDoubleClicked, this, &CardListWidget::RemoveSelected);
  connect(addOther, &QPushButton::clicked, this, &CardListWidget::AddOther);
  connect(other_, &QLineEdit::returnPressed, this, &CardListWidget::AddOther);
  Reload();
}

void CardListWidget::Reload() {
  available_->clear();
  for (const std::string& name : AvailableCards(installed_, project_)) {
    auto* item = new QListWidgetItem(Shown(name), available_);
    item->setData(Qt::UserRole, QByteArray::fromStdString(name));
  }
  accepted_->clear();
  for (const AcceptedCard& card : project_.cards) {
    auto* item = new QListWidgetItem(Shown(card.name), accepted_);
    item->setData(Qt::UserRole, QByteArray::fromStdString(card.name));
  }
}

void CardListWidget::AddSelected() {
  for (QListWidgetItem* item : available_->selectedItems())
    AddAcceptedCard(project_, item->data(Qt::UserRole).toByteArray().toStdString(), &installed_);
  Reload();
}

void CardListWidget::AddOther() {
  if (AddAcceptedCard(project_, EncodeFromDisplay(other_->text().toStdString(), false),
                      &installed_))
    other_->clear();
  Reload();
}

void CardListWidget::RemoveSelected() {
  for (QListWidgetItem* item : accepted_->selectedItems())
    RemoveAcceptedCard(project_, item->data(Qt::UserRole).toByteArray().toStdString(),
                       &installed_);
  Reload();
}

}  // namespace tolmi::ui

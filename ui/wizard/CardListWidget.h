// The accepted-cards editor shared by the Store Wizard's card page and the
// "Accepted Credit Cards" window: the installation's cards not yet accepted, the
// project's accepted cards, and "Other:" for a card the installation does not list.
#pragma once

#include <QWidget>
#include <vector>

#include "project/StoreProject.h"

class QLineEdit;
class QListWidget;

namespace tolmi::ui {

class CardListWidget : public QWidget {
  Q_OBJECT
 public:
  // Edits project.cards directly; installed (cc.dat) gets its chosen marks kept.
  // Both must outlive the widget.
  CardListWidget(StoreProject& project, std::vector<InstalledCard>& installed,
                 QWidget* parent = nullptr);

  // Refills both lists from the project.
  void Reload();

 private:
  void AddSelected();
  void AddOther();
  void RemoveSelected();

  StoreProject& project_;
  std::vector<InstalledCard>& installed_;
  QListWidget* available_;
  QListWidget* accepted_;
  QLineEdit* other_;
};

}  // namespace tolmi::ui

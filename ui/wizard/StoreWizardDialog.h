// The Store Wizard window: one stacked page per wizard page, moved by the core's
// state machine (Next, Back, Cancel), so the pages, their order and the Finish and
// folder rules are the core's. The page widgets write their answers into the
// wizard's state as they are edited; the region and card pages edit the project.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <string>

#include "project/StoreWizard.h"
#include "schemes/Schemes.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace tolmi::ui {

class ImagePreview;

class CardListWidget;

class StoreWizardDialog : public QDialog {
  Q_OBJECT
 public:
  // The wizard, schemes (the style page), domains and installed cards must outlive
  // the window. subscribe opens the hosting information page.
  StoreWizardDialog(StoreWizard& wizard, const SchemeList& schemes,
                    const std::vector<KnownRegion>& domains,
                    std::vector<InstalledCard>& installedCards, std::function<void()> subscribe,
                    QWidget* parent = nullptr);

  StoreWizard& wizard() { return wizard_; }
  // What ended the window: Finished, LoadExisting or Cancelled (Moved while open).
  WizardStep outcome() const { return outcome_; }

  // The buttons' work, callable by tests.
  void GoNext();
  void GoBack();
  void CancelWizard();

  void reject() override;

 private:
  QWidget* MakePage(WizardPage page);
  void ShowPage();
  void UpdateButtons();
  void ReloadRegions();

  StoreWizard& wizard_;
  const SchemeList& schemes_;
  const std::vector<KnownRegion>& domains_;
  std::vector<InstalledCard>& installedCards_;
  std::function<void()> subscribe_;
  WizardStep outcome_ = WizardStep::Moved;
  bool filling_ = false;

  QLabel* heading_;
  QStackedWidget* stack_;
  std::map<WizardPage, int> pageIndex_;
  QPushButton* back_;
  QPushButton* next_;
  QPushButton* finish_;
  QPushButton* cancel_;

  QLineEdit* folder_ = nullptr;
  QLineEdit* title_ = nullptr;
  QTreeWidget* styles_ = nullptr;
  ImagePreview* stylePreview_ = nullptr;  // the selected style's picture
  QLineEdit* contact_[12] = {};
  CardListWidget* cards_ = nullptr;
  QPlainTextEdit* orderMessage_ = nullptr;
  QPlainTextEdit* confirmMessage_ = nullptr;
  QLineEdit* methods_[3] = {};
  QListWidget* availableRegions_ = nullptr;
  QListWidget* chosenRegions_ = nullptr;
  QButtonGroup* calculation_ = nullptr;
  QLabel* calculationText_ = nullptr;
  QLineEdit* charge_ = nullptr;
  QButtonGroup* taxOn_ = nullptr;
  QButtonGroup* taxMethod_ = nullptr;
  QListWidget* taxable_ = nullptr;
  QLineEdit* taxableRate_ = nullptr;
  QLineEdit* regionRate_ = nullptr;
  QLineEdit* freightTax_ = nullptr;
};

}  // namespace tolmi::ui

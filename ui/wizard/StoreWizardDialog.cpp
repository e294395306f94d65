#include "ui/wizard/StoreWizardDialog.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "builder/Freight.h"
#include "project/CardList.h"
#include "project/WizardPages.h"
#include "schemes/StyleChoice.h"
#include "ui/widgets/ImagePreview.h"
#include "ui/wizard/CardListWidget.h"
#include "util/Strings.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {
namespace {

QString Shown(const std::string& bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

void Store(std::string& field, const QString& text) {
  field = EncodeFromDisplay(text.toStdString(), IsUtf8Text(field));
}

// Multi-line texts are kept with CR LF line ends and shown with LF.
QString ShownLines(const std::string& bytes) {
  QString text = Shown(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

void StoreLines(std::string& field, QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  Store(field, text);
}

// The core's texts use CR and CR LF as line breaks.
QString Paragraphs(const char* text) {
  QString shown = QString::fromUtf8(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

SchemeIndex IndexOf(const QTreeWidgetItem* item) {
  return {static_cast<std::size_t>(item->data(0, Qt::UserRole).toULongLong()),
          static_cast<std::size_t>(item->data(0, Qt::UserRole + 1).toULongLong())};
}

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

}  // namespace

StoreWizardDialog::StoreWizardDialog(StoreWizard& wizard, const SchemeList& schemes,
                                     const std::vector<KnownRegion>& domains,
                                     std::vector<InstalledCard>& installedCards,
                                     std::function<void()> subscribe, QWidget* parent)
    : QDialog(parent),
      wizard_(wizard),
      schemes_(schemes),
      domains_(domains),
      installedCards_(installedCards),
      subscribe_(std::move(subscribe)) {
  setObjectName(QStringLiteral("StoreWizardDialog"));
  setWindowTitle(QString::fromUtf8(kWizardTitle));
  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("wizardHeading"));
  QFont bold = heading_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  heading_->setFont(bold);
  stack_ = new QStackedWidget(this);
  stack_->setObjectName(QStringLiteral("wizardPages"));
  for (int p = 0; p <= static_cast<int>(WizardPage::FreightWarning); ++p) {
    const auto page = static_cast<WizardPage>(p);
    pageIndex_[page] = stack_->addWidget(MakePage(page));
  }

  back_ = new QPushButton(tr("< &Back"), this);
  back_->setObjectName(QStringLiteral("wizardBack"));
  next_ = new QPushButton(tr("&Next >"), this);
  next_->setObjectName(QStringLiteral("wizardNext"));
  finish_ = new QPushButton(tr("&Finish"), this);
  finish_->setObjectName(QStringLiteral("wizardFinish"));
  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("wizardCancel"));
  for (QPushButton* b : {back_, next_, finish_, cancel_}) b->setAutoDefault(false);
  connect(back_, &QPushButton::clicked, this, &StoreWizardDialog::GoBack);
  connect(next_, &QPushButton::clicked, this, &StoreWizardDialog::GoNext);
  connect(finish_, &QPushButton::clicked, this, &StoreWizardDialog::GoNext);
  connect(cancel_, &QPushButton::clicked, this, &StoreWizardDialog::CancelWizard);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* b : {back_, next_, finish_, cancel_}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(stack_, 1);
  layout->addLayout(buttons);
  resize(560, 420);
  ShowPage();
}

QWidget* StoreWizardDialog::MakePage(WizardPage page) {
  using P = WizardPage;
  WizardState& s = wizard_.state();
  auto* widget = new QWidget(this);
  auto* layout = new QVBoxLayout(widget);
  // A prompt that only repeats the page's heading is left out.
  if (WizardPagePrompt(page) != WizardPageHeading(page))
    layout->addWidget(WrappedLabel(QString::fromUtf8(WizardPagePrompt(page)), widget));
  auto line = [&](const char* name, std::string& field) {
    auto* edit = new QLineEdit(widget);
    edit->setObjectName(QString::fromUtf8(name));
    connect(edit, &QLineEdit::textEdited, this, [this, &field](const QString& text) {
      Store(field, text);
      UpdateButtons();
    });
    return edit;
  };
  auto labelled = [&](const char* label, QLineEdit* edit) {
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(label), edit);
    layout->addLayout(form);
  };
  auto lines = [&](const char* name, std::string& field) {
    auto* edit = new QPlainTextEdit(widget);
    edit->setObjectName(QString::fromUtf8(name));
    connect(edit, &QPlainTextEdit::textChanged, this, [this, edit, &field] {
      if (!filling_) StoreLines(field, edit->toPlainText());
    });
    layout->addWidget(edit, 1);
    return edit;
  };
  auto radio = [&](QButtonGroup* group, int id, const QString& text, const char* name) {
    auto* button = new QRadioButton(text, widget);
    button->setObjectName(QString::fromUtf8(name));
    group->addButton(button, id);
    layout->addWidget(button);
    return button;
  };

  switch (page) {
    case P::FolderName:
      folder_ = line("folderNameEdit", s.folderName);
      layout->addWidget(folder_);
      break;
    case P::StoreTitle:
      title_ = line("storeTitleEdit", s.storeTitle);
      layout->addWidget(title_);
      break;
    case P::Style: {
      styles_ = new QTreeWidget(widget);
      styles_->setObjectName(QStringLiteral("styleList"));
      styles_->setHeaderHidden(true);
      for (std::size_t c = 0; c < schemes_.categories.size(); ++c) {
        const StyleCategory& category = schemes_.categories[c];
        auto* group = new QTreeWidgetItem(styles_, {Shown(category.name)});
        group->setFlags(Qt::ItemIsEnabled);
        for (std::size_t i = 0; i < category.schemes.size(); ++i) {
          if (category.schemes[i].kind == kSchemeUnavailable) continue;  // files are missing
          auto* item = new QTreeWidgetItem(group, {Shown(category.schemes[i].name)});
          item->setData(0, Qt::UserRole, static_cast<qulonglong>(c));
          item->setData(0, Qt::UserRole + 1, static_cast<qulonglong>(i));
        }
      }
      styles_->expandAll();
      stylePreview_ = new ImagePreview(widget);
      stylePreview_->setObjectName(QStringLiteral("wizardStylePreview"));
      stylePreview_->setMinimumWidth(240);
      connect(styles_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        const bool style = item && item->data(0, Qt::UserRole).isValid();
        stylePreview_->SetImage(
            style ? QString::fromStdString(StylePreviewPicture(schemes_, IndexOf(item)))
                  : QString());
        if (filling_ || !style) return;
        wizard_.state().style = SchemeStyleRef(schemes_, IndexOf(item));
        UpdateButtons();
      });
      auto* row = new QHBoxLayout;
      row->addWidget(styles_, 2);
      row->addWidget(stylePreview_, 3);
      layout->addLayout(row, 1);
      break;
    }
    case P::ContactDetails: {
      auto* form = new QFormLayout;
      for (std::size_t i = 0; i < kContactLabels.size(); ++i) {
        const std::string name = "contactEdit" + std::to_string(i + 1);
        contact_[i] = line(name.c_str(), s.contact.*kContactFields[i]);
        form->addRow(QString::fromUtf8(kContactLabels[i]) + QLatin1Char(':'), contact_[i]);
      }
      layout->addLayout(form);
      break;
    }
    case P::Cards:
      cards_ = new CardListWidget(wizard_.project(), installedCards_, widget);
      layout->addWidget(cards_, 1);
      break;
    case P::OrderMessage: orderMessage_ = lines("orderMessageEdit", s.orderMessage); break;
    case P::ConfirmMessage: confirmMessage_ = lines("confirmMessageEdit", s.confirmMessage); break;
    case P::Hosting: {
      auto* subscribe = new QPushButton(QString::fromUtf8(kSubscribeText), widget);
      subscribe->setObjectName(QStringLiteral("subscribeButton"));
      connect(subscribe, &QPushButton::clicked, this, [this] {
        if (subscribe_) subscribe_();
      });
      layout->addWidget(subscribe, 0, Qt::AlignLeft);
      break;
    }
    case P::MethodNames: {
      auto* form = new QFormLayout;
      for (int i = 0; i < 3; ++i) {
        const std::string name = "methodEdit" + std::to_string(i + 1);
        methods_[i] = line(name.c_str(), s.methodNames[static_cast<std::size_t>(i)]);
        form->addRow(tr("Method %1:").arg(i + 1), methods_[i]);
      }
      layout->addLayout(form);
      break;
    }
    case P::Regions: {
      availableRegions_ = new QListWidget(widget);
      availableRegions_->setObjectName(QStringLiteral("availableRegions"));
      availableRegions_->setSelectionMode(QAbstractItemView::ExtendedSelection);
      chosenRegions_ = new QListWidget(widget);
      chosenRegions_->setObjectName(QStringLiteral("chosenRegions"));
      chosenRegions_->setSelectionMode(QAbstractItemView::ExtendedSelection);
      auto* add = new QPushButton(tr("&Add >>"), widget);
      add->setObjectName(QStringLiteral("addRegion"));
      auto* remove = new QPushButton(tr("<< &Remove"), widget);
      remove->setObjectName(QStringLiteral("removeRegion"));
      auto addSelected = [this] {
        for (QListWidgetItem* item : availableRegions_->selectedItems()) {
          const std::string key = item->data(Qt::UserRole).toByteArray().toStdString();
          for (const KnownRegion& known : domains_)
            if (known.key == key) wizard_.AddRegion(known);
        }
        ReloadRegions();
      };
      auto removeSelected = [this] {
        for (QListWidgetItem* item : chosenRegions_->selectedItems())
          wizard_.RemoveRegion(item->data(Qt::UserRole).toByteArray().toStdString());
        ReloadRegions();
      };
      connect(add, &QPushButton::clicked, this, addSelected);
      connect(availableRegions_, &QListWidget::itemDoubleClicked, this, addSelected);
      connect(remove, &QPushButton::clicked, this, removeSelected);
      connect(chosenRegions_, &QListWidget::itemDoubleClicked, this, removeSelected);
      auto* grid = new QGridLayout;
      grid->addWidget(new QLabel(tr("Available regions:"), widget), 0, 0);
      grid->addWidget(new QLabel(tr("Freight regions:"), widget), 0, 2);
      grid->addWidget(availableRegions_, 1, 0, 2, 1);
      grid->addWidget(add, 1, 1, Qt::AlignBottom);
      grid->addWidget(remove, 2, 1, Qt::AlignTop);
      grid->addWidget(chosenRegions_, 1, 2, 2, 1);
      grid->setRowStretch(1, 1);
      grid->setRowStretch(2, 1);
      grid->setColumnStretch(0, 1);
      grid->setColumnStretch(2, 1);
      layout->addLayout(grid, 1);
      break;
    }
    case P::FreightCalculation: {
      calculation_ = new QButtonGroup(widget);
      for (int i = 0; i < 4; ++i) {
        const std::string name = "calculation" + std::to_string(i);
        radio(calculation_, i, QString::fromUtf8(kFreightCalculationNames[i]), name.c_str());
      }
      calculationText_ = WrappedLabel(QString(), widget);
      calculationText_->setObjectName(QStringLiteral("calculationText"));
      layout->addWidget(calculationText_);
      connect(calculation_, &QButtonGroup::idClicked, this, [this](int id) {
        wizard_.state().calculation = static_cast<FreightCalculation>(id);
        calculationText_->setText(Paragraphs(kFreightCalculationTexts[id]));
        UpdateButtons();
      });
      break;
    }
    case P::ChargePerOrder:
      charge_ = line("chargeEdit", s.chargePerOrder);
      layout->addWidget(charge_);
      break;
    case P::TaxOnOff:
      taxOn_ = new QButtonGroup(widget);
      radio(taxOn_, 1, QString::fromUtf8(kTaxOnText), "taxOn");
      radio(taxOn_, 0, QString::fromUtf8(kTaxOffText), "taxOff");
      connect(taxOn_, &QButtonGroup::idClicked, this, [this](int id) {
        wizard_.state().taxOn = id == 1;
        UpdateButtons();
      });
      break;
    case P::TaxMethod:
      taxMethod_ = new QButtonGroup(widget);
      radio(taxMethod_, 0, tr("1. Product based taxation."), "productTax");
      layout->addWidget(WrappedLabel(Paragraphs(kProductTaxText), widget));
      radio(taxMethod_, 1, tr("2. Region based taxation."), "regionTax");
      layout->addWidget(WrappedLabel(Paragraphs(kRegionTaxText), widget));
      connect(taxMethod_, &QButtonGroup::idClicked, this, [this](int id) {
        wizard_.state().taxMethod = static_cast<std::int16_t>(id);
        UpdateButtons();
      });
      break;
    case P::TaxableRegions:
      taxable_ = new QListWidget(widget);
      taxable_->setObjectName(QStringLiteral("taxableRegions"));
      connect(taxable_, &QListWidget::itemChanged, this, [this] {
        if (filling_) return;
        std::vector<std::string>& keys = wizard_.state().taxableRegions;
        keys.clear();
        for (int i = 0; i < taxable_->count(); ++i) {
          QListWidgetItem* item = taxable_->item(i);
          if (item->checkState() == Qt::Checked)
            keys.push_back(item->data(Qt::UserRole).toByteArray().toStdString());
        }
      });
      layout->addWidget(taxable_, 1);
      taxableRate_ = line("taxableRateEdit", s.regionTaxRate);
      labelled(kTaxRateLabel, taxableRate_);
      break;
    case P::RegionalTaxRate:
      regionRate_ = line("regionRateEdit", s.regionTaxRate);
      layout->addWidget(regionRate_);
      break;
    case P::FreightTaxRate:
      freightTax_ = line("freightTaxEdit", s.freightTaxRate);
      labelled(kFreightTaxRateLabel, freightTax_);
      break;
    case P::Welcome:
    case P::Final:
    case P::FreightWarning: break;
  }
  layout->addStretch(0);
  return widget;
}

void StoreWizardDialog::ReloadRegions() {
  if (!availableRegions_) return;
  availableRegions_->clear();
  for (const KnownRegion& region : AvailableRegions(domains_, wizard_.project())) {
    auto* item = new QListWidgetItem(Shown(region.name.empty() ? region.key : region.name),
                                     availableRegions_);
    item->setData(Qt::UserRole, QByteArray::fromStdString(region.key));
  }
  availableRegions_->sortItems();  // by name, as a merchant looks for a country
  chosenRegions_->clear();
  for (const FreightRegion& region : wizard_.project().regions) {
    auto* item = new QListWidgetItem(Shown(region.name), chosenRegions_);
    item->setData(Qt::UserRole, QByteArray::fromStdString(region.key));
  }
}

// Fills the open page's widgets from the wizard's answers and the project.
void StoreWizardDialog::ShowPage() {
  using P = WizardPage;
  const WizardState& s = wizard_.state();
  const WizardPage page = wizard_.page();
  filling_ = true;
  heading_->setText(QString::fromUtf8(WizardPageHeading(page)));
  heading_->setVisible(!WizardPageHeading(page).empty());
  auto setChecked = [](QButtonGroup* group, int id) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(group->id(b) == id);
    group->setExclusive(true);
  };
  switch (page) {
    case P::FolderName: folder_->setText(Shown(s.folderName)); break;
    case P::StoreTitle: title_->setText(Shown(s.storeTitle)); break;
    case P::Style:
      styles_->clearSelection();
      for (QTreeWidgetItemIterator it(styles_); *it; ++it) {
        QTreeWidgetItem* item = *it;
        if (!item->data(0, Qt::UserRole).isValid() || !s.style) continue;
        const SchemeIndex at = IndexOf(item);
        if (SchemeStyleRef(schemes_, at) == *s.style) styles_->setCurrentItem(item);
      }
      break;
    case P::ContactDetails:
      for (std::size_t i = 0; i < kContactLabels.size(); ++i)
        contact_[i]->setText(Shown(s.contact.*kContactFields[i]));
      break;
    case P::Cards: cards_->Reload(); break;
    case P::OrderMessage: orderMessage_->setPlainText(ShownLines(s.orderMessage)); break;
    case P::ConfirmMessage: confirmMessage_->setPlainText(ShownLines(s.confirmMessage)); break;
    case P::MethodNames:
      for (std::size_t i = 0; i < 3; ++i) methods_[i]->setText(Shown(s.methodNames[i]));
      break;
    case P::Regions: ReloadRegions(); break;
    case P::FreightCalculation:
      setChecked(calculation_, s.calculation ? static_cast<int>(*s.calculation) : -1);
      calculationText_->setText(
          s.calculation ? Paragraphs(kFreightCalculationTexts[static_cast<int>(*s.calculation)])
                        : QString());
      break;
    case P::ChargePerOrder: charge_->setText(Shown(s.chargePerOrder)); break;
    case P::TaxOnOff: setChecked(taxOn_, s.taxOn ? 1 : 0); break;
    case P::TaxMethod: setChecked(taxMethod_, s.taxMethod == 1 ? 1 : 0); break;
    case P::TaxableRegions:
      taxable_->clear();
      for (const FreightRegion& region : wizard_.project().regions) {
        auto* item = new QListWidgetItem(Shown(region.name), taxable_);
        item->setData(Qt::UserRole, QByteArray::fromStdString(region.key));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        bool taxed = false;
        for (const std::string& key : s.taxableRegions) taxed = taxed || EqualsNoCase(key, region.key);
        item->setCheckState(taxed ? Qt::Checked : Qt::Unchecked);
      }
      taxableRate_->setText(Shown(s.regionTaxRate));
      break;
    case P::RegionalTaxRate: regionRate_->setText(Shown(s.regionTaxRate)); break;
    case P::FreightTaxRate: freightTax_->setText(Shown(s.freightTaxRate)); break;
    default: break;
  }
  filling_ = false;
  stack_->setCurrentIndex(pageIndex_[page]);
  UpdateButtons();
}

void StoreWizardDialog::UpdateButtons() {
  const WizardButtons states = WizardButtonStates(wizard_);
  back_->setEnabled(states.back);
  next_->setEnabled(states.next);
  finish_->setEnabled(states.finish);
  cancel_->setEnabled(states.cancel);
  (states.finish ? finish_ : next_)->setDefault(true);
}

void StoreWizardDialog::GoNext() {
  const WizardStep step = wizard_.Next();
  switch (step) {
    case WizardStep::Moved: ShowPage(); return;
    case WizardStep::Stayed: UpdateButtons(); return;
    case WizardStep::Finished:
    case WizardStep::LoadExisting:
      outcome_ = step;
      accept();
      return;
    case WizardStep::Cancelled:
      outcome_ = step;
      QDialog::reject();
      return;
  }
}

void StoreWizardDialog::GoBack() {
  if (wizard_.Back()) ShowPage();
}

void StoreWizardDialog::CancelWizard() { reject(); }

void StoreWizardDialog::reject() {
  if (!wizard_.ended()) wizard_.Cancel();
  outcome_ = WizardStep::Cancelled;
  QDialog::reject();
}

}  // namespace tolmi::ui

#include "ui/payments/ChargeDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

namespace tolmi::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A list of choices showing value: selected when listed, put first when not (an order's
// own expiry stays visible), nothing selected when empty.
QComboBox* Choices(const std::vector<std::string>& items, const std::string& value,
                   const char* name) {
  auto* combo = new QComboBox;
  combo->setObjectName(name);
  for (const auto& item : items) combo->addItem(Q(item));
  if (value.empty()) {
    combo->setCurrentIndex(-1);
  } else if (int i = combo->findText(Q(value)); i >= 0) {
    combo->setCurrentIndex(i);
  } else {
    combo->insertItem(0, Q(value));
    combo->setCurrentIndex(0);
  }
  return combo;
}

QLineEdit* Edit(const std::string& text, const char* name) {
  auto* edit = new QLineEdit(Q(text));
  edit->setObjectName(name);
  return edit;
}

}  // namespace

ChargeDialog::ChargeDialog(QWidget* parent, ChargeDesk& desk, const GatewayDefinition& gateway,
                           const OrderRecord* order, std::time_t now, ChargeDialogHooks hooks)
    : QDialog(parent), desk_(desk), hooks_(std::move(hooks)) {
  setObjectName("ChargeDialog");
  setWindowTitle(Q(ChargeDialogTitle(gateway.name)));
  const bool forOrder = order && order->kind == RecordKind::Order;
  model_ = OpenChargeDialog(forOrder);
  const ChargeInput input = ChargeInputFromOrder(forOrder ? order : nullptr);

  amount_ = Edit(input.amount, "amountEdit");
  cardNumber_ = Edit(input.cardNumber, "cardNumberEdit");
  cardHolder_ = Edit(input.cardHolder, "cardHolderEdit");
  // The gateway's card types are offered; any other text may be typed.
  std::vector<std::string> types;
  for (const auto& t : gateway.cardTypes) types.push_back(t.name);
  cardType_ = Choices(types, input.cardType, "cardTypeCombo");
  cardType_->setEditable(true);
  cardType_->setEditText(Q(input.cardType));
  month_ = Choices(ExpiryMonths(), input.expiryMonth, "expiryMonthCombo");
  year_ = Choices(ExpiryYears(now), input.expiryYear, "expiryYearCombo");
  status_ = new QLabel;
  status_->setObjectName("statusLabel");
  status_->setAlignment(Qt::AlignCenter);
  status_->setMinimumWidth(120);
  status_->setFrameShape(QFrame::StyledPanel);
  reply_ = new QPlainTextEdit;
  reply_->setObjectName("replyBox");
  reply_->setReadOnly(true);

  auto* expiry = new QHBoxLayout;
  expiry->addWidget(month_);
  expiry->addWidget(new QLabel("/"));
  expiry->addWidget(year_);
  expiry->addStretch();
  auto* form = new QFormLayout;
  form->addRow(tr("Amount:"), amount_);
  form->addRow(tr("Card Number:"), cardNumber_);
  form->addRow(tr("Card Holder:"), cardHolder_);
  form->addRow(tr("Card Type:"), cardType_);
  form->addRow(tr("Expiry Date:"), expiry);
  form->addRow(tr("Status:"), status_);

  charge_ = new QPushButton(tr("Charge"));
  charge_->setObjectName("chargeButton");
  charge_->setDefault(true);
  auto* cancel = new QPushButton(tr("Cancel"));
  cancel->setObjectName("cancelButton");
  auto* log = new QPushButton(tr("Log"));
  log->setObjectName("logButton");
  auto* support = new QPushButton(tr("Support"));
  support->setObjectName("supportButton");
  support->setEnabled(!gateway.support.empty());
  connect(charge_, &QPushButton::clicked, this, &ChargeDialog::Charge);
  connect(cancel, &QPushButton::clicked, this, &ChargeDialog::reject);
  connect(log, &QPushButton::clicked, this, [this] {
    if (hooks_.openLog) hooks_.openLog();
  });
  connect(support, &QPushButton::clicked, this, [this] {
    if (hooks_.openSupport) hooks_.openSupport();
  });
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {charge_, cancel, log, support}) buttons->addWidget(b);
  buttons->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(form, 1);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(new QLabel(tr("Reply:")));
  layout->addWidget(reply_, 1);

  animation_ = new QTimer(this);
  animation_->setInterval(kWorkingTickMs);
  connect(animation_, &QTimer::timeout, this, [this] { status_->setText(Q(WorkingFrame(++tick_))); });
  ShowState();
  resize(520, 380);
}

ChargeDialog::~ChargeDialog() { Detach(); }

void ChargeDialog::Detach() {
  if (chargeId_) desk_.Detach(chargeId_);
  chargeId_ = 0;
}

void ChargeDialog::Charge() {
  if (!ChargeInputsEnabled(model_)) return;
  OrderRecord* order = hooks_.order ? hooks_.order() : nullptr;
  if (!order) return;
  ChargeInput input;
  input.amount = amount_->text().toStdString();
  input.cardNumber = cardNumber_->text().toStdString();
  input.cardHolder = cardHolder_->text().toStdString();
  input.cardType = cardType_->currentText().toStdString();
  input.expiryMonth = month_->currentText().toStdString();
  input.expiryYear = year_->currentText().toStdString();
  ChargeSessionHooks hooks;
  hooks.finished = [this](const ChargeResult& result) { Finished(result); };
  const GatewayDefinition* gateway = hooks_.gateway ? hooks_.gateway() : nullptr;
  const ChargeContext context = hooks_.context ? hooks_.context() : ChargeContext{};
  int id = 0;
  const ChargePress press = desk_.Charge(*order, input, gateway, context, std::move(hooks), &id);
  if (hooks_.inputStored) hooks_.inputStored();
  if (press == ChargePress::OpenGatewaySetup) {
    if (hooks_.openGatewaySetup) hooks_.openGatewaySetup();
    return;
  }
  if (press != ChargePress::Sent) return;
  chargeId_ = id;
  BeginCharge(model_);
  reply_->clear();
  tick_ = 0;
  animation_->start();
  ShowState();
}

void ChargeDialog::Finished(const ChargeResult& result) {
  chargeId_ = 0;
  FinishCharge(model_, result.outcome.verdict);
  animation_->stop();
  reply_->setPlainText(Q(result.outcome.replyText));
  ShowState();
}

void ChargeDialog::reject() {
  CancelCharge(model_);
  animation_->stop();
  ShowState();
  Detach();
  QDialog::reject();
}

void ChargeDialog::ShowState() {
  const bool inputs = ChargeInputsEnabled(model_);
  for (QWidget* w : std::initializer_list<QWidget*>{amount_, cardNumber_, cardHolder_, cardType_,
                                                    month_, year_, charge_})
    w->setEnabled(inputs);
  status_->setText(model_.state == ChargeDialogState::Working
                       ? Q(WorkingFrame(tick_))
                       : QString::fromUtf8(ChargeStatusText(model_.state).data(),
                                           static_cast<int>(ChargeStatusText(model_.state).size())));
  switch (ChargeStatusColourOf(model_.state)) {
    case ChargeStatusColour::Green:
      status_->setStyleSheet("QLabel { background: #2e8b3a; color: white; font-weight: bold; }");
      break;
    case ChargeStatusColour::Red:
      status_->setStyleSheet("QLabel { background: #c62828; color: white; font-weight: bold; }");
      break;
    case ChargeStatusColour::Plain: status_->setStyleSheet(QString()); break;
  }
}

}  // namespace tolmi::ui

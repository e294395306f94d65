#include "ui/payments/TransactionLogWindow.h"

#include <QCalendarWidget>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/FileChooser.h"
#include "util/Paths.h"

namespace tolmi::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Noon of the local day: always inside that day, whatever the clock change.
std::time_t DayTime(const QDate& day) {
  return static_cast<std::time_t>(QDateTime(day, QTime(12, 0)).toSecsSinceEpoch());
}
QDate DayOf(std::time_t t) { return QDateTime::fromSecsSinceEpoch(t).date(); }

constexpr TransactionLogColumn kColumns[] = {TransactionLogColumn::Order,
                                             TransactionLogColumn::Total,
                                             TransactionLogColumn::Status,
                                             TransactionLogColumn::ChargeDate};

}  // namespace

TransactionLogWindow::TransactionLogWindow(QWidget* parent, std::string home, int dateOrder,
                                           FileChooser& chooser, Prompter& prompter,
                                           std::time_t now)
    : QDialog(parent),
      home_(std::move(home)),
      dateOrder_(dateOrder),
      chooser_(chooser),
      prompter_(prompter) {
  setObjectName("TransactionLogWindow");
  setWindowTitle(tr("Transaction Log"));
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_DeleteOnClose);

  list_ = new QTreeWidget;
  list_->setObjectName("logList");
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({tr("Order"), tr("Total"), tr("Status"), tr("Charge Date")});
  list_->header()->setSectionsClickable(true);
  list_->header()->setMinimumSectionSize(80);  // room for the title and the sort mark
  connect(list_->header(), &QHeaderView::sectionClicked, this, &TransactionLogWindow::SortBy);
  calendar_ = new QCalendarWidget;
  calendar_->setObjectName("logCalendar");
  calendar_->setGridVisible(true);
  connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate day) {
    PickDay(day, QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
  });
  auto* open = new QPushButton(tr("Open"));
  open->setObjectName("openButton");
  connect(open, &QPushButton::clicked, this, &TransactionLogWindow::OpenCommand);
  auto* close = new QPushButton(tr("Close"));
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  auto* hint = new QLabel(tr("Click a day; Shift+click a second day to pick a range."));
  hint->setWordWrap(true);

  auto* side = new QVBoxLayout;
  side->addWidget(calendar_);
  side->addWidget(hint);
  side->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open);
  buttons->addStretch();
  buttons->addWidget(close);
  side->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(side);

  const QDate today = DayOf(now);
  calendar_->setSelectedDate(today);
  PickDay(today, false);
  resize(820, 420);
}

void TransactionLogWindow::PickDay(const QDate& day, bool extend) {
  range_ = PickLogDay(range_, DayTime(day), extend);
  calendar_->setSelectedDate(day);
  entries_ = ReadTransactionLogRange(home_, range_);
  sortColumn_ = -1;
  MarkRange();
  Fill();
}

void TransactionLogWindow::MarkRange() {
  // Clears the former range's marks, then marks each picked day.
  if (marked_[0].isValid())
    for (QDate d = marked_[0]; d <= marked_[1]; d = d.addDays(1))
      calendar_->setDateTextFormat(d, QTextCharFormat());
  marked_[0] = DayOf(range_.first());
  marked_[1] = DayOf(range_.last());
  QTextCharFormat picked;
  picked.setBackground(palette().highlight());
  picked.setForeground(palette().highlightedText());
  for (QDate d = marked_[0]; d <= marked_[1]; d = d.addDays(1))
    calendar_->setDateTextFormat(d, picked);
}

void TransactionLogWindow::OpenCommand() {
  const std::string path = chooser_.OpenFile(
      {"Open Transaction Log", "Transaction Log (*.log)", JoinPath(home_, "Logs")});
  if (path.empty()) return;
  auto read = ReadTransactionLogFile(path);
  if (!read) {
    prompter_.Show(read.status().message(), "Error", PromptIcon::Error);
    return;
  }
  entries_ = std::move(*read);
  sortColumn_ = -1;
  Fill();
}

void TransactionLogWindow::SortBy(int column) {
  if (column < 0 || column >= 4) return;
  descending_ = column == sortColumn_ ? !descending_ : false;
  sortColumn_ = column;
  SortTransactionLog(entries_, kColumns[column], descending_);
  Fill();
}

void TransactionLogWindow::Fill() {
  list_->clear();
  for (const auto& row : TransactionLogRows(entries_, dateOrder_)) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, Q(row.order));
    item->setText(1, Q(row.total));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(2, Q(row.status));
    item->setText(3, Q(row.chargeDate));
  }
  for (int c = 0; c < 4; ++c) list_->resizeColumnToContents(c);
  list_->header()->setSortIndicatorShown(sortColumn_ >= 0);
  if (sortColumn_ >= 0)
    list_->header()->setSortIndicator(sortColumn_,
                                      descending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
}

}  // namespace tolmi::ui

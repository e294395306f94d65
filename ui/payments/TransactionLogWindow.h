// The "Transaction Log" window: the charges of the days picked in a month calendar
// (a click picks a day, Shift and a click extend the range from the first pick), with
// the columns "Order", "Total", "Status" and "Charge Date", sortable by each; Open
// reads any log file. It opens with today's log. Rows and reading come from
// payments/TransactionLog and payments/TransactionLogView.
#pragma once

#include <QDate>
#include <QDialog>
#include <ctime>
#include <string>
#include <vector>

#include "payments/TransactionLogView.h"
#include "util/Platform.h"

class QCalendarWidget;
class QTreeWidget;

namespace tolmi::ui {

class FileChooser;

class TransactionLogWindow : public QDialog {
  Q_OBJECT
 public:
  // home holds "Logs"; dateOrder is the configured date order. chooser and prompter must
  // outlive the window.
  TransactionLogWindow(QWidget* parent, std::string home, int dateOrder, FileChooser& chooser,
                       Prompter& prompter, std::time_t now);

  // A pick in the calendar: that day, or with extend the days from the first pick on.
  void PickDay(const QDate& day, bool extend);
  // Open: a log file chosen in "Open Transaction Log"; one that cannot be read shows
  // "Error C100: ..." and leaves the list as it was.
  void OpenCommand();
  // Sorts by a column (a second click on the same column reverses it).
  void SortBy(int column);

 private:
  void Fill();
  void MarkRange();

  std::string home_;
  int dateOrder_;
  FileChooser& chooser_;
  Prompter& prompter_;
  LogDayRange range_;
  QDate marked_[2];
  std::vector<TransactionLogEntry> entries_;
  int sortColumn_ = -1;
  bool descending_ = false;
  QTreeWidget* list_ = nullptr;
  QCalendarWidget* calendar_ = nullptr;
};

}  // namespace tolmi::ui

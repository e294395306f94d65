// The small window shown while a project loads or saves: a fixed text ("Loading
// store project. Please wait........") and the running record count. The core's
// progress callbacks feed Step(); the window repaints at a modest rate so the
// work stays fast and the window never looks frozen. User input is not handled
// while the work runs, so nothing can change under a half-done load or save.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstddef>
#include <functional>

class QLabel;

namespace tolmi::ui {

class ProgressWindow : public QDialog {
 public:
  ProgressWindow(QWidget* parent, const QString& text);

  // Shows the window and paints it once before the work starts.
  void Begin();
  // Records the running count; shows the window when it is hidden, else repaints
  // when 100 ms have passed since the last paint.
  void Step(std::size_t records);
  // A callback for the core's progress hooks that calls Step().
  std::function<void(std::size_t)> Callback();

  std::size_t records() const { return records_; }
  int paints() const { return paints_; }

 private:
  void Paint();

  QLabel* textLabel_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QElapsedTimer sincePaint_;
  std::size_t records_ = 0;
  int paints_ = 0;
};

}  // namespace tolmi::ui

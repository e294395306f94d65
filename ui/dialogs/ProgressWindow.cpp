#include "ui/dialogs/ProgressWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "util/Version.h"

namespace tolmi::ui {

namespace {
constexpr qint64 kPaintIntervalMs = 100;
}

ProgressWindow::ProgressWindow(QWidget* parent, const QString& text) : QDialog(parent) {
  setObjectName("progressWindow");
  setWindowTitle(QString::fromUtf8(kProductName));
  setModal(true);
  // Closing it half way would leave a half-read project: no close button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  textLabel_ = new QLabel(text, this);
  textLabel_->setObjectName("progressText");
  countLabel_ = new QLabel(QStringLiteral("0"), this);
  countLabel_->setObjectName("progressCount");
  countLabel_->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 18, 24, 18);
  layout->addWidget(textLabel_);
  layout->addWidget(countLabel_);
  setMinimumWidth(360);
}

void ProgressWindow::Begin() {
  show();
  Paint();
}

void ProgressWindow::Step(std::size_t records) {
  records_ = records;
  if (!isVisible())
    Begin();
  else if (sincePaint_.elapsed() >= kPaintIntervalMs)
    Paint();
}

std::function<void(std::size_t)> ProgressWindow::Callback() {
  return [this](std::size_t records) { Step(records); };
}

void ProgressWindow::Paint() {
  countLabel_->setText(tr("%n record(s)", nullptr, static_cast<int>(records_)));
  ++paints_;
  sincePaint_.restart();
  // Paint and window-system events only: clicks and keys wait until the work is done.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tolmi::ui

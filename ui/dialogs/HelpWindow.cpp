#include "ui/dialogs/HelpWindow.h"

#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "util/TextEncoding.h"
#include "util/Version.h"

namespace tolmi::ui {

HelpWindow::HelpWindow(QWidget* parent, const std::string& home,
                       std::function<bool(const std::string& url)> openExternal)
    : QWidget(parent, Qt::Window), openExternal_(std::move(openExternal)) {
  setObjectName("helpWindow");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(tr("%1 Help").arg(QString::fromUtf8(kProductName)));
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("helpBrowser");
  browser_->setSearchPaths({QString::fromStdString(home)});
  browser_->setOpenLinks(false);
  browser_->document()->setDocumentMargin(12);
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.isRelative() || url.isLocalFile()) {
      if (url.hasFragment() && url.path().isEmpty())
        browser_->scrollToAnchor(url.fragment());
      else
        browser_->setSource(url);
      return;
    }
    if (openExternal_) openExternal_(url.toString().toStdString());
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(680, 560);
}

void HelpWindow::SetPage(const std::string& bytes) {
  browser_->setHtml(QString::fromStdString(DecodeForDisplay(bytes)));
}

}  // namespace tolmi::ui

// The help window: the home's "help.htm" in a text browser. Links inside the
// home open in the window; web addresses go to the merchant's browser.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QTextBrowser;

namespace tolmi::ui {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  // openExternal opens an address in the browser; false when it could not.
  HelpWindow(QWidget* parent, const std::string& home,
             std::function<bool(const std::string& url)> openExternal);

  // Shows the page bytes (decoded for display).
  void SetPage(const std::string& bytes);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
  std::function<bool(const std::string&)> openExternal_;
};

}  // namespace tolmi::ui

// The About box: the product name, its version text ("2.09.003") and build.
#pragma once

#include <QDialog>
#include <string>

namespace tolmi::ui {

class AboutDialog : public QDialog {
 public:
  AboutDialog(QWidget* parent, const std::string& versionText, int buildNumber);
};

}  // namespace tolmi::ui

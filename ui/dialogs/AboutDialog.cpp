#include "ui/dialogs/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "util/Version.h"

namespace tolmi::ui {

AboutDialog::AboutDialog(QWidget* parent, const std::string& versionText, int buildNumber)
    : QDialog(parent) {
  setObjectName("aboutDialog");
  const QString product = QString::fromUtf8(kProductName);
  setWindowTitle(tr("About %1").arg(product));
  auto* name = new QLabel(product, this);
  name->setObjectName("productLabel");
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  name->setFont(big);
  auto* version = new QLabel(
      tr("Version %1 (build %2)").arg(QString::fromStdString(versionText)).arg(buildNumber), this);
  version->setObjectName("versionLabel");
  auto* about = new QLabel(tr("Build, publish and run a small online store: keep the store as a "
                              "project, make its web pages, send them to your web host and "
                              "handle the orders your customers place."),
                           this);
  about->setWordWrap(true);
  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName("okButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->addWidget(name);
  layout->addWidget(version);
  layout->addSpacing(8);
  layout->addWidget(about);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setFixedWidth(380);
}

}  // namespace tolmi::ui

#include "ui/dialogs/PreferencesDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/FileChooser.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

// The merchant details in the order of the page, with their labels and names.
struct MerchantField {
  std::string MerchantDetails::*member;
  const char* label;
  const char* key;
};
constexpr std::array<MerchantField, 12> kMerchantFields = {{
    {&MerchantDetails::name, "Name:", "Name"},
    {&MerchantDetails::company, "Company:", "Company"},
    {&MerchantDetails::tel, "Tel:", "Tel"},
    {&MerchantDetails::mobile, "Mobile:", "Mobile"},
    {&MerchantDetails::fax, "Fax:", "Fax"},
    {&MerchantDetails::street, "Street:", "Street"},
    {&MerchantDetails::city, "City:", "City"},
    {&MerchantDetails::state, "State:", "State"},
    {&MerchantDetails::zip, "Zip:", "Zip"},
    {&MerchantDetails::country, "Country:", "Country"},
    {&MerchantDetails::email, "Email:", "Email"},
    {&MerchantDetails::website, "Website URL:", "Website"},
}};

constexpr std::array<const char*, 8> kPageTitles = {
    "Store Options", "Merchant Details", "Order Server Settings", "Payment Gateway Setup",
    "Sounds",        "Proxy Server Settings", "Firewall",          "HTML Browser"};

QString Shown(const std::string& bytes) {
  return QString::fromStdString(DecodeForDisplay(bytes));
}

QString PortText(int port) { return port > 0 ? QString::number(port) : QString(); }

QLineEdit* NewEdit(QWidget* parent, const char* name, bool password = false) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  if (password) edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QLineEdit* NewNumberEdit(QWidget* parent, const char* name, int top) {
  QLineEdit* edit = NewEdit(parent, name);
  edit->setValidator(new QIntValidator(0, top, edit));
  return edit;
}

QCheckBox* NewCheck(QWidget* parent, const QString& text, const char* name) {
  auto* check = new QCheckBox(text, parent);
  check->setObjectName(name);
  return check;
}

QRadioButton* NewRadio(QWidget* parent, const QString& text, const char* name) {
  auto* radio = new QRadioButton(text, parent);
  radio->setObjectName(name);
  return radio;
}

}  // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent, Preferences prefs,
                                     const std::vector<GatewayDefinition>& gateways,
                                     PreferencesHooks hooks)
    : QDialog(parent), original_(std::move(prefs)), gateways_(gateways), hooks_(std::move(hooks)) {
  setObjectName("preferencesDialog");
  setWindowTitle(QString::fromUtf8(kPreferencesTitle));

  auto* pageList = new QListWidget(this);
  pageList->setObjectName("pageList");
  pageList->setSpacing(3);
  auto* stack = new QStackedWidget(this);
  stack->setObjectName("pageStack");
  const std::array<QWidget*, 8> pages = {MakeStorePage(),   MakeMerchantPage(),
                                         MakeOrderServerPage(), MakeGatewayPage(),
                                         MakeSoundsPage(),  MakeProxyPage(),
                                         MakeFirewallPage(), MakeBrowserPage()};
  for (std::size_t i = 0; i < pages.size(); ++i) {
    pageList->addItem(tr(kPageTitles[i]));
    stack->addWidget(pages[i]);
  }
  pageList->setFixedWidth(pageList->sizeHintForColumn(0) + 24);
  connect(pageList, &QListWidget::currentRowChanged, stack, &QStackedWidget::setCurrentIndex);
  pageList->setCurrentRow(0);

  auto* okButton = new QPushButton(tr("OK"), this);
  okButton->setObjectName("okButton");
  okButton->setDefault(true);
  auto* cancelButton = new QPushButton(tr("Cancel"), this);
  cancelButton->setObjectName("cancelButton");
  connect(okButton, &QPushButton::clicked, this, &PreferencesDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* body = new QHBoxLayout;
  body->addWidget(pageList);
  body->addWidget(stack, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addLayout(buttons);
  resize(640, 420);

  Fill();
  UpdateEnabling();
  // Every edit re-applies the enabling rules.
  for (QLineEdit* edit : findChildren<QLineEdit*>())
    connect(edit, &QLineEdit::textChanged, this, &PreferencesDialog::UpdateEnabling);
  for (QAbstractButton* button : findChildren<QAbstractButton*>())
    if (button->isCheckable())
      connect(button, &QAbstractButton::toggled, this, &PreferencesDialog::UpdateEnabling);
  connect(serviceCombo_, &QComboBox::currentIndexChanged, this, &PreferencesDialog::ServiceChosen);
}

QWidget* PreferencesDialog::MakeStorePage() {
  storePage_ = new QWidget;
  storePage_->setObjectName("storeOptionsPage");
  cart3dCheck_ = NewCheck(storePage_, tr("3D Shopping Cart"), "cart3dCheck");
  bulletsCheck_ = NewCheck(storePage_, tr("Use Bullets"), "bulletsCheck");
  cartOnScreenCheck_ =
      NewCheck(storePage_, tr("Shopping Cart always on Screen"), "cartOnScreenCheck");
  crlfCheck_ = NewCheck(storePage_, tr("Translate CR/LF to HTML breaks"), "crlfCheck");
  searchCheck_ = NewCheck(storePage_, tr("Product Search"), "searchCheck");
  auto* navigation = new QGroupBox(tr("Navigation"), storePage_);
  classicNavRadio_ = NewRadio(navigation, tr("Classic (2 Level)"), "classicNavRadio");
  historyNavRadio_ = NewRadio(navigation, tr("Browse History (1 Level)"), "historyNavRadio");
  auto* navLayout = new QVBoxLayout(navigation);
  navLayout->addWidget(classicNavRadio_);
  navLayout->addWidget(historyNavRadio_);
  directoryCheck_ =
      NewCheck(storePage_, tr("List my store in the shopping directory"), "directoryCheck");
  // The public address: a build writes robots.txt and sitemap.xml from it.
  storeAddressEdit_ = NewEdit(storePage_, "storeAddressEdit");
  storeAddressEdit_->setPlaceholderText("https://www.example.com/");
  auto* address = new QFormLayout;
  address->addRow(tr("Store Address:"), storeAddressEdit_);
  auto* layout = new QVBoxLayout(storePage_);
  for (QWidget* w : std::initializer_list<QWidget*>{cart3dCheck_, bulletsCheck_,
                                                     cartOnScreenCheck_, crlfCheck_,
                                                     searchCheck_, navigation, directoryCheck_})
    layout->addWidget(w);
  layout->addLayout(address);
  layout->addStretch(1);
  // The page always shows; its project part is disabled without a project.
  auto* page = new QWidget;
  auto* outer = new QVBoxLayout(page);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(storePage_);
  return page;
}

QWidget* PreferencesDialog::MakeMerchantPage() {
  merchantPage_ = new QWidget;
  merchantPage_->setObjectName("merchantPage");
  auto* form = new QFormLayout(merchantPage_);
  for (std::size_t i = 0; i < kMerchantFields.size(); ++i) {
    const std::string name = std::string("merchant") + kMerchantFields[i].key + "Edit";
    merchantEdits_[i] = NewEdit(merchantPage_, name.c_str());
    form->addRow(tr(kMerchantFields[i].label), merchantEdits_[i]);
  }
  return merchantPage_;
}

QWidget* PreferencesDialog::MakeOrderServerPage() {
  auto* page = new QWidget;
  page->setObjectName("orderServerPage");
  serverUrlEdit_ = NewEdit(page, "serverUrlEdit");
  auto* selectButton = new QPushButton(tr("Select >>"), page);
  selectButton->setObjectName("selectServerButton");
  connect(selectButton, &QPushButton::clicked, this, [this] {
    if (hooks_.selectServer) hooks_.selectServer();
  });
  auto* urlRow = new QHBoxLayout;
  urlRow->addWidget(serverUrlEdit_, 1);
  urlRow->addWidget(selectButton);
  orderUserEdit_ = NewEdit(page, "orderUserEdit");
  orderPasswordEdit_ = NewEdit(page, "orderPasswordEdit", true);
  rememberPasswordCheck_ = NewCheck(page, tr("Remember Password"), "rememberPasswordCheck");
  nextOrderNumberEdit_ = NewNumberEdit(page, "nextOrderNumberEdit", 2147483647);
  leaveOrdersCheck_ = NewCheck(page, tr("Leave Orders on Server"), "leaveOrdersCheck");
  auto* form = new QFormLayout(page);
  form->addRow(tr("Server URL:"), urlRow);
  form->addRow(tr("Username:"), orderUserEdit_);
  form->addRow(tr("Password:"), orderPasswordEdit_);
  form->addRow(QString(), rememberPasswordCheck_);
  form->addRow(tr("Next Order Number:"), nextOrderNumberEdit_);
  form->addRow(QString(), leaveOrdersCheck_);
  return page;
}

QWidget* PreferencesDialog::MakeGatewayPage() {
  auto* page = new QWidget;
  page->setObjectName("gatewayPage");
  serviceCombo_ = new QComboBox(page);
  serviceCombo_->setObjectName("serviceCombo");
  serviceCombo_->addItem(tr("None"), QByteArray());
  for (const GatewayDefinition& g : gateways_)
    serviceCombo_->addItem(Shown(g.name), QByteArray::fromStdString(g.name));
  auto* form = new QFormLayout(page);
  form->addRow(tr("Service:"), serviceCombo_);
  for (int i = 0; i < 5; ++i) {
    const std::string name = "accountField" + std::to_string(i + 1) + "Edit";
    accountEdits_[i] = NewEdit(page, name.c_str());
    accountLabels_[i] = new QLabel(page);
    accountLabels_[i]->setObjectName(QString::fromStdString(name).replace("Edit", "Label"));
    accountLabels_[i]->setBuddy(accountEdits_[i]);
    form->addRow(accountLabels_[i], accountEdits_[i]);
  }
  return page;
}

QWidget* PreferencesDialog::MakeSoundsPage() {
  auto* page = new QWidget;
  page->setObjectName("soundsPage");
  auto* form = new QFormLayout(page);
  auto browseRow = [this, page](QLineEdit* edit, bool folder) {
    auto* row = new QHBoxLayout;
    auto* button = new QPushButton(tr("..."), page);
    button->setObjectName(edit->objectName().replace("Edit", "Browse"));
    button->setFixedWidth(32);
    connect(button, &QPushButton::clicked, this, [this, edit, folder] {
      if (!hooks_.files) return;
      FileQuery query;
      query.start = soundFolderEdit_->text().toStdString();
      std::string chosen;
      if (folder) {
        query.title = tr("Sound Folder").toStdString();
        chosen = hooks_.files->ChooseFolder(query);
      } else {
        query.title = tr("Sound File").toStdString();
        query.filter = "Sound Files (*.wav);;All Files (*)";
        chosen = hooks_.files->OpenFile(query);
      }
      if (!chosen.empty()) edit->setText(QString::fromStdString(chosen));
    });
    row->addWidget(edit, 1);
    row->addWidget(button);
    return row;
  };
  for (int i = 0; i < 7; ++i) {
    const std::string name = "sound" + std::to_string(i + 1) + "Edit";
    soundEdits_[i] = NewEdit(page, name.c_str());
    form->addRow(QString::fromUtf8(kSoundEventNames[i]) + ":", browseRow(soundEdits_[i], false));
  }
  soundFolderEdit_ = NewEdit(page, "soundFolderEdit");
  form->addRow(tr("Sound Folder:"), browseRow(soundFolderEdit_, true));
  return page;
}

QWidget* PreferencesDialog::MakeProxyPage() {
  auto* page = new QWidget;
  page->setObjectName("proxyPage");
  proxyServerEdit_ = NewEdit(page, "proxyServerEdit");
  proxyPortEdit_ = NewNumberEdit(page, "proxyPortEdit", 65535);
  proxyUserEdit_ = NewEdit(page, "proxyUserEdit");
  proxyPasswordEdit_ = NewEdit(page, "proxyPasswordEdit", true);
  auto* form = new QFormLayout(page);
  form->addRow(tr("Server:"), proxyServerEdit_);
  form->addRow(tr("Port:"), proxyPortEdit_);
  form->addRow(tr("Username:"), proxyUserEdit_);
  form->addRow(tr("Password:"), proxyPasswordEdit_);
  return page;
}

QWidget* PreferencesDialog::MakeFirewallPage() {
  auto* page = new QWidget;
  page->setObjectName("firewallPage");
  auto* types = new QGroupBox(tr("Firewall Type"), page);
  firewallTypes_ = new QButtonGroup(page);
  const std::array<std::pair<const char*, const char*>, 4> kTypes = {{
      {"None", "firewallNoneRadio"},
      {"Direct Connection", "firewallDirectRadio"},
      {"Socks4", "firewallSocks4Radio"},
      {"Socks5", "firewallSocks5Radio"},
  }};
  auto* typeLayout = new QHBoxLayout(types);
  for (int i = 0; i < 4; ++i) {
    QRadioButton* radio = NewRadio(types, tr(kTypes[i].first), kTypes[i].second);
    firewallTypes_->addButton(radio, i);
    typeLayout->addWidget(radio);
  }
  firewallHostEdit_ = NewEdit(page, "firewallHostEdit");
  firewallPortEdit_ = NewNumberEdit(page, "firewallPortEdit", 65535);
  firewallUserEdit_ = NewEdit(page, "firewallUserEdit");
  firewallPasswordEdit_ = NewEdit(page, "firewallPasswordEdit", true);
  auto* form = new QFormLayout;
  form->addRow(tr("Host:"), firewallHostEdit_);
  form->addRow(tr("Port:"), firewallPortEdit_);
  form->addRow(tr("Username:"), firewallUserEdit_);
  form->addRow(tr("Password:"), firewallPasswordEdit_);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(types);
  layout->addLayout(form);
  layout->addStretch(1);
  return page;
}

QWidget* PreferencesDialog::MakeBrowserPage() {
  auto* page = new QWidget;
  page->setObjectName("browserPage");
  browserCombo_ = new QComboBox(page);
  browserCombo_->setObjectName("browserCombo");
  browserCombo_->setEditable(true);
  auto* modes = new QGroupBox(page);
  existingWindowRadio_ =
      NewRadio(modes, tr("Open in Existing Browser Window"), "existingWindowRadio");
  newWindowRadio_ = NewRadio(modes, tr("Open in New Browser Window"), "newWindowRadio");
  auto* modeLayout = new QVBoxLayout(modes);
  modeLayout->addWidget(existingWindowRadio_);
  modeLayout->addWidget(newWindowRadio_);
  auto* form = new QFormLayout;
  form->addRow(tr("Browser:"), browserCombo_);
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(form);
  layout->addWidget(modes);
  layout->addStretch(1);
  return page;
}

void PreferencesDialog::Fill() {
  const Preferences& p = original_;
  cart3dCheck_->setChecked(p.store.has3dCart);
  bulletsCheck_->setChecked(p.store.hasBullets);
  cartOnScreenCheck_->setChecked(p.store.cartOnScreen);
  crlfCheck_->setChecked(p.store.crlf);
  searchCheck_->setChecked(p.store.search);
  (p.store.navStyle == 1 ? historyNavRadio_ : classicNavRadio_)->setChecked(true);
  directoryCheck_->setChecked(p.store.shoppingDirectory);
  storeAddressEdit_->setText(Shown(p.store.storeAddress));
  for (std::size_t i = 0; i < kMerchantFields.size(); ++i)
    merchantEdits_[i]->setText(Shown(p.merchant.*kMerchantFields[i].member));

  serverUrlEdit_->setText(Shown(p.orderServer.serverUrl));
  orderUserEdit_->setText(Shown(p.orderServer.username));
  orderPasswordEdit_->setText(Shown(p.orderServer.password));
  rememberPasswordCheck_->setChecked(p.orderServer.rememberPassword);
  nextOrderNumberEdit_->setText(QString::number(p.orderServer.nextOrderNumber));
  leaveOrdersCheck_->setChecked(p.orderServer.leaveOrdersOnServer);

  const int service = serviceCombo_->findData(QByteArray::fromStdString(p.gateway.service));
  serviceCombo_->setCurrentIndex(service < 0 ? 0 : service);
  for (int i = 0; i < 5; ++i) {
    accountLabels_[i]->setText(Shown(p.gateway.labels[i]));
    accountEdits_[i]->setText(Shown(p.gateway.fields[i]));
  }

  for (int i = 0; i < 7; ++i) soundEdits_[i]->setText(Shown(p.sounds.files[i]));
  soundFolderEdit_->setText(Shown(p.sounds.folder));

  proxyServerEdit_->setText(Shown(p.proxy.host));
  proxyPortEdit_->setText(PortText(p.proxy.port));
  proxyUserEdit_->setText(Shown(p.proxy.user));
  proxyPasswordEdit_->setText(Shown(p.proxy.password));

  QAbstractButton* type = firewallTypes_->button(p.firewall.type);
  (type ? type : firewallTypes_->button(0))->setChecked(true);
  firewallHostEdit_->setText(Shown(p.firewall.host));
  firewallPortEdit_->setText(PortText(p.firewall.port));
  firewallUserEdit_->setText(Shown(p.firewall.user));
  firewallPasswordEdit_->setText(Shown(p.firewall.password));

  for (const std::string& candidate : p.browser.candidates)
    if (!candidate.empty() && browserCombo_->findText(Shown(candidate)) < 0)
      browserCombo_->addItem(Shown(candidate));
  browserCombo_->setEditText(Shown(p.browser.path));
  (p.browser.windowMode == kBrowserNewWindow ? newWindowRadio_ : existingWindowRadio_)
      ->setChecked(true);
}

std::string PreferencesDialog::Stored(const QLineEdit* edit, const std::string& original) {
  const std::string shown = edit->text().toStdString();
  if (shown == DecodeForDisplay(original)) return original;
  return EncodeFromDisplay(shown, IsUtf8Text(original));
}

Preferences PreferencesDialog::Collect() const {
  Preferences p = original_;
  const Preferences& o = original_;
  p.store.has3dCart = cart3dCheck_->isChecked();
  p.store.hasBullets = bulletsCheck_->isChecked();
  p.store.cartOnScreen = cartOnScreenCheck_->isChecked();
  p.store.crlf = crlfCheck_->isChecked();
  p.store.search = searchCheck_->isChecked();
  p.store.navStyle = historyNavRadio_->isChecked() ? 1 : 0;
  p.store.shoppingDirectory = directoryCheck_->isChecked();
  p.store.storeAddress = Stored(storeAddressEdit_, o.store.storeAddress);
  for (std::size_t i = 0; i < kMerchantFields.size(); ++i)
    p.merchant.*kMerchantFields[i].member =
        Stored(merchantEdits_[i], o.merchant.*kMerchantFields[i].member);

  p.orderServer.serverUrl = Stored(serverUrlEdit_, o.orderServer.serverUrl);
  p.orderServer.username = Stored(orderUserEdit_, o.orderServer.username);
  p.orderServer.password = Stored(orderPasswordEdit_, o.orderServer.password);
  p.orderServer.rememberPassword = rememberPasswordCheck_->isChecked();
  // An emptied box keeps the number rather than starting the orders again at 0.
  if (!nextOrderNumberEdit_->text().isEmpty())
    p.orderServer.nextOrderNumber = nextOrderNumberEdit_->text().toInt();
  p.orderServer.leaveOrdersOnServer = leaveOrdersCheck_->isChecked();

  const std::string service = serviceCombo_->currentData().toByteArray().toStdString();
  if (service != o.gateway.service) SetGatewayService(p, gateways_, service);
  for (int i = 0; i < 5; ++i) p.gateway.fields[i] = Stored(accountEdits_[i], o.gateway.fields[i]);

  for (int i = 0; i < 7; ++i) p.sounds.files[i] = Stored(soundEdits_[i], o.sounds.files[i]);
  p.sounds.folder = Stored(soundFolderEdit_, o.sounds.folder);

  p.proxy.host = Stored(proxyServerEdit_, o.proxy.host);
  p.proxy.port = proxyPortEdit_->text().toInt();
  p.proxy.user = Stored(proxyUserEdit_, o.proxy.user);
  p.proxy.password = Stored(proxyPasswordEdit_, o.proxy.password);

  p.firewall.type = std::max(0, firewallTypes_->checkedId());
  p.firewall.host = Stored(firewallHostEdit_, o.firewall.host);
  p.firewall.port = firewallPortEdit_->text().toInt();
  p.firewall.user = Stored(firewallUserEdit_, o.firewall.user);
  p.firewall.password = Stored(firewallPasswordEdit_, o.firewall.password);

  const QString browser = browserCombo_->currentText();
  p.browser.path = browser.toStdString() == DecodeForDisplay(o.browser.path)
                       ? o.browser.path
                       : EncodeFromDisplay(browser.toStdString(), IsUtf8Text(o.browser.path));
  p.browser.windowMode = newWindowRadio_->isChecked() ? kBrowserNewWindow : kBrowserExistingWindow;
  return p;
}

void PreferencesDialog::UpdateEnabling() {
  const PreferencesEnabling e = EnablingFor(Collect());
  storePage_->setEnabled(e.storeOptions);
  merchantPage_->setEnabled(e.merchantDetails);
  for (int i = 0; i < 5; ++i) {
    accountEdits_[i]->setEnabled(e.gatewayFields[i]);
    accountLabels_[i]->setEnabled(e.gatewayFields[i]);
  }
  proxyPortEdit_->setEnabled(e.proxyPort);
  proxyUserEdit_->setEnabled(e.proxyUser);
  proxyPasswordEdit_->setEnabled(e.proxyPassword);
  firewallHostEdit_->setEnabled(e.firewallHost);
  firewallUserEdit_->setEnabled(e.firewallUser);
  firewallPasswordEdit_->setEnabled(e.firewallPassword);
  firewallPortEdit_->setEnabled(e.firewallPort);
}

void PreferencesDialog::ServiceChosen() {
  const Preferences p = Collect();
  for (int i = 0; i < 5; ++i) accountLabels_[i]->setText(Shown(p.gateway.labels[i]));
  UpdateEnabling();
}

void PreferencesDialog::ShowPage(PreferencesPage page) {
  if (auto* list = findChild<QListWidget*>("pageList")) list->setCurrentRow(static_cast<int>(page));
}

void PreferencesDialog::accept() {
  if (hooks_.apply && !hooks_.apply(Collect()).ok()) return;
  QDialog::accept();
}

}  // namespace tolmi::ui

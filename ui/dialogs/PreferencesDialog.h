// The "Tolmi PRO Preferences" window: one tab per page (store options, Merchant
// Details, "Order Server Settings", "Payment Gateway Setup", Sounds, "Proxy Server
// Settings", "Firewall", "HTML Browser"). It copies a Preferences record into its
// controls and back; which controls are enabled comes from the core
// (EnablingFor), re-applied after every change. OK hands the record to the apply
// callback and closes only when that succeeded, so a failed write leaves the
// merchant's input in place.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <vector>

#include "app/Preferences.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tolmi::ui {

class FileChooser;

enum class PreferencesPage {
  StoreOptions,
  MerchantDetails,
  OrderServer,
  PaymentGateway,
  Sounds,
  ProxyServer,
  Firewall,
  HtmlBrowser,
};

struct PreferencesHooks {
  // Writes the record; the window closes when it returns Ok.
  std::function<Status(const Preferences&)> apply;
  // "Select >>": opens the page that explains how to get an order server.
  std::function<void()> selectServer;
  // Picks a file or folder for the sounds page (may be null: no browse buttons work).
  FileChooser* files = nullptr;
};

class PreferencesDialog : public QDialog {
 public:
  PreferencesDialog(QWidget* parent, Preferences prefs,
                    const std::vector<GatewayDefinition>& gateways, PreferencesHooks hooks);

  void ShowPage(PreferencesPage page);
  // The record the controls hold now.
  Preferences Collect() const;

  void accept() override;

 private:
  QWidget* MakeStorePage();
  QWidget* MakeMerchantPage();
  QWidget* MakeOrderServerPage();
  QWidget* MakeGatewayPage();
  QWidget* MakeSoundsPage();
  QWidget* MakeProxyPage();
  QWidget* MakeFirewallPage();
  QWidget* MakeBrowserPage();
  void Fill();
  void UpdateEnabling();
  void ServiceChosen();
  // Stored bytes for a shown text: the original bytes when the text is unchanged.
  static std::string Stored(const QLineEdit* edit, const std::string& original);

  Preferences original_;
  const std::vector<GatewayDefinition>& gateways_;
  PreferencesHooks hooks_;
  QTabWidget* pages_ = nullptr;

  // Store options.
  QCheckBox* cart3dCheck_ = nullptr;
  QCheckBox* bulletsCheck_ = nullptr;
  QCheckBox* cartOnScreenCheck_ = nullptr;
  QCheckBox* crlfCheck_ = nullptr;
  QCheckBox* searchCheck_ = nullptr;
  QLineEdit* storeAddressEdit_ = nullptr;
  QRadioButton* classicNavRadio_ = nullptr;
  QRadioButton* historyNavRadio_ = nullptr;
  QCheckBox* directoryCheck_ = nullptr;
  QWidget* storePage_ = nullptr;
  // Merchant details, in MerchantDetails order.
  std::array<QLineEdit*, 12> merchantEdits_{};
  QWidget* merchantPage_ = nullptr;
  // Order server.
  QLineEdit* serverUrlEdit_ = nullptr;
  QLineEdit* orderUserEdit_ = nullptr;
  QLineEdit* orderPasswordEdit_ = nullptr;
  QCheckBox* rememberPasswordCheck_ = nullptr;
  QLineEdit* nextOrderNumberEdit_ = nullptr;
  QCheckBox* leaveOrdersCheck_ = nullptr;
  // Payment gateway.
  QComboBox* serviceCombo_ = nullptr;
  std::array<QLabel*, 5> accountLabels_{};
  std::array<QLineEdit*, 5> accountEdits_{};
  // Sounds.
  std::array<QLineEdit*, 7> soundEdits_{};
  QLineEdit* soundFolderEdit_ = nullptr;
  // Proxy server.
  QLineEdit* proxyServerEdit_ = nullptr;
  QLineEdit* proxyPortEdit_ = nullptr;
  QLineEdit* proxyUserEdit_ = nullptr;
  QLineEdit* proxyPasswordEdit_ = nullptr;
  // Firewall.
  QButtonGroup* firewallTypes_ = nullptr;
  QLineEdit* firewallHostEdit_ = nullptr;
  QLineEdit* firewallPortEdit_ = nullptr;
  QLineEdit* firewallUserEdit_ = nullptr;
  QLineEdit* firewallPasswordEdit_ = nullptr;
  // Browser.
  QComboBox* browserCombo_ = nullptr;
  QRadioButton* existingWindowRadio_ = nullptr;
  QRadioButton* newWindowRadio_ = nullptr;
};

}  // namespace tolmi::ui

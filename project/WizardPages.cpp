#include "project/WizardPages.h"

#include <algorithm>
#include <vector>

namespace tolmi {

std::string_view WizardPageHeading(WizardPage page) {
  switch (page) {
    case WizardPage::Cards: return "Accepted Credit Cards";
    case WizardPage::TaxOnOff:
    case WizardPage::TaxMethod:
    case WizardPage::TaxableRegions:
    case WizardPage::RegionalTaxRate:
    case WizardPage::FreightTaxRate: return "Tax Options";
    case WizardPage::MethodNames: return "Delivery Methods";
    case WizardPage::Regions: return "Add/Remove Freight Regions";
    default: return {};
  }
}

std::string_view WizardPagePrompt(WizardPage page) {
  switch (page) {
    case WizardPage::Welcome:
      return "This wizard will guide you through the process of creating a new online store.";
    case WizardPage::FolderName: return "Enter a folder name for your new store project:";
    case WizardPage::StoreTitle:
      return "Enter the title of your store.  eg: 'The Fine Wine Shop':";
    case WizardPage::Style:
      return "Please select a default style and scheme to use with your store.";
    case WizardPage::ContactDetails: return "Contact Details:";
    case WizardPage::Cards: return "Select the credit cards your store accepts:";
    case WizardPage::OrderMessage:
      return "Enter a message which is to be displayed at the bottom of your order form page.  "
             "This can be your contact details, delivery infromation etc:";
    case WizardPage::ConfirmMessage:
      return "Enter a confirmation message, which a customer will receive after placing an "
             "order:";
    case WizardPage::Hosting:
      return "To publish your store to the internet, you will require a web hosting account "
             "with FTP access.";
    case WizardPage::MethodNames: return "Please enter a brief, descriptive name for each method:";
    case WizardPage::Regions: return "Add/Remove Freight Regions";
    case WizardPage::FreightCalculation:
      return "Select the method, by which delivery charges should be calculated :";
    case WizardPage::ChargePerOrder: return "Freight charge per order:";
    case WizardPage::TaxOnOff: return "Should the shopping cart charge tax on orders?";
    case WizardPage::TaxMethod: return "Select the method of taxation:";
    case WizardPage::TaxableRegions:
      return "Place a tick next to all regions which are subject to taxation.";
    case WizardPage::RegionalTaxRate:
      return "Enter a percentage tax rate, for all taxable regions:";
    case WizardPage::FreightTaxRate:
      return "If the freight component of an order is subject to tax, enter the tax rate below.";
    case WizardPage::Final: return "The store is now ready for you to start entering products.";
    case WizardPage::FreightWarning:
      return "WARNING!!!  - By clicking the NEXT button, your current freight information will "
             "be lost.  Click CANCEL to abort.";
  }
  return {};
}

WizardButtons WizardButtonStates(const StoreWizard& wizard) {
  WizardButtons buttons;
  if (wizard.ended()) {
    buttons.cancel = false;
    return buttons;
  }
  const std::vector<WizardPage> pages = wizard.Pages();
  auto at = std::find(pages.begin(), pages.end(), wizard.page());
  const bool first = at == pages.begin();
  const bool last = at == pages.end() || at + 1 == pages.end();
  buttons.back = !first;
  const bool answered = wizard.page() != WizardPage::Style || wizard.state().style.has_value();
  buttons.next = !last && answered;
  buttons.finish = last;
  return buttons;
}

}  // namespace tolmi

// What the Store Wizard's windows show: each page's texts and which of Back,
// Next, Finish and Cancel can be pressed for the answers given so far. Kept apart
// from the state machine so that every front end shows the same pages.
#pragma once

#include <array>
#include <string_view>

#include "project/StoreWizard.h"

namespace tolmi {

inline constexpr const char* kWizardTitle = "Store Wizard";
inline constexpr const char* kTaxOnText = "Tax enabled shopping cart.";
inline constexpr const char* kTaxOffText = "No tax ";
inline constexpr const char* kTaxRateLabel = "Tax Rate (%):";
inline constexpr const char* kFreightTaxRateLabel = "Freight Tax Rate:";
inline constexpr const char* kSubscribeText = "Subscribe";
inline constexpr const char* kOtherCardLabel = "Other:";

// The contact-detail fields in the order the page shows them.
inline constexpr std::array<const char*, 12> kContactLabels = {
    "Name", "Company", "Tel",     "Mobile", "Fax",   "Street",
    "City", "State",   "Zip",     "Country", "Email", "Website URL"};
inline constexpr std::array<std::string MerchantDetails::*, 12> kContactFields = {
    &MerchantDetails::name,    &MerchantDetails::company, &MerchantDetails::tel,
    &MerchantDetails::mobile,  &MerchantDetails::fax,     &MerchantDetails::street,
    &MerchantDetails::city,    &MerchantDetails::state,   &MerchantDetails::zip,
    &MerchantDetails::country, &MerchantDetails::email,   &MerchantDetails::website};

// The page's heading ("Delivery Methods", "Add/Remove Freight Regions",
// "Accepted Credit Cards"); empty for pages without one.
std::string_view WizardPageHeading(WizardPage page);

// The page's question or message, exactly as the page shows it.
std::string_view WizardPagePrompt(WizardPage page);

// Which buttons can be pressed. Finish stands in for Next on the run's last page.
struct WizardButtons {
  bool back = false;
  bool next = false;
  bool finish = false;
  bool cancel = true;
  bool operator==(const WizardButtons&) const = default;
};

// The buttons for the wizard's current page and answers: Back off the first page,
// Next on every other page but the last (on the style page only once a style is
// chosen), Finish on the last page, Cancel while the wizard runs. After the wizard
// ended nothing can be pressed.
WizardButtons WizardButtonStates(const StoreWizard& wizard);

}  // namespace tolmi

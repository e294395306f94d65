// The Store Wizard: the guided pages that set up a new store and, entered at later
// pages, re-run the freight, delivery-method, region and tax set-up. Held as a
// state machine without windows: the pages' answers live in WizardState, Next and
// Back move between pages, and CompleteWizard applies the answers to the project.
//
// The region and card pages edit the open project's lists directly (so a cancelled
// wizard keeps those edits); everything else is applied only on completion.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/Lifecycle.h"
#include "project/StoreProject.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

inline constexpr const char* kDefaultOrderMessage =
    "This form is running on an Tolmi Secure Server.<br>\r\nAll information will be encrypted "
    "before transmission.";
inline constexpr const char* kDefaultConfirmMessage = "Thank you for your order.";

// The four freight calculation choices, with the texts the freight page shows.
enum class FreightCalculation { WeightBased = 0, PerItem = 1, PerOrder = 2, NoCharge = 3 };
inline constexpr std::array<const char*, 4> kFreightCalculationNames = {
    "Weight based calculation", "Set price per Item", "Set price per order",
    "No additional delivery charge"};
inline constexpr std::array<const char*, 4> kFreightCalculationTexts = {
    "The freight cost is calculated based on the destination, and the total weight of an order. "
    "Each item may also have an additional surcharge for packaging or insurance.\r\n\r\n To use "
    "this method, you will need to assign a unit of weight to every product in your store.",
    "Each item will have a set deliver cost regardless of region. The total is derived by adding "
    "the cost to ship all individual items in the order.",
    "Each order will have a set delivery cost based on the region.",
    "No additional delivery fee will be charged.   This method is ideal for stores where the cost "
    "of freight is already factored into the purchase price."};

// How the wizard was started.
enum class WizardMode {
  NewStore,      // New Store: every page
  FreightSetup,  // the Freight page's "Wizard" button
  RegionsOnly,   // Add/Remove Freight Regions
  TaxSetup,      // the Tax Options window's "Edit" button
  MethodsOnly,   // the Freight page's "Methods" button
};

enum class WizardPage {
  Welcome,
  FolderName,
  StoreTitle,
  Style,
  ContactDetails,
  Cards,
  OrderMessage,
  ConfirmMessage,
  Hosting,
  MethodNames,
  Regions,
  FreightCalculation,
  ChargePerOrder,
  TaxOnOff,
  TaxMethod,
  TaxableRegions,
  RegionalTaxRate,
  FreightTaxRate,
  Final,
  FreightWarning,
};

// The merchant's contact details, kept as the layout variables "$NAME" ... "$WEBSITE".
struct MerchantDetails {
  std::string name, company, tel, mobile, fax, street, city, state, zip, country, email, website;
  bool operator==(const MerchantDetails&) const = default;
};

// The details as the layout variables hold them (names compared without regard to case).
MerchantDetails ReadMerchantDetails(const std::vector<StoreVariable>& variables);

// Writes the twelve variables (an empty field removes its variable), then sets
// "$COPYRIGHT" to "Copyright \xA9" "2001 " and the company, else the name, else nothing.
void WriteMerchantDetails(std::vector<StoreVariable>& variables, const MerchantDetails& details);

// The answers the pages collect.
struct WizardState {
  std::string folderName;
  std::string storeTitle;
  std::optional<StyleRef> style;
  MerchantDetails contact;
  std::string orderMessage;
  std::string confirmMessage;
  std::array<std::string, 3> methodNames;
  std::optional<FreightCalculation> calculation;  // none until the merchant picks one
  std::string chargePerOrder;
  bool taxOn = false;
  std::int16_t taxMethod = 0;               // TAXO: 1 region based, else product based
  std::vector<std::string> taxableRegions;  // keys of the regions ticked as taxable
  std::string regionTaxRate;                // the one rate for all taxable regions
  std::string freightTaxRate;               // TAXF
};

// The order-form and confirmation texts left by an earlier run of the wizard since
// the program started; the caller keeps one for the whole run.
struct WizardMemory {
  std::optional<std::string> orderMessage;
  std::optional<std::string> confirmMessage;
};

// What Next did.
enum class WizardStep {
  Moved,         // another page is now open
  Stayed,        // the page needs an answer first (folder name, style)
  Finished,      // the last page was left: call CompleteWizard
  LoadExisting,  // the folder names an existing project and the merchant chose to load it
  Cancelled,     // the merchant cancelled the existing-project question
};

class StoreWizard {
 public:
  // Starts the wizard on the mode's first page with the start values taken from
  // the open project and the memory. projectExists tells whether a project of a
  // folder name exists; prompter asks the existing-project question.
  StoreWizard(WizardMode mode, StoreProject& project, WizardMemory& memory, Prompter& prompter,
              std::function<bool(const std::string& folderName)> projectExists = nullptr);

  WizardMode mode() const { return mode_; }
  WizardPage page() const { return page_; }
  WizardState& state() { return state_; }
  const WizardState& state() const { return state_; }
  bool ended() const { return ended_; }
  bool cancelled() const { return cancelled_; }
  bool finished() const { return finished_; }  // the last page was left

  // The pages of this run in order, for the answers given so far.
  std::vector<WizardPage> Pages() const;

  // Leaves the page forward. On the folder page an empty or invalid name stays
  // (showing kInvalidProjectName), and an existing project asks
  // kProjectExistsQuestion (Yes/No/Cancel): Yes ends with LoadExisting, No goes
  // on, Cancel ends with Cancelled. The style page stays until a style is chosen.
  // Leaving the last page returns Finished.
  WizardStep Next();
  // Goes to the previous page; false on the first page or after the wizard ended.
  bool Back();
  // Ends the wizard: nothing is created, cleared or preset. Edits made on the card
  // and region pages stay in the project.
  void Cancel();

  // The region and card pages: AddFreightRegion, RemoveFreightRegion,
  // AddAcceptedCard and RemoveAcceptedCard (project/CardList) on the wizard's
  // project; a removed region is no longer ticked as taxable either.
  bool AddRegion(const KnownRegion& region);
  bool RemoveRegion(std::string_view key);
  bool AddCard(std::string_view name, std::vector<InstalledCard>* installedCards = nullptr);
  bool RemoveCard(std::string_view name, std::vector<InstalledCard>* installedCards = nullptr);

  StoreProject& project() { return project_; }

 private:
  void Remember();

  WizardMode mode_;
  StoreProject& project_;
  WizardMemory& memory_;
  Prompter& prompter_;
  std::function<bool(const std::string&)> projectExists_;
  WizardState state_;
  WizardPage page_;
  bool ended_ = false;
  bool cancelled_ = false;
  bool finished_ = false;
};

// The freight preset: in delivery method `method` of every region the rule and the
// twelve bands are cleared, then the "0.5" band becomes "0" (per item, no charge),
// the charge (per order), or stays empty (weight based).
void ApplyFreightPreset(StoreProject& project, FreightCalculation calculation,
                        std::string_view chargePerOrder, int method = 0);

// The tax answers: TAXD, TAXO, TAXF and the regions' tax rates. With tax on, a
// region-based method gives every region the rate; a product-based one gives the
// taxable regions the rate ("0" when none is typed, so they stay taxed) and clears
// the others. With tax off, TAXF and every region's rate are cleared, so that the
// built store charges no tax.
void ApplyTaxAnswers(StoreProject& project, const WizardState& state);

// What completion needs besides the wizard.
struct WizardCompletionEnv {
  ProjectSession* session = nullptr;  // the open project (the wizard's project)
  const LifecycleEnv* lifecycle = nullptr;
  std::vector<InstalledCard>* installedCards = nullptr;  // optional
  // Gives the starter nodes the style's templates and installs them; optional.
  std::function<void(StoreProject& project, const std::string& projectDir)> applyStyleTemplates;
  int presetMethod = 0;  // the delivery method current in the freight grid
};

// Applies a finished wizard. New store: keeps the chosen regions and cards, clears
// the project, sets STITLE, "$STORETITLE", the style and the contact details, clears
// SN, creates the project (NewProject), takes the two messages, applies the style
// templates and marks the project changed. Then the freight preset (new store and
// freight set-up, when a calculation was chosen), the three method names (every
// mode) and the tax answers (new store and tax set-up). An invalid folder name
// fails with InvalidArgument before anything changes; a NewProject failure is
// returned as it is. Nothing is saved.
Status CompleteWizard(StoreWizard& wizard, const WizardCompletionEnv& env);

}  // namespace tolmi

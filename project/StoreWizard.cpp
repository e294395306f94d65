#include "project/StoreWizard.h"

#include <algorithm>

#include "project/CardList.h"
#include "project/ProjectFile.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

struct DetailVariable {
  const char* name;
  std::string MerchantDetails::*field;
};

constexpr std::array<DetailVariable, 12> kDetailVariables = {{
    {"$NAME", &MerchantDetails::name},
    {"$COMPANY", &MerchantDetails::company},
    {"$EMAIL", &MerchantDetails::email},
    {"$STREET", &MerchantDetails::street},
    {"$CITY", &MerchantDetails::city},
    {"$STATE", &MerchantDetails::state},
    {"$ZIP", &MerchantDetails::zip},
    {"$COUNTRY", &MerchantDetails::country},
    {"$TEL", &MerchantDetails::tel},
    {"$FAX", &MerchantDetails::fax},
    {"$MOBILE", &MerchantDetails::mobile},
    {"$WEBSITE", &MerchantDetails::website},
}};

bool HasKey(const std::vector<std::string>& keys, std::string_view key) {
  return std::any_of(keys.begin(), keys.end(),
                     [&](const std::string& k) { return EqualsNoCase(k, key); });
}

}  // namespace

MerchantDetails ReadMerchantDetails(const std::vector<StoreVariable>& variables) {
  MerchantDetails details;
  for (const DetailVariable& v : kDetailVariables) {
    if (const std::string* value = GetVariable(variables, v.name)) details.*v.field = *value;
  }
  return details;
}

void WriteMerchantDetails(std::vector<StoreVariable>& variables, const MerchantDetails& details) {
  for (const DetailVariable& v : kDetailVariables) SetVariable(variables, v.name, details.*v.field);
  const std::string& holder = !details.company.empty() ? details.company : details.name;
  SetVariable(variables, "$COPYRIGHT",
              std::string("Copyright \xA9"
                          "2001 ") +
                  holder);
}

StoreWizard::StoreWizard(WizardMode mode, StoreProject& project, WizardMemory& memory,
                         Prompter& prompter, std::function<bool(const std::string&)> projectExists)
    : mode_(mode),
      project_(project),
      memory_(memory),
      prompter_(prompter),
      projectExists_(std::move(projectExists)) {
  const StoreSettings& s = project.settings;
  if (const std::string* title = GetVariable(project.variables, "$STORETITLE"))
    state_.storeTitle = *title;
  state_.contact = ReadMerchantDetails(project.variables);
  state_.orderMessage = memory.orderMessage.value_or(kDefaultOrderMessage);
  state_.confirmMessage = memory.confirmMessage.value_or(kDefaultConfirmMessage);
  for (std::size_t i = 0; i < 3; ++i) {
    state_.methodNames[i] = project.deliveryMethodNames[i].value_or(kDefaultDeliveryMethodNames[i]);
  }
  state_.taxOn = s.taxOn;
  state_.taxMethod = s.taxMethod;
  state_.freightTaxRate = s.freightTax;
  for (const FreightRegion& region : project.regions) {
    if (region.taxRate.empty()) continue;
    state_.taxableRegions.push_back(region.key);
    if (state_.regionTaxRate.empty()) state_.regionTaxRate = region.taxRate;
  }
  page_ = Pages().front();
}

std::vector<WizardPage> StoreWizard::Pages() const {
  using P = WizardPage;
  std::vector<P> pages;
  auto freight = [&] {
    pages.insert(pages.end(), {P::MethodNames, P::Regions, P::FreightCalculation});
    if (state_.calculation == FreightCalculation::PerOrder) pages.push_back(P::ChargePerOrder);
  };
  auto tax = [&] {
    pages.push_back(P::TaxOnOff);
    if (!state_.taxOn) return;
    pages.push_back(P::TaxMethod);
    pages.push_back(state_.taxMethod == 1 ? P::RegionalTaxRate : P::TaxableRegions);
    pages.push_back(P::FreightTaxRate);
  };
  switch (mode_) {
    case WizardMode::NewStore:
      pages = {P::Welcome,        P::FolderName, P::StoreTitle,   P::Style,
               P::ContactDetails, P::Cards,      P::OrderMessage, P::ConfirmMessage};
      if (project_.settings.ftpServer.empty()) pages.push_back(P::Hosting);
      freight();
      tax();
      pages.push_back(P::Final);
      break;
    case WizardMode::FreightSetup:
      pages.push_back(P::FreightWarning);
      freight();
      break;
    case WizardMode::RegionsOnly:
      pages.push_back(P::Regions);
      break;
    case WizardMode::TaxSetup:
      tax();
      break;
    case WizardMode::MethodsOnly:
      pages.push_back(P::MethodNames);
      break;
  }
  return pages;
}

void StoreWizard::Remember() {
  if (mode_ != WizardMode::NewStore) return;
  memory_.orderMessage = state_.orderMessage;
  memory_.confirmMessage = state_.confirmMessage;
}

WizardStep StoreWizard::Next() {
  if (ended_) return finished_ ? WizardStep::Finished : WizardStep::Cancelled;
  Remember();
  if (page_ == WizardPage::FolderName) {
    if (IsInvalidProjectName(state_.folderName)) {
      prompter_.Show(kInvalidProjectName, "Error", PromptIcon::Error);
      return WizardStep::Stayed;
    }
    if (projectExists_ && projectExists_(state_.folderName)) {
      switch (prompter_.Ask(kProjectExistsQuestion, "Confirmation", PromptButtons::YesNoCancel)) {
        case PromptAnswer::Yes:
          ended_ = true;
          return WizardStep::LoadExisting;
        case PromptAnswer::No:
          break;
        default:
          Cancel();
          return WizardStep::Cancelled;
      }
    }
  }
  if (page_ == WizardPage::Style && !state_.style) return WizardStep::Stayed;
  const std::vector<WizardPage> pages = Pages();
  auto at = std::find(pages.begin(), pages.end(), page_);
  if (at == pages.end() || at + 1 == pages.end()) {
    ended_ = true;
    finished_ = true;
    return WizardStep::Finished;
  }
  page_ = *(at + 1);
  return WizardStep::Moved;
}

bool StoreWizard::Back() {
  if (ended_) return false;
  Remember();
  const std::vector<WizardPage> pages = Pages();
  auto at = std::find(pages.begin(), pages.end(), page_);
  if (at == pages.end() || at == pages.begin()) return false;
  page_ = *(at - 1);
  return true;
}

void StoreWizard::Cancel() {
  Remember();
  ended_ = true;
  cancelled_ = true;
}

bool StoreWizard::AddRegion(const KnownRegion& known) {
  return AddFreightRegion(project_, known);
}

bool StoreWizard::RemoveRegion(std::string_view key) {
  if (!RemoveFreightRegion(project_, key)) return false;
  std::erase_if(state_.taxableRegions, [&](const std::string& k) { return EqualsNoCase(k, key); });
  return true;
}

bool StoreWizard::AddCard(std::string_view name, std::vector<InstalledCard>* installedCards) {
  return AddAcceptedCard(project_, name, installedCards);
}

bool StoreWizard::RemoveCard(std::string_view name, std::vector<InstalledCard>* installedCards) {
  return RemoveAcceptedCard(project_, name, installedCards);
}

void ApplyFreightPreset(StoreProject& project, FreightCalculation calculation,
                        std::string_view chargePerOrder, int method) {
  if (method < 0 || method > 2) return;
  for (FreightRegion& region : project.regions) {
    FreightMethod& rates = region.methods[static_cast<std::size_t>(method)];
    rates.rule.clear();
    for (std::string& band : rates.costs) band.clear();
    switch (calculation) {
      case FreightCalculation::WeightBased:
        break;
      case FreightCalculation::PerItem:
      case FreightCalculation::NoCharge:
        rates.costs[0].assign(1, '0');
        break;
      case FreightCalculation::PerOrder:
        rates.costs[0].assign(chargePerOrder.data(), chargePerOrder.size());
        break;
    }
  }
  project.changed = true;
}

void ApplyTaxAnswers(StoreProject& project, const WizardState& state) {
  StoreSettings& s = project.settings;
  s.taxOn = state.taxOn;
  s.taxMethod = state.taxMethod;
  s.freightTax = state.taxOn ? state.freightTaxRate : std::string();
  for (FreightRegion& region : project.regions) {
    if (!state.taxOn) {
      region.taxRate.clear();
    } else if (state.taxMethod == 1) {
      region.taxRate = state.regionTaxRate;
    } else if (HasKey(state.taxableRegions, region.key)) {
      region.taxRate = state.regionTaxRate.empty() ? std::string("0") : state.regionTaxRate;
    } else {
      region.taxRate.clear();
    }
  }
  project.changed = true;
}

Status CompleteWizard(StoreWizard& wizard, const WizardCompletionEnv& env) {
  const WizardState& state = wizard.state();
  StoreProject& project = wizard.project();
  const WizardMode mode = wizard.mode();
  if (!wizard.finished()) {
    return Status::Error(ErrorKind::Cancelled, "The wizard was not finished.");
  }
  if (mode == WizardMode::NewStore) {
    if (env.session == nullptr || env.lifecycle == nullptr || &env.session->project != &project) {
      return Status::Error(ErrorKind::InvalidArgument, "No open project for the new store.");
    }
    if (IsInvalidProjectName(state.folderName)) {
      env.lifecycle->prompter->Show(kInvalidProjectName, "Error", PromptIcon::Error);
      return Status::Error(ErrorKind::InvalidArgument, kInvalidProjectName);
    }
    std::vector<FreightRegion> regions = project.regions;
    std::vector<AcceptedCard> cards = project.cards;
    ClearProject(project, env.installedCards);
    project.regions = std::move(regions);
    project.cards = std::move(cards);
    if (env.installedCards != nullptr) {
      for (InstalledCard& installed : *env.installedCards) {
        for (const AcceptedCard& card : project.cards) {
          if (card.name == installed.name) installed.chosen = true;
        }
      }
    }
    project.settings.storeTitle = state.storeTitle;
    SetVariable(project.variables, "$STORETITLE", state.storeTitle);
    // The new store starts with the currency a load would give it ("$"), so its first build
    // shows the same prices as every build after the project is opened again.
    FinishProjectLoad(project);
    project.settings.sn.reset();
    project.settings.style = state.style;
    WriteMerchantDetails(project.variables, state.contact);
    Status created = NewProject(*env.session, *env.lifecycle, state.folderName, state.storeTitle);
    if (!created) return created;
    if (project.settings.orderMessage.empty()) project.settings.orderMessage = state.orderMessage;
    if (project.settings.confirmMessage.empty())
      project.settings.confirmMessage = state.confirmMessage;
    if (env.applyStyleTemplates) {
      env.applyStyleTemplates(project, project.settings.projectDir);
      LoadProjectTemplates(*env.session);  // the style brings its own order and confirm pages
    }
    project.changed = true;
  }
  if ((mode == WizardMode::NewStore || mode == WizardMode::FreightSetup) && state.calculation) {
    ApplyFreightPreset(project, *state.calculation, state.chargePerOrder, env.presetMethod);
  }
  for (std::size_t i = 0; i < 3; ++i) project.deliveryMethodNames[i] = state.methodNames[i];
  if (mode == WizardMode::NewStore || mode == WizardMode::TaxSetup) {
    ApplyTaxAnswers(project, state);
  }
  project.changed = true;
  return Status::Ok();
}

}  // namespace tolmi

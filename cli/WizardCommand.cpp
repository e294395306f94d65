// tolmi-cli wizard: runs the Store Wizard's new-store pages from answers given as
// options and saves the new project. An option not given keeps the wizard's start
// value; the style defaults to the first installed one. Every answer is checked
// before anything is created, so an unknown style, region or card writes nothing.
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "app/Globals.h"
#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "project/Lifecycle.h"
#include "project/StoreWizard.h"
#include "schemes/Schemes.h"
#include "schemes/TemplateInstall.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi::cli {
namespace {

// An option whose absence keeps the wizard's start value (an empty value is an answer).
struct Answer {
  std::string value;
  CLI::Option* option = nullptr;
  explicit operator bool() const { return option != nullptr && option->count() > 0; }
  const std::string& operator*() const { return value; }
};

struct WizardOptions {
  std::string name, title, style;
  Answer contact[12];
  std::string cards, regions, taxableRegions;
  Answer orderMessage, confirmMessage;
  Answer methods[3];
  std::string calculation, charge, tax, taxMethod;
  Answer taxRate, freightTax;
};

void AddAnswer(CLI::App* cmd, const std::string& name, Answer& answer,
               const std::string& description) {
  answer.option = cmd->add_option(name, answer.value, description);
}

constexpr const char* kContactOptions[12] = {"--name", "--company", "--tel",   "--mobile",
                                             "--fax",  "--street",  "--city",  "--state",
                                             "--zip",  "--country", "--email", "--website"};
std::string MerchantDetails::*const kContactFields[12] = {
    &MerchantDetails::name,    &MerchantDetails::company, &MerchantDetails::tel,
    &MerchantDetails::mobile,  &MerchantDetails::fax,     &MerchantDetails::street,
    &MerchantDetails::city,    &MerchantDetails::state,   &MerchantDetails::zip,
    &MerchantDetails::country, &MerchantDetails::email,   &MerchantDetails::website};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::string item;
  auto flush = [&] {
    StrTrimWhite(item);
    if (!item.empty()) items.push_back(item);
    item.clear();
  };
  for (char c : text) {
    if (c == ',') {
      flush();
    } else {
      item.push_back(c);
    }
  }
  flush();
  return items;
}

// One command run: the installation with its schemes, regions and cards.
class WizardRun : public CommandRun {
 public:
  using CommandRun::CommandRun;

  // The scheme a --style answer names: "Group/Name", or a style name alone.
  std::optional<SchemeIndex> FindStyle(const std::string& text) {
    if (text.empty()) {
      for (std::size_t c = 0; c < schemes().categories.size(); ++c)
        if (!schemes().categories[c].schemes.empty()) return SchemeIndex{c, 0};
      return std::nullopt;
    }
    if (auto at = FindSchemeByLayout(schemes(), text)) return at;
    for (std::size_t c = 0; c < schemes().categories.size(); ++c) {
      const auto& list = schemes().categories[c].schemes;
      for (std::size_t s = 0; s < list.size(); ++s)
        if (EqualsNoCase(list[s].name, text)) return SchemeIndex{c, s};
    }
    return std::nullopt;
  }

  // A region of the domain list by key or by name, ASCII case ignored.
  const KnownRegion* FindRegion(const std::string& text) {
    for (const KnownRegion& r : globals().domains)
      if (EqualsNoCase(r.key, text)) return &r;
    for (const KnownRegion& r : globals().domains)
      if (EqualsNoCase(r.name, text)) return &r;
    return nullptr;
  }

  const InstalledCard* FindCard(const std::string& text) {
    for (const InstalledCard& c : globals().cards)
      if (EqualsNoCase(c.name, text)) return &c;
    return nullptr;
  }

  std::ostream& err() { return ctx().err; }
};

std::optional<FreightCalculation> ParseCalculation(const std::string& text) {
  const std::string t = ToLowerAscii(text);
  if (t == "weight" || t == "0") return FreightCalculation::WeightBased;
  if (t == "item" || t == "1") return FreightCalculation::PerItem;
  if (t == "order" || t == "2") return FreightCalculation::PerOrder;
  if (t == "none" || t == "3") return FreightCalculation::NoCharge;
  return std::nullopt;
}

void RunWizard(Context& ctx, const WizardOptions& o) {
  WizardRun run(ctx);
  if (!run.Start()) return;

  // Check every answer first.
  const std::optional<SchemeIndex> style = run.FindStyle(o.style);
  if (!style) {
    run.Fail(o.style.empty() ? "no style is installed"
                             : "unknown style '" + o.style + "' (see tolmi-cli styles)");
    return;
  }
  std::vector<const KnownRegion*> regions;
  for (const std::string& r : SplitList(o.regions)) {
    const KnownRegion* found = run.FindRegion(r);
    if (found == nullptr) {
      run.Fail("unknown region '" + r + "' (a key or name of domain.dat, e.g. AU or Australia)");
      return;
    }
    regions.push_back(found);
  }
  std::vector<std::string> taxable;
  for (const std::string& r : SplitList(o.taxableRegions)) {
    const KnownRegion* found = run.FindRegion(r);
    bool chosen = false;
    for (const KnownRegion* k : regions) chosen = chosen || k == found;
    if (found == nullptr || !chosen) {
      run.Fail("taxable region '" + r + "' is not one of the --regions");
      return;
    }
    taxable.push_back(found->key);
  }
  std::vector<std::string> cards;
  for (const std::string& c : SplitList(o.cards)) {
    const InstalledCard* found = run.FindCard(c);
    if (found == nullptr) {
      run.Fail("unknown card '" + c + "' (a name of cc.dat)");
      return;
    }
    cards.push_back(found->name);
  }
  std::optional<FreightCalculation> calculation;
  if (!o.calculation.empty()) {
    calculation = ParseCalculation(o.calculation);
    if (!calculation) {
      run.Fail("--calculation takes weight, item, order or none");
      return;
    }
  }
  if (!o.tax.empty() && !EqualsNoCase(o.tax, "on") && !EqualsNoCase(o.tax, "off")) {
    run.Fail("--tax takes on or off");
    return;
  }
  if (!o.taxMethod.empty() && !EqualsNoCase(o.taxMethod, "product") &&
      !EqualsNoCase(o.taxMethod, "region")) {
    run.Fail("--tax-method takes product or region");
    return;
  }
  if (IsInvalidProjectName(o.name)) {
    run.Fail(kInvalidProjectName);
    return;
  }

  AppGlobals& g = run.globals();
  StoreProject& project = g.session.project;
  WizardMemory& memory = run.app().wizardMemory();  // one run of the program
  const LifecycleEnv& env = run.env();
  StoreWizard wizard(
      WizardMode::NewStore, project, memory, run.prompter(),
      [&env](const std::string& name) { return FileExists(ProjectFilePath(env, name)); });
  WizardState& s = wizard.state();
  s.folderName = o.name;
  if (!o.title.empty()) s.storeTitle = o.title;
  s.style = SchemeStyleRef(run.schemes(), *style);
  for (int i = 0; i < 12; ++i)
    if (o.contact[i]) s.contact.*kContactFields[i] = *o.contact[i];
  if (o.orderMessage) s.orderMessage = *o.orderMessage;
  if (o.confirmMessage) s.confirmMessage = *o.confirmMessage;
  for (int i = 0; i < 3; ++i)
    if (o.methods[i]) s.methodNames[i] = *o.methods[i];
  if (calculation) s.calculation = calculation;
  if (!o.charge.empty()) s.chargePerOrder = o.charge;
  if (!o.tax.empty()) s.taxOn = EqualsNoCase(o.tax, "on");
  if (!o.taxMethod.empty()) s.taxMethod = EqualsNoCase(o.taxMethod, "region") ? 1 : 0;
  if (o.taxRate) s.regionTaxRate = *o.taxRate;
  if (o.freightTax) s.freightTaxRate = *o.freightTax;

  for (int guard = 0; guard < 64; ++guard) {
    if (wizard.page() == WizardPage::Cards) {
      for (const std::string& c : cards) wizard.AddCard(c, &g.cards);
    } else if (wizard.page() == WizardPage::Regions) {
      for (const KnownRegion* r : regions) wizard.AddRegion(*r);
      if (!o.taxableRegions.empty()) s.taxableRegions = taxable;
    }
    const WizardStep step = wizard.Next();
    if (step == WizardStep::Moved) continue;
    if (step == WizardStep::Finished) break;
    if (step == WizardStep::LoadExisting) {
      // Yes to "load this project instead": the existing project stays as it is.
      run.out() << ProjectFilePath(env, o.name) << "\n";
      return;
    }
    if (step == WizardStep::Cancelled) {
      run.Fail("a project named '" + o.name +
               "' exists already: run again with --yes to keep and load it, or with --no to "
               "replace it (it is backed up first)");
      return;
    }
    run.Fail("the wizard stopped on a page that needs an answer");
    return;
  }
  if (!wizard.finished()) {
    run.Fail("the wizard did not finish");
    return;
  }

  WizardCompletionEnv completion;
  completion.session = &g.session;
  completion.lifecycle = &env;
  completion.installedCards = &g.cards;
  SchemeList& schemes = run.schemes();
  const SchemeIndex chosen = *style;
  const std::string home = g.home;
  completion.applyStyleTemplates = [&schemes, chosen, home](StoreProject& p,
                                                            const std::string& dir) {
    schemes.current = chosen;
    if (const Scheme* scheme = schemes.At(chosen)) ApplyStyleTemplates(p, home, *scheme, dir);
  };
  if (!CompleteWizard(wizard, completion)) {
    run.Fail("creating the store failed");
    return;
  }
  RememberRecentProject(g.config, g.session.path);  // written with the configuration at save
  if (!SaveProject(g.session, env)) {
    run.Fail(run.prompter().unanswered() ? "saving the project needs an answer (--yes or --no)"
                                         : "saving the project failed");
    return;
  }
  run.out() << g.session.path << "\n";
}

void Setup(CLI::App& app, Context& ctx) {
  auto o = std::make_shared<WizardOptions>();
  CLI::App* cmd = app.add_subcommand(
      "wizard", "Create a new store the way the Store Wizard does, from answers given as options");
  cmd->add_option("NAME", o->name, "Project folder name")->required();
  cmd->add_option("--title", o->title, "Store title")->required();
  cmd->add_option("--style", o->style, "Style: GROUP/NAME or NAME (default: the first installed)");
  for (int i = 0; i < 12; ++i) AddAnswer(cmd, kContactOptions[i], o->contact[i], "Contact details");
  cmd->add_option("--cards", o->cards, "Accepted cards, comma separated (names of cc.dat)");
  AddAnswer(cmd, "--order-message", o->orderMessage, "Message at the bottom of the order form");
  AddAnswer(cmd, "--confirm-message", o->confirmMessage, "Confirmation message");
  AddAnswer(cmd, "--method1", o->methods[0], "Name of delivery method 1");
  AddAnswer(cmd, "--method2", o->methods[1], "Name of delivery method 2");
  AddAnswer(cmd, "--method3", o->methods[2], "Name of delivery method 3");
  cmd->add_option("--regions", o->regions, "Freight regions, comma separated (keys or names)");
  cmd->add_option("--calculation", o->calculation,
                  "Freight calculation: weight, item, order or none");
  cmd->add_option("--charge", o->charge, "Freight charge per order (with --calculation order)");
  cmd->add_option("--tax", o->tax, "Tax enabled shopping cart: on or off");
  cmd->add_option("--tax-method", o->taxMethod, "Taxation: product or region based");
  cmd->add_option("--taxable-regions", o->taxableRegions,
                  "Regions subject to taxation (product based), comma separated");
  AddAnswer(cmd, "--tax-rate", o->taxRate, "Tax rate (%) for all taxable regions");
  AddAnswer(cmd, "--freight-tax", o->freightTax, "Freight tax rate (%)");
  cmd->callback([&ctx, o] { RunWizard(ctx, *o); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli

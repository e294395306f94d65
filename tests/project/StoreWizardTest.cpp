// Store Wizard: page order in every mode both ways, start values, the folder
// question, completion (new store, freight preset, tax answers) and cancel.
#include "project/StoreWizard.h"

#include "project/WizardPages.h"

#include <gtest/gtest.h>

#include "builder/Freight.h"
#include "tests/project/ProjectFixtures.h"
#include "util/Files.h"

namespace tolmi {
namespace {

using P = WizardPage;
using Pages = std::vector<WizardPage>;

// Walks Next up to the last page of the run (without leaving it), recording every page.
// The buttons follow: Back off the first page, Next before the last, Finish on it.
Pages WalkForward(StoreWizard& wizard) {
  Pages forward{wizard.page()};
  for (int guard = 0; guard < 40; ++guard) {
    const bool last = wizard.page() == wizard.Pages().back();
    EXPECT_EQ(WizardButtonStates(wizard), (WizardButtons{forward.size() > 1, !last, last, true}))
        << static_cast<int>(wizard.page());
    if (last) break;
    const WizardPage before = wizard.page();
    EXPECT_EQ(wizard.Next(), WizardStep::Moved);
    EXPECT_NE(wizard.page(), before);
    forward.push_back(wizard.page());
  }
  return forward;
}

Pages BackToStart(StoreWizard& wizard) {
  Pages backward{wizard.page()};
  while (wizard.Back()) backward.push_back(wizard.page());
  return backward;
}

// Goes forward to `page` (which must lie ahead).
void GoTo(StoreWizard& wizard, WizardPage page) {
  for (int guard = 0; guard < 40 && wizard.page() != page; ++guard) {
    ASSERT_EQ(wizard.Next(), WizardStep::Moved) << static_cast<int>(wizard.page());
  }
  ASSERT_EQ(wizard.page(), page);
}

struct WizardFixture : ::testing::Test, test::LifecycleHome {
  StoreProject project;
  WizardMemory memory;

  StoreWizard NewStore() {
    StoreWizard w(WizardMode::NewStore, project, memory, prompter);
    w.state().folderName = "Wine";
    w.state().style = StyleRef{"Modern", "Harbour"};
    return w;
  }
};

Pages operator+(Pages a, const Pages& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Every mode's run, forward to its end and back to its start, as the answers shape it.
TEST_F(WizardFixture, PagesForwardAndBackInEveryMode) {
  const Pages start = {P::Welcome,        P::FolderName, P::StoreTitle,   P::Style,
                       P::ContactDetails, P::Cards,      P::OrderMessage, P::ConfirmMessage};
  const Pages freight = {P::MethodNames, P::Regions, P::FreightCalculation};
  using C = FreightCalculation;
  const struct {
    WizardMode mode;
    bool ftp;
    std::optional<C> calculation;
    bool taxOn;
    int taxMethod;
    Pages pages;
  } cases[] = {
      {WizardMode::NewStore, false, std::nullopt, false, 0,
       start + Pages{P::Hosting} + freight + Pages{P::TaxOnOff, P::Final}},
      {WizardMode::NewStore, true, C::PerOrder, true, 0,
       start + freight +
           Pages{P::ChargePerOrder, P::TaxOnOff, P::TaxMethod, P::TaxableRegions, P::FreightTaxRate,
                 P::Final}},
      {WizardMode::NewStore, true, C::WeightBased, true, 1,
       start + freight +
           Pages{P::TaxOnOff, P::TaxMethod, P::RegionalTaxRate, P::FreightTaxRate, P::Final}},
      {WizardMode::FreightSetup, false, C::PerOrder, false, 0,
       Pages{P::FreightWarning} + freight + Pages{P::ChargePerOrder}},
      {WizardMode::RegionsOnly, false, {}, false, 0, {P::Regions}},
      {WizardMode::MethodsOnly, false, {}, false, 0, {P::MethodNames}},
      {WizardMode::TaxSetup, false, {}, false, 0, {P::TaxOnOff}},
      {WizardMode::TaxSetup, false, std::nullopt, true, 1,
       Pages{P::TaxOnOff, P::TaxMethod, P::RegionalTaxRate, P::FreightTaxRate}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode) * 100 + static_cast<int>(c.pages.size()));
    project.settings.ftpServer = c.ftp ? "ftp.example.test" : "";
    StoreWizard w(c.mode, project, memory, prompter);
    w.state().folderName = "Wine";
    w.state().style = StyleRef{"Modern", "Harbour"};
    w.state().calculation = c.calculation;
    w.state().taxOn = c.taxOn;
    w.state().taxMethod = c.taxMethod;
    EXPECT_EQ(WalkForward(w), c.pages);
    EXPECT_EQ(BackToStart(w), Pages(c.pages.rbegin(), c.pages.rend()));
    GoTo(w, c.pages.back());
    EXPECT_EQ(w.Next(), WizardStep::Finished);
    EXPECT_FALSE(w.Back());
    EXPECT_EQ(WizardButtonStates(w), (WizardButtons{false, false, false, false}));
  }
  // Answers changed on the way count at once: tax turned off on the final page.
  StoreWizard w = NewStore();
  w.state().taxOn = true;
  GoTo(w, P::Final);
  w.state().taxOn = false;
  ASSERT_TRUE(w.Back());
  EXPECT_EQ(w.page(), P::TaxOnOff);
}

TEST_F(WizardFixture, FolderAndStylePagesWaitForAnAnswer) {
  StoreWizard w(WizardMode::NewStore, project, memory, prompter);
  ASSERT_EQ(w.Next(), WizardStep::Moved);
  EXPECT_EQ(w.Next(), WizardStep::Stayed);  // no folder name yet
  EXPECT_EQ(prompter.shown.back().text, kInvalidProjectName);
  w.state().folderName = "a,b";
  EXPECT_EQ(w.Next(), WizardStep::Stayed);
  w.state().folderName = "Wine";
  ASSERT_EQ(w.Next(), WizardStep::Moved);
  ASSERT_EQ(w.Next(), WizardStep::Moved);
  EXPECT_EQ(w.page(), P::Style);
  EXPECT_EQ(WizardButtonStates(w), (WizardButtons{true, false, false, true}));  // no style yet
  EXPECT_EQ(w.Next(), WizardStep::Stayed);
  w.state().style = StyleRef{"Classic", "Parchment"};
  EXPECT_EQ(w.Next(), WizardStep::Moved);
}

TEST_F(WizardFixture, ExistingProjectQuestion) {
  auto exists = [](const std::string& name) { return name == "Wine"; };
  const std::vector<std::pair<PromptAnswer, WizardStep>> cases = {
      {PromptAnswer::Yes, WizardStep::LoadExisting},
      {PromptAnswer::No, WizardStep::Moved},
      {PromptAnswer::Cancel, WizardStep::Cancelled}};
  for (const auto& [answer, step] : cases) {
    StoreWizard w(WizardMode::NewStore, project, memory, prompter, exists);
    w.state().folderName = "Wine";
    GoTo(w, P::FolderName);
    prompter.answers = {answer};
    EXPECT_EQ(w.Next(), step);
    EXPECT_EQ(prompter.asked.back().text, kProjectExistsQuestion);
    EXPECT_EQ(prompter.asked.back().title, "Confirmation");
    EXPECT_EQ(w.ended(), answer != PromptAnswer::No);
  }
  const std::size_t asked = prompter.asked.size();
  StoreWizard other(WizardMode::NewStore, project, memory, prompter, exists);
  other.state().folderName = "Beer";
  GoTo(other, P::StoreTitle);
  EXPECT_EQ(prompter.asked.size(), asked);
}

TEST_F(WizardFixture, StartValuesComeFromTheProjectAndTheLastRun) {
  SetVariable(project.variables, "$STORETITLE", "Old Shop");
  SetVariable(project.variables, "$company", "Acme");
  SetVariable(project.variables, "$WEBSITE", "http://acme.test/");
  project.deliveryMethodNames = {std::string("Post"), std::nullopt, std::string()};
  project.settings.taxOn = true;
  project.settings.taxMethod = 1;
  project.settings.freightTax = "5";
  project.regions.push_back({"AU", "Australia", {}, ""});
  project.regions.push_back({"NZ", "New Zealand", {}, "15%"});
  {
    StoreWizard w(WizardMode::NewStore, project, memory, prompter);
    const WizardState& s = w.state();
    EXPECT_EQ(s.storeTitle + "|" + s.contact.company + "|" + s.contact.website + "|" +
                  s.confirmMessage + "|" + s.freightTaxRate + "|" + s.regionTaxRate + "|" +
                  std::to_string(s.taxOn) + std::to_string(s.taxMethod),
              "Old Shop|Acme|http://acme.test/|Thank you for your order.|5|15%|11");
    EXPECT_EQ(s.orderMessage,
              "This form is running on an Tolmi Secure Server.<br>\r\nAll information will be "
              "encrypted before transmission.");
    EXPECT_EQ(s.methodNames,
              (std::array<std::string, 3>{"Post", "Express Courier (1-3 Days)", ""}));
    EXPECT_EQ(s.taxableRegions, (std::vector<std::string>{"NZ"}));
    w.state().orderMessage = "Call us.";
    w.state().confirmMessage = "Ta.";
    w.Cancel();
  }
  // The messages typed in a cancelled run are offered by the next one.
  StoreWizard again(WizardMode::NewStore, project, memory, prompter);
  EXPECT_EQ(again.state().orderMessage + again.state().confirmMessage, "Call us.Ta.");
}

TEST_F(WizardFixture, CancelKeepsRegionAndCardEditsOnly) {
  project.settings.storeTitle = "Old Shop";
  project.settings.taxOn = false;
  test::AddNode(project, nullptr, NodeKind::Category, "Old");
  std::vector<InstalledCard> installed = {{"Visa", false}, {"Amex", false}};
  StoreWizard w = NewStore();
  // The list rules themselves are the card list's; here only what a cancel keeps.
  GoTo(w, P::Cards);
  EXPECT_TRUE(w.AddCard("Visa", &installed));
  GoTo(w, P::Regions);
  EXPECT_TRUE(w.AddRegion({"AU", "Australia"}));
  EXPECT_TRUE(w.AddRegion({"NZ", "New Zealand"}));
  EXPECT_TRUE(w.RemoveRegion("nz"));
  w.state().calculation = FreightCalculation::NoCharge;
  w.state().taxOn = true;
  w.state().storeTitle = "New Shop";
  w.Cancel();
  EXPECT_TRUE(w.cancelled());
  EXPECT_EQ(w.Next(), WizardStep::Cancelled);
  EXPECT_FALSE(CompleteWizard(w, {}).ok());
  // The card and region pages changed the project; nothing else did.
  EXPECT_EQ(project.cards, (std::vector<AcceptedCard>{{"Visa", 1}}));
  ASSERT_EQ(project.regions.size(), 1u);
  EXPECT_EQ(project.regions[0].name, "Australia");
  EXPECT_EQ(project.regions[0].methods[0], FreightMethod{});
  EXPECT_EQ(project.settings.storeTitle, "Old Shop");
  EXPECT_FALSE(project.settings.taxOn);
  EXPECT_EQ(CountNodes(project), 1u);
}

TEST(StoreWizardTest, FreightPresets) {
  StoreProject project;
  project.regions.push_back({"AU", "Australia", {}, ""});
  project.regions.push_back({"NZ", "New Zealand", {}, ""});
  for (auto& r : project.regions) {
    r.methods[0].costs = {"1", "2", "3", "", "", "", "", "", "", "", "9", "1"};
    r.methods[0].rule = "rule";
    r.methods[1].costs[0] = "7";
  }
  ApplyFreightPreset(project, FreightCalculation::PerOrder, "12.50");
  FreightMethod perOrder;
  perOrder.costs[0] = "12.50";
  EXPECT_EQ(project.regions[1].methods[0], perOrder);
  EXPECT_EQ(project.regions[1].methods[1].costs[0], "7");  // other methods stay
  ApplyFreightPreset(project, FreightCalculation::WeightBased, "12.50");
  EXPECT_EQ(project.regions[0].methods[0], FreightMethod{});
  ApplyFreightPreset(project, FreightCalculation::PerItem, "12.50", 1);
  EXPECT_EQ(project.regions[0].methods[1].costs[0], "0");
  ApplyFreightPreset(project, FreightCalculation::NoCharge, "", 2);
  EXPECT_EQ(project.regions[0].methods[2].costs[0], "0");
}

TEST(StoreWizardTest, TaxAnswers) {
  StoreProject project;
  project.regions.push_back({"AU", "Australia", {}, "10"});
  project.regions.push_back({"NZ", "New Zealand", {}, ""});
  WizardState s;
  s.taxOn = true;
  s.taxMethod = 0;
  s.taxableRegions = {"nz"};
  s.freightTaxRate = "5";
  // Per answer: each region's rate, then the summary (which shows the tax settings).
  auto taxes = [&] {
    ApplyTaxAnswers(project, s);
    return project.regions[0].taxRate + "|" + project.regions[1].taxRate + "|" +
           TaxSummaryText(project.settings);
  };
  EXPECT_EQ(taxes(), "|0|5%" + std::string(kProductTaxText));  // ticked without a rate: "0"
  s.taxMethod = 1;
  s.regionTaxRate = "12.5%";
  EXPECT_EQ(taxes(), "12.5%|12.5%|5%" + std::string(kRegionTaxText));
  s.taxOn = false;
  EXPECT_EQ(taxes(), "||%" + std::string(kNoTaxText));
}

TEST(StoreWizardTest, MerchantDetailsVariables) {
  std::vector<StoreVariable> vars;
  MerchantDetails d;
  d.name = "Ann";
  d.email = "ann@shop.test";
  WriteMerchantDetails(vars, d);
  EXPECT_EQ(*GetVariable(vars, "$COPYRIGHT"),
            "Copyright \xA9"
            "2001 Ann");
  d.company = "Ann's Wines";
  d.email.clear();
  WriteMerchantDetails(vars, d);
  EXPECT_EQ(GetVariable(vars, "$EMAIL"), nullptr);  // an empty field removes it
  EXPECT_EQ(*GetVariable(vars, "$COPYRIGHT"),
            "Copyright \xA9"
            "2001 Ann's Wines");
  EXPECT_EQ(ReadMerchantDetails(vars), d);
}

class WizardCompletionTest : public WizardFixture {
 protected:
  WizardCompletionTest() {
    wizardEnv.session = &session;
    wizardEnv.lifecycle = &env;
    wizardEnv.installedCards = &installed;
  }

  ProjectSession session;
  std::vector<InstalledCard> installed = {{"Visa", false}, {"Amex", false}};
  WizardCompletionEnv wizardEnv;
};

TEST_F(WizardCompletionTest, NewStoreCreatesTheProjectWithEveryAnswer) {
  StoreProject& p = session.project;
  p.settings.storeTitle = "Old";
  p.settings.sn = "SERIAL";
  p.settings.ftpServer = "ftp.old.test";
  test::AddNode(p, nullptr, NodeKind::Category, "Old category");
  p.cards.push_back({"Amex", 1});

  StoreWizard w(WizardMode::NewStore, p, memory, prompter);
  WizardState& s = w.state();
  s.folderName = "Wine";
  s.storeTitle = "The Fine Wine Shop";
  s.style = StyleRef{"Modern", "Harbour"};
  s.contact.name = "Ann";
  s.orderMessage = "Delivery in 3 days.";
  GoTo(w, P::Cards);
  w.AddCard("Visa", &installed);
  GoTo(w, P::Regions);
  w.AddRegion({"AU", "Australia"});
  w.AddRegion({"NZ", "New Zealand"});
  s.methodNames = {"Air", "", "Sea"};
  GoTo(w, P::FreightCalculation);
  s.calculation = FreightCalculation::PerOrder;
  GoTo(w, P::ChargePerOrder);
  s.chargePerOrder = "9.50";
  GoTo(w, P::TaxOnOff);
  s.taxOn = true;
  s.taxMethod = 1;
  s.regionTaxRate = "10%";
  s.freightTaxRate = "10";
  GoTo(w, P::Final);
  ASSERT_EQ(w.Next(), WizardStep::Finished);

  std::string appliedDir;
  wizardEnv.applyStyleTemplates = [&](StoreProject& project, const std::string& dir) {
    EXPECT_EQ(&project, &p);
    appliedDir = dir;
  };
  ASSERT_TRUE(CompleteWizard(w, wizardEnv).ok());
  EXPECT_EQ(appliedDir, (home / "Projects/Wine").string());
  // The old tree and settings are gone; cards and regions chosen in the wizard survive.
  EXPECT_EQ(test::Titles(p), "The Fine Wine Shop About Us News Contact Us");
  EXPECT_TRUE(installed[0].chosen && installed[1].chosen);
  // Saving writes what the wizard set (freight, tax, messages, cards) and none of the old
  // settings (serial number, FTP server).
  ASSERT_TRUE(SaveProject(session, env).ok());
  const std::string stp = home.Read("Projects/Wine/Wine.stp");
  EXPECT_EQ(stp.substr(stp.find("\nVAR=") + 1),
            "VAR=$STORETITLE|The Fine Wine Shop\nVAR=$CURRENCY|$\nVAR=$NAME|Ann\n"
            "VAR=$COPYRIGHT|Copyright \xA9"
            "2001 Ann\n$AU0,9.50,,,,,,,,,,,,10%,|1\n$AU1,,,,,,,,,,,,,10%,|1\n"
            "$AU2,,,,,,,,,,,,,10%,|1\n$NZ0,9.50,,,,,,,,,,,,10%,|1\n$NZ1,,,,,,,,,,,,,10%,|1\n"
            "$NZ2,,,,,,,,,,,,,10%,|1\nLAYOUT=Modern/Harbour\nSTITLE=The Fine Wine Shop\nTAXF=10\n"
            "P_USER=\nP_ACCT=\nP_SERV=\nP_PORT=\nP_DIR=\nP_SAVE=0\nP_PASV=0\nCOMP=\n"
            "OMESSAGE=Delivery in 3 days.\nCMESSAGE=Thank you for your order.\nVO=0\nVC=0\n"
            "TAXD=1\nTAXO=1\nCURR=$\nHASBULLETS=1\nHAS3DCART=0\nCARTONSCREEN=0\nSEARCH=1\n"
            "CRLF=0\nNAVSTYLE=0\nFNAME=0,Air\nFNAME=1,\nFNAME=2,Sea\nCC=1:Amex\nCC=1:Visa\n");
}

TEST_F(WizardCompletionTest, BadFolderNameChangesNothing) {
  StoreProject& p = session.project;
  p.settings.storeTitle = "Old";
  StoreWizard w(WizardMode::NewStore, p, memory, prompter);
  w.state().style = StyleRef{"Modern", "Harbour"};
  w.state().folderName = "Wine";
  GoTo(w, P::Final);
  ASSERT_EQ(w.Next(), WizardStep::Finished);
  w.state().folderName = "a/b";
  Status status = CompleteWizard(w, wizardEnv);
  EXPECT_EQ(status.kind(), ErrorKind::InvalidArgument);
  EXPECT_EQ(p.settings.storeTitle, "Old");
  EXPECT_FALSE(IsDirectory((home / "Projects").string()));
}

TEST_F(WizardCompletionTest, FreightAndTaxSetUpOnTheOpenProject) {
  StoreProject& p = session.project;
  p.regions.push_back({"AU", "Australia", {}, "10"});
  p.regions[0].methods[0].costs[3] = "4";
  p.deliveryMethodNames = {std::string("Air"), std::nullopt, std::nullopt};
  {
    StoreWizard w(WizardMode::FreightSetup, p, memory, prompter);
    GoTo(w, P::FreightCalculation);
    w.state().calculation = FreightCalculation::PerItem;
    ASSERT_EQ(w.Next(), WizardStep::Finished);
    wizardEnv.presetMethod = 0;
    ASSERT_TRUE(CompleteWizard(w, wizardEnv).ok());
  }
  EXPECT_EQ(p.regions[0].methods[0].costs[0] + "|" + p.regions[0].methods[0].costs[3], "0|");
  EXPECT_EQ(p.regions[0].taxRate, "10");  // freight set-up leaves tax alone
  {
    StoreWizard w(WizardMode::TaxSetup, p, memory, prompter);
    w.state().taxOn = true;
    w.state().taxMethod = 0;
    w.state().taxableRegions.clear();
    GoTo(w, P::FreightTaxRate);
    w.state().freightTaxRate = "2";
    ASSERT_EQ(w.Next(), WizardStep::Finished);
    ASSERT_TRUE(CompleteWizard(w, wizardEnv).ok());
  }
  EXPECT_EQ(p.regions[0].taxRate, "");               // not ticked
  EXPECT_EQ(p.regions[0].methods[0].costs[0], "0");  // tax set-up leaves freight alone
  EXPECT_EQ(TaxSummaryText(p.settings), std::string("2%") + kProductTaxText);
  EXPECT_EQ(session.path, "");  // no project was created
}

}  // namespace
}  // namespace tolmi

// The wizard's page texts (its buttons are checked with its page runs), and the card and
// region lists edited outside the wizard.
#include "project/WizardPages.h"

#include <gtest/gtest.h>

#include "project/CardList.h"
#include "tests/support/FakePrompter.h"

namespace tolmi {
namespace {

using P = WizardPage;

TEST(WizardPagesTest, EveryPageHasItsPrompt) {
  EXPECT_EQ(WizardPagePrompt(P::StoreTitle),
            "Enter the title of your store.  eg: 'The Fine Wine Shop':");
  EXPECT_EQ(WizardPagePrompt(P::OrderMessage),
            "Enter a message which is to be displayed at the bottom of your order form page.  "
            "This can be your contact details, delivery infromation etc:");
  EXPECT_EQ(WizardPagePrompt(P::FreightWarning),
            "WARNING!!!  - By clicking the NEXT button, your current freight information will be "
            "lost.  Click CANCEL to abort.");
  EXPECT_EQ(WizardPageHeading(P::MethodNames), "Delivery Methods");
  EXPECT_EQ(WizardPageHeading(P::Welcome), "");
  for (int p = 0; p <= static_cast<int>(P::FreightWarning); ++p)
    EXPECT_FALSE(WizardPagePrompt(static_cast<P>(p)).empty()) << p;
}

TEST(CardListTest, CardsAddedAndRemovedMarkTheProject) {
  StoreProject project;
  std::vector<InstalledCard> installed = {{"Visa"}, {"MasterCard"}, {"Amex"}};
  EXPECT_TRUE(AddAcceptedCard(project, " MasterCard ", &installed));
  EXPECT_TRUE(project.changed);
  EXPECT_TRUE(installed[1].chosen);
  EXPECT_EQ(AvailableCards(installed, project), (std::vector<std::string>{"Visa", "Amex"}));
  EXPECT_TRUE(AddAcceptedCard(project, "Store Card", &installed));  // "Other:"
  project.changed = false;
  for (const char* refused : {"MasterCard", "", "  ", "Bad\r\nCC=1:x"})
    EXPECT_FALSE(AddAcceptedCard(project, refused, &installed)) << refused;
  EXPECT_FALSE(RemoveAcceptedCard(project, "Diners", &installed));
  EXPECT_FALSE(project.changed);
  EXPECT_TRUE(RemoveAcceptedCard(project, "MasterCard", &installed));
  EXPECT_FALSE(installed[1].chosen);
  EXPECT_TRUE(project.changed);
  EXPECT_EQ(project.cards, (std::vector<AcceptedCard>{{"Store Card", 1}}));
}

TEST(CardListTest, RegionsAddedAndRemovedMarkTheProject) {
  StoreProject project;
  const std::vector<KnownRegion> domains = {{"AU", "Australia"}, {"NZ", ""}};
  EXPECT_TRUE(AddFreightRegion(project, domains[1]));
  EXPECT_EQ(project.regions[0].name, "NZ");
  EXPECT_TRUE(project.regions[0].methods[0].enabled);
  project.changed = false;
  EXPECT_FALSE(AddFreightRegion(project, {"nz", "Again"}));
  EXPECT_FALSE(AddFreightRegion(project, {"", "No key"}));
  EXPECT_FALSE(RemoveFreightRegion(project, "AU"));
  EXPECT_FALSE(project.changed);
  ASSERT_EQ(AvailableRegions(domains, project).size(), 1u);
  EXPECT_EQ(AvailableRegions(domains, project)[0].key, "AU");
  EXPECT_TRUE(RemoveFreightRegion(project, "nz"));
  EXPECT_TRUE(project.regions.empty());
  EXPECT_TRUE(project.changed);
}

}  // namespace
}  // namespace tolmi

// The store tree: display names, checksums, navigation, searching, inserting and clearing.
#include <gtest/gtest.h>

#include "project/StoreProject.h"
#include "tests/project/ProjectFixtures.h"

namespace tolmi {
namespace {

using test::AddNode;
using test::Titles;

std::unique_ptr<StoreNode> Node(NodeKind kind, std::string title) {
  auto node = CreateNode();
  node->kind = kind;
  node->title = std::move(title);
  return node;
}

// Tags are removed, an image-only title shows its ALT text, a result with nothing left
// falls back to the title, and only the first 500 characters count.
TEST(DisplayNameTest, Table) {
  const std::string tagged = "<i>" + std::string(600, 'b') + "</i>";
  const struct {
    std::string title, shown;
  } cases[] = {
      {"Red Shoes & Socks", "Red Shoes & Socks"},
      {"", ""},
      {"<img src=\"sale.gif\" ALT=Sale>", "Sale"},
      {"<IMG SRC=x.gif alt=\"Summer Sale\" border=0>", "Summer Sale"},
      {"<img alt=\t'Big one' src=x.gif>", "Big one"},
      {"<img src=x.gif ALT=Sale border=0>", "Sale"},
      {"<b>Bold</b> deal", "Bold deal"},
      {"<hr>", "<hr>"},
      {"<img src=x.gif ALT=\"\">", "<img src=x.gif ALT=\"\">"},
      {std::string(600, 'a'), std::string(500, 'a')},
      {tagged, std::string(497, 'b')},
  };
  for (const auto& c : cases) EXPECT_EQ(ComputeDisplayName(c.title), c.shown) << c.title;
}

TEST(PageChecksumTest, SignedBytesAndWrapAroundIn32Bits) {
  EXPECT_EQ(PageChecksum(""), 0);
  EXPECT_EQ(PageChecksum(std::string(1, '\xff')), -2);  // sum -1, xor -1
  EXPECT_EQ(PageChecksum("AB"), (65 + 66) + (65 ^ 66));
  // 0x80 is -128: sum -128 + 1, xor of 0xFFFFFF80 and 1.
  std::string mixed = std::string("\x80", 1) + "\x01";
  EXPECT_EQ(PageChecksum(mixed), (-128 + 1) + static_cast<std::int32_t>(0xFFFFFF80u ^ 1u));
  // A sum of 2,540,000,000 exceeds INT32_MAX; an even count of equal bytes xors to 0.
  EXPECT_EQ(PageChecksum(std::string(20'000'000, '\x7f')),
            static_cast<std::int32_t>(20'000'000u * 127u));
}

TEST(NodeKindTest, DefaultsAndContainment) {
  StoreNode shelf;
  shelf.kind = NodeKind::Shelf;
  EXPECT_EQ(NodeTemplate(shelf), "shelf.htm");
  shelf.temp = "myshelf.htm";
  EXPECT_EQ(NodeTemplate(shelf), "myshelf.htm");
  EXPECT_STREQ(DefaultTemplate(NodeKind::Link), "search.htm");
  EXPECT_TRUE(MayHoldChild(NodeKind::Category, NodeKind::Link));
  EXPECT_TRUE(MayHoldChild(NodeKind::List, NodeKind::Product));
  EXPECT_FALSE(MayHoldChild(NodeKind::Shelf, NodeKind::Page));
  EXPECT_FALSE(MayHoldChild(NodeKind::Product, NodeKind::Product));
  EXPECT_FALSE(NodeKindFromDigit(6).has_value());
}

// home (category) [ shelf [ p1, p2 ], page ], about (page)
struct SampleTree {
  StoreProject project;
  StoreNode* home;
  StoreNode* shelf;
  StoreNode* p1;
  StoreNode* p2;
  StoreNode* page;
  StoreNode* about;
  SampleTree() {
    home = AddNode(project, nullptr, NodeKind::Category, "home", "index.html");
    shelf = AddNode(project, home, NodeKind::Shelf, "shelf", "2.htm");
    p1 = AddNode(project, shelf, NodeKind::Product, "p1", "3.htm");
    p2 = AddNode(project, shelf, NodeKind::Product, "p2", "4.htm");
    page = AddNode(project, home, NodeKind::Page, "page", "5.htm");
    about = AddNode(project, nullptr, NodeKind::Page, "about", "about.htm");
  }
};

TEST(StoreTreeTest, FindReplaceAndMarkNeighbours) {
  SampleTree t;
  EXPECT_EQ(FindNodeByFile(RootNode(t.project), "About.htm"), t.about);
  EXPECT_EQ(FindNodeByFile(t.shelf, "about.htm"), nullptr);  // not a following sibling
  EXPECT_EQ(FindNodeByFile(t.shelf, "5.htm"), t.page);
  EXPECT_EQ(FindNodeByFile(nullptr, "index.html"), nullptr);
  t.p1->file = "index.html";  // children are searched before their parent
  EXPECT_EQ(FindNodeByFile(RootNode(t.project), "index.html"), t.p1);
  t.p2->code = "AB-1";
  EXPECT_EQ(FindNodeByCode(RootNode(t.project), "AB-1"), t.p2);
  EXPECT_EQ(FindNodeByCode(RootNode(t.project), "ab-1"), nullptr);

  t.p1->temp = "Old.htm";
  t.about->temp = "OLD.HTM";
  t.page->temp = "other.htm";
  EXPECT_EQ(ReplaceTemplate(RootNode(t.project), "old.htm", "new.htm"), 2);
  EXPECT_EQ(t.about->temp, "new.htm");
  EXPECT_EQ(t.page->temp, "other.htm");

  MarkNeighboursChanged(t.project, *t.p1);
  EXPECT_EQ(std::to_string(t.shelf->mod) + std::to_string(t.p1->mod) + std::to_string(t.p2->mod) +
                std::to_string(t.home->mod) + std::to_string(t.page->mod),
            "11100");
  SampleTree top;
  MarkNeighboursChanged(top.project, *top.about);
  EXPECT_EQ(top.home->mod + top.about->mod + top.shelf->mod, 2);
}

// A page while a product inside a shelf is current goes after the shelf, a product after
// the current product; a product while the shelf is current becomes its last child, a page
// goes after the shelf; a category current takes the node as its last child; no current
// node: the end of the top level; a top-level page current: directly after it.
TEST(InsertNodeTest, PlacesByTheThreeRules) {
  SampleTree t;
  StoreNode* newPage = InsertNode(t.project, Node(NodeKind::Page, "new page"), t.p1);
  EXPECT_TRUE(t.project.changed);
  InsertNode(t.project, Node(NodeKind::Product, "new product"), t.p1);
  InsertNode(t.project, Node(NodeKind::Product, "last"), t.shelf);
  InsertNode(t.project, Node(NodeKind::Page, "after shelf"), t.shelf);
  InsertNode(t.project, Node(NodeKind::Link, "link"), t.home);
  StoreNode* end = InsertNode(t.project, Node(NodeKind::Category, "end"), nullptr);
  StoreNode* after = InsertNode(t.project, Node(NodeKind::Page, "after"), t.about);
  EXPECT_EQ(Titles(t.project),
            "home >shelf >>p1 >>new product >>p2 >>last >after shelf >new page >page >link about "
            "after end");
  // Sibling links stay right after inserts in the middle.
  EXPECT_EQ(NextSibling(*PreviousSibling(*newPage)), newPage);
  EXPECT_EQ(NextSibling(*after), end);
  EXPECT_EQ(PreviousSibling(*t.p1), nullptr);
  EXPECT_EQ(NextSibling(*end), nullptr);
}

TEST(StoreTreeTest, NewNodesTakeSerialsAndFreeFileNames) {
  SampleTree t;
  t.p1->file = "11.HTM";
  t.p2->file = "11(1).htm";
  t.p1->labels = {"a", "b", "c", "d", "e", "f"};
  std::uint32_t uid = 10;
  auto product = NewStoreNode(t.project, NodeKind::Product, uid, t.p1);
  EXPECT_EQ(product->serial, 11u);
  EXPECT_EQ(product->file + "|" + product->code + "|" + product->labels[5], "11(2).htm|11|f");
  // Other kinds take "%i.htm" without a check; links take no serial.
  t.page->file = "12.htm";
  auto page = NewStoreNode(t.project, NodeKind::Page, uid, nullptr);
  EXPECT_EQ(page->file + page->code, "12.htm");
  auto link = NewStoreNode(t.project, NodeKind::Link, uid, nullptr);
  EXPECT_EQ(uid, 12u);
  EXPECT_EQ(link->serial, 0u);
}

TEST(StoreTreeTest, FreeNodeRemovesTheSubtreeAndTheSelection) {
  SampleTree t;
  t.project.selected = t.p2;
  FreeNode(t.project, t.shelf);
  EXPECT_EQ(t.project.selected, nullptr);
  EXPECT_EQ(Titles(t.project), "home >page about");
  EXPECT_EQ(PreviousSibling(*t.page), nullptr);
}

TEST(StoreTreeTest, ClearProjectKeepsOnlyTheDeliveryMethodNames) {
  SampleTree t;
  t.project.settings.storeTitle = "Shop";
  t.project.settings.hasBullets = false;
  t.project.variables.push_back({"$X", "1"});
  t.project.regions.emplace_back();
  t.project.cards.push_back({"Visa", 1});
  t.project.cartStamps.push_back({"tolmi.js", 5});
  t.project.templateStamps.push_back({"a.gif", 6});
  t.project.deliveryMethodNames[1] = "Bike";
  std::vector<InstalledCard> installed = {{"Visa", true}, {"Amex", true}};
  ClearProject(t.project, &installed);
  EXPECT_EQ(RootNode(t.project), nullptr);
  EXPECT_EQ(t.project.settings, StoreSettings{});
  EXPECT_TRUE(t.project.variables.empty() && t.project.regions.empty() && t.project.cards.empty() &&
              t.project.cartStamps.empty() && t.project.templateStamps.empty());
  EXPECT_EQ(t.project.deliveryMethodNames[1], "Bike");
  EXPECT_EQ(t.project.deliveryMethodNames[0], "Economy Air (2-3 Weeks)");
  EXPECT_FALSE(installed[0].chosen || installed[1].chosen);
}

TEST(VariablesTest, SetReplacesAppendsAndRemoves) {
  std::vector<StoreVariable> vars;
  SetVariable(vars, "$A", "1");
  SetVariable(vars, "$B", "2");
  SetVariable(vars, "$a", "3");
  EXPECT_EQ(vars, (std::vector<StoreVariable>{{"$A", "3"}, {"$B", "2"}}));
  EXPECT_EQ(*GetVariable(vars, "$b"), "2");
  SetVariable(vars, "$A", "");
  SetVariable(vars, "$none", "");
  EXPECT_EQ(vars, (std::vector<StoreVariable>{{"$B", "2"}}));
}

TEST(StoreTreeTest, VeryDeepTreesAreWalkedAndFreedWithoutRecursion) {
  StoreProject project;
  StoreNode* parent = nullptr;
  for (int i = 0; i < 100000; ++i)
    parent = AddNode(project, parent, NodeKind::Category, "n", std::to_string(i));
  EXPECT_EQ(CountNodes(project), 100000u);
  EXPECT_EQ(FindNodeByFile(RootNode(project), "0"), RootNode(project));
  EXPECT_EQ(FindNodeByFile(RootNode(project), "99999"), parent);
  ClearProject(project);
  EXPECT_EQ(CountNodes(project), 0u);
}

}  // namespace
}  // namespace tolmi

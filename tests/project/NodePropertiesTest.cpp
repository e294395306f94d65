// The node property page: field sets per kind, reading, and applying edits back.
#include <gtest/gtest.h>

#include "project/NodeProperties.h"
#include "tests/project/ProjectFixtures.h"

namespace tolmi {
namespace {

using test::AddNode;

struct Shop {
  StoreProject project;
  StoreNode* cat = AddNode(project, nullptr, NodeKind::Category, "t", "index.html");
  StoreNode* shelf = AddNode(project, cat, NodeKind::Shelf, "t", "7.htm");
  StoreNode* item = AddNode(project, shelf, NodeKind::Product, "t", "8.htm");
  StoreNode* product = AddNode(project, cat, NodeKind::Product, "t", "9.htm");
  StoreNode* link = AddNode(project, cat, NodeKind::Link, "t");
};

// Per kind the fields shown: page, temp, fileEditable, body, userPairs, productData, file,
// link, image.
std::string Shown(const StoreNode& n) {
  const NodeFieldSet f = NodeFieldsFor(n);
  std::string out;
  for (bool b : {f.page, f.temp, f.fileEditable, f.body, f.userPairs, f.productData, f.file, f.link,
                 f.image})
    out += b ? '1' : '0';
  return out + " " + ShownFileName(n);
}

TEST(NodePropertiesTest, FieldSetsPerKind) {
  Shop s;
  EXPECT_EQ(Shown(*s.cat), "111110111 index.html");
  EXPECT_EQ(Shown(*s.product), "111111111 9.htm");
  EXPECT_EQ(Shown(*s.item), "000111111 7.htm");  // a shelf item shows its shelf's file
  EXPECT_EQ(Shown(*s.link), "000000011 ");
}

TEST(NodePropertiesTest, UnchangedApplyChangesNothing) {
  Shop s;
  s.product->body = "one\r\ntwo";
  s.product->optionLabel1 = "Color:";  // stored explicitly, shown as the default
  s.product->options1 = {"Red", "Blue"};
  for (StoreNode* n : {s.cat, s.item, s.product, s.link}) {
    NodeProperties p = ReadNodeProperties(*n);
    EXPECT_FALSE(ApplyNodeProperties(s.project, *n, p));
    EXPECT_EQ(n->mod, 0);
  }
  EXPECT_FALSE(s.project.changed);
  NodeProperties p = ReadNodeProperties(*s.product);
  EXPECT_EQ(p.body, "one\ntwo");
  EXPECT_EQ(p.optionLabel1, "Color:");
  EXPECT_EQ(p.optionLabel2, "Size:");
}

TEST(NodePropertiesTest, ApplyStoresTheEditsAndMarksTheNode) {
  Shop s;
  s.product->optionLabel2 =
      "Gr\xF6\xDF"
      "e:";
  NodeProperties p = ReadNodeProperties(*s.product);
  p.title = "<b>Tea</b>";
  p.image = "pics\\tea\\green.jpg";
  p.body = "a\nb\r\nc";
  p.cost = "12.50";
  p.optionLabel1 = "Flavour:";
  p.optionLabel2 = "";  // back to the default
  p.options1 = OptionsFromText("Mint\r\n\r\n  \nLemon\n");
  p.fields[5] = "Origin";
  p.labels[5] = "China";
  EXPECT_TRUE(ApplyNodeProperties(s.project, *s.product, p));
  const StoreNode& n = *s.product;
  EXPECT_EQ(n.image + "|" + n.body + "|" + n.cost + "|" + n.fields[5] + "|" + n.labels[5] + "|" +
                n.displayName + "|" + OptionsText(n.options1),
            "pics/tea/green.jpg|a\r\nb\r\nc|12.50|Origin|China|Tea|Mint\nLemon");
  EXPECT_EQ(n.optionLabel1, std::optional<std::string>("Flavour:"));
  EXPECT_EQ(n.optionLabel2, std::nullopt);
  EXPECT_EQ(n.mod, 1);
  EXPECT_TRUE(s.project.changed);
}

TEST(NodePropertiesTest, ShelfItemKeepsItsOwnFileAndLinkTargetGoesToBoth) {
  Shop s;
  NodeProperties p = ReadNodeProperties(*s.item);
  EXPECT_EQ(p.file, "7.htm");
  p.page = "ignored";
  EXPECT_FALSE(ApplyNodeProperties(s.project, *s.item, p));  // nothing it shows changed
  p.code = "T-1";
  EXPECT_TRUE(ApplyNodeProperties(s.project, *s.item, p));
  EXPECT_EQ(s.item->file + "|" + s.item->page + "|" + s.item->code, "8.htm||T-1");

  s.link->link = "http://old.example/";  // a project that kept the target in LINK only
  p = ReadNodeProperties(*s.link);
  EXPECT_EQ(p.link, "http://old.example/");
  p.link = "http://tea.example/";
  p.body = "not shown for a link";
  EXPECT_TRUE(ApplyNodeProperties(s.project, *s.link, p));
  EXPECT_EQ(s.link->file + "|" + s.link->link + "|" + s.link->body,
            "http://tea.example/|http://tea.example/|");
}

}  // namespace
}  // namespace tolmi

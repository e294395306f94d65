// The node property page: field sets per kind, reading, and applying edits back.
#include <gtest/gtest.h>

#include "project/NodeProperties.h"

namespace tolmi {
namespace {

struct Shop {
  StoreProject project;
  StoreNode* cat;
  StoreNode* shelf;
  StoreNode* item;
  StoreNode* product;
  StoreNode* link;

  StoreNode* Add(NodeKind kind, StoreNode* parent, const std::string& file) {
    auto n = CreateNode();
    n->kind = kind;
    n->title = "t";
    n->file = file;
    return AppendNode(project, parent, std::move(n));
  }
  Shop() {
    cat = Add(NodeKind::Category, nullptr, "index.html");
    shelf = Add(NodeKind::Shelf, cat, "7.htm");
    item = Add(NodeKind::Product, shelf, "8.htm");
    product = Add(NodeKind::Product, cat, "9.htm");
    link = Add(NodeKind::Link, cat, "");
  }
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
  EXPECT_EQ(n.image, "pics/tea/green.jpg");
  EXPECT_EQ(n.body, "a\r\nb\r\nc");
  EXPECT_EQ(n.cost, "12.50");
  EXPECT_EQ(n.optionLabel1, std::optional<std::string>("Flavour:"));
  EXPECT_EQ(n.optionLabel2, std::nullopt);
  EXPECT_EQ(n.options1, (std::vector<std::string>{"Mint", "Lemon"}));
  EXPECT_EQ(n.fields[5], "Origin");
  EXPECT_EQ(n.labels[5], "China");
  EXPECT_EQ(n.displayName, "Tea");
  EXPECT_EQ(n.mod, 1);
  EXPECT_TRUE(s.project.changed);
  EXPECT_EQ(OptionsText(n.options1), "Mint\nLemon");
}

TEST(NodePropertiesTest, ShelfItemKeepsItsOwnFileAndLinkTargetGoesToBoth) {
  Shop s;
  NodeProperties p = ReadNodeProperties(*s.item);
  EXPECT_EQ(p.file, "7.htm");
  p.page = "ignored";
  EXPECT_FALSE(ApplyNodeProperties(s.project, *s.item, p));  // nothing it shows changed
  p.code = "T-1";
  EXPECT_TRUE(ApplyNodeProperties(s.project, *s.item, p));
  EXPECT_EQ(s.item->file, "8.htm");
  EXPECT_EQ(s.item->page, "");
  EXPECT_EQ(s.item->code, "T-1");

  s.link->link = "http://old.example/";  // a project that kept the target in LINK only
  p = ReadNodeProperties(*s.link);
  EXPECT_EQ(p.link, "http://old.example/");
  p.link = "http://tea.example/";
  p.body = "not shown for a link";
  EXPECT_TRUE(ApplyNodeProperties(s.project, *s.link, p));
  EXPECT_EQ(s.link->file, "http://tea.example/");
  EXPECT_EQ(s.link->link, "http://tea.example/");
  EXPECT_EQ(s.link->body, "");
  EXPECT_EQ(ReadNodeProperties(*s.link).link, "http://tea.example/");
}

}  // namespace
}  // namespace tolmi

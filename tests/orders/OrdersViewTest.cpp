#include <gtest/gtest.h>

#include <cstdlib>

#include "orders/OrderCommands.h"
#include "orders/OrdersFile.h"
#include "orders/OrdersView.h"

namespace tolmi {
namespace {

OrderRecord Order(const std::string& name, Cents total = 0) {
  OrderRecord r;
  r.name = name;
  r.totalCents = total;
  return r;
}

// New Orders [1000, 1001], Folder "F" [Folder "F" [1002]], Trash [].
std::vector<OrderRecord> SampleTree() {
  std::vector<OrderRecord> records;
  records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  records[0].children = {Order("1000"), Order("1001")};
  OrderRecord outer = MakeFolder(RecordKind::UserFolder, "F");
  outer.children.push_back(MakeFolder(RecordKind::UserFolder, "F"));
  outer.children[0].children.push_back(Order("1002"));
  records.push_back(std::move(outer));
  records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  return records;
}

TEST(OrdersView, UidsAreUniqueAndCopiesGetNewOnes) {
  auto records = SampleTree();
  const std::uint64_t inner = records[1].children[0].uid;
  EXPECT_NE(records[1].uid, inner);  // same name "F", different identity
  EXPECT_EQ(FindRecord(records, inner), &records[1].children[0]);
  auto place = LocateRecord(records, records[1].children[0].children[0].uid);
  ASSERT_TRUE(place);
  EXPECT_EQ(place->parent, &records[1].children[0]);
  EXPECT_NE(CopyRecord(records[1]).children[0].uid, inner);
  EXPECT_EQ(FindRecord(records, 0), nullptr);
}

TEST(OrdersView, ListCellsAndItemRows) {
  setenv("TZ", "UTC", 1);
  tzset();
  OrderRecord o = Order("1000", 1250);
  o.orderId = "77";
  o.orderDate = 1700000000;  // 14 Nov 2023 22:13:20 UTC
  o.status = kStatusUnread;
  o.freightCents = 200;
  o.taxCents = 50;
  AppendField(o, "FreightTax", "0.10");
  auto date = [](std::time_t t) { return "D" + std::to_string(t); };
  EXPECT_EQ(OrderListCells(o, date),
            (std::array<std::string, 7>{"", "1000", "14/11/23 22:13:20", "12.50", "Pending", "",
                                        "77"}));
  o.chargeDate = 5;
  EXPECT_EQ(OrderListCells(o, date)[5], "D5");
  EXPECT_EQ(IconFor(o), RecordIcon::UnreadOrder);
  EXPECT_EQ(OrderListCells(MakeFolder(RecordKind::Trash, "Trash"), date)[4], "");

  EXPECT_TRUE(ItemRows(o, true).empty());  // no product lines, no display rows
  OrderItem mug;
  mug.name = "Mug";
  mug.option1 = "Red";
  mug.code = "M1";
  mug.quantity = 2;
  mug.unitCents = 450;
  mug.taxCents = 25;
  mug.disabled = true;
  o.items.push_back(mug);
  auto rows = ItemRows(o, true);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].cells,
            (std::array<std::string, 6>{"Mug (Red)", "M1", "2", "4.50", "0.25", "9.00"}));
  EXPECT_TRUE(rows[0].disabled);
  EXPECT_EQ(rows[1].cells, (std::array<std::string, 6>{"Freight", "", "", "", "0.10", "2.00"}));
  EXPECT_EQ(rows[2].kind, RowKind::Separator);
  EXPECT_EQ(rows[3].cells[0] + rows[3].cells[5], "Tax:0.50");
  EXPECT_EQ(rows[4].cells[0] + rows[4].cells[5], "Cost:12.50");
  EXPECT_EQ(ItemRows(o, false).size(), 4u);  // no tax row

  EXPECT_FALSE(EnsureTaxField(o, false));
  EXPECT_TRUE(EnsureTaxField(o, true));
  EXPECT_EQ(FindField(o, "Tax")->value, "0.50");
  EXPECT_FALSE(EnsureTaxField(o, true));
}

TEST(OrdersView, DetailsWithCustomDefaultsAndCommit) {
  OrderRecord o = Order("1000", 1000);
  AppendField(o, "Name", "Ann");
  AppendField(o, "Amount", "10.00");
  std::vector<OrderField> custom{{"Gift Note", "none"}, {"Name", "ignored"}};
  auto pairs = OrderDetails(o, custom);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[2].label, " Gift Note");
  EXPECT_EQ(pairs[2].value, "none");
  EXPECT_FALSE(CommitOrderDetails(o, pairs));  // the default becomes a real field
  ASSERT_NE(FindField(o, "Gift Note"), nullptr);
  EXPECT_EQ(FindField(o, "Gift Note")->value, "none");
  pairs = OrderDetails(o, custom);
  EXPECT_EQ(pairs.size(), 3u);
  pairs[1].value = "20.5";
  EXPECT_TRUE(CommitOrderDetails(o, pairs));
  EXPECT_EQ(o.totalCents, 2050);

  OrderRecord many;
  for (int i = 0; i < 40; ++i) AppendField(many, "F" + std::to_string(i), "");
  EXPECT_EQ(OrderDetails(many, custom).size(), kMaxDetailPairs);

  OrderItem pen;
  pen.name = "Pen";
  pen.quantity = 1;
  pen.unitCents = 200;
  o.items.push_back(pen);
  auto rows = ItemRows(o, false);
  auto item = ItemDetails(o, rows[0]);
  ASSERT_EQ(item.size(), 4u);  // no options: Item, ProductCode, Quantity, Cost
  EXPECT_EQ(item[0].label, " Item:");
  item[2].value = "3";
  item[3].value = "1.25";
  EXPECT_TRUE(CommitItemDetails(o, rows[0], item));
  EXPECT_EQ(o.items[0].quantity, 3);
  EXPECT_EQ(o.items[0].unitCents, 125);
  EXPECT_FALSE(o.items[0].code.has_value());  // an empty code box adds no code
  auto total = ItemDetails(o, rows.back());
  total[0].value = "7";
  EXPECT_TRUE(CommitItemDetails(o, rows.back(), total));
  EXPECT_EQ(FindField(o, "Amount")->value, "7.00");
}

TEST(OrderCommands, PlacementCopyPasteRename) {
  auto records = SampleTree();
  const auto first = records[0].children[0].uid;
  auto folder = NewFolder(records, first);  // after the selected order
  EXPECT_EQ(records[0].children[1].uid, folder);
  folder = NewFolder(records, records[2].uid);  // last child of the selected folder
  EXPECT_EQ(records[2].children.back().uid, folder);
  folder = NewFolder(records, 0);
  EXPECT_EQ(records.back().uid, folder);

  OrdersTree tree;
  tree.records = SampleTree();
  tree.fieldTemplate = Order("t");
  AppendField(*tree.fieldTemplate, "Email", "x@y");
  int next = 1005;
  auto made = NewOrder(tree, tree.records[1].uid, next);
  const OrderRecord& order = tree.records[1].children.back();
  EXPECT_EQ(order.uid, made);
  EXPECT_EQ(order.name, "1005");
  EXPECT_EQ(order.fields.size(), 1u);

  // Standard folders are not copied; a child of a chosen folder is not copied twice.
  auto clip = CopyRecords(records, {records[0].uid, records[1].uid, records[1].children[0].uid});
  ASSERT_EQ(clip.size(), 1u);
  EXPECT_EQ(clip[0].children[0].children[0].name, "1002");
  auto pasted = PasteRecords(records, clip, first, PasteTarget::Tree);
  EXPECT_EQ(records[0].children[1].uid, pasted[0]);
  // List paste on an order: into its parent; on a standard folder: at the top level.
  pasted = PasteRecords(records, clip, first, PasteTarget::List);
  EXPECT_EQ(records[0].children.back().uid, pasted[0]);
  pasted = PasteRecords(records, clip, records[0].uid, PasteTarget::List);
  EXPECT_EQ(records.back().uid, pasted[0]);
  EXPECT_NE(pasted[0], clip[0].uid);

  EXPECT_FALSE(RenameFolder(records[0], "X"));
  EXPECT_FALSE(RenameFolder(records[0].children[0], "X"));
  EXPECT_TRUE(RenameFolder(records[1], "Wholesale"));
  EXPECT_EQ(records[1].name, "Wholesale");
}

// An order moved by cut and paste is written to the file as it was before the move: its
// date, totals and its lines' tax, rate, weight, freight and second extra text go with it.
TEST(OrderCommands, CutAndPasteKeepsTheWholeOrder) {
  auto records = SampleTree();
  OrderRecord& o = records[0].children[0];
  o.orderId = "77";
  o.orderDate = 1700000000;
  AppendField(o, "Amount", "12.50");
  AppendField(o, "Tax", "0.75");
  OrderItem mug;
  mug.name = "Mug";
  mug.extraText2 = "gift";
  mug.quantity = 2;
  mug.unitCents = 450;
  mug.taxCents = 75;
  mug.taxRateMilli = 8250;
  mug.weightMilli = 1500;
  mug.freightCents = 120;
  o.items.push_back(mug);
  const std::string before = WriteOrdersText({o}, 1, 1);
  const auto uid = o.uid;
  auto clip = CopyRecords(records, {uid});
  DeleteRecords(records, {uid}, nullptr);
  auto pasted = PasteRecords(records, clip, records[1].uid, PasteTarget::Tree);
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(WriteOrdersText({records[1].children.back()}, 1, 1), before);
  EXPECT_EQ(records[2].children[0].uid, uid);  // the cut order itself lies in the Trash

  OrderRecord lines;
  EXPECT_EQ(PasteItems(lines, {records[2].children[0].items[0]}), 1u);
  EXPECT_EQ(lines.items[0].freightCents, 120);
  EXPECT_EQ(lines.items[0].extraText2, "gift");
}

TEST(OrderCommands, DeleteThroughTrashAsksUntilFirstYes) {
  auto records = SampleTree();
  const auto a = records[0].children[0].uid, b = records[0].children[1].uid;
  const auto inner = records[1].children[0].uid, order1002 = records[1].children[0].children[0].uid;
  int asked = 0;
  auto never = [&] { ++asked; return false; };
  auto r = DeleteRecords(records, {records[0].uid, a, inner, order1002}, never);
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(asked, 0);
  ASSERT_EQ(records[2].children.size(), 2u);
  EXPECT_EQ(records[2].children[0].uid, inner);  // moved whole, to the top of the Trash
  EXPECT_EQ(records[2].children[0].children[0].uid, order1002);
  EXPECT_EQ(records[0].children.size(), 1u);  // New Orders kept
  EXPECT_EQ(r.nextSelection, records[1].uid);  // the emptied folder's parent

  // In the Trash: No keeps the record and asks again; the first Yes stops the asking.
  std::vector<bool> answers{false, true};
  auto answer = [&] { return answers[static_cast<std::size_t>(asked++)]; };
  asked = 0;
  DeleteRecords(records, {inner, a}, answer);
  EXPECT_EQ(asked, 2);
  ASSERT_EQ(records[2].children.size(), 1u);
  EXPECT_EQ(records[2].children[0].uid, inner);
  asked = 0;
  auto yes = [&] { ++asked; return true; };
  DeleteRecords(records, {inner, b}, yes);  // b is outside: moved, not asked
  EXPECT_EQ(asked, 1);
  ASSERT_EQ(records[2].children.size(), 1u);
  EXPECT_EQ(records[2].children[0].uid, b);

  // Without a Trash one is made.
  std::vector<OrderRecord> bare{Order("1")};
  DeleteRecords(bare, {bare[0].uid}, never);
  ASSERT_EQ(bare.size(), 1u);
  EXPECT_EQ(bare[0].kind, RecordKind::Trash);
}

TEST(OrderCommands, MarksItemsExportSetAndEnabling) {
  auto records = SampleTree();
  auto& kids = records[0].children;
  kids.push_back(Order("1003"));
  EXPECT_EQ(MarkRecords(records, {kids[0].uid, kids[1].uid, kids[2].uid, records[1].uid},
                        kStatusCharged, 99),
            3u);
  EXPECT_EQ(kids[2].chargeDate, 99);
  EXPECT_EQ(PressedStatus(Order("x")), kStatusPending);

  OrderRecord& o = kids[0];
  NewProduct(o);
  NewProduct(o);
  EXPECT_TRUE(SetItemsDisabled(o, {1, 7}, true));
  EXPECT_FALSE(SetItemsDisabled(o, {1}, true));
  EXPECT_TRUE(DeleteItems(o, {0, 0, -1}));
  ASSERT_EQ(o.items.size(), 1u);
  EXPECT_TRUE(o.items[0].disabled);

  EXPECT_EQ(ExportSet(records, false, {}, records[0].uid).size(), 3u);
  EXPECT_EQ(ExportSet(records, true, {kids[1].uid}, records[0].uid),
            std::vector<const OrderRecord*>{&kids[1]});

  // A standard folder in the tree takes none of these; an order in the list does.
  OrdersWindowState s;
  s.selected = &records[0];
  using Id = OrdersCommandId;
  for (Id id : {Id::Delete, Id::Rename, Id::MarkAs, Id::Save})
    EXPECT_FALSE(OrdersCommandEnabled(id, s)) << int(id);
  s.focus = OrdersFocus::List;
  s.listSelection = {&kids[0]};
  EXPECT_TRUE(OrdersCommandEnabled(OrdersCommandId::Delete, s));
  EXPECT_TRUE(OrdersCommandEnabled(OrdersCommandId::MarkAs, s));
  s.focus = OrdersFocus::Tree;
  s.selected = &records[1];
  EXPECT_TRUE(OrdersCommandEnabled(OrdersCommandId::Rename, s));
  EXPECT_FALSE(OrdersCommandEnabled(OrdersCommandId::Paste, s));
}

}  // namespace
}  // namespace tolmi

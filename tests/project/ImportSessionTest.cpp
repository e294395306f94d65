// The import window's state: new settings re-split and clear the assignments,
// records removed and edited, refusals that change nothing.
#include <gtest/gtest.h>

#include "project/ImportSession.h"

namespace tolmi {
namespace {

using Fields = std::vector<std::string>;

ImportSession Session() {
  ImportData data;
  data.records = {"Tea;\"Green, fine\";3,50", "Cup;Blue;12", "Pot"};
  data.settings.delimiter = ';';
  return StartImportSession(std::move(data));
}

TEST(ImportSessionTest, SettingsResplitAndClearAssignments) {
  ImportSession s = Session();
  EXPECT_EQ(s.columnCount, 3u);
  EXPECT_EQ(s.rows[0], (Fields{"Tea", "Green, fine", "3,50"}));
  EXPECT_EQ(ImportCell(s, 2, 1), "");
  EXPECT_EQ(ImportCell(s, 7, 0), "");
  ASSERT_TRUE(AssignColumn(s, 0, ImportTarget::Title));
  EXPECT_FALSE(AssignColumn(s, kAssignableColumns, ImportTarget::Cost));

  ImportSettings comma = s.data.settings;
  comma.delimiter = ',';
  ASSERT_TRUE(SetImportSettings(s, comma));
  EXPECT_EQ(s.rows[0], (Fields{"Tea;\"Green", "fine\";3", "50"}));
  EXPECT_EQ(s.data.columns[0], ImportTarget::None);
  EXPECT_EQ(ColumnHeader(s.data, 0), "???");

  // Refused settings keep the split and the assignments.
  ASSERT_TRUE(AssignColumn(s, 1, ImportTarget::Cost));
  for (char bad : {'\0', '\n', '\r'}) {
    ImportSettings broken = comma;
    broken.delimiter = bad;
    EXPECT_FALSE(SetImportSettings(s, broken));
  }
  ImportSettings quoteBreak = comma;
  quoteBreak.quote = "\n";
  EXPECT_FALSE(SetImportSettings(s, quoteBreak));
  EXPECT_EQ(s.data.columns[1], ImportTarget::Cost);
  EXPECT_EQ(s.data.settings.delimiter, ',');
}

TEST(ImportSessionTest, RemoveAndEditRecords) {
  ImportSession s = Session();
  ASSERT_TRUE(AssignColumn(s, 2, ImportTarget::Cost));
  EXPECT_TRUE(SetRecordText(s, 2, "Pot;Black;20;extra"));
  EXPECT_EQ(s.rows[2], (Fields{"Pot", "Black", "20", "extra"}));
  EXPECT_EQ(s.columnCount, 4u);
  EXPECT_EQ(s.data.columns[2], ImportTarget::Cost);
  EXPECT_FALSE(SetRecordText(s, 0, "a\nb"));
  EXPECT_FALSE(SetRecordText(s, 3, "x"));
  EXPECT_FALSE(SetRecordText(s, 0, std::string(kImportPieceSize + 1, 'a')));
  EXPECT_EQ(s.data.records[0], "Tea;\"Green, fine\";3,50");

  EXPECT_EQ(RemoveRecords(s, {2, 0, 2, 9}), 2u);
  EXPECT_EQ(s.data.records, (Fields{"Cup;Blue;12"}));
  EXPECT_EQ(s.rows.size(), 1u);
  EXPECT_EQ(s.columnCount, 3u);
  EXPECT_EQ(RemoveRecords(s, {0}), 1u);
  EXPECT_EQ(s.columnCount, 0u);
}

}  // namespace
}  // namespace tolmi

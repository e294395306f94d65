// The charge dialog's states, lists and status texts, and the transaction log window's
// day picks, without a window (its rows are in TransactionLogTest).
#include "payments/ChargeDialog.h"

#include <gtest/gtest.h>

#include "payments/TransactionLogView.h"

namespace tolmi {
namespace {

TEST(ChargeDialogTest, TitleAndExpiryLists) {
  EXPECT_EQ(ChargeDialogTitle("Local Test Gateway (post)"),
            "Online Transaction Processing - Local Test Gateway (post)");
  const auto months = ExpiryMonths();
  ASSERT_EQ(months.size(), 12u);
  EXPECT_EQ(months.front() + months.back(), "0112");
  // 5 December 2026 offers 2026 to 2041.
  const auto years = ExpiryYears(1796472000);
  ASSERT_EQ(years.size(), 16u);
  EXPECT_EQ(years.front() + years.back(), "20262041");
}

TEST(ChargeDialogTest, StatesFromOpeningToTheOutcome) {
  struct Case {
    ChargeVerdict verdict;
    ChargeDialogState state;
    const char* text;
    ChargeStatusColour colour;
  };
  const Case cases[] = {
      {ChargeVerdict::Approved, ChargeDialogState::Approved, "Approved", ChargeStatusColour::Green},
      {ChargeVerdict::Rejected, ChargeDialogState::Rejected, "Rejected", ChargeStatusColour::Red},
      {ChargeVerdict::NoReply, ChargeDialogState::Error, "Error", ChargeStatusColour::Red},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ChargeDialogModel m = OpenChargeDialog(true);
    EXPECT_TRUE(ChargeInputsEnabled(m));
    EXPECT_EQ(ChargeStatusText(m.state), "");
    ASSERT_TRUE(BeginCharge(m));
    EXPECT_EQ(ChargeStatusText(m.state), "Working");
    EXPECT_FALSE(ChargeInputsEnabled(m));
    EXPECT_FALSE(BeginCharge(m));  // one request at a time
    FinishCharge(m, c.verdict);
    EXPECT_EQ(m.state, c.state);
    EXPECT_EQ(ChargeStatusText(m.state), c.text);
    EXPECT_EQ(ChargeStatusColourOf(m.state), c.colour);
    // The inputs stay disabled until the dialog opens again.
    EXPECT_FALSE(ChargeInputsEnabled(m));
    EXPECT_FALSE(BeginCharge(m));
    EXPECT_TRUE(ChargeInputsEnabled(OpenChargeDialog(true)));
  }
  // A folder: nothing to charge.
  ChargeDialogModel folder = OpenChargeDialog(false);
  EXPECT_FALSE(ChargeInputsEnabled(folder));
  EXPECT_FALSE(BeginCharge(folder));
  // A verdict after Cancel leaves the dialog canceled.
  ChargeDialogModel m = OpenChargeDialog(true);
  ASSERT_TRUE(BeginCharge(m));
  CancelCharge(m);
  FinishCharge(m, ChargeVerdict::Approved);
  EXPECT_EQ(ChargeStatusText(m.state), "Canceled");
  EXPECT_EQ(ChargeStatusColourOf(m.state), ChargeStatusColour::Plain);
  EXPECT_EQ(WorkingFrame(0), "Working");
  EXPECT_EQ(WorkingFrame(2), "Working..");
  EXPECT_EQ(WorkingFrame(6), "Working");
}

TEST(ChargeDialogTest, LogDayPicks) {
  const std::time_t day = 86400;
  LogDayRange r = PickLogDay({}, 30 * day, false);
  EXPECT_EQ(r.first(), 30 * day);
  EXPECT_EQ(r.last(), 30 * day);
  r = PickLogDay(r, 28 * day, true);  // extended backwards
  EXPECT_EQ(r.first(), 28 * day);
  EXPECT_EQ(r.last(), 30 * day);
  r = PickLogDay(r, 29 * day, true);  // from the same anchor
  EXPECT_EQ(r.first(), 29 * day);
  EXPECT_EQ(r.last(), 30 * day);
  r = PickLogDay(r, 2 * day, false);
  EXPECT_EQ(r.first(), r.last());
}

}  // namespace
}  // namespace tolmi

// The summary and class frequency windows over a data source that fails in the middle of a pass or
// whose record count drifts: no window shows partial values, no progress dialog or hourglass is left
// behind, and the next showing is right.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "host/Errors.h"
#include "dataset/MemorySource.h"
#include "tests/support/FaultySource.h"
#include "tests/windows/WindowFixtures.h"
#include "windows/ClassGrid.h"
#include "windows/QtHost.h"
#include "windows/SmrClass.h"
#include "windows/SmrOutpt.h"

namespace sumora::test {
namespace {

int LiveGaugeDialogs() {
  int live = 0;
  for (QWidget* window : QApplication::topLevelWidgets()) live += qobject_cast<TSMRGaugeDlg*>(window) != nullptr;
  return live;
}

class WindowFaultTest : public ::testing::Test {
 protected:
  WindowFaultTest() : database_("windows-faulty", MemoryTable::SingleColumn("AMOUNT", {1, 2, 3, 4, 5, 6, 7, 8})) {
    table_.SetName("SumoraTable1");
    table_.SetDatabaseName(database_.DatabaseName());
    table_.SetTableName("VALS");
    table_.SetStatFieldName("AMOUNT");
    table_.SetShowCalcProgress(TBoolPlus::Always);
    table_.SetdsFreqClasses(4);
    table_.Open();
  }

  void ExpectNothingLeftBehind() {
    EXPECT_FALSE(table_.ControlsDisabled());
    EXPECT_EQ(LiveGaugeDialogs(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  }

  QtHost host_;
  FaultyDatabase database_;
  TSumoraTable table_;
};

TEST_F(WindowFaultTest, ShowOutputFailingInAnyPassShowsNothingAndTheNextShowingIsRight) {
  for (TBoolPlus progress : {TBoolPlus::Always, TBoolPlus::Never}) {
    table_.SetShowCalcProgress(progress);
    for (int failAfter = 1; failAfter <= 8; ++failAfter) {
      SCOPED_TRACE("failing after record " + std::to_string(failAfter));
      database_.faults().failAfterRecords = failAfter;
      std::vector<std::string> counts;
      ModalRecorder recorder([&](QDialog& dialog) {
        counts.push_back(dynamic_cast<TOutputForm&>(dialog).labCount->text().toStdString());
        return int{QDialog::Accepted};
      });
      TOutputForm form;
      EXPECT_THROW(form.ShowOutput(table_), EDatabaseError);
      EXPECT_TRUE(counts.empty());
      ExpectNothingLeftBehind();

      database_.faults().failAfterRecords = 0;
      form.ShowOutput(table_);
      EXPECT_EQ(counts, std::vector<std::string>{"Record Count: 8"});
      ExpectNothingLeftBehind();
    }
  }
}

TEST_F(WindowFaultTest, ARecordCountDriftingToNothingKeepsTheRealGaugeInItsRange) {
  database_.faults().recordCountDrift = -1000;
  ModalRecorder recorder;
  TOutputForm form;
  form.ShowOutput(table_);
  ASSERT_EQ(recorder.windows.size(), 1u);
  EXPECT_EQ(table_.GetdsDataCount(), 8);
  EXPECT_DOUBLE_EQ(table_.GetdsVariance(), 6.0);
  ExpectNothingLeftBehind();
}

TEST_F(WindowFaultTest, TheClassWindowAfterAFailedSummarizeShowsTheClassesAsTheyStood) {
  ModalRecorder recorder;
  TClassDisplayForm form;
  table_.Summarize();
  form.Open(table_);
  const QString before = form.StringGrid1->Cell(3, 1);

  // The loading pass fails before the class bounds are recomputed: the grid is the earlier one.
  table_.SetdsFreqClasses(2);
  database_.faults().failAfterRecords = 5;
  EXPECT_THROW(table_.Summarize(), EDatabaseError);
  form.Open(table_);
  EXPECT_EQ(form.StringGrid1->rowCount(), 3);
  ExpectNothingLeftBehind();

  database_.faults().failAfterRecords = 0;
  table_.Summarize();
  form.Open(table_);
  EXPECT_EQ(form.StringGrid1->Cell(3, 1), QStringLiteral("3"));
  EXPECT_EQ(form.StringGrid1->Cell(3, 2), QStringLiteral("5"));
  EXPECT_EQ(before, QStringLiteral("2"));
  EXPECT_EQ(recorder.windows.size(), 3u);
}

}  // namespace
}  // namespace sumora::test

// The class frequency window: the grid, the identification line with its scale note, the caption, and
// the one window each component class shares among its live components.
#include "windows/SmrClass.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "host/Errors.h"
#include "windows/BevelPanel.h"
#include "windows/ClassGrid.h"
#include "windows/QtHost.h"
#include "tests/windows/WindowFixtures.h"

namespace sumora::test {
namespace {

std::vector<std::string> Row(const TClassDisplayForm& form, int row) {
  std::vector<std::string> cells;
  for (int column = 0; column < form.StringGrid1->columnCount(); ++column)
    cells.push_back(form.StringGrid1->Cell(column, row).toStdString());
  return cells;
}

class SmrClassTest : public ::testing::Test {
 protected:
  QtHost host;
  TempDir dir;
  ModalRecorder recorder;
};

TEST_F(SmrClassTest, RowsShowTheClassTablesInTheirFormats) {
  // Four classes over 0..10: width 3.125 starting half a width below the smallest value.
  auto query = MakeQuery(MakeValuesDb(dir, {0, 10}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  query->SetdsFreqClasses(4);
  query->Open();
  query->Summarize();
  TClassDisplayForm form;

  form.Open(*query);

  EXPECT_EQ(form.StringGrid1->rowCount(), 5);
  EXPECT_EQ(Row(form, 0),
            (std::vector<std::string>{"Class", "Class Min", "Class Max", "Class Freq", "Percentage", "Cumulative %"}));
  EXPECT_EQ(Row(form, 1), (std::vector<std::string>{"1", "-001.563", "001.563", "1", "050.00", "050.000"}));
  EXPECT_EQ(Row(form, 2), (std::vector<std::string>{"2", "001.563", "004.688", "0", "000.00", "050.000"}));
  EXPECT_EQ(Row(form, 4), (std::vector<std::string>{"4", "007.813", "010.938", "1", "050.00", "100.000"}));
  EXPECT_EQ(recorder.windows.size(), 1u);
}

TEST_F(SmrClassTest, ZeroClassesLeaveTheHeaderRowAloneAndCutEarlierRows) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  TClassDisplayForm form;
  form.Open(*query);
  ASSERT_EQ(form.StringGrid1->rowCount(), 11);

  query->SetdsFreqClasses(0);
  form.Open(*query);

  EXPECT_EQ(form.StringGrid1->rowCount(), 1);
  EXPECT_EQ(Row(form, 0)[0], "Class");
}

TEST_F(SmrClassTest, AComponentThatNeverComputedShowsZerosInEveryFormat) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  TClassDisplayForm form;

  form.Open(*query);

  EXPECT_EQ(Row(form, 1), (std::vector<std::string>{"1", "000.000", "000.000", "0", "000.00", "000.000"}));
  EXPECT_EQ(Row(form, 10)[0], "10");
  EXPECT_EQ(form.windowTitle(), QStringLiteral("SumoraQuery1 Class Frequency Data"));
  EXPECT_EQ(form.labDataID->text(), QStringLiteral(" FROM VALS: AMOUNT"));
}

struct ScaleCase {
  double scaleBy;
  const char* expectedLine;
};

class ScaleNoteTest : public SmrClassTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(ScaleNoteTest, NotesTheScaleOnlyWhenItDiffersFromOneByAtLeastATenThousandth) {
  const std::string db = dir.file("t.db");
  ExecSql(db, "CREATE TABLE T(AMOUNT REAL);");
  auto table = MakeTable(db, "/data/T", "AMOUNT");
  table->SetdsScaleFactor(GetParam().scaleBy);
  TClassDisplayForm form;

  form.Open(*table);

  EXPECT_EQ(form.labDataID->text().toStdString(), GetParam().expectedLine);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("SumoraTable1 Class Frequency Data"));
}

INSTANTIATE_TEST_SUITE_P(ScaleFactors, ScaleNoteTest,
                         ::testing::Values(ScaleCase{1000, "T: AMOUNT (Scaled by 1000)"}, ScaleCase{1, "T: AMOUNT"},
                                           ScaleCase{1.0001, "T: AMOUNT"}, ScaleCase{0.9999, "T: AMOUNT"},
                                           ScaleCase{1.0002, "T: AMOUNT (Scaled by 1.0002)"},
                                           ScaleCase{0.5, "T: AMOUNT (Scaled by 0.5)"}));

TEST_F(SmrClassTest, QueryWithoutSqlFailsBeforeTheWindowIsShownAndLeavesItAsItWas) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  TClassDisplayForm form;
  form.Open(*query);
  auto empty = MakeQuery(dir.file("values.db"), "", "AMOUNT", "Other");
  empty->SetdsFreqClasses(3);

  EXPECT_THROW(form.Open(*empty), EListError);

  EXPECT_EQ(recorder.windows.size(), 1u);
  EXPECT_EQ(form.StringGrid1->rowCount(), 11);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("SumoraQuery1 Class Frequency Data"));
}

// A statistics component of neither known variant.
class OtherComponent : public TSumoraStats {
 public:
  OtherComponent() : TSumoraStats("OtherComponent") {}
  TDataSet& StatDataSet() override { return table_; }
  std::string SourceName() const override { return "other"; }
  std::string DatasetLine() const override { return "Other: other"; }
  const std::string& ComponentName() const override { return name_; }
  std::string ComponentClassName() const override { return "OtherComponent"; }

 private:
  TTable table_;
  std::string name_ = "Other1";
};

TEST_F(SmrClassTest, AnUnknownComponentGetsOnlyTheHeaderRowAndTheWindowIsStillShown) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  TClassDisplayForm form;
  form.Open(*query);
  form.StringGrid1->SetCell(0, 0, "changed");
  OtherComponent other;
  other.SetdsScaleFactor(1000);

  form.Open(other);

  EXPECT_EQ(recorder.windows.size(), 2u);
  EXPECT_EQ(Row(form, 0)[0], "Class");
  EXPECT_EQ(form.StringGrid1->rowCount(), 11);
  EXPECT_EQ(form.labDataID->text(), QStringLiteral(" FROM VALS: AMOUNT"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("SumoraQuery1 Class Frequency Data"));
}

TEST_F(SmrClassTest, EnterClosesTheWindowAndHidesIt) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  ScopedModalRunner realLoop{ModalRunner{}};  // QDialog::exec
  TClassDisplayForm form;
  bool closedByKey = false;
  QTimer::singleShot(0, &form, [&] {
    QTest::keyClick(&form, Qt::Key_Return);
    closedByKey = !form.isVisible();
    if (form.isVisible()) form.reject();  // never hang the suite on a broken default button
  });

  form.Open(*query);

  EXPECT_TRUE(closedByKey);
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

// --- One window per component class --------------------------------------------------------------

QDialog* OpenedWindow(TSumoraStats& component, ModalRecorder& recorder) {
  component.FrequencyDisplay();
  return recorder.windows.back().data();
}

TEST_F(SmrClassTest, EveryCellAndHeaderIsWhollyVisibleNearOneBillionAndOneBillionth) {
  for (const auto& values : ExtremeMagnitudes()) {
    auto query = MakeQuery(MakeValuesDb(dir, values, "extreme" + std::to_string(values[0]) + ".db"),
                           "SELECT AMOUNT FROM VALS", "AMOUNT");
    query->SetdsFreqClasses(14);  // more rows than the grid shows: the scroll bar takes its room
    query->Open();
    query->Summarize();
    TClassDisplayForm form;
    form.Open(*query);
    form.show();
    QApplication::processEvents();
    const ClassGrid& grid = *form.StringGrid1;
    const QFontMetrics metrics(grid.font());
    for (int column = 0; column < grid.columnCount(); ++column) {
      // The cell's text is drawn from 2 pixels in to 1 pixel before the grid line.
      for (int row = 0; row < grid.rowCount(); ++row) {
        EXPECT_LE(metrics.horizontalAdvance(grid.Cell(column, row)) + 4, grid.columnWidth(column))
            << grid.Cell(column, row).toStdString();
      }
      EXPECT_LE(grid.columnViewportPosition(column) + grid.columnWidth(column), grid.viewport()->width()) << column;
    }
    EXPECT_LE(form.StringGrid1->geometry().right(), form.Panel1->width() - 1);
    EXPECT_LE(form.Panel1->geometry().right(), form.width() - 1);
    EXPECT_LE(form.labDataID->geometry().right(), form.width() - 1);
    form.hide();
  }
}

TEST_F(SmrClassTest, ComponentsOfOneClassShareOneWindowUntilTheLastIsDestroyed) {
  const std::string db = MakeValuesDb(dir, {1, 2, 3});
  auto first = MakeQuery(db, "SELECT AMOUNT FROM VALS", "AMOUNT", "First");
  auto second = MakeQuery(db, "SELECT AMOUNT FROM VALS", "AMOUNT", "Second");
  auto third = MakeQuery(db, "SELECT AMOUNT FROM VALS", "AMOUNT", "Third");
  auto table = MakeTable(db, "VALS", "AMOUNT");

  QPointer<QDialog> shared = OpenedWindow(*first, recorder);
  EXPECT_EQ(OpenedWindow(*third, recorder), shared.data());
  QDialog* tableWindow = OpenedWindow(*table, recorder);
  EXPECT_NE(tableWindow, shared.data());
  EXPECT_EQ(tableWindow->windowTitle(), QStringLiteral("SumoraTable1 Class Frequency Data"));
  EXPECT_FALSE(shared->isVisible());  // closed windows are hidden, not freed

  second.reset();
  EXPECT_EQ(OpenedWindow(*first, recorder), shared.data());
  first.reset();
  EXPECT_EQ(OpenedWindow(*third, recorder), shared.data());
  EXPECT_EQ(shared->windowTitle(), QStringLiteral("Third Class Frequency Data"));
  EXPECT_EQ(tableWindow->windowTitle(), QStringLiteral("SumoraTable1 Class Frequency Data"));

  third.reset();
  EXPECT_TRUE(shared.isNull());

  auto later = MakeQuery(db, "SELECT AMOUNT FROM VALS", "AMOUNT", "Later");
  QDialog* fresh = OpenedWindow(*later, recorder);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->windowTitle(), QStringLiteral("Later Class Frequency Data"));
}

}  // namespace
}  // namespace sumora::test

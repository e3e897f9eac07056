// The summary window: what each label says after ShowOutput, for both component variants.
#include "windows/SmrOutpt.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "host/Errors.h"
#include "tests/support/ScriptedHost.h"
#include "tests/windows/WindowFixtures.h"
#include "windows/BevelPanel.h"
#include "windows/QtHost.h"

namespace sumora::test {
namespace {

std::string LabelText(const QLabel* label) { return label->text().toStdString(); }

// The window as it was when shown, label by label.
struct ShownSummary {
  std::string tableName, fieldName, count, mean, min, max, mode, median, total, coeff, range, variance, stdDev,
      skew, kurtosis;
};

ShownSummary ShowAndRead(TSumoraStats& source) {
  ShownSummary shown;
  int runs = 0;
  ModalRecorder recorder([&](QDialog& dialog) {
    auto& form = dynamic_cast<TOutputForm&>(dialog);
    ++runs;
    shown = {LabelText(form.labTableName), LabelText(form.labFieldName), LabelText(form.labCount),
             LabelText(form.labMean),      LabelText(form.labMin),       LabelText(form.labMax),
             LabelText(form.labMode),      LabelText(form.labMedian),    LabelText(form.labTotal),
             LabelText(form.labCoeff),     LabelText(form.labRange),     LabelText(form.labVariance),
             LabelText(form.labStdDev),    LabelText(form.labSkew),      LabelText(form.labKurtosis)};
    return int{QDialog::Accepted};
  });
  TOutputForm form;
  form.ShowOutput(source);
  EXPECT_EQ(runs, 1);
  return shown;
}

class SmrOutptTest : public ::testing::Test {
 protected:
  QtHost host;
  TempDir dir;
};

TEST_F(SmrOutptTest, QueryShowsTheWholeFirstSqlLineWhileTheProgressCaptionHoldsTheCutName) {
  const std::string db = dir.file("orders.db");
  ExecSql(db, "CREATE TABLE Orders(AMOUNT REAL); INSERT INTO Orders VALUES (1), (2), (4);");
  auto query = MakeQuery(db, "SELECT * FROM Orders\nWHERE AMOUNT > 0", "AMOUNT");
  query->SetShowCalcProgress(TBoolPlus::Always);
  query->Open();
  GaugeShowSpy spy;

  const ShownSummary shown = ShowAndRead(*query);

  EXPECT_EQ(shown.tableName, "Dataset Query: SELECT * FROM Orders");
  EXPECT_EQ(shown.fieldName, "Field Analyzed: AMOUNT");
  ASSERT_EQ(spy.headings.size(), 2u);  // the loading pass, then the moments pass
  EXPECT_EQ(spy.headings[0], QStringLiteral("Summary of  Orders AMOUNT"));
}

TEST_F(SmrOutptTest, TableShowsItsNameWithThePathAfterTable) {
  const std::string db = dir.file("paths.db");
  ExecSql(db, R"(CREATE TABLE "C:\DATA\ORDERS.DB"(AMOUNT REAL); INSERT INTO "C:\DATA\ORDERS.DB" VALUES (1), (3);)");
  auto table = MakeTable(db, R"(C:\DATA\ORDERS.DB)", "AMOUNT");
  table->SetShowCalcProgress(TBoolPlus::Always);
  table->Open();
  GaugeShowSpy spy;

  const ShownSummary shown = ShowAndRead(*table);

  EXPECT_EQ(shown.tableName, R"(Table: C:\DATA\ORDERS.DB)");
  ASSERT_FALSE(spy.headings.empty());
  EXPECT_EQ(spy.headings[0], QStringLiteral("Summary of ORDERS.DB AMOUNT"));
}

TEST_F(SmrOutptTest, LabelsUseTheirPatternsWithoutALeadingZero) {
  // Mean 0.25 and deviations of ±3: variance 36 / 3 = 12.
  auto query = MakeQuery(MakeValuesDb(dir, {3.25, -2.75, 3.25, -2.75}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  query->Open();

  const ShownSummary shown = ShowAndRead(*query);

  EXPECT_EQ(shown.count, "Record Count: 4");
  EXPECT_EQ(shown.mean, "Mean: .250");
  EXPECT_EQ(shown.variance, "Variance: 12.000");
  EXPECT_EQ(shown.total, "Total: 1.000");
  EXPECT_EQ(shown.min, "Minimum: -2.750");
  EXPECT_EQ(shown.max, "Maximum: 3.250");
  EXPECT_EQ(shown.range, "Range: 6.000");
  EXPECT_EQ(shown.median, "Median: .250");
  EXPECT_EQ(shown.stdDev, "Standard Deviation: 3.464");
  EXPECT_EQ(shown.coeff.rfind("Coeff of Variation: ", 0), 0u) << shown.coeff;
  EXPECT_EQ(shown.mode.rfind("Mode: ", 0), 0u) << shown.mode;
  EXPECT_EQ(shown.kurtosis.rfind("Kurtosis: ", 0), 0u) << shown.kurtosis;
}

TEST_F(SmrOutptTest, EveryNumberIsWhollyVisibleNearOneBillionAndOneBillionth) {
  for (const auto& values : ExtremeMagnitudes()) {
    auto query = MakeQuery(MakeValuesDb(dir, values, "extreme" + std::to_string(values[0]) + ".db"),
                           "SELECT AMOUNT FROM VALS", "AMOUNT");
    query->Open();
    int widthShown = 0;
    ModalRecorder recorder([&](QDialog& dialog) {
      auto& form = dynamic_cast<TOutputForm&>(dialog);
      widthShown = form.width();
      const QRect panel(QPoint(0, 0), form.Panel1->size());
      EXPECT_LE(form.Panel1->geometry().right(), form.width() - 1);
      for (const QLabel* label : form.Panel1->findChildren<QLabel*>()) {
        if (label == form.labTableName) continue;  // a line of SQL, not a number
        const std::string text = label->text().toStdString();
        EXPECT_LE(TextWidth(label), label->width()) << text;
        EXPECT_TRUE(panel.contains(label->geometry())) << text;
      }
      // Each right-column text starts after the left-column text of its row ends.
      const std::pair<QLabel*, QLabel*> rows[] = {{form.labTotal, form.labMean},   {form.labMin, form.labVariance},
                                                  {form.labMax, form.labStdDev},   {form.labRange, form.labCoeff},
                                                  {form.labMode, form.labSkew},    {form.labMedian, form.labKurtosis}};
      for (const auto& [left, right] : rows) {
        EXPECT_LT(left->geometry().right(), right->x()) << right->text().toStdString();
      }
      return int{QDialog::Accepted};
    });
    TOutputForm form;
    form.ShowOutput(*query);
    // Small numbers keep the designed window; the billions widen it.
    if (values[0] < 1) {
      EXPECT_EQ(widthShown, 343);
      EXPECT_EQ(form.labMean->x(), 161);
    } else {
      EXPECT_GT(widthShown, 343);
    }
  }
}

TEST_F(SmrOutptTest, LeftSkewedFieldShowsANonNegativeSkewnessAndTheMinusSign) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 9, 10, 10, 10}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  query->Open();

  const std::string skew = ShowAndRead(*query).skew;

  ASSERT_EQ(skew.rfind("Skewness: ", 0), 0u) << skew;
  EXPECT_NE(skew[10], '-') << skew;
  EXPECT_EQ(skew.substr(skew.size() - 4), " (-)") << skew;
}

TEST_F(SmrOutptTest, EachOutputCallLoadsTheDatasetAgain) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  query->Open();
  ModalRecorder recorder;
  ScriptedHost scripted;  // records the passes; the windows stay the Qt ones

  query->Output();
  query->Output();

  int loadingPasses = 0;
  int lastDialog = 0;
  for (const ProgressCall& call : scripted.ProgressOnly()) {
    if (call.kind == GaugeKind::Horizontal && call.dialog != lastDialog) ++loadingPasses;
    lastDialog = call.dialog;
  }
  EXPECT_EQ(loadingPasses, 2);
  EXPECT_EQ(recorder.windows.size(), 2u);
}

TEST_F(SmrOutptTest, SummarizeErrorsEndShowOutputBeforeTheWindowIsShown) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "NO_SUCH_FIELD");
  query->Open();
  ModalRecorder recorder;
  TOutputForm form;

  EXPECT_THROW(form.ShowOutput(*query), EDatabaseError);
  EXPECT_TRUE(recorder.windows.empty());
}

TEST_F(SmrOutptTest, EnterClosesTheWindowThroughTheOkButton) {
  auto query = MakeQuery(MakeValuesDb(dir, {1, 2, 3}), "SELECT AMOUNT FROM VALS", "AMOUNT");
  query->Open();
  TOutputForm form;
  bool closedByKey = false;
  QTimer::singleShot(0, &form, [&] {
    QTest::keyClick(&form, Qt::Key_Return);
    closedByKey = !form.isVisible();
    if (form.isVisible()) form.reject();  // never hang the suite on a broken default button
  });

  form.ShowOutput(*query);  // the real modal loop

  EXPECT_TRUE(closedByKey);
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(SmrOutptTest, FontsResolveToTheMetricCompatibleFaces) {
  TOutputForm form;
  EXPECT_EQ(QFontInfo(form.Label2->font()).family(), QStringLiteral("Liberation Serif"));
  EXPECT_EQ(QFontInfo(form.Label2->font()).pixelSize(), 21);
  EXPECT_EQ(QFontInfo(form.labMean->font()).family(), QStringLiteral("Liberation Sans"));
  EXPECT_TRUE(QFontInfo(form.labTableName->font()).bold());
  EXPECT_FALSE(QFontInfo(form.labMean->font()).bold());
}

}  // namespace
}  // namespace sumora::test

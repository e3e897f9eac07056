// The progress dialog: what the gauges show, which gauge is visible, and that it repaints only when
// what it shows changes.
#include "windows/SmrGauge.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QLabel>
#include <limits>

#include "windows/BevelPanel.h"
#include "windows/Gauge.h"

namespace sumora {
namespace {

struct PercentCase {
  double fraction;
  int shown;
};

class GaugePercentTest : public ::testing::TestWithParam<PercentCase> {};

TEST_P(GaugePercentTest, TruncatesTowardZeroAndClampsIntoTheRange) {
  TSMRGaugeDlg dialog;
  dialog.SetGaugeProgress(GaugeKind::Horizontal, "m", GetParam().fraction);
  EXPECT_EQ(dialog.Gauge1->Progress(), GetParam().shown);
  dialog.SetGaugeProgress(GaugeKind::Round, "m", GetParam().fraction);
  EXPECT_EQ(dialog.Gauge3->Progress(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Fractions, GaugePercentTest,
    ::testing::Values(PercentCase{0.5, 50}, PercentCase{0.29, 28}, PercentCase{0.9999, 99}, PercentCase{0.999, 99},
                      PercentCase{1.0, 100}, PercentCase{0.0, 0}, PercentCase{1.3, 100}, PercentCase{-0.2, 0},
                      PercentCase{std::numeric_limits<double>::quiet_NaN(), 0}));

TEST(SmrGaugeTest, StartsWithTheHeadingBothGaugesAtZeroAndAnEmptyStatusLine) {
  TSMRGaugeDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Percentage Complete"));
  EXPECT_EQ(dialog.Label2->text(), QStringLiteral("Descriptive Statistics"));
  EXPECT_FALSE(dialog.Panel2->isHidden());
  EXPECT_FALSE(dialog.Gauge3->isHidden());
  EXPECT_EQ(dialog.Gauge1->Progress(), 0);
  EXPECT_EQ(dialog.Gauge3->Progress(), 0);
  EXPECT_TRUE(dialog.Panel1->Caption().isEmpty());
}

TEST(SmrGaugeTest, RoundHidesTheBarsFrameButTheBarStillFollowsTheFraction) {
  TSMRGaugeDlg dialog;
  dialog.SetGaugeProgress(GaugeKind::Horizontal, "Loading dataset, calculating totals, mean", 0.4);
  EXPECT_FALSE(dialog.Panel2->isHidden());
  EXPECT_TRUE(dialog.Gauge3->isHidden());
  EXPECT_EQ(dialog.Gauge3->Progress(), 0);  // a hidden pie is not fed

  dialog.SetGaugeProgress(GaugeKind::Round, "Calculating Variance, Skew, Kurtosis", 0.75);

  EXPECT_TRUE(dialog.Panel2->isHidden());
  EXPECT_FALSE(dialog.Gauge3->isHidden());
  EXPECT_EQ(dialog.Gauge1->Progress(), 75);
  EXPECT_EQ(dialog.Gauge3->Progress(), 75);
  EXPECT_EQ(dialog.Panel1->Caption(), QStringLiteral("Calculating Variance, Skew, Kurtosis"));
}

TEST(SmrGaugeTest, FormActivateResetsOnlyTheBar) {
  TSMRGaugeDlg dialog;
  dialog.SetGaugeProgress(GaugeKind::Round, "m", 0.6);

  dialog.FormActivate();

  EXPECT_EQ(dialog.Gauge1->Progress(), 0);
  EXPECT_EQ(dialog.Gauge3->Progress(), 60);
}

TEST(SmrGaugeTest, LabelsAndCaptionSetTheirTexts) {
  TSMRGaugeDlg dialog;
  dialog.SetLabels("Summary of  ORDERS AMOUNT");
  dialog.SetCaption("Working");
  EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Summary of  ORDERS AMOUNT"));
  EXPECT_EQ(dialog.Label2->text(), QStringLiteral("Summary of  ORDERS AMOUNT"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Working"));
}

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST(SmrGaugeTest, ShownDialogRepaintsAtOnceButOnlyWhenWhatItShowsChanges) {
  TSMRGaugeDlg dialog;
  dialog.show();
  PaintCounter bar;
  PaintCounter status;
  dialog.Gauge1->installEventFilter(&bar);
  dialog.Panel1->installEventFilter(&status);
  const QString message = QStringLiteral("Loading dataset, calculating totals, mean");
  dialog.SetGaugeProgress(GaugeKind::Horizontal, message, 0.5);
  const int barPaints = bar.paints;
  const int statusPaints = status.paints;
  EXPECT_GT(barPaints, 0);  // painted within the call, with no event loop running

  for (int record = 0; record < 1000; ++record)
    dialog.SetGaugeProgress(GaugeKind::Horizontal, message, 0.5 + record * 1e-6);
  EXPECT_EQ(bar.paints, barPaints);
  EXPECT_EQ(status.paints, statusPaints);

  dialog.SetGaugeProgress(GaugeKind::Horizontal, message, 0.51);
  EXPECT_GT(bar.paints, barPaints);
  dialog.SetGaugeProgress(GaugeKind::Horizontal, "Calculating Variance", 0.51);
  EXPECT_GT(status.paints, statusPaints);
}

}  // namespace
}  // namespace sumora

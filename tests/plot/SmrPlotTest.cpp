// The plot window on real components over SQLite files, shown offscreen and worked through its own
// buttons and menus.
#include "plot/SmrPlot.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/SmrTable.h"
#include "plot/PlotImage.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"
#include "windows/ModalRunner.h"

namespace sumora {
namespace {

using namespace SmrPlot;
using Work = std::function<void(TSumoraPlotForm&)>;

constexpr int W = TSumoraPlotForm::PlotAreaWidth;
constexpr int H = TSumoraPlotForm::PlotAreaHeight;

class PlotWindowTest : public ::testing::Test {
 protected:
  // A table VALS(AMOUNT) with `count` records whose values are `expression` of the record number r.
  std::unique_ptr<TSumoraTable> Component(int count, const std::string& expression, int classes = 10,
                                          int plotCount = 500, bool allowFailedSummary = false) {
    const std::string path = dir_.file("plot" + std::to_string(++files_) + ".db");
    test::ExecSql(path, "CREATE TABLE VALS(AMOUNT REAL);"
                        "WITH RECURSIVE n(r) AS (SELECT 1 UNION ALL SELECT r + 1 FROM n WHERE r < " +
                            std::to_string(count) + ") INSERT INTO VALS SELECT " + expression + " FROM n;");
    auto component = std::make_unique<TSumoraTable>();
    component->SetDatabaseName(path);
    component->SetTableName("VALS");
    component->SetStatFieldName("AMOUNT");
    component->SetShowCalcProgress(TBoolPlus::Never);
    component->SetdsFreqClasses(static_cast<std::uint16_t>(classes));
    component->SetdsMaxPlotCount(static_cast<std::uint16_t>(plotCount));
    component->Open();
    try {
      if (count >= 2) component->Summarize();
    } catch (const std::exception&) {
      // Constant values stop Summarize at the skewness; the loading pass and the classes stand.
      if (!allowFailedSummary) throw;
    }
    return component;
  }

  // Shows the window on `source` and runs `work` while it is up, as the user would between opening
  // and closing it.
  void Show(TSumoraStats& source, const Work& work) {
    ScopedModalRunner runner([&](QDialog& dialog) {
      auto& form = dynamic_cast<TSumoraPlotForm&>(dialog);
      form.show();
      form.activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
      work(form);
      form.sbtnClose->click();
      return int{QDialog::Accepted};
    });
    form_.Plot(source);
  }

  static void Choose(QToolButton* button, QMenu* menu, QAction* item) {
    button->click();
    item->trigger();
    menu->hide();
  }

  static TColor Pixel(TSumoraPlotForm& form, int px, int py) { return form.PlotImage->Canvas().Pixel(px, py); }

  static int CountColour(TSumoraPlotForm& form, TColor colour) {
    int count = 0;
    for (int py = 0; py < H; ++py)
      for (int px = 0; px < W; ++px) count += Pixel(form, px, py) == colour ? 1 : 0;
    return count;
  }

  test::ScriptedHost host_;
  test::TempDir dir_;
  int files_ = 0;
  TSumoraPlotForm form_;
};

TEST_F(PlotWindowTest, BindingScalesToTheComponent) {
  auto component = Component(1200, "r", 10, 500);
  Show(*component, [](TSumoraPlotForm& form) {
    EXPECT_EQ(n, 1200);
    EXPECT_EQ(nPlot, 500);
    EXPECT_EQ(glStart, 1);
    EXPECT_EQ(glStop, 500);
    EXPECT_DOUBLE_EQ(xmin, 1.0);
    EXPECT_DOUBLE_EQ(xmax, 1200.0);
    EXPECT_NEAR(PlotWidth, 306 * 0.998, 1e-9);
    EXPECT_NEAR(PlotHeight, 202.35, 1e-9);
    EXPECT_EQ(FontColor, clNavy);
    EXPECT_EQ(form.windowTitle(), "Sumora Dataset Plot Form");
  });
}

TEST_F(PlotWindowTest, HistogramBarsStandOnTheBottomAndTheModalBarReachesRowEleven) {
  // Four classes of width 6.25 from -3.125 holding 1, 0, 3 and 2 values.
  auto component = Component(6, "CASE WHEN r = 1 THEN 0 WHEN r <= 4 THEN 10 ELSE 20 END", 4);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
    EXPECT_EQ(glLastDrawn, TDrawHistory::Histogram);
    EXPECT_EQ(form.windowTitle(), "Histogram for AMOUNT from VALS");
    ASSERT_EQ(component->GetdsModeClass(), 3u);
    EXPECT_EQ(Pixel(form, 153, 11), clBlack);  // top of the modal bar, class 3 from column 153
    EXPECT_EQ(Pixel(form, 154, 10), clWhite);
    EXPECT_EQ(Pixel(form, 153, H - 1), clBlack);  // bottom outline on the last row
    EXPECT_EQ(Pixel(form, 80, H - 1), clWhite);   // the empty class 2 has no bar at all
    EXPECT_EQ(form.yMaxLabel->text(), "3");
    EXPECT_EQ(form.yMidLabel->text(), "2");
    EXPECT_EQ(form.yMinLabel->text(), "0");
    EXPECT_EQ(form.xMinLabel->text(), "-3.13");
    EXPECT_EQ(form.xMidLabel->text(), "9.38");
    EXPECT_EQ(form.xMaxLabel->text(), "21.88");
    EXPECT_TRUE(form.PlotImage->ShowHint());
  });
}

TEST_F(PlotWindowTest, CountLabelsOnlyBelowAThousandInTheModalClass) {
  for (const int modal : {999, 1000}) {
    // Two classes: one value at 0, `modal` values at 10.
    auto component = Component(modal + 1, "CASE WHEN r = 1 THEN 0 ELSE 10 END", 2);
    Show(*component, [&](TSumoraPlotForm& form) {
      Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
      EXPECT_EQ(component->GetdsModeClass(), static_cast<std::uint32_t>(modal));
      // Bar colours have no blue, so white inside the bars can only be a label's box.
      int white = 0;
      for (int py = 12; py < H - 1; ++py)
        for (int px = W / 2 + 1; px < W - 1; ++px) white += Pixel(form, px, py) == clWhite ? 1 : 0;
      if (modal < 1000) {
        EXPECT_GT(white, 0) << modal;
      } else {
        EXPECT_EQ(white, 0) << modal;
      }
    });
  }
}

TEST_F(PlotWindowTest, ACountLabelThatWouldLeaveThePlotAreaMovesInsideIt) {
  // Classes of 1, 0, 3 and 2 values: the empty class 2 (columns 76 to 153) has its "0" on the bottom
  // edge, where it would be drawn below the last row.
  auto component = Component(6, "CASE WHEN r = 1 THEN 0 WHEN r <= 4 THEN 10 ELSE 20 END", 4);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
    const int textHeight = form.PlotImage->Canvas().TextHeight("0");
    int glyph = 0;
    for (int py = H - textHeight; py < H; ++py)
      for (int px = 78; px < 152; ++px) glyph += Pixel(form, px, py) == clBlack ? 1 : 0;
    EXPECT_GT(glyph, 0);
    // Labels that fit keep their place: the modal class's "3" stays in the middle of its bar.
    const int middleRow = (11 + H) / 2;
    int modalGlyph = 0;
    for (int py = middleRow; py < middleRow + textHeight; ++py)
      for (int px = 191; px < 229; ++px) modalGlyph += Pixel(form, px, py) == clBlack ? 1 : 0;
    EXPECT_GT(modalGlyph, 0);
  });
}

TEST_F(PlotWindowTest, CumulativeHistogramRunsFromZeroToAHundredPercent) {
  auto component = Component(100, "r", 5);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnCumHistogram, form.HistogramPopup, form.PlotHistogram1);
    EXPECT_EQ(glLastDrawn, TDrawHistory::CumulHistogram);
    EXPECT_EQ(form.windowTitle(), "Cumulative % Histogram for AMOUNT from VALS");
    EXPECT_EQ(form.yMinLabel->text(), "0");
    EXPECT_EQ(form.yMidLabel->text(), "50");
    EXPECT_EQ(form.yMaxLabel->text(), "100");
    EXPECT_EQ(Pixel(form, W - 3, 11), clBlack);  // the last bar holds 100 percent
    EXPECT_EQ(Pixel(form, W - 3, 10), clWhite);
    EXPECT_EQ(form.PlotImage->Hint(), "|");
  });
}

TEST_F(PlotWindowTest, NoClassesDrawNoBarsAndLeaveTheXLabelsEmpty) {
  auto component = Component(50, "r", 5);
  component->SetdsFreqClasses(0);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
    EXPECT_EQ(glLastDrawn, TDrawHistory::Histogram);
    EXPECT_EQ(form.windowTitle(), "Histogram for AMOUNT from VALS");
    EXPECT_EQ(form.xMinLabel->text(), "");
    EXPECT_EQ(form.xMidLabel->text(), "");
    EXPECT_EQ(form.xMaxLabel->text(), "");
    EXPECT_EQ(CountColour(form, clWhite), W * H);
  });
}

TEST_F(PlotWindowTest, PolygonVerticesUseTheNarrowerWidthAndTheClosingLineReachesTheCorner) {
  auto component = Component(500, "r % 50", 5);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnFreqPolygon, form.HistogramPopup, form.PlotHistogram1);
    EXPECT_EQ(glLastDrawn, TDrawHistory::Polygon);
    EXPECT_EQ(form.windowTitle(), "Frequency Polygon for AMOUNT from VALS");
    const double xStart = component->GetdsClassStart(1);
    const double xEnd = component->GetdsClassEnd(5);
    for (int classNo = 1; classNo <= 5; ++classNo) {
      const double mid = (component->GetdsClassStart(classNo) + component->GetdsClassEnd(classNo)) * 0.5;
      const int px = static_cast<int>(std::trunc((mid - xStart) * (W * 0.998) / (xEnd - xStart)));
      const int py = H - static_cast<int>(std::trunc(
                             double(component->GetdsClassCount(classNo)) / component->GetdsModeClass() * PlotHeight));
      int dotPixels = 0;
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx) dotPixels += Pixel(form, px + dx, py + dy) == DotColor ? 1 : 0;
      EXPECT_GE(dotPixels, 4) << classNo;
      if (classNo == 5) {
        // The top row of the last dot: exactly where 0.998 of the width puts it, the outgoing line
        // starting on its corner.
        EXPECT_EQ(Pixel(form, px, py), clBlack);
        EXPECT_EQ(Pixel(form, px + 1, py), DotColor);
        EXPECT_EQ(Pixel(form, px + 2, py), DotColor);
        EXPECT_EQ(Pixel(form, px + 3, py), clWhite);
      }
    }
    // The closing line is drawn after the last dot, in black, down to (W, H).
    int black = 0;
    for (int py = 200; py < H; ++py)
      for (int px = 295; px < W; ++px) black += Pixel(form, px, py) == clBlack ? 1 : 0;
    EXPECT_GT(black, 0);
  });
}

TEST_F(PlotWindowTest, OneRecordPerSetPutsEveryVertexAndDotAtTheLeftEdge) {
  auto component = Component(20, "r", 4, 1);
  Show(*component, [&](TSumoraPlotForm& form) {
    EXPECT_EQ(nPlot, 1);
    EXPECT_EQ(PlotWidth, 0.0);
    Choose(form.sbtnFreqPolygon, form.HistogramPopup, form.PlotHistogram1);
    for (int py = 0; py < H; ++py)
      for (int px = 4; px < W - 40; ++px) ASSERT_NE(Pixel(form, px, py), DotColor) << px << "," << py;
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.NextSet1);
    EXPECT_EQ(form.xMinLabel->text(), "2");
    EXPECT_EQ(form.xMaxLabel->text(), "2");
    EXPECT_EQ(Pixel(form, 1, 204), DotColor);  // record 2 of 1..20 at row 213 - Trunc(202.35 / 19)
  });
}

// Values near 1e10 are written "9.795873E+09": wider than the y labels, which then take a smaller size
// instead of showing a cut number; ordinary values keep the designed size.
TEST_F(PlotWindowTest, AxisLabelsOfLargeValuesShrinkToFitInsteadOfBeingCut) {
  for (const char* expression : {"1.2e9 + r * 8.6e7", "r"}) {
    auto component = Component(100, expression, 5);
    Show(*component, [&](TSumoraPlotForm& form) {
      Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
      const bool large = std::string(expression) != "r";
      for (QLabel* label : {form.yMaxLabel, form.yMidLabel, form.yMinLabel, form.xMidLabel, form.xMaxLabel}) {
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->contentsRect().width())
            << label->text().toStdString();
      }
      EXPECT_EQ(form.yMaxLabel->font().pixelSize() < 11, large) << expression;
      EXPECT_EQ(form.yMaxLabel->toolTip(), large ? form.yMaxLabel->text() : QString()) << expression;
      form.ResetPlotEnv();
      EXPECT_EQ(form.yMaxLabel->toolTip(), QString());
      EXPECT_EQ(form.yMaxLabel->font().pixelSize(), 11);
    });
  }
}

TEST_F(PlotWindowTest, EveryRecordOfASetIsDrawnFirstAndLastIncluded) {
  // Twelve records in sets of five: 1-5, 6-10, 11-12, well apart on the plot; the smallest value is
  // record 3.
  auto component = Component(12, "CASE WHEN r = 3 THEN 0 ELSE (r * 37) % 101 END", 5, 5);
  Show(*component, [&](TSumoraPlotForm& form) {
    const auto dotsOfSet = [&] {
      for (int record = glStart; record <= glStop; ++record) {
        // The smallest value's dot hangs below the last row.
        if (component->GetdsValue(record) == xmin) continue;
        const double value = component->GetdsValue(record);
        const int px = glStop == glStart ? 0
                                         : static_cast<int>(std::trunc(double(record - glStart) /
                                                                       (glStop - glStart) * PlotWidth));
        const int py = H - static_cast<int>(std::trunc((value - xmin) * PlotHeight / (xmax - xmin)));
        EXPECT_EQ(Pixel(form, px + 1, py + 1), DotColor) << "record " << record;
        EXPECT_DOUBLE_EQ(SmrPlot::x[record - glStart + 1], value);
      }
    };
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    EXPECT_EQ(form.windowTitle(), "Plot of AMOUNT from VALS by Dataset Order");
    dotsOfSet();
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.NextSet1);
    EXPECT_EQ(glStart, 6);
    dotsOfSet();
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.NextSet1);
    EXPECT_EQ(glStart, 11);
    EXPECT_EQ(glStop, 12);
    dotsOfSet();
  });
}

TEST_F(PlotWindowTest, PagingWalksWholeSetsWithHintsNamingTheNextMove) {
  auto component = Component(1200, "r", 10, 500);
  Show(*component, [&](TSumoraPlotForm& form) {
    const auto popup = [&] {
      form.sbtnInputOrder->click();
      form.ScatterPopup->hide();
    };
    const auto loaded = [&](int first, int last) {
      EXPECT_EQ(glStart, first);
      EXPECT_EQ(glStop, last);
      EXPECT_DOUBLE_EQ(SmrPlot::x[1], first);
      EXPECT_DOUBLE_EQ(SmrPlot::x[last - first + 1], last);
      EXPECT_EQ(form.xMinLabel->text(), QString::number(first));
      EXPECT_EQ(form.xMaxLabel->text(), QString::number(last));
    };
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    loaded(1, 500);
    popup();
    EXPECT_EQ(form.FirstSet1->statusTip(), "Plot first 500 records.");
    EXPECT_FALSE(form.PrevSet1->isEnabled());
    EXPECT_EQ(form.PrevSet1->statusTip(), "No prior record set.");
    EXPECT_TRUE(form.NextSet1->isEnabled());
    EXPECT_EQ(form.NextSet1->statusTip(), "Plot records 501 to 1000.");

    Choose(form.sbtnInputOrder, form.ScatterPopup, form.NextSet1);
    loaded(501, 1000);
    popup();
    EXPECT_EQ(form.PrevSet1->statusTip(), "Plot records 1 to 500.");
    EXPECT_EQ(form.NextSet1->statusTip(), "Plot records 1001 to 1200.");

    Choose(form.sbtnInputOrder, form.ScatterPopup, form.NextSet1);
    loaded(1001, 1200);
    popup();
    EXPECT_FALSE(form.NextSet1->isEnabled());
    EXPECT_EQ(form.NextSet1->statusTip(), "All records have been plotted.");
    EXPECT_EQ(form.PrevSet1->statusTip(), "Plot records 501 to 1000.");

    // A refused move changes nothing and disables its item.
    form.NextSet1->setEnabled(true);
    form.NextSet1Click();
    loaded(1001, 1200);
    EXPECT_FALSE(form.NextSet1->isEnabled());

    Choose(form.sbtnInputOrder, form.ScatterPopup, form.PrevSet1);
    loaded(501, 1000);
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.PrevSet1);
    loaded(1, 500);
    EXPECT_FALSE(form.PrevSet1->isEnabled());
  });
}

TEST_F(PlotWindowTest, NextSetHintSaysWhyThereIsNoFurtherSet) {
  auto single = Component(40, "r", 10, 40);
  Show(*single, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    form.sbtnInputOrder->click();
    form.ScatterPopup->hide();
    EXPECT_FALSE(form.NextSet1->isEnabled());
    EXPECT_EQ(form.NextSet1->statusTip(), "Only one set of records.");
  });
  auto large = Component(10300, "r", 10, 5000);
  Show(*large, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.NextSet1);
    EXPECT_EQ(glStop, 10000);
    form.sbtnInputOrder->click();
    form.ScatterPopup->hide();
    EXPECT_FALSE(form.NextSet1->isEnabled());
    EXPECT_EQ(form.NextSet1->statusTip(), "Cannot plot records above 10000.");
  });
  // No read ran past the value store.
  for (const auto& message : host_.messages) EXPECT_EQ(message.text.find("not stored"), std::string::npos) << message.text;
}

TEST_F(PlotWindowTest, ConstantValuesSitOnTheMiddleRowAndBottomWithoutDividingByZero) {
  auto component = Component(30, "5", 5, 30, /*allowFailedSummary=*/true);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
    EXPECT_EQ(CountColour(form, clWhite), W * H);  // classes of no width, counts 0
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    const int middle = H - static_cast<int>(std::trunc(0.5 * PlotHeight));
    EXPECT_EQ(Pixel(form, 1, middle + 1), DotColor);
    EXPECT_EQ(Pixel(form, static_cast<int>(PlotWidth) + 1, middle + 1), DotColor);
  });
}

TEST_F(PlotWindowTest, AComponentWithoutTwoValuesBindsNothingAndDrawsNothing) {
  auto component = Component(1, "7", 5);
  Show(*component, [&](TSumoraPlotForm& form) {
    EXPECT_EQ(nPlot, 0);
    EXPECT_EQ(WidthScale, 0.0);
    Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
    Choose(form.sbtnFreqPolygon, form.HistogramPopup, form.PlotHistogram1);
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    EXPECT_EQ(CountColour(form, clWhite), W * H);
    EXPECT_EQ(glLastDrawn, TDrawHistory::InputOrder);
  });
}

TEST_F(PlotWindowTest, ColoursOutliveTheShowingWhileActivationClearsThePicture) {
  auto component = Component(100, "r", 5);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnColor, form.ColorPopup, form.Teal1);
    EXPECT_EQ(CountColour(form, clTeal), W * H);  // nothing drawn: only the background changes
    Choose(form.sbtnColor, form.ColorPopup, form.mnuGreen);
    Choose(form.sbtnFreqPolygon, form.HistogramPopup, form.PlotHistogram1);
    EXPECT_GT(CountColour(form, clGreen), 0);
  });
  Show(*component, [&](TSumoraPlotForm& form) {
    EXPECT_EQ(form.windowTitle(), "Sumora Dataset Plot Form");
    EXPECT_EQ(form.yMaxLabel->text(), "");
    EXPECT_EQ(glLastDrawn, TDrawHistory::None);
    EXPECT_EQ(CountColour(form, clTeal), W * H);
    EXPECT_EQ(DotColor, clGreen);
    EXPECT_EQ(glCurrentPlot, TDrawHistory::Polygon);
    EXPECT_FALSE(form.NextSet1->isEnabled());
    EXPECT_FALSE(form.PrevSet1->isEnabled());
    // A dot colour chosen while a set is shown redraws it and recolours the Color caption.
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    Choose(form.sbtnColor, form.ColorPopup, form.mnuBlue);
    EXPECT_EQ(glLastDrawn, TDrawHistory::InputOrder);
    EXPECT_GT(CountColour(form, clNavy), 0);
    EXPECT_EQ(CountColour(form, clGreen), 0);
    EXPECT_EQ(form.sbtnColor->palette().color(QPalette::ButtonText), ToQColor(clNavy));
  });
}

TEST_F(PlotWindowTest, ClassCountItemSummarizesChecksItselfAndDrawsTheChosenKind) {
  auto component = Component(200, "r", 10);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnFreqPolygon, form.HistogramPopup, form.N151);
    EXPECT_EQ(component->FreqClasses(), 15);
    EXPECT_NEAR(component->GetdsClassEnd(15) - component->GetdsClassStart(1), 199.0 * 16 / 15, 1e-9);
    EXPECT_EQ(glLastDrawn, TDrawHistory::Polygon);
    for (QAction* item : {form.N51, form.N101, form.N151, form.N201, form.N251, form.N351, form.N501})
      EXPECT_EQ(item->isChecked(), item == form.N151) << item->text().toStdString();
    Choose(form.sbtnCumHistogram, form.HistogramPopup, form.PlotHistogram1);
    EXPECT_EQ(glLastDrawn, TDrawHistory::CumulHistogram);
    EXPECT_EQ(component->FreqClasses(), 15);
  });
}

TEST_F(PlotWindowTest, ClassHintsNameTheClassUnderTheMouseAndAskForAClickFarAway) {
  // Four classes of width 5 from 0: class 3 runs from 10 to 15 and holds 17 values.
  auto component = Component(19, "CASE WHEN r = 1 THEN 2.5 WHEN r = 2 THEN 18.5 ELSE 12.5 END", 4);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
    ASSERT_DOUBLE_EQ(component->GetdsClassStart(3), 10.0);
    ASSERT_EQ(component->GetdsClassCount(3), 17u);
    const int inside = 190;  // class 3 covers columns 153 to 229
    QTest::mousePress(form.PlotImage, Qt::LeftButton, {}, QPoint(inside, 100));
    EXPECT_EQ(lastX, inside);
    QTest::mouseMove(form.PlotImage, QPoint(inside + 1, 100));
    EXPECT_EQ(form.PlotImage->Hint(),
              "Class 3 midpoint is 12.50|This is class 3. Class frequency is 17. Class 3 midpoint is 12.50");
    EXPECT_EQ(form.PlotImage->toolTip(), "Class 3 midpoint is 12.50");
    EXPECT_EQ(form.StatusBar->text(), "This is class 3. Class frequency is 17. Class 3 midpoint is 12.50");
    QTest::mouseMove(form.PlotImage, QPoint(W - 10, 100));
    EXPECT_EQ(form.PlotImage->Hint(),
              "Class 4 midpoint is 17.50|This is class 4. Class frequency is 1. Click mouse to update class data.");
    // The cumulative histogram shows no class hints.
    Choose(form.sbtnCumHistogram, form.HistogramPopup, form.PlotHistogram1);
    QTest::mouseMove(form.PlotImage, QPoint(inside, 90));
    EXPECT_EQ(form.PlotImage->Hint(), "|");
    EXPECT_EQ(form.StatusBar->text(), "");
  });
}

TEST_F(PlotWindowTest, StatusBarShowsTheLongHintOfWhatIsUnderTheMouseOrHighlighted) {
  auto component = Component(50, "r", 5);
  Show(*component, [&](TSumoraPlotForm& form) {
    form.sbtnColor->click();
    EXPECT_EQ(form.StatusBar->text(), "Set color of plot scatter dots");
    form.Plots1->popup(form.PopupPoint(form.sbtnColor));
    form.Plots1->setActiveAction(form.mnuMaroon);
    EXPECT_EQ(form.StatusBar->text(), "Set plot scatter dots to maroon");
    form.Plots1->hide();
    form.Background1->popup(form.PopupPoint(form.sbtnColor));
    EXPECT_EQ(form.StatusBar->text(), "Set color of plot background");
    form.Background1->hide();
    form.ColorPopup->hide();

    form.sbtnHistogram->click();
    EXPECT_EQ(form.StatusBar->text(), "Change the number of freqency classes for the histogram");
    form.HistogramPopup->setActiveAction(form.PlotHistogram1);
    EXPECT_EQ(form.StatusBar->text(), "Plot the histogram (polygon) with current frequency class count");
    form.HistogramPopup->hide();

    // Buttons have tooltips but no long hint.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(form.sbtnClose, &enter);
    EXPECT_EQ(form.sbtnClose->toolTip(), "Close Plot Form");
    EXPECT_EQ(form.StatusBar->text(), "");

    form.sbtnInputOrder->click();
    form.ScatterPopup->setActiveAction(form.FirstSet1);
    EXPECT_EQ(form.StatusBar->text(), "Plot first 50 records.");
    form.ScatterPopup->hide();
  });
}

TEST_F(PlotWindowTest, ClearButtonEmptiesThePicture) {
  auto component = Component(50, "r", 5);
  Show(*component, [&](TSumoraPlotForm& form) {
    Choose(form.sbtnHistogram, form.HistogramPopup, form.PlotHistogram1);
    form.sbtnReset->click();
    EXPECT_EQ(glLastDrawn, TDrawHistory::None);
    EXPECT_EQ(form.windowTitle(), "Sumora Dataset Plot Form");
    EXPECT_EQ(form.xMaxLabel->text(), "");
    EXPECT_EQ(CountColour(form, CanvasColor), W * H);
  });
}

}  // namespace
}  // namespace sumora

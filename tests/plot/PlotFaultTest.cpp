// The plot window's class-count command over a data source that fails while the command summarizes:
// the error is shown in an error box, the window stays up with the picture it had, nothing of the pass
// is left behind, and the command works again once the source does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "dataset/MemorySource.h"
#include "plot/PlotImage.h"
#include "plot/SmrPlot.h"
#include "tests/support/FaultySource.h"
#include "tests/support/ScriptedHost.h"
#include "windows/ModalRunner.h"

namespace sumora {
namespace {

using namespace SmrPlot;

std::vector<std::optional<double>> Values() {
  std::vector<std::optional<double>> values;
  for (int r = 1; r <= 200; ++r) values.push_back(r % 37);
  return values;
}

TEST(PlotFaultTest, AClassCountCommandWhoseSummarizeFailsLeavesTheWindowUsable) {
  test::ScriptedHost host;
  test::FaultyDatabase database("plot-faulty", MemoryTable::SingleColumn("AMOUNT", Values()));
  TSumoraTable component;
  component.SetDatabaseName(database.DatabaseName());
  component.SetTableName("VALS");
  component.SetStatFieldName("AMOUNT");
  component.SetShowCalcProgress(TBoolPlus::Always);
  component.SetdsFreqClasses(10);
  component.Open();
  component.Summarize();

  TSumoraPlotForm plot;
  bool stillVisible = false;
  ScopedModalRunner runner([&](QDialog& dialog) {
    auto& form = dynamic_cast<TSumoraPlotForm&>(dialog);
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.sbtnHistogram->click();
    form.PlotHistogram1->trigger();
    form.HistogramPopup->hide();
    const QImage drawn = form.PlotImage->Canvas().Image();

    database.faults().failAfterRecords = 50;
    form.N251->trigger();
    form.HistogramPopup->hide();
    stillVisible = form.isVisible();
    EXPECT_EQ(host.messages.size(), 1u);
    if (!host.messages.empty()) {
      EXPECT_EQ(host.messages[0].text, "Simulated read failure after record 50");
      EXPECT_EQ(host.messages[0].type, TMsgDlgType::mtError);
      EXPECT_EQ(host.messages[0].buttons, TMsgDlgButtons::mbOK);
    }
    EXPECT_EQ(form.PlotImage->Canvas().Image(), drawn);
    // The count was set before the summary failed; the item Qt checked on the click names it.
    EXPECT_EQ(component.FreqClasses(), 25);
    EXPECT_TRUE(form.N251->isChecked());
    EXPECT_FALSE(component.ControlsDisabled());
    EXPECT_EQ(host.DialogsLive(), 0);
    EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
    EXPECT_FALSE(component.dsLoadedFlag());

    database.faults().failAfterRecords = 0;
    form.N251->trigger();  // a second click on a checked item unchecks it; CheckItem checks it again
    form.HistogramPopup->hide();
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(form.N251->isChecked());
    EXPECT_TRUE(component.dsLoadedFlag());
    EXPECT_EQ(component.FreqClasses(), 25);
    EXPECT_EQ(component.GetdsClassCount(26), 200u);
    EXPECT_EQ(glLastDrawn, TDrawHistory::Histogram);
    form.sbtnClose->click();
    return int{QDialog::Accepted};
  });
  plot.Plot(component);
  EXPECT_TRUE(stillVisible);
}

}  // namespace
}  // namespace sumora

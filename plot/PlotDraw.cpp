// The four pictures of the plot window and the class hints of the plot area.
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/SmrEngine.h"
#include "host/Random.h"
#include "host/SysUtils.h"
#include "plot/PlotImage.h"
#include "plot/SmrPlot.h"
#include "toolkit/SmrTools.h"
#include "windows/FormLook.h"

namespace sumora {

using namespace SmrPlot;

namespace {

std::optional<std::uint32_t>& BarColorSeed() {
  static std::optional<std::uint32_t> seed;
  return seed;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString Field() { return glDataset == nullptr ? QString() : Text(glDataset->StatFieldName()); }

int Trunc(long double value) { return static_cast<int>(std::trunc(value)); }

}  // namespace

void TSumoraPlotForm::FixBarColors(std::optional<std::uint32_t> seed) { BarColorSeed() = seed; }

void TSumoraPlotForm::ReseedBarColors() {
  if (BarColorSeed()) {
    SetRandSeed(*BarColorSeed());
  } else {
    Randomize();
  }
}

void TSumoraPlotForm::ClearClassAxisWithoutClasses(int classes) {
  if (classes > 0) return;
  xMaxLabel->clear();
  SetAutoLabelText(xMinLabel, QString());
  xMidLabel->clear();
}

void TSumoraPlotForm::PlotHistogram() { DrawBars(false); }

void TSumoraPlotForm::PlotCumHistogram() { DrawBars(true); }

void TSumoraPlotForm::DrawBars(bool cumulative) {
  ResetPlotEnv();
  if (glDataset == nullptr) return;
  ReseedBarColors();
  TSumoraStats& stats = *glDataset;
  const int classes = stats.FreqClasses();
  const std::uint32_t modeClass = stats.GetdsModeClass();
  SetAxes(2, 0, stats.GetdsClassStart(1), stats.GetdsClassEnd(classes), 0.0,
          cumulative ? 100.0 : static_cast<double>(modeClass));
  ClearClassAxisWithoutClasses(classes);
  setWindowTitle((cumulative ? QStringLiteral("Cumulative % Histogram for ") : QStringLiteral("Histogram for ")) +
                 Field() + QStringLiteral(" from ") + SourceName());

  TPlotCanvas& canvas = PlotImage->Canvas();
  const int drawnClasses = n > 0 ? classes : 0;  // an unloaded component draws nothing
  for (int classNo = 1; classNo <= drawnClasses; ++classNo) {
    const double xStart = stats.GetdsClassStart(1);
    const double xEnd = stats.GetdsClassEnd(classes);
    const int left = ClassPixel(stats.GetdsClassStart(classNo), xStart, xEnd);
    const int right = ClassPixel(stats.GetdsClassEnd(classNo), xStart, xEnd);
    const int bottom = RowOf(0);
    long double fraction = 0;
    if (cumulative) {
      fraction = static_cast<long double>(stats.GetdsClassCumPercent(classNo)) * 0.01L;
    } else if (modeClass > 0) {
      fraction = static_cast<long double>(stats.GetdsClassCount(classNo)) / modeClass;
    }
    const int top = RowOf(fraction);
    canvas.PenColor = clBlack;
    canvas.FontColor = clBlack;
    canvas.FontSize = 7;
    canvas.BrushColor = static_cast<TColor>(Random(65535));
    canvas.Rectangle(left, top, right, bottom);
    canvas.BrushColor = clWhite;
    // Classes without width (all values equal) have no bar to label.
    if (!cumulative && modeClass < 1000 && right > left) {
      // A label in the middle of its bar, moved only as far as it takes to stay inside the plot area
      // (a narrow bar at the right edge, an empty class on the bottom line).
      const std::string count = IntToStr(stats.GetdsClassCount(classNo));
      const int xLimit = std::max(0, canvas.Width() - canvas.TextWidth(count));
      const int yLimit = std::max(0, canvas.Height() - canvas.TextHeight(count));
      const int x = std::clamp(Trunc((left + right) * 0.5L), 0, xLimit);
      const int y = std::clamp(Trunc((bottom + top) * 0.5L), 0, yLimit);
      canvas.TextOut(x, y, count);
    }
  }
  PlotImage->Refresh();
  PlotImage->SetShowHint(true);
  glLastDrawn = cumulative ? TDrawHistory::CumulHistogram : TDrawHistory::Histogram;
}

void TSumoraPlotForm::PlotFreqPolygon() {
  ResetPlotEnv();
  if (glDataset == nullptr) return;
  TSumoraStats& stats = *glDataset;
  const int classes = stats.FreqClasses();
  const double xStart = stats.GetdsClassStart(1);
  const double xEnd = stats.GetdsClassEnd(classes);
  const std::uint32_t modeClass = stats.GetdsModeClass();
  SetAxes(2, 0, xStart, xEnd, 0.0, static_cast<double>(modeClass));
  ClearClassAxisWithoutClasses(classes);
  setWindowTitle(QStringLiteral("Frequency Polygon for ") + Field() + QStringLiteral(" from ") + SourceName());

  TPlotCanvas& canvas = PlotImage->Canvas();
  const int width = PlotImage->width();
  const int height = PlotImage->height();
  canvas.MoveTo(0, height);
  const int drawnClasses = n > 0 ? classes : 0;
  for (int classNo = 1; classNo <= drawnClasses; ++classNo) {
    const long double mid =
        (static_cast<long double>(stats.GetdsClassStart(classNo)) + stats.GetdsClassEnd(classNo)) * 0.5L;
    const int px = xEnd == xStart ? 0 : Trunc(((mid - xStart) * PlotWidth) / (static_cast<long double>(xEnd) - xStart));
    const long double fraction =
        modeClass > 0 ? static_cast<long double>(stats.GetdsClassCount(classNo)) / modeClass : 0.0L;
    const int py = RowOf(fraction);
    canvas.BrushColor = DotColor;
    canvas.PenColor = clBlack;
    canvas.LineTo(px, py);
    DrawDots(px, py, 4, CanvasColor);
  }
  canvas.LineTo(width, height);
  PlotImage->Refresh();
  PlotImage->SetShowHint(true);
  glLastDrawn = TDrawHistory::Polygon;
}

bool TSumoraPlotForm::NextPlotSet(TPlotValues& dest, int deltaStart) {
  const std::int32_t stored = imin(n, MaxPlotValues);
  const std::int32_t start = glStart + deltaStart;
  if (glDataset == nullptr || nPlot == 0 || start < 1 || start > stored) return false;
  glStart = start;
  glStop = imin(stored, start + nPlot - 1);
  for (std::int32_t slot = 1; slot <= glStop - glStart + 1; ++slot) dest[slot] = glDataset->GetdsValue(glStart + slot - 1);
  setLoaded_ = true;
  return true;
}

void TSumoraPlotForm::PlotNextSet() {
  ResetPlotEnv();
  if (glDataset == nullptr) return;
  SetAxes(0, 2, glStart, glStop, xmin, xmax);
  setWindowTitle(QStringLiteral("Plot of ") + Field() + QStringLiteral(" from ") + SourceName() +
                 QStringLiteral(" by Dataset Order"));
  if (setLoaded_) {
    const long double span = static_cast<long double>(glStop) - glStart;
    for (std::int32_t record = glStart; record <= glStop; ++record) {
      const int px = span == 0 ? 0 : Trunc(((record - glStart) / span) * PlotWidth);
      // Constant values have no vertical range: their dots sit on the middle row.
      const int py = xmax == xmin ? RowOf(0.5L)
                                  : PlotImage->height() -
                                        Trunc(((static_cast<long double>(SmrPlot::x[record - glStart + 1]) - xmin) *
                                               PlotHeight) /
                                              (static_cast<long double>(xmax) - xmin));
      DrawDots(px, py, 4, CanvasColor);
    }
  }
  PlotImage->Refresh();
  PlotImage->SetShowHint(false);
  glLastDrawn = TDrawHistory::InputOrder;
}

void TSumoraPlotForm::PlotImageMouseDown(int mouseX, int) { lastX = mouseX; }

void TSumoraPlotForm::PlotImageMouseMove(int mouseX, int) {
  if (glDataset == nullptr) return;
  TSumoraStats& stats = *glDataset;
  const int classes = stats.FreqClasses();
  const double xStart = stats.GetdsClassStart(1);
  const double xEnd = stats.GetdsClassEnd(classes);
  const long double width = PlotImage->width();
  const long double classWidth =
      xEnd == xStart ? 0.0L
                     : ((static_cast<long double>(stats.GetdsClassEnd(1)) - stats.GetdsClassStart(1)) * width) /
                           (static_cast<long double>(xEnd) - xStart);
  for (int classNo = 1; classNo <= classes; ++classNo) {
    const int left = ClassPixel(stats.GetdsClassStart(classNo), xStart, xEnd);
    const int right = ClassPixel(stats.GetdsClassEnd(classNo), xStart, xEnd);
    if (mouseX < left || mouseX > right) continue;
    if (glLastDrawn != TDrawHistory::Histogram && glLastDrawn != TDrawHistory::Polygon) {
      PlotImage->SetHint(QStringLiteral("|"));
      continue;
    }
    const double mid = (stats.GetdsClassStart(classNo) + stats.GetdsClassEnd(classNo)) * 0.5;
    const QString midText = Text(FloatToStrF(mid, TFloatFormat::ffFixed, 8, 2));
    const QString number = Text(IntToStr(classNo));
    QString hint = QStringLiteral("Class ") + number + QStringLiteral(" midpoint is ") + midText +
                   QStringLiteral("|This is class ") + number + QStringLiteral(". Class frequency is ") +
                   Text(IntToStr(stats.GetdsClassCount(classNo))) + QStringLiteral(".");
    if (std::fabs(static_cast<long double>(mouseX) - lastX) > classWidth) {
      hint += QStringLiteral(" Click mouse to update class data.");
    } else {
      hint += QStringLiteral(" Class ") + number + QStringLiteral(" midpoint is ") + midText;
    }
    PlotImage->SetHint(hint);
  }
  // The plot area is under the mouse, so its hint is the window's hint.
  SetHint(PlotImage->Hint());
}

}  // namespace sumora

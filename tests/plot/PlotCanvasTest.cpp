// The canvas primitives keep the old platform's pixel rules, on which every plot position depends.
#include "plot/PlotCanvas.h"

#include <gtest/gtest.h>

#include <QColor>

namespace sumora {
namespace {

int CountPixels(const TPlotCanvas& canvas, TColor color) {
  int count = 0;
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) count += canvas.Pixel(x, y) == color ? 1 : 0;
  return count;
}

TEST(PlotCanvasTest, ColoursAreBlueGreenRedWithRedInTheLowByte) {
  EXPECT_EQ(ToQColor(clMaroon), QColor(0x80, 0, 0));
  EXPECT_EQ(ToQColor(clNavy), QColor(0, 0, 0x80));
  EXPECT_EQ(ToQColor(clAqua), QColor(0, 0xFF, 0xFF));
  EXPECT_EQ(ToQColor(clTeal), QColor(0, 0x80, 0x80));
  EXPECT_EQ(FromQRgb(QColor(0x12, 0x34, 0x56).rgb()), 0x563412u);
}

TEST(PlotCanvasTest, LineLeavesOutItsEndPointAndMovesThePen) {
  TPlotCanvas canvas(20, 20);
  canvas.PenColor = clBlack;
  canvas.MoveTo(2, 5);
  canvas.LineTo(7, 5);
  for (int x = 2; x < 7; ++x) EXPECT_EQ(canvas.Pixel(x, 5), clBlack) << x;
  EXPECT_EQ(canvas.Pixel(7, 5), clWhite);
  EXPECT_EQ(canvas.PenX(), 7);
  // The next segment starts on the point the first one left out.
  canvas.LineTo(7, 9);
  EXPECT_EQ(canvas.Pixel(7, 5), clBlack);
  EXPECT_EQ(canvas.Pixel(7, 9), clWhite);
}

TEST(PlotCanvasTest, DiagonalLineFollowsBresenham) {
  TPlotCanvas canvas(20, 20);
  canvas.MoveTo(0, 0);
  canvas.LineTo(6, 3);
  // One pixel per column, the row stepping at the halfway points.
  const int rows[] = {0, 0, 1, 1, 2, 2};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(canvas.Pixel(x, rows[x]), clBlack) << x;
  EXPECT_EQ(CountPixels(canvas, clBlack), 6);
}

TEST(PlotCanvasTest, RectangleLeavesOutRightColumnAndBottomRow) {
  TPlotCanvas canvas(20, 20);
  canvas.PenColor = clBlack;
  canvas.BrushColor = clYellow;
  canvas.Rectangle(2, 3, 8, 10);
  EXPECT_EQ(canvas.Pixel(2, 3), clBlack);
  EXPECT_EQ(canvas.Pixel(7, 9), clBlack);
  EXPECT_EQ(canvas.Pixel(8, 5), clWhite);
  EXPECT_EQ(canvas.Pixel(5, 10), clWhite);
  EXPECT_EQ(canvas.Pixel(4, 6), clYellow);
  EXPECT_EQ(CountPixels(canvas, clYellow), 4 * 5);
  // An empty rectangle (a bar of no height) draws nothing.
  canvas.Rectangle(10, 15, 14, 15);
  EXPECT_EQ(CountPixels(canvas, clBlack), 2 * 6 + 2 * 5);
}

TEST(PlotCanvasTest, DotOccupiesItsFourPixelBoxAndFillsFromItsMiddle) {
  TPlotCanvas canvas(30, 30);
  canvas.PenColor = clBlack;
  canvas.BrushColor = clMaroon;
  canvas.Ellipse(10, 20, 14, 24);
  canvas.FloodFill(12, 22, clWhite);
  // A round 4 x 4 dot: corners stay background, everything else takes the brush, outline included.
  for (int y = 20; y < 24; ++y) {
    for (int x = 10; x < 14; ++x) {
      const bool corner = (x == 10 || x == 13) && (y == 20 || y == 23);
      EXPECT_EQ(canvas.Pixel(x, y), corner ? clWhite : clMaroon) << x << "," << y;
    }
  }
  EXPECT_EQ(CountPixels(canvas, clMaroon), 12);
}

TEST(PlotCanvasTest, BorderFillRecoloursEverythingTouchingThatIsNotBackground) {
  TPlotCanvas canvas(40, 20);
  canvas.MoveTo(0, 10);
  canvas.LineTo(20, 10);  // black line reaching the dot
  canvas.MoveTo(30, 2);
  canvas.LineTo(35, 2);  // separate line, not touched
  canvas.BrushColor = clGreen;
  canvas.Ellipse(20, 9, 24, 13);
  canvas.FloodFill(22, 11, clWhite);
  EXPECT_EQ(canvas.Pixel(0, 10), clGreen);
  EXPECT_EQ(canvas.Pixel(19, 10), clGreen);
  EXPECT_EQ(canvas.Pixel(30, 2), clBlack);
  // Starting on the border colour fills nothing.
  canvas.FloodFill(5, 5, clWhite);
  EXPECT_EQ(canvas.Pixel(5, 5), clWhite);
}

TEST(PlotCanvasTest, FillOfTheWholeAreaNeedsNoRecursion) {
  TPlotCanvas canvas(306, 213);
  canvas.BrushColor = clTeal;
  canvas.FloodFill(100, 100, clBlack);
  EXPECT_EQ(CountPixels(canvas, clTeal), 306 * 213);
}

TEST(PlotCanvasTest, TextSitsOnABoxOfTheBrushColourAtItsTopLeftCorner) {
  TPlotCanvas canvas(60, 30);
  canvas.BrushColor = clYellow;
  canvas.FontColor = clBlack;
  canvas.FontSize = 7;
  canvas.TextOut(5, 4, "999");
  EXPECT_EQ(canvas.Pixel(5, 4), clYellow);
  EXPECT_EQ(canvas.Pixel(4, 4), clWhite);
  EXPECT_EQ(canvas.Pixel(5, 3), clWhite);
  EXPECT_GT(CountPixels(canvas, clBlack), 0);
  EXPECT_GT(canvas.TextWidth("999"), canvas.TextWidth("9"));
}

}  // namespace
}  // namespace sumora

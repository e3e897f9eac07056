// The plot area's drawing surface: a QImage with a pen, a brush and a font, drawn with the pixel rules
// of the old platform's canvas so that every pixel position of the plots is exact. Lines leave out
// their end point and follow Bresenham; rectangles and ellipses lie inside (l, t)-(r, b) without the
// right column and the bottom row; the flood fill works in border mode. Points outside the image are
// clipped pixel by pixel, so shapes may hang over the edges.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>

class QColor;

namespace sumora {

// A colour as $00BBGGRR: red in the low byte, blue in the third.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGray = 0x808080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGreen = 0x008000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clTeal = 0x808000;

QColor ToQColor(TColor color);
TColor FromQRgb(unsigned int rgb);

class TPlotCanvas {
 public:
  TPlotCanvas(int width, int height);

  const QImage& Image() const { return image_; }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  // The colour of one pixel; clWhite... as $00BBGGRR. Points outside give 0xFFFFFFFF.
  std::uint32_t Pixel(int x, int y) const;

  TColor PenColor = clBlack;
  TColor BrushColor = clWhite;
  TColor FontColor = clBlack;
  std::string FontName = "Arial";
  int FontSize = 8;  // points, at 96 pixels per inch

  int PenX() const { return penX_; }
  int PenY() const { return penY_; }
  void MoveTo(int x, int y);
  // Draws from the pen position to (x, y) without (x, y) itself; the pen then stands at (x, y).
  void LineTo(int x, int y);
  // Pen outline on the border of (l, t)-(r - 1, b - 1), brush inside; nothing when empty.
  void Rectangle(int left, int top, int right, int bottom);
  // The ellipse inscribed in (l, t)-(r - 1, b - 1): pen outline, brush inside.
  void Ellipse(int left, int top, int right, int bottom);
  // Fills (l, t)-(r - 1, b - 1) with the brush.
  void FillRect(int left, int top, int right, int bottom);
  // Border mode: every pixel 4-connected to (x, y) that is not of `borderColor` takes the brush
  // colour. Nothing happens when the start pixel is of the border colour or outside the image.
  void FloodFill(int x, int y, TColor borderColor);
  // Writes `text` with its top-left corner at (x, y) in the font colour on a box of the brush colour.
  void TextOut(int x, int y, const std::string& text);
  // Pixel size of `text` in the current font.
  int TextWidth(const std::string& text) const;
  int TextHeight(const std::string& text) const;

 private:
  void SetPixel(int x, int y, TColor color);
  QImage image_;
  int penX_ = 0;
  int penY_ = 0;
};

}  // namespace sumora

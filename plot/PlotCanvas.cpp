#include "plot/PlotCanvas.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace sumora {

QColor ToQColor(TColor color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

TColor FromQRgb(unsigned int rgb) {
  return static_cast<TColor>(qRed(rgb)) | (static_cast<TColor>(qGreen(rgb)) << 8) |
         (static_cast<TColor>(qBlue(rgb)) << 16);
}

namespace {

QFont CanvasFont(const std::string& name, int points) {
  QFont font(QString::fromStdString(name));
  font.setPointSize(std::max(1, points));
  // Colour-exact pixels: the flood fill and the tests compare colours exactly.
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

void Normalize(int& low, int& high) {
  if (low > high) std::swap(low, high);
}

}  // namespace

TPlotCanvas::TPlotCanvas(int width, int height) : image_(width, height, QImage::Format_RGB32) {
  image_.fill(ToQColor(clWhite));
}

std::uint32_t TPlotCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0xFFFFFFFFu;
  return FromQRgb(image_.pixel(x, y));
}

void TPlotCanvas::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  image_.setPixel(x, y, ToQColor(color).rgb());
}

void TPlotCanvas::MoveTo(int x, int y) {
  penX_ = x;
  penY_ = y;
}

void TPlotCanvas::LineTo(int x, int y) {
  // Bresenham along the major axis; one pixel per major step, the end point left out. A tie in the
  // error keeps the minor coordinate.
  int cx = penX_;
  int cy = penY_;
  const int dx = std::abs(x - cx);
  const int dy = std::abs(y - cy);
  const int sx = cx < x ? 1 : -1;
  const int sy = cy < y ? 1 : -1;
  if (dx >= dy) {
    int error = 2 * dy - dx;
    for (int step = 0; step < dx; ++step) {
      SetPixel(cx, cy, PenColor);
      if (error > 0) {
        cy += sy;
        error -= 2 * dx;
      }
      error += 2 * dy;
      cx += sx;
    }
  } else {
    int error = 2 * dx - dy;
    for (int step = 0; step < dy; ++step) {
      SetPixel(cx, cy, PenColor);
      if (error > 0) {
        cx += sx;
        error -= 2 * dy;
      }
      error += 2 * dx;
      cy += sy;
    }
  }
  MoveTo(x, y);
}

void TPlotCanvas::Rectangle(int left, int top, int right, int bottom) {
  Normalize(left, right);
  Normalize(top, bottom);
  if (right <= left || bottom <= top) return;
  FillRect(left, top, right, bottom);
  for (int px = left; px < right; ++px) {
    SetPixel(px, top, PenColor);
    SetPixel(px, bottom - 1, PenColor);
  }
  for (int py = top; py < bottom; ++py) {
    SetPixel(left, py, PenColor);
    SetPixel(right - 1, py, PenColor);
  }
}

void TPlotCanvas::Ellipse(int left, int top, int right, int bottom) {
  Normalize(left, right);
  Normalize(top, bottom);
  if (right <= left || bottom <= top) return;
  const double cx = (left + right - 1) * 0.5;
  const double cy = (top + bottom - 1) * 0.5;
  const double rx = (right - left) * 0.5;
  const double ry = (bottom - top) * 0.5;
  const auto inside = [&](int px, int py) {
    if (px < left || px >= right || py < top || py >= bottom) return false;
    const double u = (px - cx) / rx;
    const double v = (py - cy) / ry;
    return u * u + v * v <= 1.0 + 1e-9;
  };
  for (int py = top; py < bottom; ++py) {
    for (int px = left; px < right; ++px) {
      if (!inside(px, py)) continue;
      const bool edge = !inside(px - 1, py) || !inside(px + 1, py) || !inside(px, py - 1) || !inside(px, py + 1);
      SetPixel(px, py, edge ? PenColor : BrushColor);
    }
  }
}

void TPlotCanvas::FillRect(int left, int top, int right, int bottom) {
  Normalize(left, right);
  Normalize(top, bottom);
  for (int py = std::max(0, top); py < std::min(bottom, Height()); ++py)
    for (int px = std::max(0, left); px < std::min(right, Width()); ++px) SetPixel(px, py, BrushColor);
}

void TPlotCanvas::FloodFill(int x, int y, TColor borderColor) {
  if (Pixel(x, y) == 0xFFFFFFFFu || Pixel(x, y) == borderColor) return;
  const int width = Width();
  std::vector<char> seen(static_cast<std::size_t>(width) * Height(), 0);
  std::vector<std::pair<int, int>> pending{{x, y}};
  seen[static_cast<std::size_t>(y) * width + x] = 1;
  while (!pending.empty()) {
    const auto [px, py] = pending.back();
    pending.pop_back();
    SetPixel(px, py, BrushColor);
    const std::pair<int, int> next[] = {{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}};
    for (const auto& [nx, ny] : next) {
      if (nx < 0 || ny < 0 || nx >= width || ny >= Height()) continue;
      char& mark = seen[static_cast<std::size_t>(ny) * width + nx];
      if (mark || Pixel(nx, ny) == borderColor) continue;
      mark = 1;
      pending.emplace_back(nx, ny);
    }
  }
}

int TPlotCanvas::TextWidth(const std::string& text) const {
  return QFontMetrics(CanvasFont(FontName, FontSize)).horizontalAdvance(QString::fromStdString(text));
}

int TPlotCanvas::TextHeight(const std::string&) const {
  return QFontMetrics(CanvasFont(FontName, FontSize)).height();
}

void TPlotCanvas::TextOut(int x, int y, const std::string& text) {
  const QString qtext = QString::fromStdString(text);
  QPainter painter(&image_);
  const QFont font = CanvasFont(FontName, FontSize);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const QRect box(x, y, metrics.horizontalAdvance(qtext), metrics.height());
  painter.fillRect(box, ToQColor(BrushColor));
  painter.setPen(ToQColor(FontColor));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, qtext);
  MoveTo(x + box.width(), y);
}

}  // namespace sumora

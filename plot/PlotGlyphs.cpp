#include "plot/PlotGlyphs.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace sumora {

namespace {
constexpr int kSize = 24;

void Bars(QPainter& painter, const int (&heights)[5], const QColor& fill) {
  for (int bar = 0; bar < 5; ++bar) {
    const int height = heights[bar];
    painter.fillRect(2 + bar * 4, 21 - height, 4, height, fill);
    painter.drawRect(2 + bar * 4, 21 - height, 4, height);
  }
}
}  // namespace

QIcon PaintPlotGlyph(PlotGlyph glyph) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QPen(Qt::black, 1));
  switch (glyph) {
    case PlotGlyph::InputOrder: {
      painter.drawLine(2, 2, 2, 21);
      painter.drawLine(2, 21, 21, 21);
      const QPoint dots[] = {{5, 15}, {8, 10}, {11, 13}, {14, 6}, {17, 11}, {20, 8}};
      painter.setBrush(QColor(0x80, 0, 0));
      for (const QPoint& dot : dots) painter.drawEllipse(dot, 1, 1);
      break;
    }
    case PlotGlyph::Histogram: {
      const int heights[5] = {5, 11, 17, 9, 4};
      Bars(painter, heights, QColor(0x00, 0x80, 0x80));
      break;
    }
    case PlotGlyph::FreqPolygon: {
      painter.drawLine(2, 21, 21, 21);
      const QPoint vertices[] = {{2, 21}, {6, 15}, {10, 5}, {14, 9}, {18, 16}, {21, 21}};
      painter.setPen(QPen(QColor(0, 0, 0x80), 1));
      painter.drawPolyline(vertices, 6);
      break;
    }
    case PlotGlyph::CumHistogram: {
      const int heights[5] = {3, 7, 12, 16, 18};
      Bars(painter, heights, QColor(0x80, 0x80, 0x00));
      break;
    }
    case PlotGlyph::Reset:
      painter.setBrush(Qt::white);
      painter.drawRect(3, 3, 17, 17);
      painter.setPen(QPen(QColor(0x80, 0, 0), 2));
      painter.drawLine(7, 7, 16, 16);
      painter.drawLine(16, 7, 7, 16);
      break;
    case PlotGlyph::Close:
      painter.setBrush(QColor(0xC0, 0xC0, 0xC0));
      painter.drawRect(5, 2, 12, 19);
      painter.setBrush(Qt::black);
      painter.drawEllipse(QPoint(14, 12), 1, 1);
      painter.setPen(QPen(QColor(0, 0x80, 0), 2));
      painter.drawLine(19, 12, 23, 12);
      break;
  }
  painter.end();
  return QIcon(pixmap);
}

}  // namespace sumora

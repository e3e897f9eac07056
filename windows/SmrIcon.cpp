#include "windows/SmrIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

#include "windows/FormLook.h"

namespace sumora {

QPixmap SumoraIcon() {
  QPixmap pixmap(31, 30);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);

  // Axes.
  painter.setPen(Qt::black);
  painter.drawLine(2, 27, 29, 27);
  painter.drawLine(2, 3, 2, 27);

  // Seven class bars of a roughly normal sample.
  const int heights[] = {3, 7, 14, 19, 13, 6, 2};
  for (int bar = 0; bar < 7; ++bar) {
    painter.fillRect(QRect(5 + bar * 3, 27 - heights[bar], 3, heights[bar]), kNavy);
    // A light left edge keeps neighbouring bars apart.
    painter.setPen(QColor(0x80, 0x80, 0xff));
    painter.drawLine(5 + bar * 3, 27 - heights[bar], 5 + bar * 3, 26);
  }

  // The fitted bell curve over the bars.
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath curve;
  for (int x = 3; x <= 28; ++x) {
    const double z = (x - 15.5) / 4.5;
    const double y = 26.0 - 22.0 * std::exp(-0.5 * z * z);
    if (x == 3)
      curve.moveTo(x, y);
    else
      curve.lineTo(x, y);
  }
  painter.setPen(QPen(kMaroon, 1.5));
  painter.drawPath(curve);
  return pixmap;
}

}  // namespace sumora

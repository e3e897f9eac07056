#include "windows/Gauge.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "windows/FormLook.h"

namespace sumora {

Gauge::Gauge(GaugeShape shape, QWidget* parent) : QWidget(parent), shape_(shape) {}

void Gauge::SetProgress(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == progress_) return;
  progress_ = percent;
  update();
}

void Gauge::SetBorder(bool border) {
  border_ = border;
  update();
}

void Gauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor back = palette().color(QPalette::Light);
  QRect area = rect();
  QPainterPath filled;

  if (shape_ == GaugeShape::Bar) {
    if (border_) {
      painter.setPen(Qt::black);
      painter.drawRect(area.adjusted(0, 0, -1, -1));
      area.adjust(1, 1, -1, -1);
    }
    painter.fillRect(area, back);
    QRect bar = area;
    bar.setWidth(area.width() * progress_ / 100);
    painter.fillRect(bar, kNavy);
    filled.addRect(bar);
  } else {
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(kNavy);
    painter.setBrush(back);
    painter.drawEllipse(circle);
    if (progress_ > 0) {
      // From twelve o'clock, clockwise.
      filled.moveTo(circle.center());
      filled.arcTo(circle, 90.0, -360.0 * progress_ / 100.0);
      filled.closeSubpath();
      painter.setBrush(kNavy);
      painter.drawPath(filled);
    }
  }

  const QString text = QString::number(progress_) + QLatin1Char('%');
  painter.setFont(font());
  QPainterPath outside;
  outside.addRect(rect());
  outside = outside.subtracted(filled);
  painter.setClipPath(outside);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(area, Qt::AlignCenter, text);
  if (!filled.isEmpty()) {
    painter.setClipPath(filled);
    painter.setPen(back);
    painter.drawText(area, Qt::AlignCenter, text);
  }
}

}  // namespace sumora

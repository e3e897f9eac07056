#include "plot/PlotImage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace sumora {

QString GetShortHint(const QString& hint) {
  const auto bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.left(bar);
}

QString GetLongHint(const QString& hint) {
  const auto bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.mid(bar + 1);
}

TPlotImage::TPlotImage(int width, int height, QWidget* parent) : QWidget(parent), canvas_(width, height) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  UpdateToolTip();
}

void TPlotImage::Refresh() { update(); }

void TPlotImage::SetHint(const QString& hint) {
  hint_ = hint;
  setStatusTip(hint);
  UpdateToolTip();
}

void TPlotImage::SetShowHint(bool show) {
  showHint_ = show;
  UpdateToolTip();
}

void TPlotImage::UpdateToolTip() { setToolTip(showHint_ ? GetShortHint(hint_) : QString()); }

void TPlotImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(rect(), canvas_.Image());
}

namespace {
// Widget position to image pixel (the picture is stretched to the control).
QPoint ToImage(const QWidget& widget, const QPoint& pos, const TPlotCanvas& canvas) {
  const int px = widget.width() > 0 ? pos.x() * canvas.Width() / widget.width() : pos.x();
  const int py = widget.height() > 0 ? pos.y() * canvas.Height() / widget.height() : pos.y();
  return {px, py};
}
}  // namespace

void TPlotImage::mousePressEvent(QMouseEvent* event) {
  const QPoint at = ToImage(*this, event->position().toPoint(), canvas_);
  emit MouseDown(event->button(), at.x(), at.y());
}

void TPlotImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = ToImage(*this, event->position().toPoint(), canvas_);
  emit MouseMove(at.x(), at.y());
}

}  // namespace sumora

#include "windows/BevelPanel.h"

#include <QPainter>

namespace sumora {

namespace {

// Draws a one-pixel bevel on the edge of `rect` and returns the rectangle inside it.
QRect DrawBevel(QPainter& painter, const QRect& rect, Bevel bevel, const QPalette& palette) {
  if (bevel == Bevel::None) return rect;
  const QColor light = palette.color(QPalette::Light);
  const QColor dark = palette.color(QPalette::Dark);
  const QColor& topLeft = bevel == Bevel::Raised ? light : dark;
  const QColor& bottomRight = bevel == Bevel::Raised ? dark : light;
  painter.setPen(topLeft);
  painter.drawLine(rect.topLeft(), rect.topRight());
  painter.drawLine(rect.topLeft(), rect.bottomLeft());
  painter.setPen(bottomRight);
  painter.drawLine(rect.bottomLeft(), rect.bottomRight());
  painter.drawLine(rect.topRight(), rect.bottomRight());
  return rect.adjusted(1, 1, -1, -1);
}

}  // namespace

BevelPanel::BevelPanel(QWidget* parent, Bevel outer, Bevel inner) : QWidget(parent), outer_(outer), inner_(inner) {
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Window);
}

void BevelPanel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void BevelPanel::SetBevels(Bevel outer, Bevel inner) {
  outer_ = outer;
  inner_ = inner;
  update();
}

void BevelPanel::SetColour(const QColor& colour) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, colour);
  setPalette(palette);
  update();
}

void BevelPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect inside = DrawBevel(painter, rect(), outer_, palette());
  inside = DrawBevel(painter, inside, inner_, palette());
  if (!caption_.isEmpty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(inside, Qt::AlignCenter | Qt::TextSingleLine, caption_);
  }
}

}  // namespace sumora

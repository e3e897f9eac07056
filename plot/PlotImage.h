// The plot area control: shows the canvas image stretched to the control, reports mouse presses and
// moves in image pixels, and carries a two-part hint ("short|long") whose short part is its tooltip
// while ShowHint is on.
#pragma once

#include <QWidget>

#include "plot/PlotCanvas.h"

class QMouseEvent;
class QPaintEvent;

namespace sumora {

class TPlotImage : public QWidget {
  Q_OBJECT

 public:
  TPlotImage(int width, int height, QWidget* parent);

  TPlotCanvas& Canvas() { return canvas_; }
  const TPlotCanvas& Canvas() const { return canvas_; }
  // Repaints the control from the canvas.
  void Refresh();

  QString Hint() const { return hint_; }
  void SetHint(const QString& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show);

 signals:
  void MouseDown(Qt::MouseButton button, int x, int y);
  void MouseMove(int x, int y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void UpdateToolTip();
  TPlotCanvas canvas_;
  QString hint_ = QStringLiteral("|");
  bool showHint_ = false;
};

// The part of a hint before the first '|' (the whole text when it has none).
QString GetShortHint(const QString& hint);
// The part after the first '|' (the whole text when it has none).
QString GetLongHint(const QString& hint);

}  // namespace sumora

// A progress gauge from 0 to 100 per cent, as a horizontal bar or a round pie, with its percentage
// written in the middle: navy on the button-highlight colour, the text drawn in the opposite colour
// where it crosses the filled part.
#pragma once

#include <QWidget>

namespace sumora {

enum class GaugeShape { Bar, Pie };

class Gauge : public QWidget {
  Q_OBJECT

 public:
  explicit Gauge(GaugeShape shape, QWidget* parent = nullptr);

  GaugeShape Shape() const { return shape_; }
  int Progress() const { return progress_; }
  // Values outside 0..100 (a record count that changed during a pass) are clamped into the range.
  // Repaints are scheduled only when the shown value changes.
  void SetProgress(int percent);
  bool HasBorder() const { return border_; }
  void SetBorder(bool border);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  GaugeShape shape_;
  int progress_ = 0;
  bool border_ = true;
};

}  // namespace sumora

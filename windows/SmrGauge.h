// Unit SmrGauge: TSMRGaugeDlg, the small modeless dialog that shows how far a pass over a dataset has
// come — a heading naming the dataset and field, a bar or pie gauge and a status line. It takes one
// call per record, so it repaints only when what it shows changes.
#pragma once

#include <QDialog>
#include <QString>

#include "host/Services.h"

class QLabel;

namespace sumora {

class BevelPanel;
class Gauge;

class TSMRGaugeDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TSMRGaugeDlg(QWidget* parent = nullptr);
  ~TSMRGaugeDlg() override;

  // Shows the bar for Horizontal and the pie for Round, sets the shown gauge (and the bar in every
  // case, also while its frame is hidden) to Trunc(100 × fraction) clamped into 0..100, sets the status
  // line to `message`, and repaints at once when any of that changed.
  void SetGaugeProgress(GaugeKind kind, const QString& message, double fraction);
  // Sets the heading (both of its labels); repaints at once when it changed.
  void SetLabels(const QString& value);
  // Sets the window caption; repaints at once when it changed.
  void SetCaption(const QString& value);
  // Handles activation: the bar (not the pie) goes back to 0.
  void FormActivate();
  // True once the platform shows the window (it may lag behind show()).
  bool IsExposed() const;

  // The dialog's controls, in declaration order.
  BevelPanel* Panel1;
  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  BevelPanel* Panel2;
  Gauge* Gauge1;
  Gauge* Gauge3;

 protected:
  bool event(QEvent* event) override;

 private:
  void LetPlatformExpose();
  // Paints every pending change now: a pass runs no event loop, so nothing else would.
  void RepaintNow();
};

// Trunc(100 × fraction) as the gauges show it: toward zero, clamped into 0..100 (a fraction leaves
// 0..1 only when the record count changes during a pass), 0 for NaN.
int GaugePercent(double fraction);

}  // namespace sumora

// Unit SmrClass: TClassDisplayForm, the modal window that lists a component's frequency classes in a
// grid. One window serves all live components of one component class; closing it hides it.
#pragma once

#include <QDialog>

#include "engine/SmrWindows.h"

class QLabel;
class QPushButton;

namespace sumora {

class BevelPanel;
class ClassGrid;

class TClassDisplayForm : public QDialog, public ClassFrequencyWindow {
  Q_OBJECT

 public:
  explicit TClassDisplayForm(QWidget* parent = nullptr);
  ~TClassDisplayForm() override;

  // Writes the header row, then, for a TSumoraTable or a TSumoraQuery, the row count (FreqClasses + 1),
  // one row per class from the class tables as they stand (nothing is computed), the identification
  // line with any scale note and the caption; then shows the window modally. For any other object only
  // the header row is written. Raises what the source name raises (a query without SQL text) before
  // anything is shown.
  void Open(TSumoraStats& source) override;

  // The window's controls, in declaration order.
  QPushButton* OKBtn;
  BevelPanel* Panel1;
  ClassGrid* StringGrid1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Image1;
  QLabel* labDataID;

 private:
  void Fill(TSumoraStats& source);
  void FitToTexts();
};

}  // namespace sumora

// Unit SmrOutpt: TOutputForm, the modal summary window that lists every statistic of one component.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace sumora {

class TSumoraStats;
class BevelPanel;

class TOutputForm : public QDialog {
  Q_OBJECT

 public:
  explicit TOutputForm(QWidget* parent = nullptr);
  ~TOutputForm() override;

  // Summarizes `source` afresh (errors propagate before anything is shown), fills the labels and shows
  // the window modally; returns when the user has closed it. `source` must be a TSumoraTable or a
  // TSumoraQuery, otherwise EInvalidCast is raised and nothing is shown.
  void ShowOutput(TSumoraStats& source);

  // The window's controls, in declaration order, for callers that inspect the window.
  QPushButton* BitBtn1;
  QLabel* Label1;
  QLabel* Label2;
  BevelPanel* Panel1;
  QLabel* labCount;
  QLabel* labRange;
  QLabel* labMin;
  QLabel* labMax;
  QLabel* labMean;
  QLabel* labVariance;
  QLabel* labTotal;
  QLabel* labStdDev;
  QLabel* labMedian;
  QLabel* labSkew;
  QLabel* labKurtosis;
  QLabel* labCoeff;
  QLabel* labMode;
  QLabel* labTableName;
  QLabel* labFieldName;
  QFrame* Bevel1;

 private:
  // Moves the right column clear of the left one's texts and widens the panel and the window when a
  // text would pass the panel's edge.
  void FitLabels();
};

}  // namespace sumora

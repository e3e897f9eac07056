// A read-only text grid with one fixed header row and one fixed first column, drawn in the button
// colour with a raised edge. Row 0 is an ordinary model row holding the header texts; an overlay keeps
// it in place while the other rows scroll under it.
#pragma once

#include <QString>
#include <QTableWidget>
#include <vector>

class QTableView;

namespace sumora {

class ClassGrid : public QTableWidget {
  Q_OBJECT

 public:
  ClassGrid(int columns, int rows, QWidget* parent = nullptr);

  // Rows including the header row; rows cut off by a smaller count lose their texts.
  void SetRowCount(int rows);
  QString Cell(int column, int row) const;
  void SetCell(int column, int row, const QString& text);
  void SetDefaultRowHeight(int height);
  // Sets each column to its width in `minimumWidths`, or wider where a cell's or the header's text
  // needs more, so no text is cut off. Returns the columns' total width.
  int FitColumnWidths(const std::vector<int>& minimumWidths);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void PlaceHeaderOverlay();

  QTableView* header_;
};

}  // namespace sumora

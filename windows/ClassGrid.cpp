#include "windows/ClassGrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

namespace sumora {

namespace {

constexpr int kTextIndent = 2;

// Draws fixed cells (row 0, column 0) on the button colour with a raised edge, and every cell's text
// left-aligned, as a plain string grid does.
class GridCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QRect cell = option.rect;
    const bool fixed = index.row() == 0 || index.column() == 0;
    painter->save();
    painter->fillRect(cell, option.palette.color(fixed ? QPalette::Button : QPalette::Base));
    if (fixed) {
      painter->setPen(option.palette.color(QPalette::Light));
      painter->drawLine(cell.topLeft(), cell.topRight());
      painter->drawLine(cell.topLeft(), cell.bottomLeft());
      painter->setPen(option.palette.color(QPalette::Dark));
      painter->drawLine(cell.bottomLeft(), cell.bottomRight());
      painter->drawLine(cell.topRight(), cell.bottomRight());
    }
    painter->setPen(option.palette.color(QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(cell.adjusted(kTextIndent, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
  }
};

void HideHeaders(QTableView* view) {
  view->horizontalHeader()->hide();
  view->verticalHeader()->hide();
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setMinimumSectionSize(1);
  view->horizontalHeader()->setMinimumSectionSize(1);
  view->setSelectionMode(QAbstractItemView::NoSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
}

}  // namespace

ClassGrid::ClassGrid(int columns, int rows, QWidget* parent)
    : QTableWidget(rows, columns, parent), header_(new QTableView(this)) {
  HideHeaders(this);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setItemDelegate(new GridCellDelegate(this));

  header_->setModel(model());
  header_->setItemDelegate(itemDelegate());
  HideHeaders(header_);
  header_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  header_->setFrameShape(QFrame::NoFrame);
  header_->setFocusPolicy(Qt::NoFocus);
  header_->setAttribute(Qt::WA_TransparentForMouseEvents);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int column, int, int size) { header_->setColumnWidth(column, size); });
  connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int row, int, int size) {
    header_->setRowHeight(row, size);
    if (row == 0) PlaceHeaderOverlay();
  });
  PlaceHeaderOverlay();
}

void ClassGrid::SetRowCount(int rows) {
  setRowCount(rows);
  header_->setRowHeight(0, rowHeight(0));
}

QString ClassGrid::Cell(int column, int row) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell != nullptr ? cell->text() : QString();
}

void ClassGrid::SetCell(int column, int row, const QString& text) {
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsEnabled);
    setItem(row, column, cell);
  } else {
    cell->setText(text);
  }
}

void ClassGrid::SetDefaultRowHeight(int height) {
  verticalHeader()->setDefaultSectionSize(height);
  header_->verticalHeader()->setDefaultSectionSize(height);
  for (int row = 0; row < rowCount(); ++row) setRowHeight(row, height);
  PlaceHeaderOverlay();
}

int ClassGrid::FitColumnWidths(const std::vector<int>& minimumWidths) {
  // The delegate draws from kTextIndent inside the cell and stops one pixel before its end; the grid
  // line takes one more.
  constexpr int kCellPadding = kTextIndent + 2;
  const QFontMetrics metrics(font());
  int total = 0;
  for (int column = 0; column < columnCount(); ++column) {
    int width = column < static_cast<int>(minimumWidths.size()) ? minimumWidths[static_cast<std::size_t>(column)] : 0;
    for (int row = 0; row < rowCount(); ++row) {
      width = std::max(width, metrics.horizontalAdvance(Cell(column, row)) + kCellPadding);
    }
    setColumnWidth(column, width);
    total += width;
  }
  return total;
}

void ClassGrid::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  PlaceHeaderOverlay();
}

void ClassGrid::showEvent(QShowEvent* event) {
  QTableWidget::showEvent(event);
  PlaceHeaderOverlay();
}

void ClassGrid::PlaceHeaderOverlay() {
  const QRect area = viewport()->geometry();
  header_->setGeometry(area.x(), area.y(), area.width(), rowCount() > 0 ? rowHeight(0) : 0);
  header_->setVisible(rowCount() > 0);
  header_->raise();
}

}  // namespace sumora

#include "windows/SmrClass.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <iterator>
#include <vector>

#include "engine/SmrEngine.h"
#include "engine/SmrQuery.h"
#include "engine/SmrReport.h"
#include "engine/SmrTable.h"
#include "windows/BevelPanel.h"
#include "windows/ClassGrid.h"
#include "windows/FormLook.h"
#include "windows/ModalRunner.h"
#include "windows/SmrIcon.h"

namespace sumora {

namespace {

constexpr int kColumns = 6;
constexpr int kDesignRows = 20;
constexpr int kColumnWidths[kColumns] = {35, 71, 71, 57, 70, 85};
constexpr int kDesignWidth = 442;
constexpr int kDesignHeight = 375;
constexpr int kDesignPanelWidth = 429;
constexpr int kDesignGridWidth = 403;
// Room kept after the identification line, which sits 7 pixels from the left edge.
constexpr int kEdgeGap = 7;

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TClassDisplayForm::TClassDisplayForm(QWidget* parent) : QDialog(parent) {
  MakeFixedDialog(this, kDesignWidth, kDesignHeight, QStringLiteral("Class Frequency Data Display"));
  setFont(UiFont(11, true));

  OKBtn = MakeOkButton(this, this, QRect(182, 343, 77, 27));

  Panel1 = new BevelPanel(this, Bevel::Lowered, Bevel::Raised);
  Panel1->setGeometry(7, 26, 429, 313);

  StringGrid1 = new ClassGrid(kColumns, kDesignRows, Panel1);
  StringGrid1->setGeometry(13, 44, 403, 254);
  StringGrid1->setFont(ArialFont(11));
  StringGrid1->SetDefaultRowHeight(20);
  for (int column = 0; column < kColumns; ++column) StringGrid1->setColumnWidth(column, kColumnWidths[column]);

  const Heading heading = MakeHeading(Panel1, QStringLiteral("Descriptive Statistics Class Summary"),
                                      QRect(50, 8, 328, 24), QRect(51, 9, 328, 24), TimesFont(21, true));
  Label1 = heading.shadow;
  Label2 = heading.face;

  Image1 = new QLabel(Panel1);
  Image1->setPixmap(SumoraIcon());
  Image1->setGeometry(11, 6, 31, 30);

  labDataID = MakeAutoLabel(this, QStringLiteral("Dataset, Datafield identification"), 7, 7, ArialFont(13));

  setTabOrder(OKBtn, StringGrid1);
}

TClassDisplayForm::~TClassDisplayForm() = default;

void TClassDisplayForm::Open(TSumoraStats& source) {
  const auto& header = ClassGridHeader();
  for (int column = 0; column < kColumns; ++column)
    StringGrid1->SetCell(column, 0, Text(header[static_cast<std::size_t>(column)]));

  // A component of neither variant only gets the header row rewritten.
  const bool known = dynamic_cast<TSumoraTable*>(&source) != nullptr || dynamic_cast<TSumoraQuery*>(&source) != nullptr;
  if (known) Fill(source);
  FitToTexts();

  CentreOnScreen(this);
  OKBtn->setFocus();
  RunModal(*this);
}

void TClassDisplayForm::Fill(TSumoraStats& source) {
  // The identification line (with its scale note) comes first: its source name is what fails for a
  // query without SQL text, and then the window must stay as it was.
  const std::string identification = ClassIdentification(source);

  // The rows are the ones `sumora classes` prints; row 0 (the header) is written by Open.
  const auto rows = ClassGridRows(source);
  StringGrid1->SetRowCount(static_cast<int>(rows.size()));
  for (std::size_t row = 1; row < rows.size(); ++row) {
    for (int column = 0; column < kColumns; ++column) {
      StringGrid1->SetCell(column, static_cast<int>(row), Text(rows[row][static_cast<std::size_t>(column)]));
    }
  }
  SetAutoLabelText(labDataID, Text(identification));
  setWindowTitle(Text(ClassCaption(source)));
}

void TClassDisplayForm::FitToTexts() {
  // Columns widen to their widest text; the grid, the panel and the window widen by as much, and by
  // more if the identification line is longer still. Texts that fit keep the design layout.
  const std::vector<int> design(std::begin(kColumnWidths), std::end(kColumnWidths));
  const int columnsWidth = StringGrid1->FitColumnWidths(design);
  // The columns must fit beside the frame and, when the rows overflow, the vertical scroll bar.
  const int frame = 2 * StringGrid1->frameWidth();
  int rowsHeight = 0;
  for (int row = 0; row < StringGrid1->rowCount(); ++row) rowsHeight += StringGrid1->rowHeight(row);
  const bool scrolls = rowsHeight > StringGrid1->height() - frame;
  const int scrollBar =
      scrolls ? StringGrid1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, StringGrid1) : 0;
  const int gridGrowth = std::max(0, columnsWidth + frame + scrollBar - kDesignGridWidth);
  const int lineGrowth = labDataID->x() + labDataID->width() + kEdgeGap - kDesignWidth;
  const int growth = std::max({0, gridGrowth, lineGrowth});
  StringGrid1->resize(kDesignGridWidth + gridGrowth, StringGrid1->height());
  Panel1->resize(kDesignPanelWidth + growth, Panel1->height());
  setFixedSize(kDesignWidth + growth, kDesignHeight);
  OKBtn->move((width() - OKBtn->width()) / 2, OKBtn->y());
}

}  // namespace sumora

#include "windows/SmrOutpt.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "engine/SmrEngine.h"
#include "engine/SmrQuery.h"
#include "engine/SmrReport.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "host/SysUtils.h"
#include "windows/BevelPanel.h"
#include "windows/FormLook.h"
#include "windows/ModalRunner.h"

namespace sumora {

namespace {

constexpr int kLeftColumn = 12;
constexpr int kRightColumn = 161;
constexpr int kDesignWidth = 343;
constexpr int kDesignHeight = 335;
constexpr int kDesignPanelWidth = 325;
constexpr int kDesignBevelWidth = 312;
// Room kept between a left-column text and the right column, and after the widest text.
constexpr int kColumnGap = 8;

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TOutputForm::TOutputForm(QWidget* parent) : QDialog(parent) {
  MakeFixedDialog(this, kDesignWidth, kDesignHeight, QStringLiteral("Summary Output"));
  setFont(UiFont(11, true));

  BitBtn1 = MakeOkButton(this, this, QRect(133, 299, 77, 27));
  const Heading heading = MakeHeading(this, QStringLiteral("Datafield Statistical Summary"), QRect(39, 8, 266, 24),
                                      QRect(39, 9, 266, 24), TimesFont(21, true));
  Label1 = heading.shadow;
  Label2 = heading.face;

  Panel1 = new BevelPanel(this, Bevel::Raised, Bevel::Lowered);
  Panel1->setGeometry(9, 35, 325, 258);
  Panel1->SetColour(Qt::white);

  const QFont valueFont = UiFont(11);
  auto value = [&](const char* text, int x, int y) {
    return MakeAutoLabel(Panel1, QString::fromLatin1(text), x, y, valueFont);
  };
  labCount = value("DataCount", kLeftColumn, 54);
  labRange = value("DataRange", kLeftColumn, 171);
  labMin = value("DataMinimum", kLeftColumn, 113);
  labMax = value("DataMaximum", kLeftColumn, 142);
  labMean = value("DataMean", kRightColumn, 84);
  labVariance = value("DataVariance", kRightColumn, 113);
  labTotal = value("DataTotals", kLeftColumn, 84);
  labStdDev = value("DataStdDev", kRightColumn, 142);
  labMedian = value("DataMedian", kLeftColumn, 229);
  labSkew = value("DataSkew", kRightColumn, 200);
  labKurtosis = value("DataKurtosis", kRightColumn, 229);
  labCoeff = value("DataCoeffVar", kRightColumn, 171);
  labMode = value("DataMode", kLeftColumn, 200);
  labTableName = MakeAutoLabel(Panel1, QStringLiteral("TableName"), kLeftColumn, 6, UiFont(11, true));
  labFieldName = value("FieldName", kLeftColumn, 30);

  Bevel1 = new QFrame(Panel1);
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(7, 74, 312, 3);

  BitBtn1->setFocus();
}

TOutputForm::~TOutputForm() = default;

void TOutputForm::ShowOutput(TSumoraStats& source) {
  // Which variant decides the dataset line; anything else is refused before any work is done.
  if (dynamic_cast<TSumoraTable*>(&source) == nullptr && dynamic_cast<TSumoraQuery*>(&source) == nullptr)
    throw EInvalidCast("Invalid class typecast");

  source.Summarize();

  // The texts are the ones `sumora summarize` prints, set in the same order.
  const auto texts = SummaryTexts(source);
  QLabel* const labels[] = {labTableName, labFieldName, labCount, labMean,  labMin,   labMax,      labMode,    labMedian,
                            labTotal,     labCoeff,     labRange, labVariance, labStdDev, labSkew, labKurtosis};
  for (std::size_t order = 0; order < texts.size(); ++order) SetAutoLabelText(labels[order], Text(texts[order]));
  FitLabels();

  CentreOnScreen(this);
  BitBtn1->setFocus();
  RunModal(*this);
}

void TOutputForm::FitLabels() {
  // Each label is as wide as its text already; what remains is that no text runs into the right
  // column or past the panel. The design layout stays whenever the texts fit in it.
  const QLabel* const leftPartners[] = {labTotal, labMin, labMax, labRange, labMode, labMedian};
  QLabel* const rightColumn[] = {labMean, labVariance, labStdDev, labCoeff, labSkew, labKurtosis};
  int rightX = kRightColumn;
  for (const QLabel* label : leftPartners) rightX = std::max(rightX, label->x() + label->width() + kColumnGap);
  for (QLabel* label : rightColumn) label->move(rightX, label->y());

  // The dataset line may hold a whole line of SQL; it keeps the width it has, as it always did.
  int textRight = 0;
  for (const QLabel* label : Panel1->findChildren<QLabel*>()) {
    if (label != labTableName) textRight = std::max(textRight, label->x() + label->width());
  }
  const int growth = std::max(0, textRight + kLeftColumn - kDesignPanelWidth);
  Panel1->resize(kDesignPanelWidth + growth, Panel1->height());
  Bevel1->resize(kDesignBevelWidth + growth, Bevel1->height());
  setFixedSize(kDesignWidth + growth, kDesignHeight);
  BitBtn1->move((width() - BitBtn1->width()) / 2, BitBtn1->y());
}

}  // namespace sumora

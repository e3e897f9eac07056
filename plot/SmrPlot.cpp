#include "plot/SmrPlot.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusTipEvent>
#include <QToolButton>
#include <cmath>

#include "engine/SmrEngine.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/SysUtils.h"
#include "plot/PlotImage.h"
#include "toolkit/SmrTools.h"
#include "windows/BevelPanel.h"
#include "windows/FormLook.h"
#include "windows/ModalRunner.h"

namespace sumora {

namespace SmrPlot {
TSumoraStats* glDataset = nullptr;
TDrawHistory glLastDrawn = TDrawHistory::None;
TDrawHistory glCurrentPlot = TDrawHistory::None;
double xmax = 0.0;
double xmin = 0.0;
double PlotWidth = 0.0;
double PlotHeight = 0.0;
double WidthScale = 0.0;
double HeightScale = 0.0;
std::int32_t lastX = 0;
std::int32_t n = 0;
std::int32_t glStart = 1;
std::int32_t glStop = 0;
std::uint16_t nPlot = 0;
TPlotValues x{};
TColor FontColor = clNavy;
TColor DotColor = clMaroon;
TColor CanvasColor = clWhite;
}  // namespace SmrPlot

using namespace SmrPlot;

namespace {
constexpr int kClientWidth = 418;
constexpr int kClientHeight = 272;
constexpr int kAxisLabelHeight = 11;  // pixels, the axis labels' and status bar's font
}  // namespace

TSumoraPlotForm::TSumoraPlotForm(QWidget* parent) : QDialog(parent) {
  MakeFixedDialog(this, kClientWidth, kClientHeight, QStringLiteral("Descriptive Statistics Plot Form"));
  setFont(UiFont(11, true));
  BuildLayout();
  BuildButtons();
  BuildMenus();
  FormCreate();
}

TSumoraPlotForm::~TSumoraPlotForm() {
  // The unit-level reference must not outlive the showing it belongs to.
  if (isVisible()) glDataset = nullptr;
}

void TSumoraPlotForm::BuildLayout() {
  Panel2 = new BevelPanel(this, Bevel::None, Bevel::Lowered);
  Panel2->setGeometry(3, 6, 368, 243);

  PlotImage = new TPlotImage(PlotAreaWidth, PlotAreaHeight, Panel2);
  PlotImage->setGeometry(56, 12, PlotAreaWidth, PlotAreaHeight);
  PlotImage->installEventFilter(this);
  connect(PlotImage, &TPlotImage::MouseDown, this,
          [this](Qt::MouseButton, int mouseX, int mouseY) { PlotImageMouseDown(mouseX, mouseY); });
  connect(PlotImage, &TPlotImage::MouseMove, this, &TSumoraPlotForm::PlotImageMouseMove);

  const QFont labelFont = ArialFont(kAxisLabelHeight);
  const auto label = [&](const QString& text, const QRect& geometry, Qt::Alignment align) {
    QLabel* made = MakeLabel(Panel2, text, geometry, labelFont, Qt::black);
    made->setAlignment(align | Qt::AlignTop);
    return made;
  };
  yMaxLabel = label(QStringLiteral("yMax"), QRect(6, 15, 47, 14), Qt::AlignRight);
  yMidLabel = label(QStringLiteral("yMid"), QRect(6, 112, 46, 14), Qt::AlignRight);
  yMinLabel = label(QStringLiteral("yMin"), QRect(6, 209, 46, 14), Qt::AlignRight);
  xMinLabel = MakeAutoLabel(Panel2, QStringLiteral("xMin"), 52, 227, labelFont);
  xMidLabel = label(QStringLiteral("xMid"), QRect(157, 227, 101, 14), Qt::AlignHCenter);
  xMaxLabel = label(QStringLiteral("xMax"), QRect(261, 227, 101, 14), Qt::AlignRight);

  Panel1 = new BevelPanel(this, Bevel::Raised, Bevel::None);
  Panel1->setGeometry(kClientWidth - 44, 0, 44, kClientHeight - 19);

  StatusBar = new QLabel(this);
  StatusBar->setGeometry(0, kClientHeight - 19, kClientWidth, 19);
  StatusBar->setFont(labelFont);
  StatusBar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusBar->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StatusBar->setIndent(2);
}

void TSumoraPlotForm::FormCreate() {
  // The hint handler belongs to this window alone: hints reach it through its own event filter and
  // menus, so nothing application-wide is replaced or left behind.
  DotColor = clMaroon;
  CanvasColor = clWhite;
  PlotImage->SetHint(QStringLiteral("|"));
  glLastDrawn = TDrawHistory::None;
}

void TSumoraPlotForm::Plot(TSumoraStats& source) {
  glDataset = &source;
  if (auto* table = dynamic_cast<TSumoraTable*>(&source)) {
    InitTable(*table);
  } else if (auto* query = dynamic_cast<TSumoraQuery*>(&source)) {
    InitQuery(*query);
  } else {
    Bind(source);
  }
  WidthScale = nPlot > 0 ? 1.0 - 1.0 / nPlot : 0.0;
  HeightScale = 0.95;
  PlotWidth = PlotImage->width() * WidthScale;
  PlotHeight = PlotImage->height() * HeightScale;
  FontColor = clNavy;
  CentreOnScreen(this);
  active_ = false;
  RunModal(*this);
  active_ = false;
  glDataset = nullptr;
}

void TSumoraPlotForm::InitTable(TSumoraTable& source) { Bind(source); }

void TSumoraPlotForm::InitQuery(TSumoraQuery& source) { Bind(source); }

void TSumoraPlotForm::Bind(TSumoraStats& source) {
  // A component with fewer than two values counts -1: it binds no records at all.
  n = imax(0, source.GetdsDataCount());
  const std::int32_t records = imax(0, source.GetdsDataCount());
  nPlot = static_cast<std::uint16_t>(imin(imin(records, source.RecordPlotCount()), MaxPlotValues));
  glStart = 1;
  glStop = nPlot;
  setLoaded_ = false;
  xmin = source.dsMin();
  xmax = source.dsMax();
}

void TSumoraPlotForm::FormActivate() {
  PlotImage->Refresh();
  ResetPlotEnv();
  sbtnReset->setEnabled(true);
  NextSet1->setEnabled(false);
  PrevSet1->setEnabled(false);
}

void TSumoraPlotForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange) {
    const bool nowActive = isActiveWindow();
    if (nowActive && !active_) {
      active_ = true;
      FormActivate();
    } else if (!nowActive && QApplication::activeWindow() == nullptr) {
      // Only leaving the application counts: the window's own message boxes and menus do not clear
      // the picture when they give the activation back.
      active_ = false;
    }
  }
  QDialog::changeEvent(event);
}

void TSumoraPlotForm::SetAxes(int xDigits, int yDigits, double xMinValue, double xMaxValue, double yMinValue,
                              double yMaxValue) {
  const auto F = [](double value, int digits) {
    return QString::fromStdString(FloatToStrF(value, TFloatFormat::ffFixed, 7, digits));
  };
  SetFittedLabelText(xMaxLabel, F(xMaxValue, xDigits), kAxisLabelHeight);
  SetAutoLabelText(xMinLabel, F(xMinValue, xDigits));
  SetFittedLabelText(yMaxLabel, F(yMaxValue, yDigits), kAxisLabelHeight);
  SetFittedLabelText(yMinLabel, F(yMinValue, yDigits), kAxisLabelHeight);
  SetFittedLabelText(xMidLabel, F((xMinValue + xMaxValue) * 0.5, xDigits), kAxisLabelHeight);
  SetFittedLabelText(yMidLabel, F((yMinValue + yMaxValue) * 0.5, yDigits), kAxisLabelHeight);
}

void TSumoraPlotForm::SetCanvas() {
  PlotImage->setVisible(true);
  PlotImage->Refresh();
  TPlotCanvas& canvas = PlotImage->Canvas();
  canvas.BrushColor = DotColor;
  canvas.FontColor = FontColor;
  canvas.FontName = "Arial";
  canvas.FontSize = 5;
}

void TSumoraPlotForm::SetCanvasColor(TColor color) {
  CanvasColor = color;
  TPlotCanvas& canvas = PlotImage->Canvas();
  canvas.BrushColor = color;
  canvas.FillRect(0, 0, PlotImage->width(), PlotImage->height());
  PlotImage->Refresh();
}

void TSumoraPlotForm::ResetPlotEnv() {
  setWindowTitle(QStringLiteral("Sumora Dataset Plot Form"));
  // Through the fitting, so a shrunken label's size and tooltip go with its text.
  for (QLabel* label : {yMinLabel, yMidLabel, yMaxLabel, xMidLabel, xMaxLabel}) {
    SetFittedLabelText(label, QString(), kAxisLabelHeight);
  }
  SetAutoLabelText(xMinLabel, QString());
  SetCanvasColor(CanvasColor);
  SetCanvas();
  PlotImage->SetHint(QStringLiteral("|"));
  PlotImage->SetShowHint(false);
  glLastDrawn = TDrawHistory::None;
  lastX = 0;
}

void TSumoraPlotForm::Redraw() {
  switch (glLastDrawn) {
    case TDrawHistory::InputOrder:
      PlotNextSet();
      break;
    case TDrawHistory::Histogram:
      PlotHistogram();
      break;
    case TDrawHistory::Polygon:
      PlotFreqPolygon();
      break;
    case TDrawHistory::CumulHistogram:
      PlotCumHistogram();
      break;
    case TDrawHistory::None:
      break;
  }
  QPalette palette = sbtnColor->palette();
  palette.setColor(QPalette::ButtonText, ToQColor(DotColor));
  sbtnColor->setPalette(palette);
}

void TSumoraPlotForm::DrawDots(int dotX, int dotY, int size, TColor backColor) {
  TPlotCanvas& canvas = PlotImage->Canvas();
  canvas.Ellipse(dotX, dotY, dotX + size, dotY + size);
  canvas.FloodFill(dotX + size / 2, dotY + size / 2, backColor);
  PlotImage->Refresh();
}

QString TSumoraPlotForm::SourceName() const {
  return glDataset == nullptr ? QString() : QString::fromStdString(glDataset->SourceName());
}

void TSumoraPlotForm::SetHint(const QString& hint) {
  hint_ = hint;
  ShowHint();
}

void TSumoraPlotForm::ShowHint() { StatusBar->setText(GetLongHint(hint_)); }

bool TSumoraPlotForm::event(QEvent* event) {
  // Qt's own status tips carry the whole two-part hint; the window shows only the long part, through
  // its own hint handling, so the raw tips stop here.
  if (event->type() == QEvent::StatusTip) return true;
  return QDialog::event(event);
}

bool TSumoraPlotForm::eventFilter(QObject* watched, QEvent* event) {
  if (auto* widget = qobject_cast<QWidget*>(watched)) {
    if (event->type() == QEvent::Enter) SetHint(widget->statusTip());
    if (event->type() == QEvent::Leave) SetHint(QString());
  }
  return QDialog::eventFilter(watched, event);
}

int TSumoraPlotForm::ClassPixel(double value, double xStart, double xEnd) const {
  if (xEnd == xStart) return 0;
  const long double fraction = (static_cast<long double>(value) - xStart) / (static_cast<long double>(xEnd) - xStart);
  return static_cast<int>(std::trunc(fraction * PlotImage->width()));
}

int TSumoraPlotForm::RowOf(long double fraction) const {
  return PlotImage->height() - static_cast<int>(std::trunc(fraction * PlotHeight));
}

}  // namespace sumora

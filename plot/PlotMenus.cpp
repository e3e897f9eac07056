// The plot window's buttons, popup menus, record-set paging and menu hints.
#include <QAction>
#include <QMenu>
#include <QToolButton>
#include <exception>

#include "engine/SmrEngine.h"
#include "host/Services.h"
#include "host/SysUtils.h"
#include "plot/PlotGlyphs.h"
#include "plot/PlotImage.h"
#include "plot/SmrPlot.h"
#include "toolkit/SmrTools.h"
#include "windows/BevelPanel.h"
#include "windows/FormLook.h"

namespace sumora {

using namespace SmrPlot;

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// A command that reads the data source can fail (a table that cannot be read any more). Its error
// goes to the application's default error handling: the message in an error box, the window staying
// open with what it had drawn. An exception must not unwind through Qt's signal dispatch, which is
// not built to pass one on.
template <typename Command>
void RunReportingErrors(Command&& command) {
  try {
    command();
  } catch (const std::exception& error) {
    MessageDlg(error.what(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
  }
}

QAction* AddItem(QMenu* menu, const QString& caption, const QString& hint, int tag = 0) {
  QAction* item = menu->addAction(caption);
  // The item's two-part hint; the window shows its long part while the item is highlighted.
  item->setStatusTip(hint);
  item->setData(tag);
  return item;
}

}  // namespace

void TSumoraPlotForm::BuildButtons() {
  const auto button = [this](int top, const QString& hint) {
    auto* made = new QToolButton(Panel1);
    made->setGeometry(6, top, 33, 34);
    made->setAutoRaise(false);
    made->setIconSize(QSize(24, 24));
    made->setStatusTip(hint);
    made->setToolTip(GetShortHint(hint));
    made->setFocusPolicy(Qt::NoFocus);
    made->installEventFilter(this);
    return made;
  };
  sbtnInputOrder = button(4, QStringLiteral("Plot datafield vs. Dataset Order|"));
  sbtnHistogram = button(39, QStringLiteral("Plot histogram for selected datafield|"));
  sbtnFreqPolygon = button(74, QStringLiteral("Plot Frequency Polygon for selected datafield|"));
  sbtnCumHistogram = button(110, QStringLiteral("Plot cumulative % histogram for selected datafield|"));
  sbtnReset = button(145, QStringLiteral("Clear Plot|"));
  sbtnColor = button(180, QStringLiteral("Set Plot Colors|"));
  sbtnClose = button(215, QStringLiteral("Close Plot Form|"));

  sbtnInputOrder->setIcon(PaintPlotGlyph(PlotGlyph::InputOrder));
  sbtnHistogram->setIcon(PaintPlotGlyph(PlotGlyph::Histogram));
  sbtnFreqPolygon->setIcon(PaintPlotGlyph(PlotGlyph::FreqPolygon));
  sbtnCumHistogram->setIcon(PaintPlotGlyph(PlotGlyph::CumHistogram));
  sbtnReset->setIcon(PaintPlotGlyph(PlotGlyph::Reset));
  sbtnClose->setIcon(PaintPlotGlyph(PlotGlyph::Close));

  sbtnColor->setText(QStringLiteral("Color"));
  QFont colorFont(QStringLiteral("SwitzerlandCondBlack"));
  colorFont.setPixelSize(11);
  colorFont.setBold(true);
  sbtnColor->setFont(colorFont);
  QPalette palette = sbtnColor->palette();
  palette.setColor(QPalette::ButtonText, ToQColor(clMaroon));
  sbtnColor->setPalette(palette);

  connect(sbtnInputOrder, &QToolButton::clicked, this, &TSumoraPlotForm::sbtnInputOrderClick);
  connect(sbtnHistogram, &QToolButton::clicked, this, &TSumoraPlotForm::sbtnHistogramClick);
  connect(sbtnFreqPolygon, &QToolButton::clicked, this, &TSumoraPlotForm::sbtnFreqPolygonClick);
  connect(sbtnCumHistogram, &QToolButton::clicked, this, &TSumoraPlotForm::sbtnCumHistogramClick);
  connect(sbtnReset, &QToolButton::clicked, this, &TSumoraPlotForm::ResetPlotEnv);
  connect(sbtnColor, &QToolButton::clicked, this, &TSumoraPlotForm::sbtnColorClick);
  connect(sbtnClose, &QToolButton::clicked, this, &TSumoraPlotForm::sbtnCloseClick);
}

void TSumoraPlotForm::BuildMenus() {
  ColorPopup = new QMenu(this);
  Plots1 = ColorPopup->addMenu(QStringLiteral("&Plots"));
  Plots1->menuAction()->setStatusTip(QStringLiteral("Set plot colors|"));
  mnuBlack = AddItem(Plots1, QStringLiteral("&Black"), QStringLiteral("Set plot scatter dots to black"));
  mnuMaroon = AddItem(Plots1, QStringLiteral("&Maroon"), QStringLiteral("Set plot scatter dots to maroon"));
  mnuGray = AddItem(Plots1, QStringLiteral("&Gray"), QStringLiteral("Set plot scatter dots to dark gray"));
  mnuBlue = AddItem(Plots1, QStringLiteral("Bl&ue"), QStringLiteral("Set plot scatter dots to navy blue"));
  mnuGreen = AddItem(Plots1, QStringLiteral("G&reen"), QStringLiteral("Set plot scatter dots to green"));
  N1 = ColorPopup->addSeparator();
  Background1 = ColorPopup->addMenu(QStringLiteral("&Background"));
  Background1->menuAction()->setStatusTip(QStringLiteral("Set plot background colors"));
  White1 = AddItem(Background1, QStringLiteral("&White"), QStringLiteral("Set plot background to white"));
  Yellow1 = AddItem(Background1, QStringLiteral("&Yellow"), QStringLiteral("Set plot background to yellow"));
  Aqua1 = AddItem(Background1, QStringLiteral("&Aqua"), QStringLiteral("Set plot background to light blue"));
  Teal1 = AddItem(Background1, QStringLiteral("&Teal"), QStringLiteral("Set plot background to teal green"));

  connect(mnuBlack, &QAction::triggered, this, [this] { SetDotColor(clBlack); });
  connect(mnuMaroon, &QAction::triggered, this, [this] { SetDotColor(clMaroon); });
  connect(mnuGray, &QAction::triggered, this, [this] { SetDotColor(clGray); });
  connect(mnuBlue, &QAction::triggered, this, [this] { SetDotColor(clNavy); });
  connect(mnuGreen, &QAction::triggered, this, [this] { SetDotColor(clGreen); });
  connect(White1, &QAction::triggered, this, [this] { SetBackground(clWhite); });
  connect(Yellow1, &QAction::triggered, this, [this] { SetBackground(clYellow); });
  connect(Aqua1, &QAction::triggered, this, [this] { SetBackground(clAqua); });
  connect(Teal1, &QAction::triggered, this, [this] { SetBackground(clTeal); });
  connect(ColorPopup, &QMenu::aboutToShow, this, &TSumoraPlotForm::SetColorHint);
  connect(Plots1, &QMenu::aboutToShow, this, &TSumoraPlotForm::SetColorHint);
  connect(Background1, &QMenu::aboutToShow, this, &TSumoraPlotForm::SetBackGroundHint);

  ScatterPopup = new QMenu(this);
  FirstSet1 = AddItem(ScatterPopup, QStringLiteral("&First Set"), QString());
  PrevSet1 = AddItem(ScatterPopup, QStringLiteral("&Prior Set"), QString());
  NextSet1 = AddItem(ScatterPopup, QStringLiteral("&Next Set"), QString());
  PrevSet1->setEnabled(false);
  NextSet1->setEnabled(false);
  connect(FirstSet1, &QAction::triggered, this, &TSumoraPlotForm::FirstSet1Click);
  connect(PrevSet1, &QAction::triggered, this, &TSumoraPlotForm::PrevSet1Click);
  connect(NextSet1, &QAction::triggered, this, &TSumoraPlotForm::NextSet1Click);
  connect(ScatterPopup, &QMenu::aboutToShow, this, &TSumoraPlotForm::ScatterPopupPopup);

  HistogramPopup = new QMenu(this);
  FrequencyClasses1 = HistogramPopup->addMenu(QStringLiteral("&Frequency Classes"));
  FrequencyClasses1->menuAction()->setStatusTip(
      QStringLiteral("Change the number of freqency classes for the histogram|"));
  const auto classItem = [this](int count) {
    const QString number = QString::number(count);
    QAction* item =
        AddItem(FrequencyClasses1, QStringLiteral("&") + number,
                QStringLiteral("Set the number of distinct frequency classes to ") + number, count);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item] { RunReportingErrors([&] { FreqClassSet(item); }); });
    return item;
  };
  N51 = classItem(5);
  N101 = classItem(10);
  N151 = classItem(15);
  N201 = classItem(20);
  N251 = classItem(25);
  N351 = classItem(35);
  N501 = classItem(50);
  N2 = HistogramPopup->addSeparator();
  PlotHistogram1 = AddItem(HistogramPopup, QStringLiteral("&Plot Histogram"),
                           QStringLiteral("Plot the histogram (polygon) with current frequency class count"));
  connect(PlotHistogram1, &QAction::triggered, this, &TSumoraPlotForm::PlotHistogram1Click);
  connect(HistogramPopup, &QMenu::aboutToShow, this, &TSumoraPlotForm::SetFrequencyClassHint);
  connect(FrequencyClasses1, &QMenu::aboutToShow, this, &TSumoraPlotForm::SetFrequencyClassHint);

  // A highlighted item's hint becomes the window's hint.
  for (QMenu* menu : {ColorPopup, Plots1, Background1, ScatterPopup, HistogramPopup, FrequencyClasses1}) {
    connect(menu, &QMenu::hovered, this, [this](QAction* item) { SetHint(item->statusTip()); });
  }
}

QPoint TSumoraPlotForm::PopupPoint(const QToolButton* button) const {
  // The window's outer position, as the menus have always been placed: below the button's middle,
  // shifted by the window frame.
  const QRect frame = frameGeometry();
  return {Panel1->x() + frame.left() + button->x() + button->width() / 2,
          Panel1->y() + frame.top() + button->y() + button->height()};
}

void TSumoraPlotForm::PopupFrom(QMenu* menu, const QToolButton* button) { menu->popup(PopupPoint(button)); }

void TSumoraPlotForm::sbtnInputOrderClick() { PopupFrom(ScatterPopup, sbtnInputOrder); }

void TSumoraPlotForm::sbtnHistogramClick() {
  glCurrentPlot = TDrawHistory::Histogram;
  PopupFrom(HistogramPopup, sbtnHistogram);
}

void TSumoraPlotForm::sbtnFreqPolygonClick() {
  glCurrentPlot = TDrawHistory::Polygon;
  PopupFrom(HistogramPopup, sbtnFreqPolygon);
}

void TSumoraPlotForm::sbtnCumHistogramClick() {
  glCurrentPlot = TDrawHistory::CumulHistogram;
  PopupFrom(HistogramPopup, sbtnCumHistogram);
}

void TSumoraPlotForm::sbtnColorClick() { PopupFrom(ColorPopup, sbtnColor); }

void TSumoraPlotForm::sbtnCloseClick() { close(); }

void TSumoraPlotForm::SetDotColor(TColor color) {
  DotColor = color;
  Redraw();
}

void TSumoraPlotForm::SetBackground(TColor color) {
  SetCanvasColor(color);
  Redraw();
}

void TSumoraPlotForm::SettleSetItems() {
  PrevSet1->setEnabled(glStart > 1);
  NextSet1->setEnabled(glStop < imin(n, MaxPlotValues));
}

void TSumoraPlotForm::FirstSet1Click() {
  NextPlotSet(SmrPlot::x, 1 - glStart);
  SettleSetItems();
  PlotNextSet();
}

void TSumoraPlotForm::NextSet1Click() {
  if (NextPlotSet(SmrPlot::x, nPlot)) {
    SettleSetItems();
  } else {
    NextSet1->setEnabled(false);
  }
  PlotNextSet();
}

void TSumoraPlotForm::PrevSet1Click() {
  if (NextPlotSet(SmrPlot::x, -static_cast<int>(nPlot))) {
    SettleSetItems();
  } else {
    PrevSet1->setEnabled(false);
  }
  PlotNextSet();
}

void TSumoraPlotForm::ScatterPopupPopup() {
  const std::int32_t stored = imin(n, MaxPlotValues);
  FirstSet1->setStatusTip(QStringLiteral("Plot first ") + Text(IntToStr(imin(stored, nPlot))) +
                          QStringLiteral(" records."));
  SettleSetItems();
  if (PrevSet1->isEnabled()) {
    PrevSet1->setStatusTip(QStringLiteral("Plot records ") + Text(IntToStr(glStart - nPlot)) + QStringLiteral(" to ") +
                           Text(IntToStr(glStart - 1)) + QStringLiteral("."));
  } else {
    PrevSet1->setStatusTip(QStringLiteral("No prior record set."));
  }
  if (NextSet1->isEnabled()) {
    const std::int32_t first = glStart + nPlot;
    NextSet1->setStatusTip(QStringLiteral("Plot records ") + Text(IntToStr(first)) + QStringLiteral(" to ") +
                           Text(IntToStr(imin(stored, first + nPlot - 1))) + QStringLiteral("."));
  } else if (n > stored) {
    NextSet1->setStatusTip(QStringLiteral("Cannot plot records above ") + Text(IntToStr(stored)) +
                           QStringLiteral("."));
  } else if (glStart == 1) {
    NextSet1->setStatusTip(QStringLiteral("Only one set of records."));
  } else {
    NextSet1->setStatusTip(QStringLiteral("All records have been plotted."));
  }
}

void TSumoraPlotForm::FreqClassSet(QAction* sender) {
  if (glDataset == nullptr || sender == nullptr) return;
  glDataset->SetdsFreqClasses(static_cast<std::uint16_t>(sender->data().toInt()));
  glDataset->Summarize();
  CheckItem(sender);
  PlotHistogram1Click();
}

void TSumoraPlotForm::CheckItem(QAction* item) {
  for (QAction* classItem : {N51, N101, N151, N201, N251, N351, N501}) classItem->setChecked(classItem == item);
}

void TSumoraPlotForm::PlotHistogram1Click() {
  switch (glCurrentPlot) {
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
    case TDrawHistory::InputOrder:
      break;
  }
}

void TSumoraPlotForm::SetFrequencyClassHint() {
  SetHint(QStringLiteral("|Change the number of freqency classes for the histogram"));
}

void TSumoraPlotForm::SetColorHint() { SetHint(QStringLiteral("|Set color of plot scatter dots")); }

void TSumoraPlotForm::SetBackGroundHint() { SetHint(QStringLiteral("|Set color of plot background")); }

void TSumoraPlotForm::EnableMenuItem(QAction* item, bool enabled) {
  item->setEnabled(enabled);
  if (!item->isEnabled()) item->setStatusTip(QString());
}

}  // namespace sumora

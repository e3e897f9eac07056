// Unit SmrPlot: the plot window. It draws one statistics component's data as a histogram, a
// cumulative percentage histogram, a frequency polygon, or the stored values in dataset order one
// record set at a time, driven by seven buttons and three popup menus. The drawing state is shared by
// every plot window of the process (only one shows at a time, modally) and lives in namespace SmrPlot.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <optional>

#include "engine/SmrWindows.h"
#include "plot/PlotCanvas.h"

class QAction;
class QEvent;
class QLabel;
class QMenu;
class QToolButton;
class QWidget;

namespace sumora {

class TSumoraStats;
class TSumoraQuery;
class TSumoraTable;
class TPlotImage;
class BevelPanel;

// What the plot area shows (glLastDrawn) or which histogram-type plot was chosen (glCurrentPlot).
enum class TDrawHistory { None, InputOrder, Histogram, Polygon, CumulHistogram };

constexpr int MaxPlotValues = 10000;
// Values of the current record set in slots 1..10000 (slot 0 is unused).
using TPlotValues = std::array<double, MaxPlotValues + 1>;

namespace SmrPlot {
extern TSumoraStats* glDataset;   // the bound component, from Plot until the window closes
extern TDrawHistory glLastDrawn;  // drives Redraw and the class hints
extern TDrawHistory glCurrentPlot;
extern double xmax;  // dsMax and dsMin of the bound component
extern double xmin;
extern double PlotWidth;  // pixel width of the polygon and input-order scaling
extern double PlotHeight;
extern double WidthScale;  // 1 - 1/nPlot (0 when nothing is bound)
extern double HeightScale;
extern std::int32_t lastX;  // x pixel of the last mouse press on the plot area
extern std::int32_t n;      // values of the bound component (0 when it holds fewer than two)
extern std::int32_t glStart;
extern std::int32_t glStop;
extern std::uint16_t nPlot;  // records per record set
extern TPlotValues x;
extern TColor FontColor;
extern TColor DotColor;
extern TColor CanvasColor;
}  // namespace SmrPlot

class TSumoraPlotForm : public QDialog, public PlotWindow {
  Q_OBJECT

 public:
  static constexpr int PlotAreaWidth = 306;
  static constexpr int PlotAreaHeight = 213;

  explicit TSumoraPlotForm(QWidget* parent = nullptr);
  ~TSumoraPlotForm() override;

  // Binds to `source`, computes the scaling and shows the window modally; returns once it is closed.
  void Plot(TSumoraStats& source) override;

  // Plot shows the window through the modal runner in force (windows/ModalRunner.h), which tests
  // and the `sumora plot` command replace to work the window offscreen.
  // With a seed, every histogram drawing reseeds the bar colours with it instead of the clock.
  static void FixBarColors(std::optional<std::uint32_t> seed);

  // Binding of either variant; the same steps, each reading its own class.
  void InitTable(TSumoraTable& source);
  void InitQuery(TSumoraQuery& source);
  void FormCreate();
  void FormActivate();

  void SetAxes(int xDigits, int yDigits, double xMinValue, double xMaxValue, double yMinValue, double yMaxValue);
  void SetCanvas();
  void SetCanvasColor(TColor color);
  void ResetPlotEnv();
  void Redraw();
  void DrawDots(int dotX, int dotY, int size, TColor backColor);

  void PlotHistogram();
  void PlotCumHistogram();
  void PlotFreqPolygon();
  void PlotNextSet();
  // Moves the record set by `deltaStart` records (0 stays, +nPlot next, -nPlot prior, 1 - glStart
  // first) and loads its values into `dest`; false, with nothing changed, when no such set exists.
  bool NextPlotSet(TPlotValues& dest, int deltaStart);

  void PlotImageMouseMove(int mouseX, int mouseY);
  void PlotImageMouseDown(int mouseX, int mouseY);

  void sbtnInputOrderClick();
  void sbtnHistogramClick();
  void sbtnFreqPolygonClick();
  void sbtnCumHistogramClick();
  void sbtnColorClick();
  void sbtnCloseClick();
  void FirstSet1Click();
  void NextSet1Click();
  void PrevSet1Click();
  void ScatterPopupPopup();
  void FreqClassSet(QAction* sender);
  void CheckItem(QAction* item);
  void PlotHistogram1Click();
  void SetFrequencyClassHint();
  void SetColorHint();
  void SetBackGroundHint();
  // Sets the item's Enabled; a disabled item loses its hint.
  void EnableMenuItem(QAction* item, bool enabled);

  // The window's current hint (what the mouse or the highlighted menu item names) and its handler,
  // which shows the long part in the status bar.
  QString Hint() const { return hint_; }
  void SetHint(const QString& hint);
  void ShowHint();

  // The source name of the bound component (empty when none is bound).
  QString SourceName() const;
  // Where a button's menu pops up, in screen coordinates.
  QPoint PopupPoint(const QToolButton* button) const;

  // Controls, as laid out.
  BevelPanel* Panel2 = nullptr;
  TPlotImage* PlotImage = nullptr;
  QLabel* yMaxLabel = nullptr;
  QLabel* yMidLabel = nullptr;
  QLabel* yMinLabel = nullptr;
  QLabel* xMinLabel = nullptr;
  QLabel* xMidLabel = nullptr;
  QLabel* xMaxLabel = nullptr;
  BevelPanel* Panel1 = nullptr;
  QLabel* StatusBar = nullptr;
  QToolButton* sbtnInputOrder = nullptr;
  QToolButton* sbtnHistogram = nullptr;
  QToolButton* sbtnFreqPolygon = nullptr;
  QToolButton* sbtnCumHistogram = nullptr;
  QToolButton* sbtnReset = nullptr;
  QToolButton* sbtnColor = nullptr;
  QToolButton* sbtnClose = nullptr;

  QMenu* ColorPopup = nullptr;
  QMenu* Plots1 = nullptr;
  QAction* mnuBlack = nullptr;
  QAction* mnuMaroon = nullptr;
  QAction* mnuGray = nullptr;
  QAction* mnuBlue = nullptr;
  QAction* mnuGreen = nullptr;
  QAction* N1 = nullptr;
  QMenu* Background1 = nullptr;
  QAction* White1 = nullptr;
  QAction* Yellow1 = nullptr;
  QAction* Aqua1 = nullptr;
  QAction* Teal1 = nullptr;

  QMenu* ScatterPopup = nullptr;
  QAction* FirstSet1 = nullptr;
  QAction* PrevSet1 = nullptr;
  QAction* NextSet1 = nullptr;

  QMenu* HistogramPopup = nullptr;
  QMenu* FrequencyClasses1 = nullptr;
  QAction* N51 = nullptr;
  QAction* N101 = nullptr;
  QAction* N151 = nullptr;
  QAction* N201 = nullptr;
  QAction* N251 = nullptr;
  QAction* N351 = nullptr;
  QAction* N501 = nullptr;
  QAction* N2 = nullptr;
  QAction* PlotHistogram1 = nullptr;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildLayout();
  void BuildButtons();
  void BuildMenus();
  void Bind(TSumoraStats& source);
  void PopupFrom(QMenu* menu, const QToolButton* button);
  void SetDotColor(TColor color);
  void SetBackground(TColor color);
  void ReseedBarColors();
  void DrawBars(bool cumulative);
  // Clears the x labels when there is no last class to end the range.
  void ClearClassAxisWithoutClasses(int classes);
  // Sets the enabled state of Prior Set and Next Set from the current record set.
  void SettleSetItems();
  // Pixel column of class bound `value` over the full width (0 when the class range is empty).
  int ClassPixel(double value, double xStart, double xEnd) const;
  // Pixel row of `fraction` of the vertical range.
  int RowOf(long double fraction) const;

  QString hint_;
  bool active_ = false;
  bool setLoaded_ = false;  // x holds the values of the current record set
};

}  // namespace sumora

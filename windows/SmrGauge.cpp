#include "windows/SmrGauge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>
#include <QLabel>
#include <cmath>

#include "windows/BevelPanel.h"
#include "windows/FormLook.h"
#include "windows/Gauge.h"
#include "windows/SmrIcon.h"

namespace sumora {

namespace {

constexpr int kClientWidth = 224;
constexpr int kClientHeight = 150;
constexpr int kStatusHeight = 19;

}  // namespace

int GaugePercent(double fraction) {
  const double percent = std::trunc(100.0 * fraction);
  if (!(percent > 0.0)) return 0;  // also NaN
  if (percent > 100.0) return 100;
  return static_cast<int>(percent);
}

TSMRGaugeDlg::TSMRGaugeDlg(QWidget* parent) : QDialog(parent) {
  MakeFixedDialog(this, kClientWidth, kClientHeight, QStringLiteral("Percentage Complete"));
  setModal(false);
  setFont(UiFont(13));

  Panel1 = new BevelPanel(this, Bevel::Raised, Bevel::Lowered);
  Panel1->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);
  Panel1->setFont(ArialFont(11));

  Image1 = new QLabel(this);
  Image1->setPixmap(SumoraIcon());
  Image1->setGeometry(5, 2, 31, 30);

  const Heading heading = MakeHeading(this, QStringLiteral("Descriptive Statistics"), QRect(-1, 35, 227, 36),
                                      QRect(-1, 36, 227, 36), TimesFont(15, true), /*centredWrapped=*/true);
  Label1 = heading.shadow;
  Label2 = heading.face;

  Panel2 = new BevelPanel(this, Bevel::Lowered, Bevel::Raised);
  Panel2->setGeometry(21, 85, 182, 29);

  Gauge1 = new Gauge(GaugeShape::Bar, Panel2);
  Gauge1->setGeometry(3, 4, 175, 21);
  Gauge1->setFont(ArialFont(12));

  Gauge3 = new Gauge(GaugeShape::Pie, this);
  Gauge3->setGeometry(85, 72, 55, 55);
  Gauge3->SetBorder(false);
  Gauge3->setFont(ArialFont(12));
}

TSMRGaugeDlg::~TSMRGaugeDlg() = default;

void TSMRGaugeDlg::SetGaugeProgress(GaugeKind kind, const QString& message, double fraction) {
  LetPlatformExpose();
  const bool bar = kind == GaugeKind::Horizontal;
  const int percent = GaugePercent(fraction);
  const bool changed = Panel2->isHidden() == bar || Gauge3->isHidden() == !bar ||
                       (!Gauge1->isHidden() && Gauge1->Progress() != percent) ||
                       (!bar && Gauge3->Progress() != percent) || Panel1->Caption() != message;
  if (!changed) return;

  Panel2->setVisible(bar);
  // The bar's own flag, not its frame's, decides: the bar follows the fraction also under a pie.
  if (!Gauge1->isHidden()) Gauge1->SetProgress(percent);
  Gauge3->setVisible(!bar);
  if (!Gauge3->isHidden()) Gauge3->SetProgress(percent);
  Panel1->SetCaption(message);
  RepaintNow();
}

void TSMRGaugeDlg::SetLabels(const QString& value) {
  LetPlatformExpose();
  if (Label1->text() == value && Label2->text() == value) return;
  Label1->setText(value);
  Label2->setText(value);
  RepaintNow();
}

void TSMRGaugeDlg::SetCaption(const QString& value) {
  LetPlatformExpose();
  if (windowTitle() == value) return;
  setWindowTitle(value);
  RepaintNow();
}

void TSMRGaugeDlg::FormActivate() {
  Gauge1->SetProgress(0);
  RepaintNow();
}

bool TSMRGaugeDlg::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(event);
}

bool TSMRGaugeDlg::IsExposed() const { return windowHandle() != nullptr && windowHandle()->isExposed(); }

void TSMRGaugeDlg::LetPlatformExpose() {
  // A window just shown is drawn only once the platform has exposed it, and a pass runs no event
  // loop: let the platform's window events (never user input) through until it has. Doing so before
  // the values change keeps a late activation from resetting the bar after it was set.
  if (isVisible() && !IsExposed()) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TSMRGaugeDlg::RepaintNow() {
  if (isVisible()) repaint();
}

}  // namespace sumora

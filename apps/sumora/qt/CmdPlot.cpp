// `sumora plot`: opens the plot window on a component offscreen, works it as a user would (colour
// items, then the plot kind's button and menu item, or the record-set items) and writes a picture of
// the plot area, or of the whole window, to a PNG or SVG file.
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QString>
#include <QToolButton>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "apps/sumora/Binding.h"
#include "apps/sumora/CommandLine.h"
#include "apps/sumora/Commands.h"
#include "apps/sumora/qt/PictureFile.h"
#include "apps/sumora/qt/QtApp.h"
#include "plot/PlotImage.h"
#include "plot/PlotRegistration.h"
#include "plot/SmrPlot.h"
#include "host/SafeFile.h"
#include "windows/ModalRunner.h"
#include "windows/QtHost.h"

namespace sumora::cli {

namespace {

struct PlotRequest {
  std::string kind;
  int set = 1;
  std::optional<std::string> dotColor;
  std::optional<std::string> background;
  std::string out;
  PictureFormat format = PictureFormat::Png;
  bool wholeWindow = false;
};

QAction* DotColorItem(TSumoraPlotForm& form, const std::string& name) {
  const std::map<std::string, QAction*> items{{"black", form.mnuBlack},
                                              {"maroon", form.mnuMaroon},
                                              {"gray", form.mnuGray},
                                              {"navy", form.mnuBlue},
                                              {"green", form.mnuGreen}};
  return items.at(name);
}

QAction* BackgroundItem(TSumoraPlotForm& form, const std::string& name) {
  const std::map<std::string, QAction*> items{
      {"white", form.White1}, {"yellow", form.Yellow1}, {"aqua", form.Aqua1}, {"teal", form.Teal1}};
  return items.at(name);
}

// Presses `button` (which opens `menu`), chooses `item` and lets the menu close, as a click would.
void Choose(QToolButton* button, QMenu* menu, QAction* item) {
  button->click();
  QApplication::processEvents();
  item->trigger();
  menu->hide();
  QApplication::processEvents();
}

// Shows the window and waits for it to become active, which clears it as every showing does.
void ShowAndActivate(TSumoraPlotForm& form) {
  form.show();
  form.activateWindow();
  QDeadlineTimer deadline(2000);
  while (!form.isActiveWindow() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  if (!form.isActiveWindow()) form.FormActivate();
}

// Works the window and puts the picture's bytes in `*picture`; returns an error text, empty on success.
std::string WorkWindow(TSumoraPlotForm& form, const PlotRequest& request, std::string* picture) {
  ShowAndActivate(form);
  if (request.dotColor) Choose(form.sbtnColor, form.ColorPopup, DotColorItem(form, *request.dotColor));
  if (request.background) Choose(form.sbtnColor, form.ColorPopup, BackgroundItem(form, *request.background));

  if (request.kind == "input-order") {
    Choose(form.sbtnInputOrder, form.ScatterPopup, form.FirstSet1);
    for (int set = 2; set <= request.set; ++set) {
      form.sbtnInputOrder->click();
      QApplication::processEvents();
      if (!form.NextSet1->isEnabled()) {
        form.ScatterPopup->hide();
        return "there is no record set " + std::to_string(request.set) + " (" +
               GetLongHint(form.NextSet1->statusTip()).toStdString() + ")";
      }
      form.NextSet1->trigger();
      form.ScatterPopup->hide();
      QApplication::processEvents();
    }
  } else {
    QToolButton* button = request.kind == "histogram"    ? form.sbtnHistogram
                          : request.kind == "cumulative" ? form.sbtnCumHistogram
                                                         : form.sbtnFreqPolygon;
    Choose(button, form.HistogramPopup, form.PlotHistogram1);
  }

  QApplication::processEvents();
  *picture = request.wholeWindow ? WindowPictureBytes(form, request.format)
                                 : ImagePictureBytes(form.PlotImage->Canvas().Image(), request.format);
  return std::string();
}

PlotRequest ReadRequest(const CommandLine& line) {
  PlotRequest request;
  request.kind = line.Require("kind");
  if (request.kind != "histogram" && request.kind != "cumulative" && request.kind != "polygon" &&
      request.kind != "input-order")
    throw UsageError("--kind takes histogram, cumulative, polygon or input-order, not '" + request.kind + "'");
  if (auto set = line.GetInteger("set", 1, 10000)) {
    if (request.kind != "input-order") throw UsageError("--set belongs to --kind input-order");
    request.set = static_cast<int>(*set);
  }
  request.dotColor = line.Get("dot-color");
  if (request.dotColor && *request.dotColor != "black" && *request.dotColor != "maroon" &&
      *request.dotColor != "gray" && *request.dotColor != "navy" && *request.dotColor != "green")
    throw UsageError("--dot-color takes black, maroon, gray, navy or green, not '" + *request.dotColor + "'");
  request.background = line.Get("background");
  if (request.background && *request.background != "white" && *request.background != "yellow" &&
      *request.background != "aqua" && *request.background != "teal")
    throw UsageError("--background takes white, yellow, aqua or teal, not '" + *request.background + "'");
  request.out = line.Require("out");
  request.format = PictureFormatOf(request.out);
  request.wholeWindow = line.Has("window");
  return request;
}

}  // namespace

int CmdPlot(const Args& args) {
  const CommandLine line(args, WithBindingOptions({"kind", "set", "dot-color", "background", "seed", "out"}),
                         WithBindingFlags({"window"}));
  const PlotRequest request = ReadRequest(line);
  CheckOutputTarget(request.out);
  const auto seed = line.GetInteger("seed", 0, 4294967295LL);

  PictureSession session;
  ScopedPlotWindow plotWindow;
  TSumoraPlotForm::FixBarColors(seed ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*seed))
                                     : std::nullopt);

  std::string error;
  std::string picture;
  bool shown = false;
  ScopedModalRunner runner([&](QDialog& dialog) {
    if (auto* form = dynamic_cast<TSumoraPlotForm*>(&dialog)) {
      shown = true;
      error = WorkWindow(*form, request, &picture);
      form->hide();
    }
    return int{QDialog::Accepted};
  });
  {
    BoundComponent bound = BindComponent(line, /*requireField=*/true);
    OpenAndSummarize(bound);
    bound.stats->SummaryChart();
  }
  TSumoraPlotForm::FixBarColors(std::nullopt);
  if (!shown) error = "the plot window did not open";
  if (!error.empty()) {
    std::fprintf(stderr, "error: %s\n", error.c_str());
    return 1;
  }
  // Written only now: a command that failed on the way leaves no picture behind.
  WriteFileAtomically(request.out, picture);
  return 0;
}

}  // namespace sumora::cli

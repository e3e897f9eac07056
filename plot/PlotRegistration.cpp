#include "plot/PlotRegistration.h"

#include <memory>

#include "plot/SmrPlot.h"

namespace sumora {

namespace {
std::unique_ptr<PlotWindow> MakePlotForm() { return std::make_unique<TSumoraPlotForm>(); }
}  // namespace

void RegisterPlotWindow() { RegisterPlotWindowFactory(MakePlotForm); }

ScopedPlotWindow::ScopedPlotWindow() : previous_(RegisterPlotWindowFactory(MakePlotForm)) {}

ScopedPlotWindow::~ScopedPlotWindow() { RegisterPlotWindowFactory(std::move(previous_)); }

}  // namespace sumora

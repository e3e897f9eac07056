// Makes the components' SummaryChart open the Qt plot window. Needs a QApplication before a component
// is created (each component class creates its plot window with its first component).
#pragma once

#include "engine/SmrWindows.h"

namespace sumora {

// Registers the plot window factory for the rest of the process.
void RegisterPlotWindow();

// Registers the factory for the lifetime of the guard, then restores the former one.
class ScopedPlotWindow {
 public:
  ScopedPlotWindow();
  ~ScopedPlotWindow();
  ScopedPlotWindow(const ScopedPlotWindow&) = delete;
  ScopedPlotWindow& operator=(const ScopedPlotWindow&) = delete;

 private:
  PlotWindowFactory previous_;
};

}  // namespace sumora

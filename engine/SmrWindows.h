// How components reach windows without depending on a window library. The Qt library registers
// factories for the class frequency window, the plot window and the summary output window; each
// component class then shares one class frequency window and one plot window among its live
// components, reference-counted: the pair is created with the first component (or on first use when
// no factory was registered yet) and freed with the last component.
#pragma once

#include <functional>
#include <memory>

namespace sumora {

class TSumoraStats;

class ClassFrequencyWindow {
 public:
  virtual ~ClassFrequencyWindow() = default;
  // Fills the grid from the component's class tables as they stand and shows the window modally.
  virtual void Open(TSumoraStats& source) = 0;
};

class PlotWindow {
 public:
  virtual ~PlotWindow() = default;
  // Binds the window to the component, computes its scaling and shows it modally.
  virtual void Plot(TSumoraStats& source) = 0;
};

using ClassFrequencyWindowFactory = std::function<std::unique_ptr<ClassFrequencyWindow>()>;
using PlotWindowFactory = std::function<std::unique_ptr<PlotWindow>()>;
// Creates a summary output window, shows the component's summary in it modally, then frees it.
using OutputWindowRunner = std::function<void(TSumoraStats&)>;

// Each registration replaces the former one and returns it; an empty function unregisters.
ClassFrequencyWindowFactory RegisterClassFrequencyWindowFactory(ClassFrequencyWindowFactory factory);
PlotWindowFactory RegisterPlotWindowFactory(PlotWindowFactory factory);
OutputWindowRunner RegisterOutputWindowRunner(OutputWindowRunner runner);

// The pair of windows one component class shares. Windows are created on first use when a factory
// exists; using a window with no factory registered raises ENotAvailable.
class SharedWindowPair {
 public:
  ~SharedWindowPair();
  ClassFrequencyWindow& ClassWindow();
  PlotWindow& PlotWin();
  bool HasClassWindow() const { return classWindow_ != nullptr; }
  bool HasPlotWindow() const { return plotWindow_ != nullptr; }

 private:
  friend std::shared_ptr<SharedWindowPair> AcquireSharedWindows(const char* classKey);
  std::unique_ptr<ClassFrequencyWindow> classWindow_;
  std::unique_ptr<PlotWindow> plotWindow_;
};

// The live pair of the component class `classKey` ("TSumoraQuery" or "TSumoraTable"), created
// (with its windows, when factories are registered) when no component of the class holds one.
std::shared_ptr<SharedWindowPair> AcquireSharedWindows(const char* classKey);

// Runs the registered summary output window on `source`; ENotAvailable when none is registered.
void RunOutputWindow(TSumoraStats& source);

}  // namespace sumora

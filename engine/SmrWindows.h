// How components reach windows without depending on a window library. The Qt library registers a
// WindowLibrary; each component class then shares one class frequency window and one plot window
// among its live components, reference-counted: the pair is created with the first component (or on
// first use when no library was registered yet) and freed with the last component.
#pragma once

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

class WindowLibrary {
 public:
  virtual ~WindowLibrary() = default;
  virtual std::unique_ptr<ClassFrequencyWindow> CreateClassFrequencyWindow() = 0;
  virtual std::unique_ptr<PlotWindow> CreatePlotWindow() = 0;
  // Creates a summary output window, shows the component's summary in it modally, then frees it.
  virtual void ShowOutput(TSumoraStats& source) = 0;
};

// Registers the library in force (not owned; nullptr unregisters). Returns the former one.
WindowLibrary* RegisterWindowLibrary(WindowLibrary* library);
WindowLibrary* CurrentWindowLibrary();

// The pair of windows one component class shares.
struct SharedWindowPair {
  std::unique_ptr<ClassFrequencyWindow> classWindow;
  std::unique_ptr<PlotWindow> plotWindow;
  ~SharedWindowPair();
};

// The live pair of the component class `classKey`, created when there is none.
std::shared_ptr<SharedWindowPair> AcquireSharedWindows(const char* classKey);

}  // namespace sumora

#include "engine/SmrWindows.h"

#include <map>
#include <string>

#include "host/Errors.h"

namespace sumora {

namespace {

struct Registry {
  ClassFrequencyWindowFactory classFactory;
  PlotWindowFactory plotFactory;
  OutputWindowRunner outputRunner;
  // One live pair per component class; weak so the last component's release frees it.
  std::map<std::string, std::weak_ptr<SharedWindowPair>> pairs;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

const char* kNoWindows =
    "No window library is registered: link Sumora::widgets and create the Qt host (sumora::QtHost) "
    "before opening windows";

}  // namespace

ClassFrequencyWindowFactory RegisterClassFrequencyWindowFactory(ClassFrequencyWindowFactory factory) {
  std::swap(TheRegistry().classFactory, factory);
  return factory;
}

PlotWindowFactory RegisterPlotWindowFactory(PlotWindowFactory factory) {
  std::swap(TheRegistry().plotFactory, factory);
  return factory;
}

OutputWindowRunner RegisterOutputWindowRunner(OutputWindowRunner runner) {
  std::swap(TheRegistry().outputRunner, runner);
  return runner;
}

SharedWindowPair::~SharedWindowPair() = default;

ClassFrequencyWindow& SharedWindowPair::ClassWindow() {
  if (!classWindow_) {
    if (!TheRegistry().classFactory) throw ENotAvailable(kNoWindows);
    classWindow_ = TheRegistry().classFactory();
  }
  return *classWindow_;
}

PlotWindow& SharedWindowPair::PlotWin() {
  if (!plotWindow_) {
    if (!TheRegistry().plotFactory) throw ENotAvailable(kNoWindows);
    plotWindow_ = TheRegistry().plotFactory();
  }
  return *plotWindow_;
}

std::shared_ptr<SharedWindowPair> AcquireSharedWindows(const char* classKey) {
  auto& slot = TheRegistry().pairs[classKey];
  if (auto live = slot.lock()) return live;
  auto pair = std::make_shared<SharedWindowPair>();
  if (TheRegistry().classFactory) pair->classWindow_ = TheRegistry().classFactory();
  if (TheRegistry().plotFactory) pair->plotWindow_ = TheRegistry().plotFactory();
  slot = pair;
  return pair;
}

void RunOutputWindow(TSumoraStats& source) {
  if (!TheRegistry().outputRunner) throw ENotAvailable(kNoWindows);
  TheRegistry().outputRunner(source);
}

}  // namespace sumora

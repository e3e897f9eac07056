#include "apps/sumora/qt/QtApp.h"

#include <QApplication>
#include <cstdlib>

#include "host/ConsoleServices.h"
#include "host/Services.h"
#include "windows/QtHost.h"

namespace sumora::cli {

std::unique_ptr<QApplication> MakeQtApplication() {
  // Qt keeps references to argc and argv for the application's lifetime.
  static int argc = 1;
  static char name[] = "sumora";
  static char* argv[] = {name, nullptr};
  const bool chosen = std::getenv("QT_QPA_PLATFORM") != nullptr;
  const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  if (!chosen && !display) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return std::make_unique<QApplication>(argc, argv);
}

PictureSession::PictureSession(ProgressDialogFactory* progress)
    : application_(MakeQtApplication()),
      host_(std::make_unique<QtHost>()),
      noAnswers_(std::fopen("/dev/null", "r"), &std::fclose),
      messages_(std::make_unique<ConsoleMessageBoxes>(noAnswers_.get(), stderr)),
      services_(std::make_unique<ScopedServices>(HostServices{messages_.get(), nullptr, progress})) {}

PictureSession::~PictureSession() = default;

}  // namespace sumora::cli

#include "apps/sumora/qt/QtApp.h"

#include <QApplication>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "host/ConsoleServices.h"
#include "host/Services.h"
#include "windows/QtHost.h"

namespace sumora::cli {

namespace {

// Qt's own diagnostics (the platform plugin's "XDG_RUNTIME_DIR not set", "This plugin does not support
// raise()") are about the session, not about the user's data: a command's stderr carries only the
// command's own messages. Critical and fatal messages still go to Qt's default handler.
QtMessageHandler g_qtDefaultHandler = nullptr;

void DropQtWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
  if (g_qtDefaultHandler != nullptr) {
    g_qtDefaultHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(message));
  }
}

}  // namespace

std::unique_ptr<QApplication> MakeQtApplication() {
  // Installed before the application exists: the platform plugin speaks while it is loaded.
  QtMessageHandler previous = qInstallMessageHandler(DropQtWarnings);
  if (previous != DropQtWarnings) g_qtDefaultHandler = previous;
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

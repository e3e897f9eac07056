// The QApplication of the commands that draw windows. Without a display (DISPLAY and WAYLAND_DISPLAY
// unset, QT_QPA_PLATFORM not chosen) it runs on Qt's offscreen platform, so pictures can be made on a
// server or in CI.
#pragma once

#include <cstdio>
#include <memory>

class QApplication;

namespace sumora {
class ConsoleMessageBoxes;
class ProgressDialogFactory;
class QtHost;
class ScopedServices;
}  // namespace sumora

namespace sumora::cli {

// The application of a command, named "sumora". Qt's debug, info and warning messages are dropped
// from then on, so the command's stderr holds only its own messages.
std::unique_ptr<QApplication> MakeQtApplication();

// What a command that pictures windows without a user runs in: the application, the Qt host
// services, and message boxes printed on the terminal with every question answered No, so nothing
// waits. `progress`, when given, replaces the progress dialogs for the session.
class PictureSession {
 public:
  explicit PictureSession(ProgressDialogFactory* progress = nullptr);
  ~PictureSession();
  PictureSession(const PictureSession&) = delete;
  PictureSession& operator=(const PictureSession&) = delete;

 private:
  std::unique_ptr<QApplication> application_;
  std::unique_ptr<QtHost> host_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> noAnswers_;
  std::unique_ptr<ConsoleMessageBoxes> messages_;
  std::unique_ptr<ScopedServices> services_;
};

}  // namespace sumora::cli

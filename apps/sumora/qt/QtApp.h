// The QApplication of the commands that draw windows. Without a display (DISPLAY and WAYLAND_DISPLAY
// unset, QT_QPA_PLATFORM not chosen) it runs on Qt's offscreen platform, so pictures can be made on a
// server or in CI.
#pragma once

#include <memory>

class QApplication;

namespace sumora::cli {

// `argc` and `argv` must outlive the application (Qt keeps references to them).
std::unique_ptr<QApplication> MakeQtApplication(int& argc, char** argv);

}  // namespace sumora::cli

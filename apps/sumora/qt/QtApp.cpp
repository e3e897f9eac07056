#include "apps/sumora/qt/QtApp.h"

#include <QApplication>
#include <cstdlib>

namespace sumora::cli {

std::unique_ptr<QApplication> MakeQtApplication(int& argc, char** argv) {
  const bool chosen = std::getenv("QT_QPA_PLATFORM") != nullptr;
  const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  if (!chosen && !display) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return std::make_unique<QApplication>(argc, argv);
}

}  // namespace sumora::cli

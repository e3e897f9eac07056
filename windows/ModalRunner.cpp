#include "windows/ModalRunner.h"

#include <QDialog>

namespace sumora {

namespace {

ModalRunner& Current() {
  static ModalRunner runner;
  return runner;
}

}  // namespace

ModalRunner SetModalRunner(ModalRunner runner) {
  std::swap(Current(), runner);
  return runner;
}

int RunModal(QDialog& dialog) {
  if (Current()) {
    // Copy: the runner may install another one while it runs.
    ModalRunner runner = Current();
    return runner(dialog);
  }
  return dialog.exec();
}

}  // namespace sumora

// How the report windows and message boxes are shown modally. By default a dialog runs its own event
// loop (QDialog::exec) until the user closes it; tests and `sumora show` install a runner that looks at
// the dialog, answers or pictures it, and returns at once.
#pragma once

#include <functional>

class QDialog;

namespace sumora {

// Shows `dialog` modally and returns its result (QDialog::Accepted, or the QMessageBox button).
using ModalRunner = std::function<int(QDialog& dialog)>;

// Installs `runner` (an empty one restores exec) and returns the one in force before.
ModalRunner SetModalRunner(ModalRunner runner);
// Runs `dialog` through the runner in force.
int RunModal(QDialog& dialog);

// Installs a runner for the lifetime of the guard.
class ScopedModalRunner {
 public:
  explicit ScopedModalRunner(ModalRunner runner) : previous_(SetModalRunner(std::move(runner))) {}
  ~ScopedModalRunner() { SetModalRunner(std::move(previous_)); }
  ScopedModalRunner(const ScopedModalRunner&) = delete;
  ScopedModalRunner& operator=(const ScopedModalRunner&) = delete;

 private:
  ModalRunner previous_;
};

}  // namespace sumora

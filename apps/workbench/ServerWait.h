// While a workbench command waits for a database server, a small application-modal window offers Cancel:
// after half a second of waiting it appears ("Waiting for the database server..."), keeps the windows
// painted, and its Cancel asks the server to stop the statement (CancelRunningStatements). The command
// then ends with the server's "canceling statement due to user request" in an error box.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include "dataset/Cancel.h"

class QLabel;
class QPushButton;

namespace sumora {

class ServerWaitDialog : public QDialog {
 public:
  explicit ServerWaitDialog(QWidget* parent);
  QPushButton& CancelButton() const { return *cancel_; }

 private:
  QLabel* label_;
  QPushButton* cancel_;
};

// Installs the wait hook for its lifetime (one command) and restores the previous one afterwards.
class ServerWaitScope {
 public:
  explicit ServerWaitScope(QWidget* parent);
  ~ServerWaitScope();
  ServerWaitScope(const ServerWaitScope&) = delete;
  ServerWaitScope& operator=(const ServerWaitScope&) = delete;

 private:
  void Waiting();

  QWidget* parent_;
  ServerWaitDialog* dialog_ = nullptr;
  QElapsedTimer waited_;
  StatementWaitHook previous_;
};

}  // namespace sumora

// The Qt side of the host services and the window registrations. Creating a QtHost (after the
// QApplication) installs Qt message boxes, the screen cursor as an application override cursor and
// progress dialogs built on TSMRGaugeDlg, and registers the class frequency window and the summary
// output window with the engine; destroying it puts back what was in force before.
#pragma once

#include <memory>

#include "engine/SmrWindows.h"
#include "host/Services.h"

class QMessageBox;

namespace sumora {

class TSMRGaugeDlg;

// Message boxes with the type's icon and caption and the exact buttons, shown through RunModal.
class QtMessageBoxes : public MessageBoxService {
 public:
  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
};

// The hourglass is one application override cursor, pushed once and popped once however often the
// same cursor is set.
class QtScreenCursor : public ScreenCursorService {
 public:
  ~QtScreenCursor() override;
  void SetCursor(TCursor cursor) override;
  TCursor Cursor() const override { return cursor_; }

 private:
  TCursor cursor_ = TCursor::crDefault;
};

// One pass's progress dialog: a TSMRGaugeDlg with no owner, hidden until Show.
class QtProgressDialog : public ProgressDialog {
 public:
  QtProgressDialog();
  ~QtProgressDialog() override;
  void SetLabels(const std::string& value) override;
  void SetCaption(const std::string& value) override;
  void SetGaugeProgress(GaugeKind kind, const std::string& message, double fraction) override;
  // Shows the dialog modelessly, activates it (the bar goes to 0) and paints it at once.
  void Show() override;
  TSMRGaugeDlg& Dialog() { return *dialog_; }

 private:
  std::unique_ptr<TSMRGaugeDlg> dialog_;
};

class QtProgressFactory : public ProgressDialogFactory {
 public:
  std::unique_ptr<ProgressDialog> CreateProgressDialog() override;
};

class QtHost {
 public:
  // Needs a live QApplication.
  QtHost();
  ~QtHost();
  QtHost(const QtHost&) = delete;
  QtHost& operator=(const QtHost&) = delete;

 private:
  QtMessageBoxes messages_;
  QtScreenCursor cursor_;
  QtProgressFactory progress_;
  HostServices previousServices_;
  ClassFrequencyWindowFactory previousClassFactory_;
  OutputWindowRunner previousOutputRunner_;
};

}  // namespace sumora

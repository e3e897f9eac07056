// The user-interface services the engine and the windows call: message boxes, the screen cursor and
// progress dialogs. A program installs one implementation of each (console for `sumora`, Qt for the
// windows, scripted for tests); until then console services are in place.
#pragma once

#include <memory>
#include <string>

namespace sumora {

enum class TMsgDlgType { mtInformation, mtWarning, mtError, mtConfirmation };
enum class TMsgDlgButtons { mbOK, mbYesNo };
enum class TModalResult { mrOk, mrYes, mrNo, mrCancel };

enum class TCursor { crDefault, crHourGlass };

// Gauge shapes of the progress dialog.
enum class GaugeKind { Horizontal, Round };

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows `text` modally and returns the button pressed.
  virtual TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) = 0;
};

class ScreenCursorService {
 public:
  virtual ~ScreenCursorService() = default;
  virtual void SetCursor(TCursor cursor) = 0;
  virtual TCursor Cursor() const = 0;
};

// One progress dialog, alive for one pass. Every call is forwarded; a dialog redraws only when what it
// shows changes.
class ProgressDialog {
 public:
  virtual ~ProgressDialog() = default;
  virtual void SetLabels(const std::string& value) = 0;
  virtual void SetCaption(const std::string& value) = 0;
  virtual void SetGaugeProgress(GaugeKind kind, const std::string& message, double fraction) = 0;
  // Shows the dialog modelessly; a dialog never shown stays hidden but still takes every call.
  virtual void Show() = 0;
};

class ProgressDialogFactory {
 public:
  virtual ~ProgressDialogFactory() = default;
  virtual std::unique_ptr<ProgressDialog> CreateProgressDialog() = 0;
};

// The services in force. Pointers are not owned; InstallServices replaces the non-null ones and
// returns what was in force before, so a caller can restore it.
struct HostServices {
  MessageBoxService* messages = nullptr;
  ScreenCursorService* cursor = nullptr;
  ProgressDialogFactory* progress = nullptr;
};

HostServices InstallServices(const HostServices& services);
const HostServices& CurrentServices();

// Shorthands through the services in force.
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
void SetScreenCursor(TCursor cursor);
TCursor ScreenCursor();
std::unique_ptr<ProgressDialog> CreateProgressDialog();

// Installs `services` for the lifetime of the guard, then restores the former ones.
class ScopedServices {
 public:
  explicit ScopedServices(const HostServices& services) : previous_(InstallServices(services)) {}
  ~ScopedServices() { InstallServices(previous_); }
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  HostServices previous_;
};

}  // namespace sumora

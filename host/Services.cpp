#include "host/Services.h"

#include "host/ConsoleServices.h"

namespace sumora {

namespace {

HostServices& Current() {
  // Console services are the fallback so a program that installs nothing still reports its messages.
  static ConsoleMessageBoxes consoleMessages;
  static ConsoleCursor consoleCursor;
  static ConsoleProgressFactory consoleProgress;
  static HostServices services{&consoleMessages, &consoleCursor, &consoleProgress};
  return services;
}

}  // namespace

HostServices InstallServices(const HostServices& services) {
  HostServices previous = Current();
  if (services.messages != nullptr) Current().messages = services.messages;
  if (services.cursor != nullptr) Current().cursor = services.cursor;
  if (services.progress != nullptr) Current().progress = services.progress;
  return previous;
}

const HostServices& CurrentServices() { return Current(); }

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  return Current().messages->MessageDlg(text, type, buttons);
}

void SetScreenCursor(TCursor cursor) { Current().cursor->SetCursor(cursor); }

TCursor ScreenCursor() { return Current().cursor->Cursor(); }

std::unique_ptr<ProgressDialog> CreateProgressDialog() { return Current().progress->CreateProgressDialog(); }

}  // namespace sumora

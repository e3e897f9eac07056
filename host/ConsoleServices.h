// Console implementations of the host services, for the `sumora` command:
//  - message boxes print one line "<type>: <text>" on stderr, line breaks shown as one space; a
//    confirmation asks on the terminal when stdin is a TTY, otherwise answers No without printing;
//  - the cursor is remembered only;
//  - a shown progress dialog draws a one-line bar on stderr when stderr is a TTY, redrawn only when
//    the shown percentage or message changes.
#pragma once

#include <cstdio>

#include "host/Services.h"

namespace sumora {

class ConsoleMessageBoxes : public MessageBoxService {
 public:
  // `in` and `out` default to stdin and stderr; tests pass files.
  explicit ConsoleMessageBoxes(std::FILE* in = nullptr, std::FILE* out = nullptr);
  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override;

 private:
  std::FILE* in_;
  std::FILE* out_;
};

class ConsoleCursor : public ScreenCursorService {
 public:
  void SetCursor(TCursor cursor) override { cursor_ = cursor; }
  TCursor Cursor() const override { return cursor_; }

 private:
  TCursor cursor_ = TCursor::crDefault;
};

class ConsoleProgressFactory : public ProgressDialogFactory {
 public:
  explicit ConsoleProgressFactory(std::FILE* out = nullptr, bool forceDraw = false) : out_(out), forceDraw_(forceDraw) {}
  std::unique_ptr<ProgressDialog> CreateProgressDialog() override;

 private:
  std::FILE* out_;
  bool forceDraw_;
};

// The text of a message type as the console shows it ("Warning").
const char* MsgDlgTypeName(TMsgDlgType type);

}  // namespace sumora

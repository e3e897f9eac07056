// Host services for tests: every call is recorded with its exact arguments, and message boxes answer
// from a script. Installed for the lifetime of the object.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host/Services.h"

namespace sumora::test {

struct RecordedMessage {
  std::string text;
  TMsgDlgType type;
  TMsgDlgButtons buttons;
};

// One call made on a progress dialog, in order. `op` is "create", "labels", "caption", "show",
// "progress" or "release"; `dialog` numbers the dialogs from 1 in order of creation.
struct ProgressCall {
  int dialog = 0;
  std::string op;
  std::string text;
  GaugeKind kind = GaugeKind::Horizontal;
  double fraction = 0.0;
};

class ScriptedHost : public MessageBoxService, public ScreenCursorService, public ProgressDialogFactory {
 public:
  ScriptedHost();
  ~ScriptedHost() override;

  // Answers for the next confirmation boxes, in order; when the script runs out the answer is No.
  void AnswerNext(TModalResult answer) { answers_.push_back(answer); }

  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
  void SetCursor(TCursor cursor) override;
  TCursor Cursor() const override { return cursor_; }
  std::unique_ptr<ProgressDialog> CreateProgressDialog() override;

  std::vector<RecordedMessage> messages;
  std::vector<TCursor> cursorChanges;
  std::vector<ProgressCall> progressCalls;
  // Progress calls of kind "progress" only, for checks of fractions.
  std::vector<ProgressCall> ProgressOnly() const;
  int DialogsCreated() const { return dialogsCreated_; }
  int DialogsLive() const { return dialogsLive_; }
  int DialogsShown() const;

 private:
  friend class ScriptedProgress;
  std::deque<TModalResult> answers_;
  TCursor cursor_ = TCursor::crDefault;
  int dialogsCreated_ = 0;
  int dialogsLive_ = 0;
  HostServices previous_;
};

}  // namespace sumora::test

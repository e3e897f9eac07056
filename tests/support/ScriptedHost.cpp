#include "tests/support/ScriptedHost.h"

namespace sumora::test {

class ScriptedProgress : public ProgressDialog {
 public:
  ScriptedProgress(ScriptedHost& host, int number) : host_(host), number_(number) {
    ++host_.dialogsLive_;
    Record("create");
  }
  ~ScriptedProgress() override {
    --host_.dialogsLive_;
    Record("release");
  }
  void SetLabels(const std::string& value) override { Record("labels", value); }
  void SetCaption(const std::string& value) override { Record("caption", value); }
  void Show() override { Record("show"); }
  void SetGaugeProgress(GaugeKind kind, const std::string& message, double fraction) override {
    host_.progressCalls.push_back({number_, "progress", message, kind, fraction});
  }

 private:
  void Record(const char* op, const std::string& text = {}) { host_.progressCalls.push_back({number_, op, text}); }
  ScriptedHost& host_;
  int number_;
};

ScriptedHost::ScriptedHost() { previous_ = InstallServices({this, this, this}); }

ScriptedHost::~ScriptedHost() { InstallServices(previous_); }

TModalResult ScriptedHost::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  messages.push_back({text, type, buttons});
  if (buttons == TMsgDlgButtons::mbOK) return TModalResult::mrOk;
  if (answers_.empty()) return TModalResult::mrNo;
  TModalResult answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void ScriptedHost::SetCursor(TCursor cursor) {
  cursor_ = cursor;
  cursorChanges.push_back(cursor);
}

std::unique_ptr<ProgressDialog> ScriptedHost::CreateProgressDialog() {
  return std::make_unique<ScriptedProgress>(*this, ++dialogsCreated_);
}

std::vector<ProgressCall> ScriptedHost::ProgressOnly() const {
  std::vector<ProgressCall> calls;
  for (const auto& call : progressCalls) {
    if (call.op == "progress") calls.push_back(call);
  }
  return calls;
}

int ScriptedHost::DialogsShown() const {
  int shown = 0;
  for (const auto& call : progressCalls) shown += call.op == "show" ? 1 : 0;
  return shown;
}

}  // namespace sumora::test

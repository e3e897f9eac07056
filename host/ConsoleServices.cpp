#include "host/ConsoleServices.h"

#include "host/MessageText.h"

#include <unistd.h>

#include <cmath>
#include <string>

namespace sumora {

const char* MsgDlgTypeName(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtInformation: return "Information";
    case TMsgDlgType::mtWarning: return "Warning";
    case TMsgDlgType::mtError: return "Error";
    case TMsgDlgType::mtConfirmation: return "Confirmation";
  }
  return "Message";
}

namespace {

// Line breaks (LF, CR, or both in either order) become one space.
std::string OneLine(const std::string& text) {
  std::string line;
  bool inBreak = false;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!inBreak) line += ' ';
      inBreak = true;
    } else {
      line += c;
      inBreak = false;
    }
  }
  return line;
}

class ConsoleProgress : public ProgressDialog {
 public:
  ConsoleProgress(std::FILE* out, bool forceDraw) : out_(out), forceDraw_(forceDraw) {}
  ~ConsoleProgress() override {
    if (drawn_) std::fputs("\r\033[K", out_);
  }

  // The caption names the source and the field, which come from data: shown escaped.
  void SetLabels(const std::string& value) override { heading_ = ShownText(value); }
  void SetCaption(const std::string&) override {}
  void Show() override { shown_ = forceDraw_ || isatty(fileno(out_)) != 0; }

  void SetGaugeProgress(GaugeKind, const std::string& message, double fraction) override {
    if (!shown_) return;
    double scaled = std::trunc(100.0 * fraction);
    int percent = std::isfinite(scaled) ? static_cast<int>(std::fmax(-1.0, std::fmin(scaled, 101.0))) : 0;
    if (drawn_ && percent == lastPercent_ && message == lastMessage_) return;
    lastPercent_ = percent;
    lastMessage_ = message;
    drawn_ = true;
    int clamped = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    std::string bar(static_cast<std::size_t>(clamped / 5), '#');
    bar.resize(20, '.');
    std::fprintf(out_, "\r\033[K%s [%s] %3d%% %s", heading_.c_str(), bar.c_str(), percent, message.c_str());
    std::fflush(out_);
  }

 private:
  std::FILE* out_;
  bool forceDraw_;
  bool shown_ = false;
  bool drawn_ = false;
  int lastPercent_ = -1;
  std::string lastMessage_;
  std::string heading_;
};

}  // namespace

ConsoleMessageBoxes::ConsoleMessageBoxes(std::FILE* in, std::FILE* out)
    : in_(in != nullptr ? in : stdin), out_(out != nullptr ? out : stderr) {}

TModalResult ConsoleMessageBoxes::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  // A question nobody can answer is answered No in silence: scripts and pipes get no noise on stderr.
  const bool question = buttons == TMsgDlgButtons::mbYesNo;
  if (question && isatty(fileno(in_)) == 0) return TModalResult::mrNo;
  std::fprintf(out_, "%s: %s\n", MsgDlgTypeName(type), OneLine(text).c_str());
  std::fflush(out_);
  if (!question) return TModalResult::mrOk;
  for (;;) {
    std::fputs("Yes or No? [y/n] ", out_);
    std::fflush(out_);
    char answer[64];
    if (std::fgets(answer, sizeof answer, in_) == nullptr) return TModalResult::mrNo;
    if (answer[0] == 'y' || answer[0] == 'Y') return TModalResult::mrYes;
    if (answer[0] == 'n' || answer[0] == 'N') return TModalResult::mrNo;
  }
}

std::unique_ptr<ProgressDialog> ConsoleProgressFactory::CreateProgressDialog() {
  return std::make_unique<ConsoleProgress>(out_ != nullptr ? out_ : stderr, forceDraw_);
}

}  // namespace sumora

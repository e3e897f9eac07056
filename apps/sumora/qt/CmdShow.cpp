// `sumora show output|classes|progress`: fills a report window exactly as the components do and writes
// a picture of the whole window, without waiting for a user.
#include <QApplication>
#include <QDialog>
#include <QString>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "apps/sumora/Binding.h"
#include "apps/sumora/CommandLine.h"
#include "apps/sumora/Commands.h"
#include "apps/sumora/qt/QtApp.h"
#include "windows/ModalRunner.h"
#include "windows/QtHost.h"
#include "windows/SmrGauge.h"
#include "windows/SmrOutpt.h"
#include "windows/WindowCapture.h"

namespace sumora::cli {

namespace {

void WritePicture(QWidget& window, const std::string& path) {
  if (!SaveWindowPicture(window, QString::fromStdString(path))) throw std::runtime_error("cannot write " + path);
}

// Pictures a modal window instead of waiting for the user, then closes it with OK.
ModalRunner PictureRunner(const std::string& path) {
  return [path](QDialog& dialog) {
    dialog.show();
    QApplication::processEvents();
    WritePicture(dialog, path);
    dialog.hide();
    return int{QDialog::Accepted};
  };
}

// Progress dialogs that picture themselves the first time the loading pass reaches half-way.
class HalfwayPicture : public ProgressDialogFactory {
 public:
  explicit HalfwayPicture(std::string path) : path_(std::move(path)) {}
  bool Written() const { return written_; }

  std::unique_ptr<ProgressDialog> CreateProgressDialog() override {
    return std::make_unique<HalfwayDialog>(*this);
  }

 private:
  class HalfwayDialog : public QtProgressDialog {
   public:
    explicit HalfwayDialog(HalfwayPicture& owner) : owner_(owner) {}
    void SetGaugeProgress(GaugeKind kind, const std::string& message, double fraction) override {
      QtProgressDialog::SetGaugeProgress(kind, message, fraction);
      if (owner_.written_ || kind != GaugeKind::Horizontal || fraction < 0.5) return;
      // The picture shows the dialog whether or not this run would have shown it.
      if (!Dialog().isVisible()) Show();
      QtProgressDialog::SetGaugeProgress(kind, message, fraction);
      WritePicture(Dialog(), owner_.path_);
      owner_.written_ = true;
    }

   private:
    HalfwayPicture& owner_;
  };

  std::string path_;
  bool written_ = false;
};

}  // namespace

int CmdShow(const Args& args) {
  if (args.empty()) throw UsageError("show needs output, classes or progress");
  const std::string window = args.front();
  if (window != "output" && window != "classes" && window != "progress")
    throw UsageError("show takes output, classes or progress, not '" + window + "'");
  const CommandLine line(Args(args.begin() + 1, args.end()), WithBindingOptions({"out"}), WithBindingFlags());
  if (!line.Positional().empty()) throw UsageError("unexpected argument '" + line.Positional().front() + "'");
  const std::string out = line.Require("out");

  HalfwayPicture halfway(out);
  PictureSession session(window == "progress" ? &halfway : nullptr);
  ScopedModalRunner runner(PictureRunner(out));

  int status = 0;
  {
    BoundComponent bound = BindComponent(line, /*requireField=*/true);
    if (window == "output") {
      bound.dataset->Open();
      TOutputForm form;
      form.ShowOutput(*bound.stats);
    } else if (window == "classes") {
      OpenAndSummarize(bound);
      bound.stats->FrequencyDisplay();
    } else {
      bound.dataset->Open();
      bound.stats->Summarize();
      if (!halfway.Written()) {
        std::fprintf(stderr, "error: the loading pass never reached half-way (no non-null values?)\n");
        status = 1;
      }
    }
  }
  return status;
}

}  // namespace sumora::cli

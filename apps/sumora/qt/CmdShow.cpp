// `sumora show output|classes|progress`: fills a report window exactly as the components do and writes
// a picture of the whole window, without waiting for a user.
#include <QApplication>
#include <QDialog>
#include <QString>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/sumora/Binding.h"
#include "apps/sumora/CommandLine.h"
#include "apps/sumora/Commands.h"
#include "apps/sumora/qt/PictureFile.h"
#include "apps/sumora/qt/QtApp.h"
#include "host/SafeFile.h"
#include "windows/ModalRunner.h"
#include "windows/QtHost.h"
#include "windows/SmrGauge.h"
#include "windows/SmrOutpt.h"

namespace sumora::cli {

namespace {

// The picture is held in memory until the command has succeeded, so a failing command leaves no file.
struct Picture {
  PictureFormat format = PictureFormat::Png;
  std::string bytes;
  bool taken = false;
  void Take(QWidget& window) {
    bytes = WindowPictureBytes(window, format);
    taken = true;
  }
};

// Pictures a modal window instead of waiting for the user, then closes it with OK.
ModalRunner PictureRunner(Picture& picture) {
  return [&picture](QDialog& dialog) {
    dialog.show();
    QApplication::processEvents();
    picture.Take(dialog);
    dialog.hide();
    return int{QDialog::Accepted};
  };
}

// Progress dialogs that picture themselves the first time the loading pass reaches half-way.
class HalfwayPicture : public ProgressDialogFactory {
 public:
  explicit HalfwayPicture(Picture& picture) : picture_(picture) {}

  std::unique_ptr<ProgressDialog> CreateProgressDialog() override {
    return std::make_unique<HalfwayDialog>(*this);
  }

 private:
  class HalfwayDialog : public QtProgressDialog {
   public:
    explicit HalfwayDialog(HalfwayPicture& owner) : owner_(owner) {}
    void SetGaugeProgress(GaugeKind kind, const std::string& message, double fraction) override {
      QtProgressDialog::SetGaugeProgress(kind, message, fraction);
      if (owner_.picture_.taken || kind != GaugeKind::Horizontal || fraction < 0.5) return;
      // The picture shows the dialog whether or not this run would have shown it.
      if (!Dialog().isVisible()) Show();
      QtProgressDialog::SetGaugeProgress(kind, message, fraction);
      owner_.picture_.Take(Dialog());
    }

   private:
    HalfwayPicture& owner_;
  };

  Picture& picture_;
};

}  // namespace

int CmdShow(const Args& args) {
  if (args.empty()) throw UsageError("show needs output, classes or progress");
  const std::string window = args.front();
  if (window != "output" && window != "classes" && window != "progress")
    throw UsageError("show takes output, classes or progress, not '" + window + "'");
  const CommandLine line(Args(args.begin() + 1, args.end()), WithBindingOptions({"out"}), WithBindingFlags());
  const std::string out = line.Require("out");
  const PictureFormat format = PictureFormatOf(out);
  CheckOutputTarget(out);

  Picture picture;
  picture.format = format;
  HalfwayPicture halfway(picture);
  PictureSession session(window == "progress" ? &halfway : nullptr);
  ScopedModalRunner runner(PictureRunner(picture));

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
      if (!picture.taken) {
        std::fprintf(stderr, "error: the loading pass never reached half-way (no non-null values?)\n");
        return 1;
      }
    }
  }
  if (!picture.taken) {
    std::fprintf(stderr, "error: the window did not open\n");
    return 1;
  }
  WriteFileAtomically(out, picture.bytes);
  return 0;
}

}  // namespace sumora::cli

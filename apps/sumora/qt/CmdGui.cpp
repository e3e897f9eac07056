// `sumora gui [FORM]`: the workbench. Without a FORM it opens the sample form that `sumora sample`
// writes (data/orders.form.json) when there is one. `--screenshot FILE` (with `--summarize`) pictures
// the window once it is laid out and exits, for documentation.
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "apps/sumora/CommandLine.h"
#include "apps/sumora/Commands.h"
#include "apps/sumora/qt/QtApp.h"
#include "apps/workbench/Workbench.h"
#include "host/SafeFile.h"
#include "package/Smr32reg.h"
#include "plot/PlotRegistration.h"
#include "windows/ModalRunner.h"
#include "windows/QtHost.h"
#include "windows/WindowCapture.h"

namespace sumora::cli {

namespace {

const char* const kSampleForm = "data/orders.form.json";

}  // namespace

int CmdGui(const Args& args) {
  const CommandLine line(args, {"screenshot"}, {"summarize"}, 1);

  if (auto picture = line.Get("screenshot")) CheckOutputTarget(*picture);
  const auto application = MakeQtApplication();
  QApplication::setApplicationName(QStringLiteral("Sumora Workbench"));
  QtHost host;
  RegisterPlotWindow();
  Register();

  Workbench workbench;
  QString form;
  if (!line.Positional().empty()) {
    form = QString::fromStdString(line.Positional().front());
  } else if (QFileInfo::exists(QString::fromLatin1(kSampleForm))) {
    form = QString::fromLatin1(kSampleForm);
  }
  if (!form.isEmpty() && !workbench.OpenForm(form) && !line.Positional().empty()) return 1;
  workbench.show();

  if (auto picture = line.Get("screenshot")) {
    // Nothing may wait for a user: questions are answered No, windows are closed at once.
    ScopedModalRunner noUser([](QDialog&) { return int{QMessageBox::No}; });
    QApplication::processEvents();
    if (line.Has("summarize")) workbench.Summarize();
    QApplication::processEvents();
    SaveWindowPicture(workbench, *picture);
    return 0;
  }
  return QApplication::exec();
}

}  // namespace sumora::cli

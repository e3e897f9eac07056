// `sumora gui [FORM]`: the workbench. Without a FORM it opens the sample form that `sumora sample`
// writes (data/orders.form.json), looked for under the current directory and the program's folders;
// when there is none it says where it looked and opens an empty form. `--screenshot FILE` (with
// `--summarize`) pictures the window once it is laid out and exits, for documentation.
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

// Where the sample form may be: under the current directory, then under the folder of the program and
// each folder above it (build/bin/sumora finds the repository's data/, PREFIX/bin/sumora finds
// PREFIX/data/).
std::vector<std::filesystem::path> SampleFormPlaces() {
  namespace fs = std::filesystem;
  std::vector<fs::path> places;
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  if (!ec) places.push_back(here / kSampleForm);
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    for (fs::path folder = program.parent_path(); !folder.empty(); folder = folder.parent_path()) {
      const fs::path place = folder / kSampleForm;
      if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
      if (folder == folder.root_path()) break;
    }
  }
  return places;
}

QString FindSampleForm() {
  std::string looked;
  for (const auto& place : SampleFormPlaces()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(place, ec)) return QString::fromStdString(place.string());
    looked += (looked.empty() ? "" : ", ") + place.string();
  }
  std::fprintf(stderr,
               "sumora gui: no sample form; looked for %s. Run `sumora sample` to write it, or give a FORM.\n",
               looked.c_str());
  return QString();
}

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
  } else {
    form = FindSampleForm();
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

#include "apps/workbench/Workbench.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <exception>
#include <tuple>
#include <utility>

#include "apps/sumora/ReportCommand.h"
#include "apps/workbench/PropertyInspector.h"
#include "apps/workbench/ServerWait.h"
#include "engine/SmrEngine.h"
#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrReport.h"
#include "dataset/DataSet.h"
#include "design/DesignIntf.h"
#include "design/FormFile.h"
#include "design/Properties.h"
#include "host/SafeFile.h"
#include "host/Services.h"
#include "package/PaletteBitmaps.h"
#include "report/ReportHtml.h"
#include "windows/ModalRunner.h"
#include "windows/SmrOutpt.h"

namespace sumora {

namespace {

constexpr int kComponentRole = Qt::UserRole + 1;
const char* const kFormFilter = "Form files (*.form.json *.json);;All files (*)";

QString Text(const std::string& text) { return QString::fromStdString(text); }

std::unique_ptr<TForm> EmptyForm() {
  auto form = std::make_unique<TForm>();
  form->SetName("Form1");
  return form;
}

// The name of a new component of `className`: the class name without its T and the first free number.
std::string FreeName(const TForm& form, const std::string& className) {
  const std::string stem = className.size() > 1 && className.front() == 'T' ? className.substr(1) : className;
  for (int number = 1;; ++number) {
    const std::string name = stem + std::to_string(number);
    bool taken = false;
    for (const TComponent* component : form.Components()) taken = taken || component->Name() == name;
    if (!taken) return name;
  }
}

}  // namespace

Workbench::Workbench(QWidget* parent) : QMainWindow(parent), form_(EmptyForm()) {
  resize(980, 700);
  setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
  components_ = new QListWidget(this);
  components_->setViewMode(QListView::IconMode);
  components_->setIconSize(QSize(24, 24));
  components_->setGridSize(QSize(120, 56));
  components_->setMovement(QListView::Static);
  components_->setResizeMode(QListView::Adjust);
  components_->setWordWrap(true);
  setCentralWidget(components_);

  inspector_ = new PropertyInspector(this);
  auto* inspectorDock = new QDockWidget(tr("Object Inspector"), this);
  inspectorDock->setObjectName(QStringLiteral("inspectorDock"));
  inspectorDock->setWidget(inspector_);
  inspectorDock->setFeatures(QDockWidget::DockWidgetMovable);
  inspectorDock->setMinimumWidth(340);
  addDockWidget(Qt::RightDockWidgetArea, inspectorDock);

  results_ = new QPlainTextEdit(this);
  results_->setReadOnly(true);
  results_->setPlaceholderText(tr("Summarize a component to list its statistics here."));
  // Every line of a summary in view at once: skewness and kurtosis, the last lines, are what a
  // scroll bar would hide. One line more than the summary leaves room for a wrapped dataset line.
  constexpr int kResultLines = static_cast<int>(std::tuple_size_v<decltype(SummaryTexts(std::declval<TSumoraStats&>()))>) + 1;
  const int resultsHeight = results_->fontMetrics().lineSpacing() * kResultLines +
                            2 * (results_->frameWidth() + static_cast<int>(results_->document()->documentMargin())) + 4;
  results_->setMinimumHeight(resultsHeight);
  auto* resultsDock = new QDockWidget(tr("Results"), this);
  resultsDock->setObjectName(QStringLiteral("resultsDock"));
  resultsDock->setWidget(results_);
  resultsDock->setFeatures(QDockWidget::DockWidgetMovable);
  addDockWidget(Qt::BottomDockWidgetArea, resultsDock);
  resizeDocks({resultsDock}, {resultsHeight}, Qt::Vertical);

  BuildMenus();
  BuildPalette();
  connect(components_, &QListWidget::currentItemChanged, this, [this] {
    inspector_->SetComponent(SelectedComponent());
    UpdateActions();
  });
  connect(inspector_, &PropertyInspector::PropertyChanged, this, [this] {
    SetModified(true);
    RefreshComponents();
  });
  SetModified(false);
  RefreshComponents();
  statusBar()->showMessage(tr("Ready"));
}

Workbench::~Workbench() {
  // The inspector's editors point into the form's components.
  inspector_->SetComponent(nullptr);
}

void Workbench::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(tr("&New"), QKeySequence::New, this, [this] { NewForm(); });
  file->addAction(tr("&Open..."), QKeySequence::Open, this, [this] {
    if (!MayDiscardChanges()) return;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Form"), QString(), tr(kFormFilter));
    if (!path.isEmpty()) {
      SetModified(false);  // the question was asked already
      OpenForm(path);
    }
  });
  file->addAction(tr("&Save"), QKeySequence::Save, this, [this] { SaveForm(); });
  file->addAction(tr("Save &As..."), QKeySequence::SaveAs, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Form As"), fileName_, tr(kFormFilter));
    if (!path.isEmpty()) SaveFormAs(path);
  });
  file->addSeparator();
  file->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  deleteAction_ = edit->addAction(tr("&Delete Component"), QKeySequence::Delete, this, &Workbench::DeleteComponent);

  QMenu* component = menuBar()->addMenu(tr("&Component"));
  QToolBar* commands = addToolBar(tr("Commands"));
  commands->setObjectName(QStringLiteral("commands"));
  auto command = [&](const QString& text, void (Workbench::*slot)()) {
    QAction* action = component->addAction(text, this, slot);
    commands->addAction(action);
    return action;
  };
  openAction_ = command(tr("&Open Dataset"), &Workbench::OpenDataSet);
  closeAction_ = command(tr("&Close Dataset"), &Workbench::CloseDataSet);
  component->addSeparator();
  commands->addSeparator();
  summarizeAction_ = command(tr("&Summarize"), &Workbench::Summarize);
  outputAction_ = command(tr("O&utput"), &Workbench::Output);
  frequencyAction_ = command(tr("&Frequency Display"), &Workbench::FrequencyDisplay);
  chartAction_ = command(tr("Summary C&hart"), &Workbench::SummaryChart);
  reportAction_ = component->addAction(tr("&Report..."), this, [this] { Report(); });
  reportAction_->setStatusTip(tr("Write the profile page of the component's dataset: every field, one HTML file"));
  component->addSeparator();
  serverSideAction_ = component->addAction(tr("Server-Side &Sums"));
  serverSideAction_->setCheckable(true);
  serverSideAction_->setStatusTip(tr("Let a PostgreSQL server compute the sums of both passes"));
  connect(serverSideAction_, &QAction::toggled, this, [this](bool on) { SetServerSide(on); });
}

void Workbench::SetServerSide(bool on) {
  TSumoraStats* stats = StatsOf(SelectedComponent());
  if (stats == nullptr || stats->ServerSide() == on) return;
  stats->SetServerSide(on);
  SetModified(true);
  UpdateActions();
}

void Workbench::BuildPalette() {
  auto* tabs = new QTabWidget(this);
  tabs->setObjectName(QStringLiteral("palette"));
  tabs->setDocumentMode(true);
  for (const auto& page : PalettePages()) {
    auto* holder = new QWidget(tabs);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(2, 2, 2, 2);
    for (const auto& className : PaletteClasses(page)) {
      auto* button = new QToolButton(holder);
      button->setObjectName(Text(className));
      button->setIcon(QIcon(PaletteBitmap(className)));
      button->setIconSize(QSize(24, 24));
      button->setAutoRaise(true);
      button->setToolTip(Text(className));
      connect(button, &QToolButton::clicked, this, [this, className] { PlaceComponent(className); });
      layout->addWidget(button);
    }
    layout->addStretch(1);
    tabs->addTab(holder, Text(page));
  }
  QToolBar* palette = addToolBar(tr("Palette"));
  palette->setObjectName(QStringLiteral("paletteBar"));
  palette->addWidget(tabs);
  insertToolBarBreak(palette);
}

QToolButton* Workbench::PaletteButton(const std::string& className) const {
  return findChild<QToolButton*>(Text(className));
}

// --- Files ---------------------------------------------------------------------------------------

bool Workbench::MayDiscardChanges() {
  if (!IsModified()) return true;
  const QString name = fileName_.isEmpty() ? tr("the new form") : QFileInfo(fileName_).fileName();
  QMessageBox box(QMessageBox::Question, tr("Sumora Workbench"), tr("Save changes to %1?").arg(name),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setDefaultButton(QMessageBox::Save);
  switch (RunModal(box)) {
    case QMessageBox::Save: return SaveForm();
    case QMessageBox::Discard: return true;
    default: return false;
  }
}

void Workbench::ReplaceForm(std::unique_ptr<TForm> form, const QString& fileName) {
  inspector_->SetComponent(nullptr);
  components_->clear();
  results_->clear();
  form_ = std::move(form);
  fileName_ = fileName;
  SetModified(false);
  RefreshComponents();
  if (components_->count() > 0) components_->setCurrentRow(0);
}

bool Workbench::NewForm() {
  if (!MayDiscardChanges()) return false;
  ReplaceForm(EmptyForm(), QString());
  return true;
}

bool Workbench::OpenForm(const QString& path) {
  if (!MayDiscardChanges()) return false;
  std::unique_ptr<TForm> form;
  try {
    form = ReadFormFile(path.toStdString());
  } catch (const std::exception& error) {
    MessageDlg(error.what(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    return false;
  }
  ReplaceForm(std::move(form), path);
  statusBar()->showMessage(tr("Opened %1").arg(path));
  return true;
}

bool Workbench::SaveForm() {
  if (fileName_.isEmpty()) {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Form As"), QString(), tr(kFormFilter));
    return !path.isEmpty() && SaveFormAs(path);
  }
  return SaveFormAs(fileName_);
}

bool Workbench::SaveFormAs(const QString& path) {
  try {
    WriteFormFile(*form_, path.toStdString());
  } catch (const std::exception& error) {
    MessageDlg(error.what(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    return false;
  }
  fileName_ = path;
  SetModified(false);
  statusBar()->showMessage(tr("Saved %1").arg(path));
  return true;
}

void Workbench::closeEvent(QCloseEvent* event) {
  if (MayDiscardChanges()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void Workbench::SetModified(bool modified) {
  modified_ = modified;
  UpdateTitle();
}

void Workbench::UpdateTitle() {
  const QString name = fileName_.isEmpty() ? tr("Untitled") : QFileInfo(fileName_).fileName();
  // The marker is written into the title here rather than through Qt's "[*]" placeholder, so that
  // pictures of the window, which draw the title text as set, show it too.
  const QString marker = IsModified() ? QStringLiteral("*") : QString();
  setWindowTitle(tr("%1%2 - %3 - Sumora Workbench").arg(name, marker, Text(form_->Name())));
}

// --- Components ----------------------------------------------------------------------------------

TComponent* Workbench::PlaceComponent(const std::string& className) {
  const ComponentClassInfo* info = FindComponentClass(className);
  if (info == nullptr) return nullptr;
  TComponent* component = info->create(form_.get());
  component->SetName(FreeName(*form_, className));
  SetModified(true);
  RefreshComponents();
  SelectComponent(component);
  return component;
}

void Workbench::SelectComponent(TComponent* component) {
  for (int row = 0; row < components_->count(); ++row) {
    QListWidgetItem* item = components_->item(row);
    if (item->data(kComponentRole).value<quintptr>() == reinterpret_cast<quintptr>(component)) {
      components_->setCurrentItem(item);
      return;
    }
  }
}

TComponent* Workbench::SelectedComponent() const {
  QListWidgetItem* item = components_->currentItem();
  return item == nullptr ? nullptr : reinterpret_cast<TComponent*>(item->data(kComponentRole).value<quintptr>());
}

void Workbench::DeleteComponent() {
  TComponent* component = SelectedComponent();
  if (component == nullptr) return;
  inspector_->SetComponent(nullptr);
  delete components_->takeItem(components_->currentRow());
  delete component;  // leaves the form's list by itself
  SetModified(true);
  RefreshComponents();
}

void Workbench::RefreshComponents() {
  TComponent* selected = SelectedComponent();
  {
    const QSignalBlocker blocker(components_);
    components_->clear();
    for (TComponent* component : form_->Components()) {
      if (FindComponentClass(component->ClassName()) == nullptr) continue;
      auto* dataSet = dynamic_cast<TDataSet*>(component);
      QString text = Text(component->Name());
      if (dataSet != nullptr && dataSet->Active()) text += tr(" (open)");
      auto* item = new QListWidgetItem(QIcon(PaletteBitmap(component->ClassName())), text, components_);
      item->setToolTip(Text(component->ClassName()));
      item->setData(kComponentRole, QVariant::fromValue(reinterpret_cast<quintptr>(component)));
      if (component == selected) components_->setCurrentItem(item);
    }
  }
  UpdateActions();
}

void Workbench::UpdateActions() {
  auto* dataSet = dynamic_cast<TDataSet*>(SelectedComponent());
  const bool selected = dataSet != nullptr;
  openAction_->setEnabled(selected && !dataSet->Active());
  closeAction_->setEnabled(selected && dataSet->Active());
  for (QAction* action : {summarizeAction_, outputAction_, frequencyAction_, chartAction_, reportAction_, deleteAction_}) {
    action->setEnabled(selected);
  }
  const QSignalBlocker quiet(serverSideAction_);
  serverSideAction_->setEnabled(selected);
  serverSideAction_->setChecked(selected && StatsOf(SelectedComponent())->ServerSide());
}

// --- Commands ------------------------------------------------------------------------------------

template <typename Command>
void Workbench::Run(const char* what, Command&& command) {
  TComponent* component = SelectedComponent();
  TSumoraStats* stats = StatsOf(component);
  auto* dataSet = dynamic_cast<TDataSet*>(component);
  if (stats == nullptr || dataSet == nullptr) return;
  try {
    ServerWaitScope waiting(this);
    command(*stats, *dataSet);
    statusBar()->showMessage(tr("%1: %2").arg(Text(component->Name()), tr(what)));
  } catch (const std::exception& error) {
    MessageDlg(error.what(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
  }
  RefreshComponents();
  inspector_->Refresh();
}

void Workbench::OpenDataSet() {
  Run("dataset opened", [](TSumoraStats&, TDataSet& dataSet) { dataSet.Open(); });
}

void Workbench::CloseDataSet() {
  Run("dataset closed", [](TSumoraStats&, TDataSet& dataSet) { dataSet.Close(); });
}

void Workbench::Summarize() {
  Run("summarized", [this](TSumoraStats& stats, TDataSet& dataSet) {
    dataSet.Open();
    stats.Summarize();
    stats.GetdsCoeffVariation();
    QStringList lines;
    for (const auto& text : SummaryTexts(stats)) lines.push_back(Text(text));
    results_->setPlainText(lines.join(QLatin1Char('\n')));
  });
}

void Workbench::Output() {
  Run("summary shown", [this](TSumoraStats& stats, TDataSet& dataSet) {
    dataSet.Open();
    if (auto* query = dynamic_cast<TSumoraQuery*>(&dataSet)) {
      query->Output();
    } else {
      TOutputForm form(this);
      form.ShowOutput(stats);
    }
  });
}

void Workbench::FrequencyDisplay() {
  Run("class frequencies shown", [](TSumoraStats& stats, TDataSet& dataSet) {
    dataSet.Open();
    if (!stats.dsLoadedFlag()) stats.Summarize();
    stats.FrequencyDisplay();
  });
}

void Workbench::SummaryChart() {
  Run("chart shown", [](TSumoraStats& stats, TDataSet& dataSet) {
    dataSet.Open();
    // The chart draws the results as they stand; without any it would be an empty histogram.
    if (!stats.dsLoadedFlag()) stats.Summarize();
    stats.SummaryChart();
  });
}

void Workbench::Report(const QString& path) {
  QString target = path;
  if (target.isEmpty()) {
    target = QFileDialog::getSaveFileName(this, tr("Write Report"), QString(), tr("Report pages (*.html)"));
    if (target.isEmpty()) return;
  }
  Run("report written", [&](TSumoraStats& stats, TDataSet& dataSet) {
    const std::string file = target.toStdString();
    CheckOutputTarget(file);
    cli::BoundComponent bound{nullptr, &stats, &dataSet, dynamic_cast<TSumoraQuery*>(&dataSet) != nullptr};
    WriteFileAtomically(file, report::RenderReportHtml(cli::GatherReport(bound, cli::ReportRequest{})));
  });
}

}  // namespace sumora

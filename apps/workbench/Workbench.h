// The workbench: the design environment of the statistics components. A palette page per registered
// page places components on the form; the form shows its components; the property inspector edits the
// selected one; commands open and close its dataset, summarize it and open its windows; form files are
// created, opened and saved, with a modified marker in the title and a question before changes are
// lost.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

class QAction;
class QListWidget;
class QPlainTextEdit;
class QToolButton;
class QCloseEvent;

namespace sumora {

class TComponent;
class TForm;
class PropertyInspector;

class Workbench : public QMainWindow {
  Q_OBJECT

 public:
  // Needs Register() to have run (the palette and the editors come from the design registry).
  explicit Workbench(QWidget* parent = nullptr);
  ~Workbench() override;

  // --- Files -----------------------------------------------------------------------------------
  // Each of these first asks about unsaved changes; false when the user cancels or the file cannot
  // be read (an error box says why and the open form stays as it was).
  bool NewForm();
  bool OpenForm(const QString& path);
  // Saves to the current file, or asks for one when the form has none. False on failure or cancel.
  bool SaveForm();
  bool SaveFormAs(const QString& path);
  bool IsModified() const { return modified_; }
  const QString& FileName() const { return fileName_; }
  TForm& Form() const { return *form_; }

  // --- Components ------------------------------------------------------------------------------
  // Places a new component of a registered class on the form, named after its class with the first
  // free number, and selects it.
  TComponent* PlaceComponent(const std::string& className);
  void SelectComponent(TComponent* component);
  TComponent* SelectedComponent() const;
  // Removes the selected component from the form.
  void DeleteComponent();

  // --- Commands on the selected component (errors are shown in a message box) ------------------
  void OpenDataSet();
  void CloseDataSet();
  // Opens the dataset when it is closed, summarizes and lists the results.
  void Summarize();
  void Output();
  // The class and chart windows summarize the component first when it has no results yet.
  void FrequencyDisplay();
  void SummaryChart();
  // Component > Report...: the profile page of the selected component's dataset (every field), written
  // to `path`, or to a file the user picks when `path` is empty.
  void Report(const QString& path = QString());
  // Server-side sums for the selected component (Component > Server-Side Sums); marks the form changed.
  void SetServerSide(bool on);
  QAction& ServerSideAction() const { return *serverSideAction_; }
  QAction& ReportAction() const { return *reportAction_; }

  // Parts a test or a picture looks at.
  PropertyInspector& Inspector() const { return *inspector_; }
  QListWidget& ComponentList() const { return *components_; }
  QPlainTextEdit& Results() const { return *results_; }
  // The palette button of `className`; nullptr when the palette has none.
  QToolButton* PaletteButton(const std::string& className) const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildPalette();
  // True when the form may be replaced: no changes, or saved, or discarded.
  bool MayDiscardChanges();
  void ReplaceForm(std::unique_ptr<TForm> form, const QString& fileName);
  void SetModified(bool modified);
  void RefreshComponents();
  void UpdateTitle();
  void UpdateActions();
  template <typename Command>
  void Run(const char* what, Command&& command);

  std::unique_ptr<TForm> form_;
  QString fileName_;
  bool modified_ = false;
  QListWidget* components_;
  PropertyInspector* inspector_;
  QPlainTextEdit* results_;
  QAction* openAction_ = nullptr;
  QAction* closeAction_ = nullptr;
  QAction* summarizeAction_ = nullptr;
  QAction* outputAction_ = nullptr;
  QAction* frequencyAction_ = nullptr;
  QAction* chartAction_ = nullptr;
  QAction* deleteAction_ = nullptr;
  QAction* reportAction_ = nullptr;
  QAction* serverSideAction_ = nullptr;
};

}  // namespace sumora

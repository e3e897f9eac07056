// The property inspector: one row per published property of the selected component (its Name first),
// each edited through the editor the design registry gives that class and property. A value list
// drops down the editor's values, sorted when the editor asks for it; lines of text open a dialog;
// numbers are checked as they are typed. A value a setter refuses is reported in a message box.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QTableWidget;

namespace sumora {

class TComponent;
class TPropertyEditor;

class PropertyInspector : public QWidget {
  Q_OBJECT

 public:
  explicit PropertyInspector(QWidget* parent = nullptr);
  ~PropertyInspector() override;

  // Shows the properties of `component` (nullptr: none). The component must outlive the inspector or
  // be replaced first.
  void SetComponent(TComponent* component);
  TComponent* Component() const { return component_; }
  // Reads every value again (after a command changed the component).
  void Refresh();

  // The widget that edits `propertyName` ("Name" for the component's name); nullptr when absent.
  QWidget* EditorWidget(const std::string& propertyName) const;
  // Sets `propertyName` from `text` as if typed and confirmed; false when refused (the refusal is
  // shown as a message box).
  bool Commit(const std::string& propertyName, const QString& text);

 signals:
  // A property or the name was changed by the user.
  void PropertyChanged();

 private:
  struct Row;
  void ClearRows();
  void Build();
  QWidget* MakeEditorWidget(Row& row);
  bool CommitName(const QString& text);
  void EditLines(Row& row);

  QLabel* heading_;
  QTableWidget* table_;
  TComponent* component_ = nullptr;
  std::vector<std::unique_ptr<Row>> rows_;
};

}  // namespace sumora

#include "apps/workbench/PropertyInspector.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <exception>

#include "apps/workbench/ValueListCombo.h"
#include "host/Classes.h"
#include "design/DesignIntf.h"
#include "design/Properties.h"
#include "host/Services.h"
#include "windows/ModalRunner.h"

namespace sumora {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

void ShowError(const std::exception& error) {
  MessageDlg(error.what(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
}

bool ValidName(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front())) != 0) return false;
  return std::all_of(name.begin(), name.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0 || c == '_'; });
}

// The first line of a text, with an ellipsis when more follow.
QString FirstLine(const std::string& text) {
  const auto end = text.find('\n');
  if (end == std::string::npos) return Text(text);
  return Text(text.substr(0, end)) + QStringLiteral(" ...");
}

}  // namespace

struct PropertyInspector::Row {
  std::string name;
  std::unique_ptr<TPropertyEditor> editor;  // none for the Name row
  QWidget* widget = nullptr;
  QLineEdit* line = nullptr;        // plain and number rows, and the lines row's summary
  ValueListCombo* combo = nullptr;  // value lists
};

PropertyInspector::PropertyInspector(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  heading_ = new QLabel(this);
  heading_->setTextFormat(Qt::PlainText);
  layout->addWidget(heading_);
  table_ = new QTableWidget(0, 2, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->verticalHeader()->setVisible(false);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  layout->addWidget(table_);
  SetComponent(nullptr);
}

PropertyInspector::~PropertyInspector() { ClearRows(); }

void PropertyInspector::SetComponent(TComponent* component) {
  ClearRows();
  component_ = component;
  Build();
}

void PropertyInspector::ClearRows() {
  // Editors losing focus as they are deleted must not write into a component.
  for (auto& row : rows_) {
    if (row->line != nullptr) row->line->blockSignals(true);
    if (row->combo != nullptr) {
      row->combo->blockSignals(true);
      if (row->combo->lineEdit() != nullptr) row->combo->lineEdit()->blockSignals(true);
    }
  }
  table_->setRowCount(0);
  rows_.clear();
}

void PropertyInspector::Build() {
  if (component_ == nullptr) {
    heading_->setText(tr("No component selected"));
    return;
  }
  heading_->setText(Text(component_->Name() + ": " + component_->ClassName()));
  auto nameRow = std::make_unique<Row>();
  nameRow->name = "Name";
  rows_.push_back(std::move(nameRow));
  if (const ComponentClassInfo* info = FindComponentClass(component_->ClassName())) {
    for (const auto& property : info->properties) {
      auto row = std::make_unique<Row>();
      row->name = property.name;
      row->editor = CreatePropertyEditor({component_}, property);
      rows_.push_back(std::move(row));
    }
  }
  table_->setRowCount(static_cast<int>(rows_.size()));
  for (int index = 0; index < static_cast<int>(rows_.size()); ++index) {
    Row& row = *rows_[static_cast<std::size_t>(index)];
    table_->setItem(index, 0, new QTableWidgetItem(Text(row.name)));
    row.widget = MakeEditorWidget(row);
    table_->setCellWidget(index, 1, row.widget);
  }
  Refresh();
}

QWidget* PropertyInspector::MakeEditorWidget(Row& row) {
  const std::string name = row.name;
  if (row.editor == nullptr) {
    row.line = new QLineEdit(table_);
    connect(row.line, &QLineEdit::editingFinished, this, [this, name] { Commit(name, rows_.front()->line->text()); });
    return row.line;
  }
  TPropertyEditor& editor = *row.editor;
  const TPropertyAttributes attributes = editor.GetAttributes();
  if (attributes.Contains(TPropertyAttribute::paValueList)) {
    const bool sorted = attributes.Contains(TPropertyAttribute::paSortList);
    auto values = [&editor, sorted] {
      QStringList items;
      try {
        editor.GetValues([&items](const std::string& value) { items.push_back(Text(value)); });
      } catch (const std::exception& error) {
        ShowError(error);
      }
      if (sorted) items.sort(Qt::CaseInsensitive);
      return items;
    };
    row.combo = new ValueListCombo(values, table_);
    // Free text is allowed where the property is text (a field name may be typed before the dataset
    // can be reached); enumerations take only their names.
    const bool freeText = editor.Property().kind == PropertyKind::String;
    row.combo->setEditable(freeText);
    if (!freeText) row.combo->Refill();
    ValueListCombo* combo = row.combo;
    connect(combo, &QComboBox::activated, this, [this, name, combo](int index) { Commit(name, combo->itemText(index)); });
    if (freeText) {
      connect(combo->lineEdit(), &QLineEdit::editingFinished, this,
              [this, name, combo] { Commit(name, combo->currentText()); });
    }
    return combo;
  }
  if (attributes.Contains(TPropertyAttribute::paDialog)) {
    auto* box = new QWidget(table_);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    row.line = new QLineEdit(box);
    row.line->setReadOnly(true);
    auto* button = new QToolButton(box);
    button->setText(QStringLiteral("..."));
    button->setObjectName(QStringLiteral("edit") + Text(name));
    layout->addWidget(row.line, 1);
    layout->addWidget(button);
    Row* rowPointer = &row;
    connect(button, &QToolButton::clicked, this, [this, rowPointer] { EditLines(*rowPointer); });
    return box;
  }
  row.line = new QLineEdit(table_);
  row.line->setMaxLength(editor.GetEditLimit() > 0 ? editor.GetEditLimit() : 32767);
  if (editor.Property().kind == PropertyKind::Double) {
    static const QRegularExpression number(QStringLiteral(R"([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d{1,3})?)"));
    row.line->setValidator(new QRegularExpressionValidator(number, row.line));
  } else if (editor.Property().kind == PropertyKind::Word) {
    row.line->setValidator(new QIntValidator(0, 65535, row.line));
  }
  QLineEdit* line = row.line;
  connect(line, &QLineEdit::editingFinished, this, [this, name, line] { Commit(name, line->text()); });
  return line;
}

void PropertyInspector::EditLines(Row& row) {
  QInputDialog dialog(this);
  dialog.setWindowTitle(Text(component_->Name() + "." + row.name));
  dialog.setLabelText(tr("Lines:"));
  dialog.setOption(QInputDialog::UsePlainTextEditForTextInput);
  dialog.setTextValue(Text(row.editor->GetValue()));
  if (RunModal(dialog) != QDialog::Accepted) return;
  Commit(row.name, dialog.textValue());
}

void PropertyInspector::Refresh() {
  if (component_ == nullptr) return;
  heading_->setText(Text(component_->Name() + ": " + component_->ClassName()));
  for (auto& row : rows_) {
    if (row->editor == nullptr) {
      const QSignalBlocker blocker(row->line);
      row->line->setText(Text(component_->Name()));
      continue;
    }
    const std::string value = row->editor->GetValue();
    if (row->combo != nullptr) {
      const QSignalBlocker blocker(row->combo);
      const int index = row->combo->findText(Text(value));
      if (index >= 0) {
        row->combo->setCurrentIndex(index);
      } else if (row->combo->isEditable()) {
        row->combo->setCurrentIndex(-1);
        row->combo->setEditText(Text(value));
      }
    } else if (row->line->isReadOnly()) {
      row->line->setText(FirstLine(value));
      row->line->setToolTip(Text(value));
    } else {
      const QSignalBlocker blocker(row->line);
      row->line->setText(Text(value));
    }
  }
}

QWidget* PropertyInspector::EditorWidget(const std::string& propertyName) const {
  for (const auto& row : rows_) {
    if (row->name == propertyName) return row->widget;
  }
  return nullptr;
}

bool PropertyInspector::CommitName(const QString& text) {
  const std::string name = text.trimmed().toStdString();
  if (name == component_->Name()) return true;
  bool taken = false;
  if (TComponent* owner = component_->Owner()) {
    for (const TComponent* other : owner->Components()) taken = taken || (other != component_ && other->Name() == name);
  }
  if (!ValidName(name) || taken) {
    const std::string message =
        taken ? "A component named " + name + " already exists." : "'" + name + "' is not a valid component name.";
    MessageDlg(message, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    Refresh();
    return false;
  }
  component_->SetName(name);
  Refresh();
  emit PropertyChanged();
  return true;
}

bool PropertyInspector::Commit(const std::string& propertyName, const QString& text) {
  if (component_ == nullptr) return false;
  if (propertyName == "Name") return CommitName(text);
  for (auto& row : rows_) {
    if (row->name != propertyName || row->editor == nullptr) continue;
    const std::string value = text.toStdString();
    if (value == row->editor->GetValue()) return true;  // leaving a field unchanged is no edit
    bool accepted = true;
    try {
      row->editor->SetValue(value);
    } catch (const std::exception& error) {
      ShowError(error);
      accepted = false;
    }
    // A setter may have stored something else (a clamp, a fallback); show what it kept.
    Refresh();
    if (accepted) emit PropertyChanged();
    return accepted;
  }
  return false;
}

}  // namespace sumora

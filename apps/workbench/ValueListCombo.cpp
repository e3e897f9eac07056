#include "apps/workbench/ValueListCombo.h"

#include <QSignalBlocker>
#include <QStringList>

namespace sumora {

ValueListCombo::ValueListCombo(std::function<QStringList()> values, QWidget* parent)
    : QComboBox(parent), values_(std::move(values)) {}

void ValueListCombo::Refill() {
  const QString current = currentText();
  const QStringList items = values_();
  const QSignalBlocker blocker(this);
  clear();
  addItems(items);
  const int index = findText(current);
  if (index >= 0) {
    setCurrentIndex(index);
  } else if (isEditable()) {
    setCurrentIndex(-1);
    setEditText(current);
  }
}

void ValueListCombo::showPopup() {
  Refill();
  QComboBox::showPopup();
}

}  // namespace sumora

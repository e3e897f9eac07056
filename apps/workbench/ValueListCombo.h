// A drop-down whose values are asked for each time it opens, so a field list always reflects the
// dataset as it is now.
#pragma once

#include <QComboBox>
#include <functional>

#include <QStringList>

namespace sumora {

class ValueListCombo : public QComboBox {
  Q_OBJECT

 public:
  // `values` is called before each drop-down; the items are replaced by what it returns, keeping the
  // current text.
  ValueListCombo(std::function<QStringList()> values, QWidget* parent = nullptr);

  // Fills the list now without showing it.
  void Refill();
  void showPopup() override;

 private:
  std::function<QStringList()> values_;
};

}  // namespace sumora

// A panel with an outer and an inner one-pixel bevel and an optional caption centred in it, as the
// report windows frame their groups and the progress dialog's status line.
#pragma once

#include <QString>
#include <QWidget>

namespace sumora {

enum class Bevel { None, Lowered, Raised };

class BevelPanel : public QWidget {
  Q_OBJECT

 public:
  explicit BevelPanel(QWidget* parent = nullptr, Bevel outer = Bevel::Raised, Bevel inner = Bevel::None);

  Bevel OuterBevel() const { return outer_; }
  Bevel InnerBevel() const { return inner_; }
  const QString& Caption() const { return caption_; }
  // Store and schedule a repaint only when the value differs.
  void SetCaption(const QString& caption);
  void SetBevels(Bevel outer, Bevel inner);
  // Fills the panel with `colour` instead of the window colour.
  void SetColour(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Bevel outer_;
  Bevel inner_;
  QString caption_;
};

}  // namespace sumora

// The look the report windows share: fonts given by character height in pixels, the named colours,
// the two-label heading with its white edge, the OK button and fixed-size dialog frames.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;
class QRect;

namespace sumora {

inline const QColor kMaroon{0x80, 0x00, 0x00};
inline const QColor kNavy{0x00, 0x00, 0x80};

// The old dialog fonts ("MS Sans Serif", "System") have no metric twin; Liberation Sans stands in
// for them, as it does for Arial, so every sans text in the windows comes from one family.
QFont UiFont(int pixelHeight, bool bold = false);
// Arial's metric-compatible face.
QFont ArialFont(int pixelHeight, bool bold = false);
// Times New Roman's metric-compatible face.
QFont TimesFont(int pixelHeight, bool bold = false);

// A transparent label with `text` in `colour`, placed at `geometry` (no auto-size).
QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry, const QFont& font,
                  const QColor& colour);
// A transparent label that sizes itself to its text, at (x, y).
QLabel* MakeAutoLabel(QWidget* parent, const QString& text, int x, int y, const QFont& font);

struct Heading {
  QLabel* shadow = nullptr;  // white, underneath
  QLabel* face = nullptr;    // maroon, drawn over the shadow one pixel away
};
// The heading pair: `shadowGeometry` for the white label, `faceGeometry` for the maroon one. Unless
// centred and word-wrapped, the labels grow to their text's width.
Heading MakeHeading(QWidget* parent, const QString& text, const QRect& shadowGeometry, const QRect& faceGeometry,
                    const QFont& font, bool centredWrapped = false);

// The OK button with its standard glyph; default button, so Enter closes the dialog with Accepted.
QPushButton* MakeOkButton(QDialog* dialog, QWidget* parent, const QRect& geometry);

// Gives `dialog` a dialog border with only the close box, a client area of exactly width × height,
// and the caption `caption`.
void MakeFixedDialog(QDialog* dialog, int width, int height, const QString& caption);
// Moves a top-level window so that it sits in the middle of its screen.
void CentreOnScreen(QWidget* window);

// Re-sizes an auto-size label after its text changed.
void SetAutoLabelText(QLabel* label, const QString& text);
// Sets the text of a fixed-size label in Arial of `pixelHeight`; a text wider than the label is drawn
// in a smaller size (down to 7 pixels) rather than cut, and then its tooltip shows it too. A cut
// number reads as another number ("5873E+09" for "9.795873E+09").
void SetFittedLabelText(QLabel* label, const QString& text, int pixelHeight);

}  // namespace sumora

#include "windows/FormLook.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace sumora {

namespace {

QFont PixelFont(const char* family, int pixelHeight, bool bold) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixelHeight);
  font.setBold(bold);
  // Keep the family even when fontconfig would prefer another match for the name.
  font.setStyleHint(QFont::AnyStyle, QFont::PreferMatch);
  return font;
}

void SetTextColour(QLabel* label, const QColor& colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::Text, colour);
  label->setPalette(palette);
}

}  // namespace

QFont UiFont(int pixelHeight, bool bold) { return PixelFont("Liberation Sans", pixelHeight, bold); }
QFont ArialFont(int pixelHeight, bool bold) { return PixelFont("Liberation Sans", pixelHeight, bold); }
QFont TimesFont(int pixelHeight, bool bold) { return PixelFont("Liberation Serif", pixelHeight, bold); }

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry, const QFont& font,
                  const QColor& colour) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  label->setAutoFillBackground(false);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setContentsMargins(0, 0, 0, 0);
  label->setMargin(0);
  label->setIndent(0);
  SetTextColour(label, colour);
  label->setGeometry(geometry);
  return label;
}

QLabel* MakeAutoLabel(QWidget* parent, const QString& text, int x, int y, const QFont& font) {
  QLabel* label = MakeLabel(parent, text, QRect(x, y, 1, 1), font, Qt::black);
  label->adjustSize();
  return label;
}

void SetAutoLabelText(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

void SetFittedLabelText(QLabel* label, const QString& text, int pixelHeight) {
  constexpr int kSmallestHeight = 7;
  const int room = label->contentsRect().width();
  int height = pixelHeight;
  while (height > kSmallestHeight && QFontMetrics(ArialFont(height)).horizontalAdvance(text) > room) --height;
  label->setFont(ArialFont(height));
  label->setText(text);
  label->setToolTip(height < pixelHeight ? text : QString());
}

Heading MakeHeading(QWidget* parent, const QString& text, const QRect& shadowGeometry, const QRect& faceGeometry,
                    const QFont& font, bool centredWrapped) {
  Heading heading;
  heading.shadow = MakeLabel(parent, text, shadowGeometry, font, Qt::white);
  heading.face = MakeLabel(parent, text, faceGeometry, font, kMaroon);
  for (QLabel* label : {heading.shadow, heading.face}) {
    if (centredWrapped) {
      label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
      label->setWordWrap(true);
    } else {
      // A left-aligned heading sizes itself to its text, so no face cuts off its last letters.
      label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    }
  }
  heading.face->raise();
  return heading;
}

QPushButton* MakeOkButton(QDialog* dialog, QWidget* parent, const QRect& geometry) {
  auto* button = new QPushButton(dialog->style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                                 parent);
  button->setGeometry(geometry);
  button->setDefault(true);
  button->setAutoDefault(true);
  QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
  return button;
}

void MakeFixedDialog(QDialog* dialog, int width, int height, const QString& caption) {
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  dialog->setFixedSize(width, height);
  dialog->setWindowTitle(caption);
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->screen();
  if (screen == nullptr) return;
  QRect area = screen->availableGeometry();
  window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

}  // namespace sumora

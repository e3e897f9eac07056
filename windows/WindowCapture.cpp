#include "windows/WindowCapture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionTitleBar>
#include <QWidget>

#include "host/Errors.h"
#include "host/SafeFile.h"

namespace sumora {

QImage CaptureWindow(QWidget& window) {
  QStyle* style = window.style();
  const QPixmap client = window.grab();
  const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
  const int titleHeight = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);

  const QSize clientSize = client.size() / client.devicePixelRatio();
  QImage image(clientSize.width() + 2 * border, clientSize.height() + titleHeight + border,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(window.palette().color(QPalette::Window));
  QPainter painter(&image);

  QStyleOptionTitleBar title;
  title.initFrom(&window);
  title.rect = QRect(0, 0, image.width(), titleHeight);
  title.text = window.windowTitle();
  title.titleBarFlags = window.windowFlags();
  title.titleBarState = Qt::WindowActive;
  title.state |= QStyle::State_Active;
  title.subControls = QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarCloseButton;
  title.palette.setCurrentColorGroup(QPalette::Active);
  style->drawComplexControl(QStyle::CC_TitleBar, &title, &painter, &window);

  QStyleOptionFrame frame;
  frame.initFrom(&window);
  frame.rect = image.rect();
  frame.lineWidth = border;
  frame.state |= QStyle::State_Active;
  style->drawPrimitive(QStyle::PE_FrameWindow, &frame, &painter, &window);

  painter.drawPixmap(QRect(QPoint(border, titleHeight), clientSize), client);
  return image;
}

std::string PngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw Exception("cannot encode the picture as PNG");
  return bytes.toStdString();
}

void SavePng(const QImage& image, const std::string& path) { WriteFileAtomically(path, PngBytes(image)); }

void SaveWindowPicture(QWidget& window, const std::string& path) { SavePng(CaptureWindow(window), path); }

}  // namespace sumora

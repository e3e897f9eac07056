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

namespace {

struct FrameMetrics {
  int border = 0;
  int titleHeight = 0;
};

FrameMetrics FrameOf(QWidget& window) {
  QStyle* style = window.style();
  return {style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window),
          style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window)};
}

// The title bar and border the style draws for a window of `size` (frame included).
void PaintFrame(QWidget& window, QPainter& painter, const QSize& size, const FrameMetrics& metrics) {
  QStyle* style = window.style();
  QStyleOptionTitleBar title;
  title.initFrom(&window);
  title.rect = QRect(0, 0, size.width(), metrics.titleHeight);
  title.text = window.windowTitle();
  title.titleBarFlags = window.windowFlags();
  title.titleBarState = Qt::WindowActive;
  title.state |= QStyle::State_Active;
  title.subControls = QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarCloseButton;
  title.palette.setCurrentColorGroup(QPalette::Active);
  style->drawComplexControl(QStyle::CC_TitleBar, &title, &painter, &window);

  QStyleOptionFrame frame;
  frame.initFrom(&window);
  frame.rect = QRect(QPoint(0, 0), size);
  frame.lineWidth = metrics.border;
  frame.state |= QStyle::State_Active;
  style->drawPrimitive(QStyle::PE_FrameWindow, &frame, &painter, &window);
}

}  // namespace

QImage CaptureWindow(QWidget& window) {
  const FrameMetrics metrics = FrameOf(window);
  const QPixmap client = window.grab();
  const QSize clientSize = client.size() / client.devicePixelRatio();
  QImage image(clientSize.width() + 2 * metrics.border, clientSize.height() + metrics.titleHeight + metrics.border,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(window.palette().color(QPalette::Window));
  QPainter painter(&image);
  PaintFrame(window, painter, image.size(), metrics);
  painter.drawPixmap(QRect(QPoint(metrics.border, metrics.titleHeight), clientSize), client);
  return image;
}

QSize FramedWindowSize(QWidget& window) {
  const FrameMetrics metrics = FrameOf(window);
  return window.size() + QSize(2 * metrics.border, metrics.titleHeight + metrics.border);
}

void PaintFramedWindow(QWidget& window, QPainter& painter) {
  const FrameMetrics metrics = FrameOf(window);
  const QSize size = FramedWindowSize(window);
  painter.fillRect(QRect(QPoint(0, 0), size), window.palette().color(QPalette::Window));
  PaintFrame(window, painter, size, metrics);
  window.render(&painter, QPoint(metrics.border, metrics.titleHeight), QRegion(),
                QWidget::DrawWindowBackground | QWidget::DrawChildren);
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

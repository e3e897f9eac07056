#include "apps/sumora/qt/PictureFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>
#include <cctype>
#include <functional>

#include "apps/sumora/CommandLine.h"
#include "host/Errors.h"
#include "windows/WindowCapture.h"

namespace sumora::cli {

namespace {

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i]) return false;
  }
  return true;
}

// Draws through `paint` onto an SVG document of `size` pixels.
std::string SvgBytes(const QSize& size, const QString& title, const std::function<void(QPainter&)>& paint) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setTitle(title);
  {
    QPainter painter;
    if (!painter.begin(&generator)) throw Exception("cannot draw the picture as SVG");
    paint(painter);
  }
  return bytes.toStdString();
}

}  // namespace

PictureFormat PictureFormatOf(const std::string& out) {
  if (EndsWithIgnoringCase(out, ".png")) return PictureFormat::Png;
  if (EndsWithIgnoringCase(out, ".svg")) return PictureFormat::Svg;
  throw UsageError("--out takes a file name ending in .png (a PNG picture) or .svg (an SVG drawing), not '" + out +
                   "'");
}

std::string WindowPictureBytes(QWidget& window, PictureFormat format) {
  if (format == PictureFormat::Png) return PngBytes(CaptureWindow(window));
  return SvgBytes(FramedWindowSize(window), window.windowTitle(),
                  [&window](QPainter& painter) { PaintFramedWindow(window, painter); });
}

std::string ImagePictureBytes(const QImage& image, PictureFormat format) {
  if (format == PictureFormat::Png) return PngBytes(image);
  return SvgBytes(image.size(), QString(), [&image](QPainter& painter) { painter.drawImage(0, 0, image); });
}

}  // namespace sumora::cli

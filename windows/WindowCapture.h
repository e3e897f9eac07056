// Pictures of whole windows for documentation and tests: the client area as the widget paints it,
// inside the title bar and border that the Qt style draws for a window (the offscreen platform has no
// window manager to draw them).
#pragma once

#include <string>

class QImage;
class QPainter;
class QSize;
class QWidget;

namespace sumora {

// The window with its frame. The window should be shown (so its layout is final).
QImage CaptureWindow(QWidget& window);
// The size of the window with its frame, and the window drawn through `painter` at (0, 0): frame,
// then every child as it paints itself. On a vector device (an SVG generator) text and lines stay
// vectors; pictures a widget paints from an image stay images.
QSize FramedWindowSize(QWidget& window);
void PaintFramedWindow(QWidget& window, QPainter& painter);
// The picture encoded as PNG, in memory, so a command can hold it until it knows it succeeded.
std::string PngBytes(const QImage& image);
// PngBytes written to `path` through WriteFileAtomically; raises Exception naming the file when it
// cannot be written or is not a regular file.
void SavePng(const QImage& image, const std::string& path);
// CaptureWindow saved as by SavePng.
void SaveWindowPicture(QWidget& window, const std::string& path);

}  // namespace sumora

// Pictures of whole windows for documentation and tests: the client area as the widget paints it,
// inside the title bar and border that the Qt style draws for a window (the offscreen platform has no
// window manager to draw them).
#pragma once

class QImage;
class QString;
class QWidget;

namespace sumora {

// The window with its frame. The window should be shown (so its layout is final).
QImage CaptureWindow(QWidget& window);
// CaptureWindow written to `path` as PNG; false when the file cannot be written.
bool SaveWindowPicture(QWidget& window, const QString& path);

}  // namespace sumora

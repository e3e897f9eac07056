#include "package/PaletteBitmaps.h"

#include <QPixmap>
#include <QString>

// Resources compiled into a static library must be registered by hand before first use.
static void InitPaletteResources() { Q_INIT_RESOURCE(palette); }

namespace sumora {

QPixmap PaletteBitmap(const std::string& className) {
  static const bool initialised = (InitPaletteResources(), true);
  (void)initialised;
  QPixmap bitmap;
  bitmap.load(QStringLiteral(":/sumora/palette/") + QString::fromStdString(className).toUpper() +
              QStringLiteral(".png"));
  return bitmap;
}

}  // namespace sumora

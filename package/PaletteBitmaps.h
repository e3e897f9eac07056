// The palette bitmaps of the component classes, embedded as resources named after the classes in
// capitals (TSUMORATABLE, TSUMORAQUERY).
#pragma once

#include <string>

class QPixmap;

namespace sumora {

// The 24 x 24 bitmap of `className`; a null pixmap for a class without one.
QPixmap PaletteBitmap(const std::string& className);

}  // namespace sumora

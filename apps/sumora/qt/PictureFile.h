// The pictures `show` and `plot` write: PNG, or SVG (vector, through Qt's SVG generator), chosen by
// the name given to --out.
#pragma once

#include <string>

class QImage;
class QWidget;

namespace sumora::cli {

enum class PictureFormat { Png, Svg };

// PNG for a name ending in ".png", SVG for ".svg" (any case); any other name is a UsageError naming
// the two.
PictureFormat PictureFormatOf(const std::string& out);

// The bytes of the whole window with its frame, or of `image`, in `format`. Held in memory so that a
// command that fails leaves no file. Raises Exception when the picture cannot be encoded.
std::string WindowPictureBytes(QWidget& window, PictureFormat format);
std::string ImagePictureBytes(const QImage& image, PictureFormat format);

}  // namespace sumora::cli

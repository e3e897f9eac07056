// The small 31 × 30 picture the report windows show in their corner: a bar chart under a bell curve.
#pragma once

class QPixmap;

namespace sumora {

QPixmap SumoraIcon();

}  // namespace sumora

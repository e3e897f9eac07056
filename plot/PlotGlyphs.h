// The button faces of the plot window, painted rather than loaded so the library carries no bitmaps.
#pragma once

class QIcon;

namespace sumora {

enum class PlotGlyph { InputOrder, Histogram, FreqPolygon, CumHistogram, Reset, Close };

QIcon PaintPlotGlyph(PlotGlyph glyph);

}  // namespace sumora

#include "report/Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sumora::report {

namespace {

// Coordinates with one decimal: enough for a screen, small in the file.
std::string Coord(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  std::string text = buffer;
  if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
  return text == "-0" ? "0" : text;
}

// Maps a data interval onto a pixel interval; a zero-width data interval is widened so a constant
// field still draws.
struct Scale {
  double from, to, pixelFrom, pixelTo;
  Scale(double dataFrom, double dataTo, double pixelStart, double pixelEnd)
      : from(dataFrom), to(dataTo), pixelFrom(pixelStart), pixelTo(pixelEnd) {
    if (!(to > from)) {
      from -= 0.5;
      to += 0.5;
    }
  }
  double operator()(double value) const { return pixelFrom + (value - from) / (to - from) * (pixelTo - pixelFrom); }
};

void Text(std::string& svg, double x, double y, const char* anchor, const std::string& label) {
  // Labels are numbers written by ShownNumber: digits, signs, "." and "e" only, nothing to escape.
  svg += "<text x=\"" + Coord(x) + "\" y=\"" + Coord(y) + "\" text-anchor=\"" + anchor + "\">" + label + "</text>";
}

void Baseline(std::string& svg, double from, double to, double y) {
  svg += "<path class=\"ax\" d=\"M" + Coord(from) + " " + Coord(y) + "H" + Coord(to) + "\"/>";
}

std::string Points(const std::vector<std::pair<double, double>>& points) {
  std::string text;
  for (const auto& [x, y] : points) {
    if (!text.empty()) text += ' ';
    text += Coord(x) + "," + Coord(y);
  }
  return text;
}

double LargestCount(const std::vector<ClassBar>& classes) {
  double largest = 0;
  for (const auto& bar : classes) largest = std::max(largest, bar.count);
  return largest;
}

void Bars(std::string& svg, const std::vector<ClassBar>& classes, const Scale& x, const Scale& y, double base) {
  for (const auto& bar : classes) {
    double left = x(bar.start);
    double width = x(bar.end) - left - 1;
    if (width < 4) {
      // A class of one value (a constant field) still shows as a bar centred on that value.
      left = (left + x(bar.end)) / 2 - 2;
      width = 4;
    }
    const double top = y(bar.count);
    if (base - top < 0.05) continue;
    svg += "<rect class=\"hb\" x=\"" + Coord(left) + "\" y=\"" + Coord(top) + "\" width=\"" + Coord(width) +
           "\" height=\"" + Coord(base - top) + "\"/>";
  }
}

}  // namespace

std::string ShownNumber(double value, int significant) {
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity";
  if (value == 0) return "0";
  char buffer[64];
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-4 && magnitude < 1e15) {
    const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    const int decimals = std::max(0, significant - 1 - exponent);
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
  }
  std::snprintf(buffer, sizeof buffer, "%.*e", significant - 1, value);
  std::string text = buffer;
  const std::size_t e = text.find('e');
  std::string mantissa = text.substr(0, e);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + text.substr(e);
}

std::string HistogramSvg(const std::vector<ClassBar>& classes) {
  if (classes.empty()) return {};
  constexpr double width = 520, height = 220, left = 48, right = 472, top = 10, base = 190;
  const double largest = LargestCount(classes);
  const Scale x(classes.front().start, classes.back().end, left, right);
  const Scale y(0, largest > 0 ? largest : 1, base, top);
  const Scale percent(0, 100, base, top);
  std::string svg = "<svg class=\"hist\" viewBox=\"0 0 " + Coord(width) + " " + Coord(height) +
                    "\" role=\"img\" aria-label=\"Histogram with frequency polygon and cumulative percent\">";
  Bars(svg, classes, x, y, base);
  std::vector<std::pair<double, double>> polygon{{x(classes.front().start), base}};
  std::vector<std::pair<double, double>> cumulative{{x(classes.front().start), base}};
  for (const auto& bar : classes) {
    polygon.emplace_back(x((bar.start + bar.end) / 2), y(bar.count));
    if (std::isfinite(bar.cumPercent)) cumulative.emplace_back(x(bar.end), percent(bar.cumPercent));
  }
  polygon.emplace_back(x(classes.back().end), base);
  svg += "<polyline class=\"hp\" points=\"" + Points(polygon) + "\"/>";
  svg += "<polyline class=\"hc\" points=\"" + Points(cumulative) + "\"/>";
  // Axes: counts on the left, percentages on the right, the class range along the bottom.
  svg += "<path class=\"ax\" d=\"M" + Coord(left) + " " + Coord(top) + "V" + Coord(base) + "H" + Coord(right) + "V" +
         Coord(top) + "\"/>";
  for (const double fraction : {0.0, 0.5, 1.0}) {
    const double count = largest * fraction;
    const double at = y(count);
    Text(svg, left - 4, at + 3, "end", ShownNumber(std::round(count), 4));
    Text(svg, right + 4, percent(100 * fraction) + 3, "start", ShownNumber(100 * fraction) + "%");
  }
  const double from = classes.front().start, to = classes.back().end;
  Text(svg, left, base + 14, "start", ShownNumber(from, 4));
  Text(svg, (left + right) / 2, base + 14, "middle", ShownNumber((from + to) / 2, 4));
  Text(svg, right, base + 14, "end", ShownNumber(to, 4));
  svg += "</svg>";
  return svg;
}

std::string SmallHistogramSvg(const std::vector<ClassBar>& classes, double axisStart, double axisEnd) {
  if (classes.empty()) return {};
  constexpr double width = 240, height = 48, left = 2, right = 238, top = 2, base = 46;
  const double largest = LargestCount(classes);
  const Scale x(axisStart, axisEnd, left, right);
  const Scale y(0, largest > 0 ? largest : 1, base, top);
  std::string svg = "<svg class=\"mini\" viewBox=\"0 0 " + Coord(width) + " " + Coord(height) + "\">";
  Bars(svg, classes, x, y, base);
  Baseline(svg, left, right, base);
  svg += "</svg>";
  return svg;
}

}  // namespace sumora::report

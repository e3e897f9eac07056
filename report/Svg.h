// The report's pictures as inline SVG, drawn from a class table: a histogram with its frequency polygon
// and cumulative-percent line, and small histograms of several groups on one common axis. Colours
// come from the page's style sheet (classes hb, hp, hc, ax), so the pictures follow light and dark.
#pragma once

#include <string>
#include <vector>

namespace sumora::report {

// One class of a class table: [start, end), its count and the cumulative percentage up to its end
// (NaN when unknown, which leaves that point off the line).
struct ClassBar {
  double start = 0;
  double end = 0;
  double count = 0;
  double cumPercent = 0;
};

// A histogram of `classes` (in order) with a left count axis, a right 0-100 % axis, the frequency
// polygon through the class midpoints and the cumulative-percent line; empty text for no classes.
std::string HistogramSvg(const std::vector<ClassBar>& classes);

// A small histogram of one group drawn on the common axis [axisStart, axisEnd], its bars scaled to the
// group's own largest class so shapes compare whatever the group sizes; empty text for no classes.
std::string SmallHistogramSvg(const std::vector<ClassBar>& classes, double axisStart, double axisEnd);

// `value` with `significant` significant digits, trailing zeros dropped, in plain notation from 1e-4 to
// 1e15 and in scientific notation (1.5e-07) outside; "−" never, a minus is "-".
std::string ShownNumber(double value, int significant = 7);

}  // namespace sumora::report

// The texts the report windows show, built once so that the windows and the `sumora` command print
// exactly the same thing.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace sumora {

class TSumoraStats;

// The fifteen texts of the summary window, in the order they are set: dataset line, field, record
// count, mean, minimum, maximum, mode, median, total, coefficient of variation, range, variance,
// standard deviation, skewness with its sign, kurtosis. Reads the statistics as they stand after
// Summarize (the getters that compute return their cached values then).
std::array<std::string, 15> SummaryTexts(TSumoraStats& source);

// The class frequency window's identification line: source name + ": " + StatFieldName, with
// " (Scaled by X)" when ScaleBy differs from 1 by at least 0.0001.
std::string ClassIdentification(const TSumoraStats& source);
// Its caption: the component's Name + " Class Frequency Data".
std::string ClassCaption(const TSumoraStats& source);
// The grid's header row.
const std::array<std::string, 6>& ClassGridHeader();
// The grid's header row and one row per class 1..FreqClasses, in the window's formats.
std::vector<std::array<std::string, 6>> ClassGridRows(const TSumoraStats& source);

}  // namespace sumora

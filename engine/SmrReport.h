// The texts the report windows show, built once so that the windows and the `sumora` command print
// exactly the same thing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sumora {

class TSumoraStats;
class FieldStatistics;

// The values the summary's texts show; a statistic that could not be computed is left empty and its
// line is left out.
struct SummaryValues {
  std::string datasetLine;
  std::string fieldName;
  std::optional<std::int32_t> count;
  std::optional<double> mean, minimum, maximum, mode, median, total, coeffVariation, range, variance, stdDev, skew;
  std::string skewSign;
  std::optional<double> kurtosis;
};
// Writes a statistic for a terminal instead of the windows' format (`--digits`).
using NumberFormat = std::function<std::string(double)>;
// The summary's texts in the window's order and formats, one per value present (fifteen when all are);
// with `number`, each statistic is written by it after its label.
std::vector<std::string> SummaryLines(const SummaryValues& values, const NumberFormat& number = nullptr);
// The values of one field's statistics as computed (what FieldStatistics::Computed() says), with the
// record count as the component reports it (-1 below two values).
SummaryValues SummaryValuesOf(const FieldStatistics& statistics, const std::string& datasetLine,
                              std::int32_t dataCount);

// The fifteen texts of the summary window, in the order they are set: dataset line, field, record
// count, mean, minimum, maximum, mode, median, total, coefficient of variation, range, variance,
// standard deviation, skewness with its sign, kurtosis. Reads the statistics as they stand after
// Summarize (the getters that compute return their cached values then).
std::array<std::string, 15> SummaryTexts(TSumoraStats& source);

// The class frequency window's identification line for a source name, field and scale.
std::string ClassIdentification(const std::string& sourceName, const std::string& fieldName, double scaleBy);
// The grid's header row and one row per class 1..classes of these statistics; with `number`, bounds and
// percentages are written by it.
std::vector<std::array<std::string, 6>> ClassGridRows(const FieldStatistics& statistics, int classes,
                                                      const NumberFormat& number = nullptr);

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

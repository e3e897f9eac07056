#include "engine/SmrReport.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "engine/FieldStatistics.h"
#include "engine/SmrEngine.h"
#include "host/SysUtils.h"

namespace sumora {

std::vector<std::string> SummaryLines(const SummaryValues& v, const NumberFormat& number) {
  std::vector<std::string> lines = {v.datasetLine, "Field Analyzed: " + v.fieldName};
  auto add = [&](const std::optional<double>& value, const char* label) {
    if (value) lines.push_back(label + (number ? number(*value) : FormatFloat("#.000", *value)));
  };
  // These have their label inside the window's format, as the window has always written them.
  auto addFormatted = [&](const std::optional<double>& value, const char* format) {
    if (!value) return;
    if (!number) {
      lines.push_back(FormatFloat(format, *value));
    } else {
      const std::string label(format, std::string_view(format).find('#'));
      lines.push_back(label + number(*value));
    }
  };
  if (v.count) lines.push_back("Record Count: " + IntToStr(*v.count));
  add(v.mean, "Mean: ");
  add(v.minimum, "Minimum: ");
  add(v.maximum, "Maximum: ");
  add(v.mode, "Mode: ");
  add(v.median, "Median: ");
  add(v.total, "Total: ");
  add(v.coeffVariation, "Coeff of Variation: ");
  addFormatted(v.range, "Range: #.000");
  addFormatted(v.variance, "Variance: #.000");
  addFormatted(v.stdDev, "Standard Deviation: #.000");
  if (v.skew) {
    lines.push_back((number ? "Skewness: " + number(*v.skew) : FormatFloat("Skewness: #.000", *v.skew)) + " " +
                    v.skewSign);
  }
  addFormatted(v.kurtosis, "Kurtosis: #.000");
  return lines;
}

std::array<std::string, 15> SummaryTexts(TSumoraStats& source) {
  SummaryValues values;
  values.datasetLine = source.DatasetLine();
  values.fieldName = source.StatFieldName();
  values.count = source.GetdsDataCount();
  values.mean = source.GetdsMean();
  values.minimum = source.dsMin();
  values.maximum = source.dsMax();
  values.mode = source.GetdsMode();
  values.median = source.GetdsMedian();
  values.total = source.GetdsTotal();
  values.coeffVariation = source.GetdsCoeffVariation();
  values.range = source.GetdsRange();
  values.variance = source.GetdsVariance();
  values.stdDev = source.GetdsStdDev();
  values.skew = source.GetdsSkew();
  values.skewSign = source.GetdsSkewSign();
  values.kurtosis = source.GetdsKurtosis();
  const std::vector<std::string> lines = SummaryLines(values);
  std::array<std::string, 15> texts;
  std::copy(lines.begin(), lines.end(), texts.begin());
  return texts;
}

SummaryValues SummaryValuesOf(const FieldStatistics& s, const std::string& datasetLine, std::int32_t dataCount) {
  using R = FieldStatistics;
  SummaryValues values;
  values.datasetLine = datasetLine;
  values.fieldName = s.fieldName;
  values.count = dataCount;
  auto when = [&](bool computed, double value) { return computed ? std::optional<double>(value) : std::nullopt; };
  const bool loaded = s.Has(R::kLoaded);
  const bool anyValue = s.Count() > 0;
  values.mean = when(loaded, s.Mean());
  values.minimum = when(anyValue, s.Min());
  values.maximum = when(anyValue, s.Max());
  values.mode = when(s.Has(R::kMode), s.Mode());
  values.median = when(s.Has(R::kMedian), s.Median());
  values.total = when(loaded, s.Total());
  values.coeffVariation = when(s.Has(R::kCoeffVariation), s.CoeffVariation());
  values.range = when(anyValue, s.Max() - s.Min());
  values.variance = when(s.Has(R::kVariance), s.Variance());
  values.stdDev = when(s.Has(R::kVariance), std::sqrt(s.Variance()));
  values.skew = when(s.Has(R::kSkew), s.Skew());
  values.skewSign = SkewSignOf(s.Mu3());
  values.kurtosis = when(s.Has(R::kKurtosis), s.Kurtosis());
  return values;
}

std::string ClassIdentification(const std::string& sourceName, const std::string& fieldName, double scaleBy) {
  std::string text = sourceName + ": " + fieldName;
  const double scaleDifference = scaleBy - 1;
  if (std::fabs(scaleDifference) >= 0.0001) text += " (Scaled by " + FloatToStr(scaleDifference + 1) + ")";
  return text;
}

std::string ClassIdentification(const TSumoraStats& source) {
  return ClassIdentification(source.SourceName(), source.StatFieldName(), source.ScaleBy());
}

std::string ClassCaption(const TSumoraStats& source) { return source.ComponentName() + " Class Frequency Data"; }

const std::array<std::string, 6>& ClassGridHeader() {
  static const std::array<std::string, 6> header = {"Class",      "Class Min",  "Class Max",
                                                    "Class Freq", "Percentage", "Cumulative %"};
  return header;
}

std::vector<std::array<std::string, 6>> ClassGridRows(const FieldStatistics& s, int classes,
                                                      const NumberFormat& number) {
  auto format = [&](const char* windowFormat, double value) {
    return number ? number(value) : FormatFloat(windowFormat, value);
  };
  std::vector<std::array<std::string, 6>> rows;
  rows.push_back(ClassGridHeader());
  for (int classNo = 1; classNo <= classes; ++classNo) {
    rows.push_back({
        IntToStr(classNo),
        format("000.000", s.ClassStart(classNo)),
        format("000.000", s.ClassEnd(classNo)),
        IntToStr(s.ClassCount(classNo)),
        format("#000.00", s.ClassPercent(classNo)),
        format("000.000", s.ClassCumPercent(classNo)),
    });
  }
  return rows;
}

std::vector<std::array<std::string, 6>> ClassGridRows(const TSumoraStats& source) {
  return ClassGridRows(source.Statistics(), source.FreqClasses());
}

}  // namespace sumora

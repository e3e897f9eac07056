#include "engine/SmrReport.h"

#include <cmath>

#include "engine/SmrEngine.h"
#include "host/SysUtils.h"

namespace sumora {

std::array<std::string, 15> SummaryTexts(TSumoraStats& source) {
  return {
      source.DatasetLine(),
      "Field Analyzed: " + source.StatFieldName(),
      "Record Count: " + IntToStr(source.GetdsDataCount()),
      "Mean: " + FormatFloat("#.000", source.GetdsMean()),
      "Minimum: " + FormatFloat("#.000", source.dsMin()),
      "Maximum: " + FormatFloat("#.000", source.dsMax()),
      "Mode: " + FormatFloat("#.000", source.GetdsMode()),
      "Median: " + FormatFloat("#.000", source.GetdsMedian()),
      "Total: " + FormatFloat("#.000", source.GetdsTotal()),
      "Coeff of Variation: " + FormatFloat("#.000", source.GetdsCoeffVariation()),
      FormatFloat("Range: #.000", source.GetdsRange()),
      FormatFloat("Variance: #.000", source.GetdsVariance()),
      FormatFloat("Standard Deviation: #.000", source.GetdsStdDev()),
      FormatFloat("Skewness: #.000", source.GetdsSkew()) + " " + source.GetdsSkewSign(),
      FormatFloat("Kurtosis: #.000", source.GetdsKurtosis()),
  };
}

std::string ClassIdentification(const TSumoraStats& source) {
  std::string text = source.SourceName() + ": " + source.StatFieldName();
  const double scaleDifference = source.ScaleBy() - 1;
  if (std::fabs(scaleDifference) >= 0.0001) text += " (Scaled by " + FloatToStr(scaleDifference + 1) + ")";
  return text;
}

std::string ClassCaption(const TSumoraStats& source) { return source.ComponentName() + " Class Frequency Data"; }

const std::array<std::string, 6>& ClassGridHeader() {
  static const std::array<std::string, 6> header = {"Class",      "Class Min",  "Class Max",
                                                    "Class Freq", "Percentage", "Cumulative %"};
  return header;
}

std::vector<std::array<std::string, 6>> ClassGridRows(const TSumoraStats& source) {
  std::vector<std::array<std::string, 6>> rows;
  rows.push_back(ClassGridHeader());
  for (int classNo = 1; classNo <= source.FreqClasses(); ++classNo) {
    rows.push_back({
        IntToStr(classNo),
        FormatFloat("000.000", source.GetdsClassStart(classNo)),
        FormatFloat("000.000", source.GetdsClassEnd(classNo)),
        IntToStr(source.GetdsClassCount(classNo)),
        FormatFloat("#000.00", source.GetdsClassPercent(classNo)),
        FormatFloat("000.000", source.GetdsClassCumPercent(classNo)),
    });
  }
  return rows;
}

}  // namespace sumora

#include "apps/sumora/Digits.h"

#include <cmath>
#include <cstdio>

#include "engine/SmrEngine.h"
#include "engine/SmrReport.h"

namespace sumora::cli {

std::optional<int> DigitsOption(const CommandLine& line) {
  auto digits = line.GetInteger("digits", 1, 17);
  if (!digits) return std::nullopt;
  return static_cast<int>(*digits);
}

std::string NumberWithDigits(double value, int digits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

std::vector<std::string> SummaryTextsWithDigits(TSumoraStats& stats, int digits) {
  const auto texts = SummaryTexts(stats);
  const auto number = [digits](double value) { return NumberWithDigits(value, digits); };
  // The first three lines (dataset, field, record count) hold no statistic to reformat.
  return {texts[0],
          texts[1],
          texts[2],
          "Mean: " + number(stats.GetdsMean()),
          "Minimum: " + number(stats.dsMin()),
          "Maximum: " + number(stats.dsMax()),
          "Mode: " + number(stats.GetdsMode()),
          "Median: " + number(stats.GetdsMedian()),
          "Total: " + number(stats.GetdsTotal()),
          "Coeff of Variation: " + number(stats.GetdsCoeffVariation()),
          "Range: " + number(stats.GetdsRange()),
          "Variance: " + number(stats.GetdsVariance()),
          "Standard Deviation: " + number(stats.GetdsStdDev()),
          "Skewness: " + number(stats.GetdsSkew()) + " " + stats.GetdsSkewSign(),
          "Kurtosis: " + number(stats.GetdsKurtosis())};
}

std::vector<std::vector<std::string>> ClassGridRowsWithDigits(const TSumoraStats& stats, int digits) {
  const auto& header = ClassGridHeader();
  std::vector<std::vector<std::string>> rows = {{header.begin(), header.end()}};
  for (int classNo = 1; classNo <= stats.FreqClasses(); ++classNo) {
    rows.push_back({std::to_string(classNo), NumberWithDigits(stats.GetdsClassStart(classNo), digits),
                    NumberWithDigits(stats.GetdsClassEnd(classNo), digits),
                    std::to_string(stats.GetdsClassCount(classNo)),
                    NumberWithDigits(stats.GetdsClassPercent(classNo), digits),
                    NumberWithDigits(stats.GetdsClassCumPercent(classNo), digits)});
  }
  return rows;
}

}  // namespace sumora::cli

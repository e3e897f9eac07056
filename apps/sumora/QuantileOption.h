// `--quantiles` of `summarize`: exact quantiles of every value beside the summary. Given alone it asks
// for the quartiles (0.25,0.5,0.75); with a list of probabilities (`--quantiles 0.1,0.5,0.9`) for those,
// in that order. The exact median (`medianAll`) comes with them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/sumora/Commands.h"

namespace sumora {
class TSumoraStats;
}

namespace sumora::cli {

// Removes `--quantiles [LIST]` (or `--quantiles=LIST`) from `args` and returns the probabilities, or
// nothing when the option is absent. A value outside 0..1 or not a number is a UsageError. The list
// is the next argument unless that starts with "--".
std::optional<std::vector<double>> TakeQuantilesOption(Args& args);

struct QuantileReport {
  std::vector<double> probabilities;
  std::vector<double> values;
  double medianAll = 0.0;
};

// The probabilities asked for and 0.5 (for medianAll), as they are computed.
std::vector<double> QuantilesWithMedian(const std::vector<double>& probabilities);
// Computes the quantiles asked for and the exact median in the same passes.
QuantileReport ComputeQuantiles(TSumoraStats& stats, const std::vector<double>& probabilities);

// The probability as written in texts and column names: its shortest round-trip form ("0.25").
std::string ProbabilityText(double p);
// JSON: "quantiles" (one {"p", "value"} per probability, in order) and "medianAll".
void AddQuantilesJson(nlohmann::ordered_json& summary, const QuantileReport& report);
// Text: one "Quantile 0.25: 12.500" line per probability, in the summary's number format, or with
// `digits` significant digits when given.
std::vector<std::string> QuantileTexts(const QuantileReport& report, std::optional<int> digits = std::nullopt);

}  // namespace sumora::cli

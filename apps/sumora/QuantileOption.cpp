#include "apps/sumora/QuantileOption.h"

#include <charconv>
#include <cmath>

#include "apps/sumora/CommandLine.h"
#include "dataset/ValueText.h"
#include "host/MessageText.h"
#include "apps/sumora/Digits.h"
#include "engine/SmrEngine.h"
#include "host/SysUtils.h"

namespace sumora::cli {

namespace {

const char* const kOption = "--quantiles";
const char* const kDefaultList = "0.25,0.5,0.75";

[[noreturn]] void BadList(const std::string& list) {
  throw UsageError(std::string("option ") + kOption +
                   " takes probabilities from 0 to 1 separated by commas (for example 0.1,0.5,0.9), not '" + ShownText(list) +
                   "'");
}

std::vector<double> ParseList(const std::string& list) {
  std::vector<double> probabilities;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::size_t first = item.find_first_not_of(' ');
    const std::size_t last = item.find_last_not_of(' ');
    item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
    // Read as cells are: "+0.5" is 0.5, and "1e-400" the 0 it rounds to.
    double p = 0.0;
    if (!TryParseFloatText(item, &p) || !(p >= 0.0 && p <= 1.0)) BadList(list);
    if (p == 0.0) p = 0.0;  // -0 and -1e-400 are the probability 0, and print so
    probabilities.push_back(p);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return probabilities;
}

}  // namespace

std::optional<std::vector<double>> TakeQuantilesOption(Args& args) {
  std::optional<std::vector<double>> result;
  const std::string withValue = std::string(kOption) + "=";
  for (std::size_t i = 0; i < args.size();) {
    std::optional<std::string> list;
    std::size_t taken = 1;
    if (args[i] == kOption) {
      const bool valueFollows = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
      list = valueFollows ? args[i + 1] : kDefaultList;
      taken = valueFollows ? 2 : 1;
    } else if (args[i].rfind(withValue, 0) == 0) {
      list = args[i].substr(withValue.size());
    }
    if (!list) {
      ++i;
      continue;
    }
    if (result) throw UsageError(std::string("option ") + kOption + " is given twice");
    result = ParseList(*list);
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + taken));
  }
  return result;
}

std::vector<double> QuantilesWithMedian(const std::vector<double>& probabilities) {
  std::vector<double> asked = probabilities;
  asked.push_back(0.5);
  return asked;
}

QuantileReport ComputeQuantiles(TSumoraStats& stats, const std::vector<double>& probabilities) {
  std::vector<double> values = stats.GetdsQuantiles(QuantilesWithMedian(probabilities));
  QuantileReport report;
  report.probabilities = probabilities;
  report.medianAll = values.back();
  values.pop_back();
  report.values = std::move(values);
  return report;
}

std::string ProbabilityText(double p) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, p);
  return std::string(buffer, end);
}

void AddQuantilesJson(nlohmann::ordered_json& summary, const QuantileReport& report) {
  nlohmann::ordered_json quantiles = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < report.probabilities.size(); ++i) {
    quantiles.push_back({{"p", report.probabilities[i]}, {"value", report.values[i]}});
  }
  summary["quantiles"] = std::move(quantiles);
  summary["medianAll"] = report.medianAll;
}

std::vector<std::string> QuantileTexts(const QuantileReport& report, std::optional<int> digits) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < report.probabilities.size(); ++i) {
    texts.push_back("Quantile " + ProbabilityText(report.probabilities[i]) + ": " +
                    (digits ? NumberWithDigits(report.values[i], *digits) : FormatFloat("#.000", report.values[i])));
  }
  return texts;
}

}  // namespace sumora::cli

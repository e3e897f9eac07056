#include "apps/sumora/TableOutput.h"

#include <algorithm>
#include <cmath>

#include "apps/sumora/Digits.h"
#include "host/MessageText.h"
#include "toolkit/SmrTools.h"

namespace sumora::cli {

namespace {

using Json = nlohmann::ordered_json;

// The exact quantile of probability `p` in the object's "quantiles", or nullptr.
const Json* ExactQuantile(const Json& summary, double p) {
  if (!summary.contains("quantiles")) return nullptr;
  for (const auto& entry : summary["quantiles"]) {
    if (entry["p"].get<double>() == p) return &entry["value"];
  }
  return nullptr;
}

bool HasExactQuartiles(const Json& summary) {
  return summary.contains("error") ||
         (ExactQuantile(summary, 0.25) && ExactQuantile(summary, 0.5) && ExactQuantile(summary, 0.75));
}

std::string Cell(const Json& value, int digits) {
  if (value.is_null()) return "-";
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  if (value.is_number()) return NumberWithDigits(value.get<double>(), digits);
  if (value.is_string()) return ShownText(value.get<std::string>());
  return ShownText(value.dump());
}

std::string Key(const Json& summary, const char* key, int digits) {
  return summary.contains(key) ? Cell(summary[key], digits) : std::string("-");
}

// Skewness carries the sign of the third moment: the window shows it beside the value as (-).
std::string SignedSkew(const Json& summary, int digits) {
  const Json& skew = summary.value("dsSkew", Json());
  if (!skew.is_number()) return "-";
  const double magnitude = std::fabs(skew.get<double>());
  const bool negative = summary.value("dsSkewSign", std::string()) == "(-)";
  return NumberWithDigits(negative ? -magnitude : magnitude, digits);
}

// Columns are as wide as their widest cell, counted in characters, not bytes.
std::size_t DisplayWidth(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::string SummaryTable(const std::vector<Json>& summaries, int digits) {
  const bool grouped = std::any_of(summaries.begin(), summaries.end(), [](const Json& s) { return s.contains("group"); });
  const bool exact = !summaries.empty() && std::all_of(summaries.begin(), summaries.end(), HasExactQuartiles);
  std::vector<std::string> header;
  if (grouped) {
    std::string groupBy = "group";
    for (const auto& summary : summaries) {
      if (summary.contains("groupBy") && summary["groupBy"].is_string()) groupBy = ShownText(summary["groupBy"].get<std::string>());
    }
    header.push_back(groupBy);
  }
  const std::size_t fieldColumn = header.size();
  for (const char* title : {"field", "count", "nulls", "mean", "std dev", "min"}) header.emplace_back(title);
  if (exact) {
    header.insert(header.end(), {"q1", "median", "q3"});
  } else {
    header.emplace_back("median*");
  }
  for (const char* title : {"max", "skewness", "kurtosis"}) header.emplace_back(title);

  std::vector<std::vector<std::string>> rows = {header};
  std::vector<std::string> errors(1);  // per row: the error message that replaces its statistics
  for (const auto& summary : summaries) {
    std::vector<std::string> row;
    if (grouped) row.push_back(summary.contains("group") ? Cell(summary["group"], 17) : std::string());
    row.push_back(ShownText(summary.value("StatFieldName", std::string())));
    if (summary.contains("error")) {
      errors.push_back("error: " + ShownText(summary["error"].is_string() ? summary["error"].get<std::string>()
                                                                          : summary["error"].dump()));
      rows.push_back(row);
      continue;
    }
    errors.emplace_back();
    row.push_back(Key(summary, "dsDataCount", digits));
    row.push_back(summary.contains("nullCount") ? Cell(summary["nullCount"], digits) : std::string());
    row.push_back(Key(summary, "dsMean", digits));
    row.push_back(Key(summary, "dsStdDev", digits));
    row.push_back(Key(summary, "dsMin", digits));
    if (exact) {
      for (double p : {0.25, 0.5, 0.75}) row.push_back(Cell(*ExactQuantile(summary, p), digits));
    } else {
      row.push_back(Key(summary, "dsMedian", digits));
    }
    row.push_back(Key(summary, "dsMax", digits));
    row.push_back(SignedSkew(summary, digits));
    row.push_back(Key(summary, "dsKurtosis", digits));
    rows.push_back(row);
  }

  std::vector<std::size_t> widths(header.size(), 0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t column = 0; column < rows[r].size(); ++column) {
      widths[column] = std::max(widths[column], DisplayWidth(rows[r][column]));
    }
  }
  std::string text;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (std::size_t column = 0; column < rows[r].size(); ++column) {
      const std::string& cell = rows[r][column];
      const std::string padding(widths[column] - DisplayWidth(cell), ' ');
      if (column > 0) line += "  ";
      // Names read from the left, numbers line up on their last digit.
      line += column <= fieldColumn ? cell + padding : padding + cell;
    }
    if (!errors[r].empty()) line += "  " + errors[r];
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  if (!exact) {
    text += "* median of the stored values (up to " + std::to_string(MaxStoredValues) +
            " per field); --quantiles gives exact quartiles\n";
  }
  return text;
}

}  // namespace sumora::cli

// `sumora report`: the profile of a whole table (or of its groups) as one HTML page or its data document,
// gathered in the whole-table passes (statistics, exact quantiles) with the report's own per-value
// profiles riding along in the loading pass.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/sumora/Binding.h"

namespace sumora::cli {

struct ReportRequest {
  std::vector<std::string> fields;  // empty: every field of the dataset
  std::string groupBy;
  std::size_t maxGroups = 10000;
  std::vector<double> quantiles = {0.05, 0.25, 0.5, 0.75, 0.95};
};

// The report's data document (see report/ReportHtml.h) of the bound component's dataset. Server-side
// mode leaves out what only reading every record gives (zeros, negatives, extremes, other fields' values).
nlohmann::ordered_json GatherReport(BoundComponent& bound, const ReportRequest& request);

}  // namespace sumora::cli

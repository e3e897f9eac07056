// `summarize --format table`: one aligned line per field (and group) with the statistics an analyst
// reads first, built from the summary objects of `--format json`.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sumora::cli {

// The table of `summaries` (objects as `summarize --format json` prints them), numbers in `digits`
// significant digits. Columns: [group,] field, count, nulls, mean, std dev, min, quartiles, max,
// skewness (signed), kurtosis. The quartiles are q1, median and q3 when every object holds the exact
// quantiles 0.25, 0.5 and 0.75; otherwise one median column, the stored values' median, marked '*'
// and explained below the table. An object's optional keys: "groupBy" and "group" (a group column,
// headed by the group-by field, comes first), "nullCount" (else the nulls cell is empty) and "error"
// (its message fills the row after the field). Statistics that are null print as '-'. Names are
// escaped for the terminal.
std::string SummaryTable(const std::vector<nlohmann::ordered_json>& summaries, int digits);

}  // namespace sumora::cli

// CSV output of the summary and class commands: RFC 4180 quoting (a cell holding a comma, a quote or
// a line break is quoted, quotes doubled), numbers exactly as the JSON output writes them (shortest
// round-trip form), null as an empty cell, one record per line ending in LF.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace sumora::cli {

// The summary objects a row at a time, for outputs too large to hold: the columns (the scalar keys of
// these sample objects, in their order, without the class table and the quantile list), the header row,
// and one object's row.
std::vector<std::string> SummaryCsvKeys(const std::vector<nlohmann::ordered_json>& summaries);
std::string SummaryCsvHeader(const std::vector<std::string>& keys);
std::string SummaryCsvRow(const nlohmann::ordered_json& summary, const std::vector<std::string>& keys);

// The class table a summary at a time: the header field,class,start,end,count,percent,cumPercent (with
// groupBy,group first for grouped summaries), and one row per class of one summary.
std::string ClassesCsvHeader(bool grouped);
std::string ClassesCsvRows(const nlohmann::ordered_json& summary);

}  // namespace sumora::cli

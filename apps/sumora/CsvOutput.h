// CSV output of the summary and class commands: RFC 4180 quoting (a cell holding a comma, a quote or
// a line break is quoted, quotes doubled), numbers exactly as the JSON output writes them (shortest
// round-trip form), null as an empty cell, one record per line ending in LF.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace sumora::cli {

// A header row of the summary objects' scalar keys, in their order, then one row per object. Keys
// holding objects or arrays (the class table) are left out.
std::string SummaryCsv(const std::vector<nlohmann::ordered_json>& summaries);
// The same a row at a time, for outputs too large to hold: the columns of these sample objects, the
// header row, and one object's row.
std::vector<std::string> SummaryCsvKeys(const std::vector<nlohmann::ordered_json>& summaries);
std::string SummaryCsvHeader(const std::vector<std::string>& keys);
std::string SummaryCsvRow(const nlohmann::ordered_json& summary, const std::vector<std::string>& keys);

// The header field,class,start,end,count,percent,cumPercent and one row per class of each summary,
// in order.
std::string ClassesCsv(const std::vector<nlohmann::ordered_json>& summaries);
// The same a summary at a time: the header (with groupBy,group first for grouped summaries), one
// summary's rows.
std::string ClassesCsvHeader(bool grouped);
std::string ClassesCsvRows(const nlohmann::ordered_json& summary);

}  // namespace sumora::cli

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

// The header field,class,start,end,count,percent,cumPercent and one row per class of each summary,
// in order.
std::string ClassesCsv(const std::vector<nlohmann::ordered_json>& summaries);

}  // namespace sumora::cli

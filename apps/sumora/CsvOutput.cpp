#include "apps/sumora/CsvOutput.h"

#include <algorithm>

namespace sumora::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string Quoted(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string Cell(const Json& value) {
  if (value.is_null()) return "";
  if (value.is_string()) return Quoted(value.get<std::string>());
  return Quoted(value.dump());
}

void AppendRow(std::string& text, const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) text += ',';
    text += cells[i];
  }
  text += '\n';
}

}  // namespace

std::vector<std::string> SummaryCsvKeys(const std::vector<Json>& summaries) {
  // Every scalar key of any row, in the order first met: a field's "error" column appears when one has it.
  std::vector<std::string> keys;
  for (const Json& summary : summaries) {
    for (const auto& [key, value] : summary.items()) {
      // The class table and the quantile list are structures (null in a field that could not have them).
      if (!value.is_primitive() || key == "classes" || key == "classTotal" || key == "quantiles") continue;
      if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    }
  }
  return keys;
}

std::string SummaryCsvHeader(const std::vector<std::string>& keys) {
  std::string text;
  std::vector<std::string> header;
  for (const auto& key : keys) header.push_back(Quoted(key));
  AppendRow(text, header);
  return text;
}

std::string SummaryCsvRow(const Json& summary, const std::vector<std::string>& keys) {
  std::string text;
  std::vector<std::string> row;
  for (const auto& key : keys) row.push_back(summary.contains(key) ? Cell(summary[key]) : std::string());
  AppendRow(text, row);
  return text;
}

std::string ClassesCsvHeader(bool grouped) {
  std::string text;
  std::vector<std::string> header = {"field", "class", "start", "end", "count", "percent", "cumPercent"};
  if (grouped) header.insert(header.begin(), {"groupBy", "group"});
  AppendRow(text, header);
  return text;
}

// One row per class of the summary; grouped summaries lead each row with the group field and the group.
std::string ClassesCsvRows(const Json& summary) {
  std::string text;
  const bool grouped = summary.contains("groupBy");
  const std::string field = Cell(summary["StatFieldName"]);
  for (const Json& entry : summary["classes"]) {
    std::vector<std::string> row = {field,              Cell(entry["class"]), Cell(entry["start"]),
                                    Cell(entry["end"]), Cell(entry["count"]), Cell(entry["percent"]),
                                    Cell(entry["cumPercent"])};
    if (grouped) row.insert(row.begin(), {Cell(summary["groupBy"]), Cell(summary["group"])});
    AppendRow(text, row);
  }
  return text;
}

}  // namespace sumora::cli

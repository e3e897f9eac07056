#include "apps/sumora/CsvOutput.h"

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

std::string SummaryCsv(const std::vector<Json>& summaries) {
  std::string text;
  if (summaries.empty()) return text;
  std::vector<std::string> keys;
  for (const auto& [key, value] : summaries.front().items()) {
    if (value.is_primitive()) keys.push_back(key);
  }
  std::vector<std::string> header;
  for (const auto& key : keys) header.push_back(Quoted(key));
  AppendRow(text, header);
  for (const Json& summary : summaries) {
    std::vector<std::string> row;
    for (const auto& key : keys) row.push_back(summary.contains(key) ? Cell(summary[key]) : std::string());
    AppendRow(text, row);
  }
  return text;
}

std::string ClassesCsv(const std::vector<Json>& summaries) {
  std::string text;
  AppendRow(text, {"field", "class", "start", "end", "count", "percent", "cumPercent"});
  for (const Json& summary : summaries) {
    const std::string field = Cell(summary["StatFieldName"]);
    for (const Json& entry : summary["classes"]) {
      AppendRow(text, {field, Cell(entry["class"]), Cell(entry["start"]), Cell(entry["end"]), Cell(entry["count"]),
                       Cell(entry["percent"]), Cell(entry["cumPercent"])});
    }
  }
  return text;
}

}  // namespace sumora::cli

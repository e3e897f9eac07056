#include "report/ReportHtml.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/ValueProfiles.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace sumora::report {
namespace {

using Json = nlohmann::ordered_json;
using Values = std::vector<std::optional<double>>;

Json Number(double value) { return std::isfinite(value) ? Json(value) : Json(); }

// A summary shaped like `summarize --format json --quantiles` gives it, from the values themselves; a
// field without values or without variance gets the engine's message in "error" and nulls.
Json Summary(const std::string& field, const Values& column, const Json& group = Json::value_t::discarded) {
  std::vector<double> values;
  for (const auto& value : column)
    if (value) values.push_back(*value);
  const double n = static_cast<double>(values.size());
  double total = 0, low = INFINITY, high = -INFINITY;
  for (const double v : values) total += v, low = std::min(low, v), high = std::max(high, v);
  const double mean = n > 0 ? total / n : NAN;
  double m2 = 0, m3 = 0, m4 = 0;
  for (const double v : values) m2 += std::pow(v - mean, 2), m3 += std::pow(v - mean, 3), m4 += std::pow(v - mean, 4);
  const double variance = n > 1 ? m2 / (n - 1) : NAN;
  std::string failure = n == 0          ? "Field '" + field + "' has no values"
                        : variance == 0 ? "Skewness is undefined: the variance is zero"
                                        : "";
  const double skew = failure.empty() ? (m3 / n) / std::pow(m2 / n, 1.5) : NAN;
  Json classes = Json::array();
  int modeClass = 0;
  if (n > 0) {
    const int k = 10;
    const double width = (high - low) / k;
    std::vector<int> counts(k, 0);
    for (const double v : values) counts[std::min(k - 1, width > 0 ? static_cast<int>((v - low) / width) : 0)]++;
    double cumulative = 0;
    for (int c = 0; c < k; ++c) {
      cumulative += 100.0 * counts[c] / n;
      if (counts[c] > counts[modeClass]) modeClass = c;
      classes.push_back({{"class", c + 1},
                         {"start", low + c * width},
                         {"end", low + (c + 1) * width},
                         {"count", counts[c]},
                         {"percent", 100.0 * counts[c] / n},
                         {"cumPercent", cumulative}});
    }
  }
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  const auto quantile = [&](double p) {
    if (sorted.empty()) return static_cast<double>(NAN);
    const double at = p * (n - 1);
    const auto below = static_cast<std::size_t>(std::floor(at));
    return sorted[below] + (at - below) * (sorted[std::min(below + 1, sorted.size() - 1)] - sorted[below]);
  };
  Json quantiles = Json::array();
  for (const double p : {0.05, 0.25, 0.5, 0.75, 0.95}) quantiles.push_back({{"p", p}, {"value", Number(quantile(p))}});
  Json summary = {{"component", "TSumoraTable"},
                  {"source", "T"},
                  {"StatFieldName", field},
                  {"ScaleBy", 1.0},
                  {"FreqClasses", 10},
                  {"RecordPlotCount", 500},
                  {"ShowCalcProgress", "Prompt"},
                  {"dsDataCount", values.size()},
                  {"dsTotal", total},
                  {"dsMean", Number(mean)},
                  {"dsMin", Number(low)},
                  {"dsMax", Number(high)},
                  {"dsRange", Number(high - low)},
                  {"dsMedian", Number(quantile(0.5))},
                  {"medianBasis", std::min<std::size_t>(values.size(), 10000)},
                  {"dsVariance", Number(variance)},
                  {"dsStdDev", Number(std::sqrt(variance))},
                  {"dsMu3", Number(m3 / n)},
                  {"dsMu4", Number(m4 / n)},
                  {"dsSkew", Number(skew)},
                  {"dsSkewSign", skew > 0   ? "(+)"
                                 : skew < 0 ? "(-)"
                                            : "(0)"},
                  {"dsKurtosis", failure.empty() ? Number((m4 / n) / std::pow(m2 / n, 2)) : Json()},
                  {"dsCoeffVariation", failure.empty() ? Number(std::sqrt(variance) / mean * 100) : Json()},
                  {"dsMode", n > 0 ? Number(classes[modeClass]["start"].get<double>() + (high - low) / 20) : Json()},
                  {"dsModeClass", modeClass + 1},
                  {"classes", classes},
                  {"classTotal", {{"count", values.size()}, {"percent", 100.0}, {"cumPercent", 100.0}}},
                  {"nullCount", column.size() - values.size()},
                  {"sourceText", "T"},
                  {"quantiles", quantiles},
                  {"medianAll", Number(quantile(0.5))}};
  if (!group.is_discarded()) {
    summary["groupBy"] = "grp";
    summary["group"] = group;
  }
  if (!failure.empty()) summary["error"] = failure;
  return summary;
}

Json NumericProfileOf(const std::string& field, const Values& column, const Json& group) {
  NumericProfile profile;
  for (const auto& value : column) value ? profile.Add(*value) : profile.AddNull();
  return ProfileEntry(field, group.is_discarded() ? nullptr : &group, profile);
}

Json OtherProfileOf(const std::string& field, const std::string& className,
                    const std::vector<std::optional<std::string>>& column, const Json& group) {
  OtherProfile profile(IsDateClass(className));
  for (const auto& value : column) value ? profile.Add(*value) : profile.AddNull();
  return ProfileEntry(field, group.is_discarded() ? nullptr : &group, className, profile);
}

// A table of numeric and text columns, optionally grouped by a text key, turned into a data document.
struct Table {
  std::string name = "ORDERS";
  std::optional<std::string> sql;
  std::vector<std::pair<std::string, Values>> numeric;
  std::vector<std::tuple<std::string, std::string, std::vector<std::optional<std::string>>>> other;
  std::vector<std::optional<std::string>> groups;  // one per row when grouped

  Json Document() const {
    const std::size_t rows = !numeric.empty() ? numeric.front().second.size()
                             : other.empty()  ? 0
                                              : std::get<2>(other.front()).size();
    Json doc = {{"program", "sumora"},
                {"version", "0.1.0"},
                {"generated", "2026-12-08T12:00:00Z"},
                {"elapsedSeconds", 1.25},
                {"source",
                 {{"database", "/data/orders.sqlite"},
                  {"table", sql ? Json() : Json(name)},
                  {"sql", sql ? Json(*sql) : Json()}}},
                {"rows", rows},
                {"fields", Json::array()},
                {"missingCells", 0},
                {"groupBy", groups.empty() ? Json() : Json("grp")},
                {"summaries", Json::array()},
                {"profiles", Json::array()}};
    std::size_t missing = 0;
    for (const auto& [field, column] : numeric) {
      doc["fields"].push_back({{"name", field}, {"class", "TFloatField"}, {"numeric", true}});
      missing += std::count(column.begin(), column.end(), std::nullopt);
    }
    for (const auto& [field, className, column] : other) {
      doc["fields"].push_back({{"name", field}, {"class", className}, {"numeric", false}});
      missing += std::count(column.begin(), column.end(), std::nullopt);
    }
    doc["missingCells"] = missing;
    std::vector<std::optional<std::string>> keys(groups.begin(), groups.end());
    // Groups in the engine's order: keys by bytes, the null group last.
    std::sort(keys.begin(), keys.end(),
              [](const auto& a, const auto& b) { return a && b ? *a < *b : a.has_value() && !b.has_value(); });
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (groups.empty()) keys = {std::nullopt};
    for (const auto& key : keys) {
      const Json group = groups.empty() ? Json(Json::value_t::discarded) : key ? Json(*key) : Json();
      const auto inGroup = [&](std::size_t row) { return groups.empty() || groups[row] == key; };
      for (const auto& [field, column] : numeric) {
        Values part;
        for (std::size_t row = 0; row < column.size(); ++row)
          if (inGroup(row)) part.push_back(column[row]);
        doc["summaries"].push_back(Summary(field, part, group));
        doc["profiles"].push_back(NumericProfileOf(field, part, group));
      }
      for (const auto& [field, className, column] : other) {
        std::vector<std::optional<std::string>> part;
        for (std::size_t row = 0; row < column.size(); ++row)
          if (inGroup(row)) part.push_back(column[row]);
        doc["profiles"].push_back(OtherProfileOf(field, className, part, group));
      }
    }
    return doc;
  }
};

Values Wave(std::size_t rows, double scale, int every = 0) {
  Values values;
  for (std::size_t row = 0; row < rows; ++row) {
    const double x = static_cast<double>(row);
    if (every > 0 && row % every == 0)
      values.push_back(std::nullopt);
    else
      values.push_back(scale * (std::sin(x * 0.37) + std::sin(x * 0.011) * 1.5 + std::fmod(x * 0.618, 1.0)));
  }
  return values;
}

std::vector<std::optional<std::string>> Words(std::size_t rows, const std::vector<std::string>& words) {
  std::vector<std::optional<std::string>> values;
  for (std::size_t row = 0; row < rows; ++row) {
    if (row % 11 == 3)
      values.push_back(std::nullopt);
    else
      values.push_back(words[(row * row + row / 3) % words.size()]);
  }
  return values;
}

const std::string kLongName = std::string(10000, 'N') + "END";

Table Plain() {
  Table table;
  table.numeric = {{"AMOUNT", Wave(5000, 40, 29)},
                   {"QTY", Wave(5000, 3)},
                   {"FLAT", Values(50, 7.0)},
                   {"EMPTY", Values(50, std::nullopt)}};
  table.numeric[2].second.resize(5000, 7.0);
  table.numeric[3].second.resize(5000, std::nullopt);
  table.other = {{"CITY", "TStringField", Words(5000, {"Lyon", "Oslo", "Lima", "Pune", "Kyiv", "Accra"})},
                 {"DAY", "TDateField", Words(5000, {"2026-01-02", "2025-12-31", "0999-05-01", "2026-11-30"})},
                 {"PAID", "TBooleanField", Words(5000, {"True", "False"})}};
  return table;
}

Table Hostile() {
  Table table;
  table.name = "<script>alert('t')</script>";
  table.sql = "SELECT * FROM \"</pre><img src=x onerror=alert(1)>\" WHERE note = '\u202Egnp.exe'\n-- &amp;";
  const std::vector<std::string> names = {"<img src=x onerror=alert(1)>",
                                          "\"quoted' & <b>bold</b>",
                                          "tab\there\nnew\x1B[31mred",
                                          "\u202Eevil\u202C \u2067rtl",
                                          "עברית שדה",
                                          kLongName};
  for (std::size_t i = 0; i < names.size(); ++i) table.numeric.push_back({names[i], Wave(300, 1.0 + i, 7)});
  table.other = {{"</script><script>alert(2)</script>", "TStringField",
                  Words(300, {"<svg onload=alert(3)>", "a\u0000b\u0007c", "\u202Eright", "&lt;not an entity",
                              std::string(3000, 'W'), "\xFF\xFE"})}};
  return table;
}

Table Grouped() {
  Table table;
  const std::vector<std::string> keys = {"north", "south", "<b>east</b>", "west"};
  for (std::size_t row = 0; row < 4000; ++row) {
    table.groups.push_back(row % 13 == 0 ? std::nullopt : std::optional<std::string>(keys[row % keys.size()]));
  }
  Values price = Wave(4000, 25, 17), steady(4000);
  for (std::size_t row = 0; row < 4000; ++row) {
    if (price[row]) *price[row] += 30.0 * static_cast<double>(row % keys.size());
    steady[row] = row % keys.size() == 1 ? 5.0 : static_cast<double>(row % 9);
  }
  table.numeric = {{"PRICE", price}, {"STEADY", steady}};
  table.other = {{"CITY", "TStringField", Words(4000, {"Lyon", "Oslo", "Lima", "Pune"})}};
  return table;
}

Table Wide(std::size_t fields, std::size_t rows) {
  Table table;
  for (std::size_t field = 0; field < fields; ++field) {
    table.numeric.push_back({"COLUMN_" + std::to_string(field), Wave(rows, 1.0 + field % 17, 13)});
  }
  return table;
}

TEST(ReportHtml, EachNumericFieldStaysWithinItsSizeBudget) {
  const std::size_t fields = 100;
  const std::string page = RenderReportHtml(Wide(fields, 2000).Document());
  const std::string bare = RenderReportHtml(Wide(0, 2000).Document());
  const std::size_t perField = (page.size() - bare.size()) / fields;
  RecordProperty("bytesPerNumericField", std::to_string(perField));
  EXPECT_LE(perField, 25u * 1024) << "page " << page.size() << " bytes for " << fields << " fields";
  EXPECT_GT(perField, 2000u) << "a field's section, class table and picture are on the page";
}

TEST(ReportHtml, DocumentWithMissingAndMistypedKeysStillRenders) {
  for (const char* text :
       {R"({})", R"({"fields":[{"name":"A","numeric":true}],"summaries":[{"StatFieldName":"A","classes":7}]})",
        R"({"fields":5,"summaries":{"x":1},"profiles":[{"field":"B"}],"source":[]})",
        R"({"fields":[{"name":"A"},{"name":"B"}],"summaries":[{"StatFieldName":"A"}],"profiles":[{"field":"B"}]})"}) {
    const std::string page = RenderReportHtml(Json::parse(text));
    EXPECT_NE(page.find("id=\"sumora-data\""), std::string::npos) << text;
  }
}

// Finds a program on the PATH, as a reader's shell would.
bool OnPath(const std::string& program) { return test::RunCommand("sh", {"-c", "command -v " + program}).status == 0; }

struct BrowserCase {
  const char* page;
  Table table;
  std::size_t sections;  // the overview and one per field shown
  std::size_t leastChecked;
};

// Renders each page, opens them all in one headless Chromium and checks what the browser did and shows.
// Pages and screenshots go to $SUMORA_REPORT_SHOTS when set (to look at), else to the test's own folder.
TEST(ReportInBrowser, PagesOpenWithoutRequestsOrErrorsAndShowTheEmbeddedNumbers) {
  if (!OnPath("chromium") || !OnPath("node"))
    GTEST_SKIP() << "chromium and node are needed (scripts/setup.sh installs them)";
  const test::TempDir dir;
  const std::vector<BrowserCase> cases = {
      {"plain", Plain(), 1 + 7, 150},
      {"hostile", Hostile(), 1 + 7, 150},
      {"grouped", Grouped(), 1 + 3, 100},
      {"wide2000", Wide(2000, 100), 1 + 2000, 2000 * 40},
  };
  const std::string out = std::getenv("SUMORA_REPORT_SHOTS") ? std::getenv("SUMORA_REPORT_SHOTS") : dir.path().string();
  std::vector<std::string> args = {SUMORA_BROWSER_CHECK, "chromium", out};
  std::map<std::string, std::string> pages;
  for (const auto& row : cases) {
    pages[row.page] = RenderReportHtml(row.table.Document());
    args.push_back(out + "/" + row.page + ".html");
    std::ofstream(args.back(), std::ios::binary) << pages[row.page];
  }
  const auto run = test::RunCommand("node", args);
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  for (const auto& row : cases) {
    ASSERT_TRUE(std::getline(lines, line)) << row.page << ": no result\n" << run.err;
    const Json result = Json::parse(line);
    SCOPED_TRACE(row.page);
    EXPECT_EQ(result["consoleErrors"], Json::array());
    EXPECT_EQ(result["requests"], Json::array());
    EXPECT_EQ(result["failedRequests"], Json::array());
    EXPECT_EQ(result["differenceCount"], 0) << result["differences"].dump(1);
    EXPECT_GE(result["checked"].get<std::size_t>(), row.leastChecked);
    EXPECT_EQ(result["activeElements"], 0) << "markup from the data became elements";
    EXPECT_EQ(result["sections"], row.sections);
  }
  const std::string shown = pages["hostile"].substr(0, pages["hostile"].find("<script type=\"application/json\""));
  EXPECT_EQ(shown.find("<img"), std::string::npos);
  EXPECT_EQ(shown.find("\u202E"), std::string::npos) << "a direction control from the data reached the text";
}

}  // namespace
}  // namespace sumora::report

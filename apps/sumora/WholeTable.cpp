#include "apps/sumora/WholeTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "apps/sumora/Digits.h"
#include "apps/sumora/QuantileOption.h"
#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrReport.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora::cli {

namespace {

using Json = nlohmann::ordered_json;

// Doubles are written in their shortest round-trip form; non-finite values as null.
Json Number(double value) { return std::isfinite(value) ? Json(value) : Json(); }
Json NumberIf(bool computed, double value) { return computed ? Number(value) : Json(); }

// The quantiles asked for and the exact median, when the field's selection found them (its values are
// the probabilities asked for, then 0.5).
std::optional<QuantileReport> QuantilesOf(const WholeTableRun& run, const FieldSummary& field) {
  if (!run.quantiles || field.quantiles.size() != run.quantiles->size() + 1) return std::nullopt;
  return QuantileReport{*run.quantiles, {field.quantiles.begin(), field.quantiles.end() - 1}, field.quantiles.back()};
}

std::vector<std::string> NumericFieldNames(TSumoraStats& stats) {
  const auto& items = stats.GetNumericFields().Items();
  return std::vector<std::string>(items.begin(), items.end());
}

}  // namespace

// The whole table name or SQL text (the source name drops the first 13 characters of a query).
std::string SourceText(const TDataSet& dataset) {
  if (const auto* table = dynamic_cast<const TTable*>(&dataset)) return table->TableName();
  if (const auto* query = dynamic_cast<const TQuery*>(&dataset)) {
    std::string text;
    for (const auto& line : query->SQL().Items()) text += (text.empty() ? "" : "\n") + line;
    return text;
  }
  return {};
}

nlohmann::ordered_json GroupJson(const GroupKey& key) {
  switch (key.kind) {
    case GroupKey::Kind::Number: return Number(key.number);
    case GroupKey::Kind::Text: return ValidUtf8(key.text);
    case GroupKey::Kind::Null: break;
  }
  return Json();
}

// --digits N writes statistics with N significant digits; without it, the windows' formats.
NumberFormat NumberFormatOf(const WholeTableRun& run) {
  if (!run.digits) return nullptr;
  const int digits = *run.digits;
  return [digits](double value) { return NumberWithDigits(value, digits); };
}

std::vector<std::string> WholeTableOptions(std::vector<std::string> extra) {
  extra.push_back("group-by");
  extra.push_back("max-groups");
  return WithBindingOptions(std::move(extra));
}

WholeTableRun PrepareWholeTable(const CommandLine& line, const std::optional<std::vector<double>>& quantiles) {
  WholeTableRun run;
  if (line.Has("all-numeric") && line.Has("field")) throw UsageError("give --field NAME or --all-numeric, not both");
  run.bound = BindComponent(line, false);
  run.quantiles = quantiles;
  if (line.Accepts("digits")) run.digits = DigitsOption(line);
  TSumoraStats& stats = *run.bound.stats;
  TDataSet& dataset = *run.bound.dataset;
  const std::string groupBy = line.Get("group-by").value_or("");

  std::vector<std::string> names;
  if (line.Has("all-numeric")) {
    dataset.Open();
    const TField* groupField = groupBy.empty() ? nullptr : dataset.FindField(groupBy);
    for (const auto& name : NumericFieldNames(stats)) {
      // The group field is what the others are grouped by, never a field summarized itself.
      if (groupField != nullptr && dataset.FindField(name) == groupField) continue;
      names.push_back(name);
    }
    if (names.empty()) {
      throw EDatabaseError(ShownText(stats.ComponentName()) +
                           ": the dataset has no numeric field to summarize; `sumora describe` lists its fields");
    }
  } else {
    names = line.GetAll("field");
    if (names.empty()) {
      if (stats.StatFieldName().empty()) FailMissingField(line, run.bound);
      names.push_back(stats.StatFieldName());
    }
  }
  // Every field is checked before any pass: an unknown or a text field stops the run at once.
  for (const auto& name : names) CheckFieldIsNumeric(run.bound, name);
  if (!groupBy.empty()) dataset.FieldByName(groupBy);

  run.set = std::make_unique<TSumoraFieldSet>(stats);
  run.set->SetFieldNames(names);
  run.set->SetGroupBy(groupBy);
  if (auto limit = line.GetInteger("max-groups", 1, 100000000)) run.set->SetMaxGroups(static_cast<std::size_t>(*limit));
  if (quantiles) run.set->PrepareQuantiles(QuantilesWithMedian(*quantiles));
  return run;
}

bool WholeTableRun::AnyError() const {
  for (const auto& group : set->Groups()) {
    for (const auto& field : group.fields) {
      if (!field.error.empty()) return true;
    }
  }
  return false;
}

void RunWholeTable(WholeTableRun& run) {
  run.set->Summarize();
  if (run.Single()) {
    const FieldSummary& field = run.set->Groups().front().fields.front();
    if (!field.error.empty()) throw EMathError(field.error);
  }
}

Json FieldJson(const WholeTableRun& run, const GroupSummary& group, std::size_t fieldIndex) {
  using R = FieldStatistics;
  const FieldSummary& field = group.fields[fieldIndex];
  const FieldStatistics& s = field.statistics;
  TSumoraStats& stats = *run.bound.stats;
  const bool loaded = s.Has(R::kLoaded);
  const bool anyValue = s.Count() > 0;
  const bool classCounts = s.Has(R::kClassCounts);
  Json result = Json::object();
  if (!run.set->GroupBy().empty()) {
    result["groupBy"] = ValidUtf8(run.set->GroupBy());
    result["group"] = GroupJson(group.key);
  }
  Json classes = Json::array();
  if (classCounts) {
    for (int classNo = 1; classNo <= s.freqClasses; ++classNo) {
      classes.push_back({{"class", classNo},
                         {"start", Number(s.ClassStart(classNo))},
                         {"end", Number(s.ClassEnd(classNo))},
                         {"count", s.ClassCount(classNo)},
                         {"percent", Number(s.ClassPercent(classNo))},
                         {"cumPercent", Number(s.ClassCumPercent(classNo))}});
    }
  }
  const int totalSlot = s.freqClasses + 1;
  Json classTotal;
  if (classCounts) {
    // The total row's cumulative percentage is the whole: 100, as its percentage is.
    classTotal = {{"count", s.ClassCount(totalSlot)},
                  {"percent", Number(s.ClassPercent(totalSlot))},
                  {"cumPercent", Number(s.ClassPercent(totalSlot))}};
  }
  const Json summary = {
      {"component", run.bound.isQuery ? "TSumoraQuery" : "TSumoraTable"},
      // Names come from data and users: a source name cut inside a character, a header that is not
      // UTF-8. JSON must be UTF-8, so such bytes become U+FFFD rather than failing the output.
      {"source", ValidUtf8(stats.SourceName())},
      {"StatFieldName", ValidUtf8(s.fieldName)},
      {"ScaleBy", Number(stats.ScaleBy())},
      {"FreqClasses", stats.FreqClasses()},
      {"RecordPlotCount", stats.RecordPlotCount()},
      {"ShowCalcProgress", BoolPlusName(stats.ShowCalcProgress())},
      {"dsDataCount", field.DataCount()},
      {"dsTotal", NumberIf(loaded, s.Total())},
      {"dsMean", NumberIf(loaded, s.Mean())},
      {"dsMin", NumberIf(anyValue, s.Min())},
      {"dsMax", NumberIf(anyValue, s.Max())},
      {"dsRange", NumberIf(anyValue, s.Max() - s.Min())},
      {"dsMedian", NumberIf(s.Has(R::kMedian), s.Median())},
      // The median is taken over the stored values only; a script tells a partial median by this.
      {"medianBasis", s.Has(R::kMedian) ? Json(std::min<std::int64_t>(s.Count(), MaxStoredValues)) : Json()},
      {"dsVariance", NumberIf(s.Has(R::kVariance), s.Variance())},
      {"dsStdDev", NumberIf(s.Has(R::kVariance), std::sqrt(s.Variance()))},
      {"dsMu3", NumberIf(s.Has(R::kVariance), s.Mu3())},
      {"dsMu4", NumberIf(s.Has(R::kVariance), s.Mu4())},
      {"dsSkew", NumberIf(s.Has(R::kSkew), s.Skew())},
      {"dsSkewSign", s.Has(R::kVariance) ? Json(SkewSignOf(s.Mu3())) : Json()},
      {"dsKurtosis", NumberIf(s.Has(R::kKurtosis), s.Kurtosis())},
      {"dsCoeffVariation", NumberIf(s.Has(R::kCoeffVariation), s.CoeffVariation())},
      {"dsMode", NumberIf(s.Has(R::kMode), s.Mode())},
      {"dsModeClass", s.Has(R::kMode) ? Json(s.ModeClass()) : Json()},
      {"classes", classes},
      {"classTotal", classTotal},
  };
  for (const auto& [key, value] : summary.items()) result[key] = value;
  if (run.quantiles) {
    if (const auto report = QuantilesOf(run, field)) {
      AddQuantilesJson(result, *report);
    } else {
      result["quantiles"] = Json();
      result["medianAll"] = Json();
    }
  }
  result["nullCount"] = field.nullCount;
  result["sourceText"] = ValidUtf8(SourceText(*run.bound.dataset));
  if (!field.error.empty()) result["error"] = ValidUtf8(field.error);
  return result;
}

std::vector<Json> AllFieldJson(const WholeTableRun& run) {
  std::vector<Json> objects;
  ForEachField(run, [&](const GroupSummary& group, std::size_t f) { objects.push_back(FieldJson(run, group, f)); });
  return objects;
}

std::string SummaryText(const WholeTableRun& run, const GroupSummary& group, std::size_t fieldIndex) {
  const FieldSummary& field = group.fields[fieldIndex];
  std::vector<std::string> lines = SummaryLines(
      SummaryValuesOf(field.statistics, run.bound.stats->DatasetLine(), field.DataCount()), NumberFormatOf(run));
  if (const auto report = QuantilesOf(run, field)) {
    for (const auto& text : QuantileTexts(*report, run.digits)) lines.push_back(text);
  }
  if (!field.error.empty()) lines.push_back("Error: " + field.error);
  std::string text;
  // Names and SQL text come from data and users: a terminal must not act on their control characters.
  for (const auto& line : lines) text += ShownText(line, std::string::npos) + "\n";
  return text;
}

std::string ClassesText(const WholeTableRun& run, const GroupSummary& group, std::size_t fieldIndex) {
  const FieldSummary& field = group.fields[fieldIndex];
  TSumoraStats& stats = *run.bound.stats;
  std::string text =
      ShownText(stats.ComponentName() + " Class Frequency Data", std::string::npos) + "\n" +
      ShownText(ClassIdentification(stats.SourceName(), field.statistics.fieldName, stats.ScaleBy()), std::string::npos) +
      "\n";
  if (field.statistics.Has(FieldStatistics::kClassCounts)) {
    for (const auto& row : ClassGridRows(field.statistics, field.statistics.freqClasses, NumberFormatOf(run))) {
      for (std::size_t column = 0; column < row.size(); ++column) text += (column > 0 ? "\t" : "") + row[column];
      text += "\n";
    }
  }
  if (!field.error.empty()) text += "Error: " + field.error + "\n";
  return text;
}

std::string GroupLine(const WholeTableRun& run, const GroupSummary& group) {
  std::string value = "(null)";
  if (group.key.kind == GroupKey::Kind::Number) value = Number(group.key.number).dump();
  if (group.key.kind == GroupKey::Kind::Text) value = ShownText(group.key.text);
  return "Group: " + ShownText(run.set->GroupBy()) + " = " + value + "\n";
}

void PrintBlocks(const WholeTableRun& run,
                 std::string (*block)(const WholeTableRun&, const GroupSummary&, std::size_t)) {
  bool first = true;
  ForEachField(run, [&](const GroupSummary& group, std::size_t f) {
    if (!first) std::fputc('\n', stdout);
    first = false;
    if (!run.set->GroupBy().empty()) std::fputs(GroupLine(run, group).c_str(), stdout);
    std::fputs(block(run, group, f).c_str(), stdout);
  });
}

}  // namespace sumora::cli

// The commands that need no window library: describe, fields, tables, summarize, classes and form save.
// They run with the host's default console services: message boxes on stderr, questions asked on the
// terminal.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "apps/sumora/Binding.h"
#include "apps/sumora/Commands.h"
#include "apps/sumora/CsvOutput.h"
#include "apps/sumora/Digits.h"
#include "apps/sumora/QuantileOption.h"
#include "apps/sumora/StdinSpool.h"
#include "apps/sumora/TableOutput.h"
#include "dataset/Drivers.h"
#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrReport.h"
#include "engine/SmrTable.h"
#include "design/FormFile.h"
#include "design/Properties.h"
#include "host/MessageText.h"
#include "host/SafeFile.h"

namespace sumora::cli {

namespace {

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

// Doubles are written in their shortest round-trip form; non-finite values as null.
nlohmann::ordered_json Number(double value) { return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json(); }

nlohmann::ordered_json SummaryJson(BoundComponent& bound) {
  TSumoraStats& s = *bound.stats;
  nlohmann::ordered_json classes = nlohmann::ordered_json::array();
  for (int classNo = 1; classNo <= s.FreqClasses(); ++classNo) {
    classes.push_back({{"class", classNo},
                       {"start", Number(s.GetdsClassStart(classNo))},
                       {"end", Number(s.GetdsClassEnd(classNo))},
                       {"count", s.GetdsClassCount(classNo)},
                       {"percent", Number(s.GetdsClassPercent(classNo))},
                       {"cumPercent", Number(s.GetdsClassCumPercent(classNo))}});
  }
  const int totalSlot = s.FreqClasses() + 1;
  nlohmann::ordered_json result = {
      {"component", bound.isQuery ? "TSumoraQuery" : "TSumoraTable"},
      // Names come from data and users: a source name cut inside a character, a header that is not
      // UTF-8. JSON must be UTF-8, so such bytes become U+FFFD rather than failing the output.
      {"source", ValidUtf8(s.SourceName())},
      {"StatFieldName", ValidUtf8(s.StatFieldName())},
      {"ScaleBy", Number(s.ScaleBy())},
      {"FreqClasses", s.FreqClasses()},
      {"RecordPlotCount", s.RecordPlotCount()},
      {"ShowCalcProgress", BoolPlusName(s.ShowCalcProgress())},
      {"dsDataCount", s.GetdsDataCount()},
      {"dsTotal", Number(s.GetdsTotal())},
      {"dsMean", Number(s.GetdsMean())},
      {"dsMin", Number(s.dsMin())},
      {"dsMax", Number(s.dsMax())},
      {"dsRange", Number(s.GetdsRange())},
      {"dsMedian", Number(s.GetdsMedian())},
      // The median is taken over the stored values only; a script tells a partial median by this.
      {"medianBasis", std::min<std::int32_t>(s.GetdsDataCount(), MaxStoredValues)},
      {"dsVariance", Number(s.GetdsVariance())},
      {"dsStdDev", Number(s.GetdsStdDev())},
      {"dsMu3", Number(s.GetdsMu3())},
      {"dsMu4", Number(s.GetdsMu4())},
      {"dsSkew", Number(s.GetdsSkew())},
      {"dsSkewSign", s.GetdsSkewSign()},
      {"dsKurtosis", Number(s.GetdsKurtosis())},
      {"dsCoeffVariation", Number(s.dsCoeffVariationValue())},
      {"dsMode", Number(s.GetdsMode())},
      {"dsModeClass", s.GetdsModeClass()},
      {"classes", classes},
      {"classTotal",
       {{"count", s.GetdsClassCount(totalSlot)},
        {"percent", Number(s.GetdsClassPercent(totalSlot))},
        {"cumPercent", Number(s.GetdsClassCumPercent(totalSlot))}}},
  };
  return result;
}

BoundComponent BindForListing(const CommandLine& line) {
  for (const char* option : {"field", "scale-by", "classes", "plot-count", "progress"}) {
    if (line.Has(option)) throw UsageError(std::string("option --") + option + " does not apply here");
  }
  return BindComponent(line, false);
}

}  // namespace

int CmdDescribe(const Args& args) {
  CommandLine line(args, BindingOptions());
  BoundComponent bound = BindForListing(line);
  bound.dataset->Open();
  for (int i = 0; i < bound.dataset->FieldCount(); ++i) {
    TField& field = bound.dataset->Fields(i);
    PrintLine(field.FieldName() + "\t" + field.ClassName());
  }
  return 0;
}

int CmdFields(const Args& args) {
  CommandLine line(args, BindingOptions());
  BoundComponent bound = BindForListing(line);
  for (const auto& name : bound.stats->GetNumericFields().Items()) PrintLine(name);
  return 0;
}

int CmdTables(const Args& args) {
  CommandLine line(args, {"db"});
  std::string db = line.Require("db");
  if (db == kStandardInput) {
    db = SpoolStandardInput("stdin.csv");
  } else {
    CheckDatabaseExists(db);
  }
  const auto names = ListTables(db);
  for (const auto& name : names) PrintLine(name);
  if (names.empty()) std::fputs((NoTablesMessage(db) + "\n").c_str(), stderr);
  return 0;
}

namespace {

// What one field's run leaves for printing. Every field is summarized before anything is printed, so
// a failing field leaves standard output empty.
struct FieldReport {
  nlohmann::ordered_json json;
  std::string text;
};

// Binds each field of --field / --all-numeric to a component of its own and has `report` summarize it.
template <typename Report>
std::vector<FieldReport> SummarizeFields(const CommandLine& line, Report&& report) {
  std::vector<FieldReport> reports;
  for (const auto& field : FieldsToSummarize(line)) {
    BoundComponent bound = BindComponent(line, true, field);
    reports.push_back(report(bound));
  }
  return reports;
}

// CSV has one column per quantile, named after its probability: q0.25, ...
nlohmann::ordered_json WithQuantileColumns(nlohmann::ordered_json summary) {
  if (!summary.contains("quantiles")) return summary;
  const nlohmann::ordered_json quantiles = summary["quantiles"];
  for (const auto& entry : quantiles) summary["q" + ProbabilityText(entry["p"].get<double>())] = entry["value"];
  return summary;
}

std::string FormatOption(const CommandLine& line, const std::vector<std::string>& formats) {
  const std::string format = line.Get("format").value_or("text");
  if (std::find(formats.begin(), formats.end(), format) != formats.end()) return format;
  std::string choices;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    choices += (i == 0 ? "" : (i + 1 == formats.size() ? " or " : ", ")) + formats[i];
  }
  throw UsageError("--format takes " + choices + ", not '" + format + "'");
}

// Text reports one after another, separated by one blank line.
void PrintTexts(const std::vector<FieldReport>& reports) {
  for (std::size_t i = 0; i < reports.size(); ++i) {
    if (i > 0) std::fputc('\n', stdout);
    std::fputs(reports[i].text.c_str(), stdout);
  }
}

std::vector<nlohmann::ordered_json> JsonOf(const std::vector<FieldReport>& reports) {
  std::vector<nlohmann::ordered_json> objects;
  for (const auto& report : reports) objects.push_back(report.json);
  return objects;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

}  // namespace

int CmdSummarize(const Args& args) {
  Args rest = args;
  const std::optional<std::vector<double>> quantiles = TakeQuantilesOption(rest);
  CommandLine line(rest, WithBindingOptions({"format", "digits"}), WithBindingFlags({"all-numeric"}), 0, {"field"});
  const std::string format = FormatOption(line, {"text", "json", "csv", "table"});
  const std::optional<int> digits = DigitsOption(line);
  const auto reports = SummarizeFields(line, [&](BoundComponent& bound) {
    // The summary's passes then take the quantile selection's passes along.
    if (quantiles) bound.stats->PrepareQuantiles(QuantilesWithMedian(*quantiles));
    OpenAndSummarize(bound);
    FieldReport report{SummaryJson(bound), {}};
    const auto texts = SummaryTexts(*bound.stats);
    std::vector<std::string> lines(texts.begin(), texts.end());
    if (digits) lines = SummaryTextsWithDigits(*bound.stats, *digits);
    if (quantiles) {
      const QuantileReport computed = ComputeQuantiles(*bound.stats, *quantiles);
      AddQuantilesJson(report.json, computed);
      for (const auto& text : QuantileTexts(computed, digits)) lines.push_back(text);
    }
    report.text = Lines(lines);
    return report;
  });
  if (format == "json") {
    // One field prints its object alone, as it always has; several print an array of them.
    PrintLine(reports.size() == 1 ? reports.front().json.dump() : nlohmann::ordered_json(JsonOf(reports)).dump());
  } else if (format == "csv") {
    std::vector<nlohmann::ordered_json> rows;
    for (const auto& report : reports) rows.push_back(WithQuantileColumns(report.json));
    std::fputs(SummaryCsv(rows).c_str(), stdout);
  } else if (format == "table") {
    std::fputs(SummaryTable(JsonOf(reports), digits.value_or(6)).c_str(), stdout);
  } else {
    PrintTexts(reports);
  }
  return 0;
}

int CmdClasses(const Args& args) {
  CommandLine line(args, WithBindingOptions({"format", "digits"}), WithBindingFlags({"all-numeric"}), 0, {"field"});
  const std::string format = FormatOption(line, {"text", "csv"});
  const std::optional<int> digits = DigitsOption(line);
  const auto reports = SummarizeFields(line, [&](BoundComponent& bound) {
    OpenAndSummarize(bound);
    TSumoraStats& stats = *bound.stats;
    std::vector<std::string> lines = {ClassCaption(stats), ClassIdentification(stats)};
    std::vector<std::vector<std::string>> grid;
    if (digits) {
      grid = ClassGridRowsWithDigits(stats, *digits);
    } else {
      for (const auto& row : ClassGridRows(stats)) grid.emplace_back(row.begin(), row.end());
    }
    for (const auto& row : grid) {
      std::string text;
      for (std::size_t column = 0; column < row.size(); ++column) {
        if (column > 0) text += '\t';
        text += row[column];
      }
      lines.push_back(text);
    }
    return FieldReport{SummaryJson(bound), Lines(lines)};
  });
  if (format == "csv") {
    std::fputs(ClassesCsv(JsonOf(reports)).c_str(), stdout);
  } else {
    PrintTexts(reports);
  }
  return 0;
}

int CmdForm(const Args& args) {
  if (args.empty() || args.front() != "save") throw UsageError("form takes: form save FILE (binding options)");
  Args rest(args.begin() + 1, args.end());
  CommandLine line(rest, BindingOptions(), WithBindingFlags(), 1);
  if (line.Positional().size() != 1) throw UsageError("form save needs exactly one FILE");
  if (line.Has("form")) throw UsageError("form save binds from options; --form cannot be given");
  CheckOutputTarget(line.Positional().front());
  BoundComponent bound = BindComponent(line, false);
  TForm form;
  form.SetName("Form1");
  // The component moves onto the form so the form file holds it.
  form.InsertComponent(bound.owner.release());
  WriteFormFile(form, line.Positional().front());
  return 0;
}

}  // namespace sumora::cli

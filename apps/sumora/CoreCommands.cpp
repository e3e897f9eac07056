// The commands that need no window library: describe, fields, summarize, classes and form save.
// They run with the host's default console services: message boxes on stderr, questions asked on the
// terminal.
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "apps/sumora/Binding.h"
#include "apps/sumora/Commands.h"
#include "apps/sumora/QuantileOption.h"
#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrReport.h"
#include "engine/SmrTable.h"
#include "design/FormFile.h"
#include "design/Properties.h"
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
      {"source", s.SourceName()},
      {"StatFieldName", s.StatFieldName()},
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

int CmdSummarize(const Args& args) {
  Args rest = args;
  const std::optional<std::vector<double>> quantiles = TakeQuantilesOption(rest);
  CommandLine line(rest, WithBindingOptions({"format"}), WithBindingFlags());
  const std::string format = line.Get("format").value_or("text");
  if (format != "text" && format != "json") throw UsageError("--format takes text or json, not '" + format + "'");
  BoundComponent bound = BindComponent(line, true);
  // The summary's passes then take the quantile selection's passes along.
  if (quantiles) bound.stats->PrepareQuantiles(QuantilesWithMedian(*quantiles));
  OpenAndSummarize(bound);
  const QuantileReport report = quantiles ? ComputeQuantiles(*bound.stats, *quantiles) : QuantileReport{};
  if (format == "json") {
    nlohmann::ordered_json summary = SummaryJson(bound);
    if (quantiles) AddQuantilesJson(summary, report);
    PrintLine(summary.dump());
  } else {
    for (const auto& text : SummaryTexts(*bound.stats)) PrintLine(text);
    for (const auto& text : QuantileTexts(report)) PrintLine(text);
  }
  return 0;
}

int CmdClasses(const Args& args) {
  CommandLine line(args, BindingOptions(), WithBindingFlags());
  BoundComponent bound = BindComponent(line, true);
  OpenAndSummarize(bound);
  PrintLine(ClassCaption(*bound.stats));
  PrintLine(ClassIdentification(*bound.stats));
  for (const auto& row : ClassGridRows(*bound.stats)) {
    std::string text;
    for (std::size_t column = 0; column < row.size(); ++column) {
      if (column > 0) text += '\t';
      text += row[column];
    }
    PrintLine(text);
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

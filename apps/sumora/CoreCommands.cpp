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
#include "apps/sumora/QuantileOption.h"
#include "apps/sumora/StdinSpool.h"
#include "apps/sumora/WholeTable.h"
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
  if (db == kStandardInput) db = SpoolStandardInput("stdin.csv");
  for (const auto& name : ListTables(db)) PrintLine(name);
  return 0;
}

namespace {

// CSV has one column per quantile, named after its probability: q0.25, ...
nlohmann::ordered_json WithQuantileColumns(nlohmann::ordered_json summary) {
  if (!summary.contains("quantiles") || !summary["quantiles"].is_array()) return summary;
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

}  // namespace

int CmdSummarize(const Args& args) {
  Args rest = args;
  const std::optional<std::vector<double>> quantiles = TakeQuantilesOption(rest);
  CommandLine line(rest, WholeTableOptions({"format"}), WithBindingFlags({"all-numeric"}), 0, {"field"});
  const std::string format = FormatOption(line, {"text", "json", "csv"});
  WholeTableRun run = PrepareWholeTable(line, quantiles);
  RunWholeTable(run);
  const std::vector<nlohmann::ordered_json> objects = AllFieldJson(run);
  if (format == "json") {
    // One field prints its object alone, as it always has; several, or any groups, an array of them.
    PrintLine(run.Single() ? objects.front().dump() : nlohmann::ordered_json(objects).dump());
  } else if (format == "csv") {
    std::vector<nlohmann::ordered_json> rows;
    for (const auto& object : objects) rows.push_back(WithQuantileColumns(object));
    std::fputs(SummaryCsv(rows).c_str(), stdout);
  } else {
    std::fputs(JoinBlocks(run, SummaryText).c_str(), stdout);
  }
  return 0;
}

int CmdClasses(const Args& args) {
  CommandLine line(args, WholeTableOptions({"format"}), WithBindingFlags({"all-numeric"}), 0, {"field"});
  const std::string format = FormatOption(line, {"text", "csv"});
  WholeTableRun run = PrepareWholeTable(line, std::nullopt);
  RunWholeTable(run);
  if (format == "csv") {
    std::fputs(ClassesCsv(AllFieldJson(run)).c_str(), stdout);
  } else {
    std::fputs(JoinBlocks(run, ClassesText).c_str(), stdout);
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

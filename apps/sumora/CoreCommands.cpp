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
#include "apps/sumora/WholeTable.h"
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
  CommandLine line(rest, WholeTableOptions({"format", "digits"}), WithBindingFlags({"all-numeric"}), 0, {"field"});
  const std::string format = FormatOption(line, {"text", "json", "csv", "table"});
  WholeTableRun run = PrepareWholeTable(line, quantiles);
  RunWholeTable(run);
  // Objects are built and written one at a time: a run of many groups must not hold them all.
  const auto eachObject = [&](const auto& write) {
    ForEachField(run, [&](const GroupSummary& group, std::size_t f) { write(FieldJson(run, group, f)); });
  };
  if (format == "json") {
    // One field prints its object alone, as it always has; several, or any groups, an array of them.
    if (run.Single()) {
      PrintLine(FieldJson(run, run.set->Groups().front(), 0).dump());
    } else {
      const char* separator = "[";
      eachObject([&](const nlohmann::ordered_json& object) {
        std::fputs(separator, stdout);
        std::fputs(object.dump().c_str(), stdout);
        separator = ",";
      });
      std::fputs("]\n", stdout);
    }
  } else if (format == "csv") {
    std::vector<std::string> keys = SummaryCsvKeys({WithQuantileColumns(FieldJson(run, run.set->Groups().front(), 0))});
    // A field that failed adds its message's column, wherever it stands.
    if (std::find(keys.begin(), keys.end(), "error") == keys.end() && run.AnyError()) keys.push_back("error");
    std::fputs(SummaryCsvHeader(keys).c_str(), stdout);
    eachObject([&](const nlohmann::ordered_json& object) {
      std::fputs(SummaryCsvRow(WithQuantileColumns(object), keys).c_str(), stdout);
    });
  } else if (format == "table") {
    std::fputs(SummaryTable(AllFieldJson(run), run.digits.value_or(6)).c_str(), stdout);
  } else {
    PrintBlocks(run, SummaryText);
  }
  return 0;
}

int CmdClasses(const Args& args) {
  CommandLine line(args, WholeTableOptions({"format", "digits"}), WithBindingFlags({"all-numeric"}), 0, {"field"});
  const std::string format = FormatOption(line, {"text", "csv"});
  WholeTableRun run = PrepareWholeTable(line, std::nullopt);
  RunWholeTable(run);
  if (format == "csv") {
    std::fputs(ClassesCsvHeader(!run.set->GroupBy().empty()).c_str(), stdout);
    ForEachField(run, [&](const GroupSummary& group, std::size_t f) {
      std::fputs(ClassesCsvRows(FieldJson(run, group, f)).c_str(), stdout);
    });
  } else {
    PrintBlocks(run, ClassesText);
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

#include "apps/sumora/Binding.h"

#include <filesystem>

#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "dataset/Drivers.h"
#include "dataset/drivers/csv/CsvDialect.h"
#include "design/FormFile.h"

namespace sumora::cli {

const std::vector<std::string>& BindingOptions() {
  static const std::vector<std::string> options = {
      "db",       "table", "sql",       "field",         "scale-by",    "classes",  "plot-count",
      "progress", "form",  "component", "csv-delimiter", "csv-decimal", "csv-na",   "csv-comment"};
  return options;
}

std::vector<std::string> WithBindingOptions(std::vector<std::string> extra) {
  extra.insert(extra.end(), BindingOptions().begin(), BindingOptions().end());
  return extra;
}

std::vector<std::string> WithBindingFlags(std::vector<std::string> extra) {
  extra.push_back("server-side");
  return extra;
}

namespace {

const char* const kCsvOptions[] = {"csv-delimiter", "csv-decimal", "csv-na", "csv-comment"};

// One character; "tab" (or "\t") is a tab.
char CsvCharacter(const CommandLine& line, const char* option) {
  auto text = line.Get(option);
  if (!text) return 0;
  if (*text == "tab" || *text == "\\t") return '\t';
  if (text->size() != 1 || *text == "\"" || *text == "\n" || *text == "\r") {
    throw UsageError(std::string("--") + option + " takes one character (or 'tab'), not '" + *text + "'");
  }
  return (*text)[0];
}

// The --csv-* options travel in the database name ("dir?delimiter=;"), so a saved form keeps them.
std::string DatabaseWithCsvOptions(const CommandLine& line) {
  std::string db = line.Require("db");
  const std::string query = csv::OptionQuery(CsvCharacter(line, "csv-delimiter"), CsvCharacter(line, "csv-decimal"),
                                             line.Get("csv-na").value_or(""), CsvCharacter(line, "csv-comment"));
  if (!query.empty() && DriverFor(db + query) != DriverKind::Csv) {
    throw UsageError("the --csv-* options apply to CSV data only; '" + db + "' is not a CSV directory or file");
  }
  return db + query;
}

BoundComponent BindFromOptions(const CommandLine& line) {
  const std::string db = DatabaseWithCsvOptions(line);
  // A CSV file alone is the database: its one table needs no --table.
  const bool hasTable = line.Has("table") || (!line.Has("sql") && IsCsvFileDatabase(db));
  const bool hasSql = line.Has("sql");
  if (hasTable == hasSql) throw UsageError("give exactly one of --table NAME and --sql TEXT");
  BoundComponent bound;
  if (hasTable) {
    auto table = std::make_unique<TSumoraTable>();
    table->SetName("SumoraTable1");
    table->SetDatabaseName(db);
    // Without --table the table is the CSV file's own name.
    table->SetTableName(line.Get("table").value_or(
        std::filesystem::path(csv::ParseLocation(db).path).filename().string()));
    bound.stats = table.get();
    bound.dataset = table.get();
    bound.owner = std::move(table);
  } else {
    auto query = std::make_unique<TSumoraQuery>();
    query->SetName("SumoraQuery1");
    query->SetDatabaseName(db);
    query->SQL().SetText(*line.Get("sql"));
    bound.stats = query.get();
    bound.dataset = query.get();
    bound.isQuery = true;
    bound.owner = std::move(query);
  }
  return bound;
}

BoundComponent BindFromForm(const CommandLine& line) {
  for (const char* option : {"db", "table", "sql"}) {
    if (line.Has(option)) throw UsageError(std::string("--form binds the component; --") + option + " cannot be added");
  }
  for (const char* option : kCsvOptions) {
    if (line.Has(option)) {
      throw UsageError(std::string("--form binds the component; --") + option +
                       " cannot be added (the form's DatabaseName carries its CSV options)");
    }
  }
  BoundComponent bound;
  auto form = ReadFormFile(*line.Get("form"));
  TComponent* component = FindFormComponent(*form, line.Get("component").value_or(""), *line.Get("form"));
  bound.stats = StatsOf(component);
  bound.dataset = dynamic_cast<TDataSet*>(component);
  bound.isQuery = dynamic_cast<TSumoraQuery*>(component) != nullptr;
  bound.owner = std::move(form);
  return bound;
}

std::string DatabaseNameOf(const TDataSet& dataset) {
  if (const auto* query = dynamic_cast<const TQuery*>(&dataset)) return query->DatabaseName();
  if (const auto* table = dynamic_cast<const TTable*>(&dataset)) return table->DatabaseName();
  return {};
}

TBoolPlus ProgressOption(const std::string& text) {
  if (text == "prompt") return TBoolPlus::Prompt;
  if (text == "always") return TBoolPlus::Always;
  if (text == "never") return TBoolPlus::Never;
  throw UsageError("--progress takes prompt, always or never, not '" + text + "'");
}

}  // namespace

BoundComponent BindComponent(const CommandLine& line, bool requireField) {
  RegisterSumoraClasses();
  if (line.Has("component") && !line.Has("form")) throw UsageError("--component needs --form FILE");
  BoundComponent bound = line.Has("form") ? BindFromForm(line) : BindFromOptions(line);
  TSumoraStats& stats = *bound.stats;
  // Properties go through their setters in the order the component publishes them.
  if (auto field = line.Get("field")) {
    stats.SetStatFieldName(*field);
  } else if (requireField && stats.StatFieldName().empty()) {
    throw UsageError("option --field is required");
  }
  if (auto scale = line.GetDouble("scale-by")) stats.SetdsScaleFactor(*scale);
  if (auto classes = line.GetInteger("classes", 0, 65535)) stats.SetdsFreqClasses(static_cast<std::uint16_t>(*classes));
  if (auto count = line.GetInteger("plot-count", 0, 65535)) stats.SetdsMaxPlotCount(static_cast<std::uint16_t>(*count));
  if (auto progress = line.Get("progress")) stats.SetShowCalcProgress(ProgressOption(*progress));
  if (line.Has("server-side")) {
    if (DriverFor(DatabaseNameOf(*bound.dataset)) != DriverKind::PostgreSQL) {
      throw UsageError("--server-side needs a PostgreSQL source (a postgresql:// URL or a host=... connection "
                       "string); SQLite files and CSV folders are read record by record");
    }
    stats.SetServerSide(true);
  }
  return bound;
}

void OpenAndSummarize(BoundComponent& bound) {
  bound.dataset->Open();
  bound.stats->Summarize();
  bound.stats->GetdsCoeffVariation();
}

}  // namespace sumora::cli

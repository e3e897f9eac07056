#include "apps/sumora/Binding.h"

#include <filesystem>
#include <system_error>

#include "apps/sumora/StdinSpool.h"
#include "engine/SmrProperties.h"
#include "host/Errors.h"
#include "host/MessageText.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "dataset/Drivers.h"
#include "dataset/ValueText.h"
#include "dataset/drivers/csv/CsvDialect.h"
#include "design/FormFile.h"
#include "host/MessageText.h"
#include "toolkit/SmrTools.h"

namespace sumora::cli {

const std::vector<std::string>& BindingOptions() {
  static const std::vector<std::string> options = {
      "db",       "table", "sql",       "field",         "scale-by",    "classes",  "plot-count",
      "progress", "form",  "component", "csv-delimiter", "csv-decimal", "csv-na",   "csv-comment", "csv-header"};
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

const char* const kCsvOptions[] = {"csv-delimiter", "csv-decimal", "csv-na", "csv-comment", "csv-header"};

// One character; "tab" (or "\t") is a tab.
char CsvCharacter(const CommandLine& line, const char* option) {
  auto text = line.Get(option);
  if (!text) return 0;
  if (*text == "tab" || *text == "\\t") return '\t';
  if (text->size() != 1 || *text == "\"" || *text == "\n" || *text == "\r") {
    const bool delimiter = std::string(option) == "csv-delimiter";
    throw UsageError(std::string("--") + option + " takes one character (or 'tab'" +
                     (delimiter ? ", or 'whitespace'" : "") + "), not '" + ShownText(*text) + "'");
  }
  return (*text)[0];
}

// The --csv-* options travel in the database name ("dir?delimiter=;"), so a saved form keeps them.
std::string DatabaseWithCsvOptions(const CommandLine& line, const std::string& db) {
  csv::OptionSettings settings;
  settings.whitespace = line.Get("csv-delimiter") == "whitespace";
  if (!settings.whitespace) settings.delimiter = CsvCharacter(line, "csv-delimiter");
  settings.decimal = CsvCharacter(line, "csv-decimal");
  settings.nulls = line.Get("csv-na").value_or("");
  settings.comment = CsvCharacter(line, "csv-comment");
  if (auto header = line.Get("csv-header")) {
    if (*header != "none" && *header != "first") {
      throw UsageError("--csv-header takes none (the first line is data) or first (it names the fields), not '" +
                       ShownText(*header) + "'");
    }
    settings.noHeader = *header == "none";
  }
  if (settings.decimal != 0 &&
      (settings.decimal == settings.delimiter || (settings.whitespace && (settings.decimal == ' ' || settings.decimal == '\t')))) {
    throw UsageError("--csv-decimal and --csv-delimiter cannot be the same character");
  }
  const std::string query = csv::OptionQuery(settings);
  if (!query.empty() && DriverFor(db + query) != DriverKind::Csv) {
    throw UsageError("the --csv-* options apply to CSV data only; '" + ShownText(db) +
                     "' is not a CSV directory or file");
  }
  return db + query;
}

// "numeric fields: A, B, C" (the first 20, then how many more), or that there are none.
std::string NumericFieldList(TSumoraStats& stats) {
  constexpr std::size_t kListed = 20;
  const auto& names = stats.GetNumericFields().Items();
  if (names.empty()) return "the dataset has no numeric fields";
  std::string list = "numeric fields: ";
  for (std::size_t i = 0; i < names.size() && i < kListed; ++i) list += (i > 0 ? ", " : "") + ShownText(names[i]);
  if (names.size() > kListed) {
    list += " and " + std::to_string(names.size() - kListed) + " more (sumora fields lists them all)";
  }
  return list;
}

}  // namespace

void FailMissingField(const CommandLine& line, BoundComponent& bound) {
  std::string message = line.Accepts("all-numeric") ? "give --field NAME (or --all-numeric for every numeric field)"
                                                    : "give --field NAME";
  try {
    message += "; " + NumericFieldList(*bound.stats);
  } catch (const std::exception&) {
    // The data cannot be opened: the summary's own run names why; the missing option comes first.
  }
  throw UsageError(message);
}

namespace {

// A table name read from standard input becomes the name of the copy's file.
bool PlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

BoundComponent BindFromOptions(const CommandLine& line) {
  std::string db = line.Require("db");
  std::string tableName = line.Get("table").value_or("");
  if (db != kStandardInput) CheckDatabaseExists(db);
  if (db == kStandardInput) {
    if (line.Has("sql")) throw UsageError("--db - reads one CSV table from standard input; it cannot run --sql");
    if (!line.Has("table")) tableName = "stdin.csv";
    if (!PlainFileName(tableName)) {
      throw UsageError("with --db -, --table needs a plain name, not '" + ShownText(tableName) + "'");
    }
    // The copy's folder is a CSV directory holding the one table.
    db = SpoolStandardInput(tableName);
  }
  db = DatabaseWithCsvOptions(line, db);
  // A CSV file alone is the database: its one table needs no --table.
  const bool hasTable = !tableName.empty() || (!line.Has("sql") && IsCsvFileDatabase(db));
  const bool hasSql = line.Has("sql");
  if (hasTable == hasSql) throw UsageError("give exactly one of --table NAME and --sql TEXT");
  BoundComponent bound;
  if (!hasSql) {
    auto table = std::make_unique<TSumoraTable>();
    table->SetName("SumoraTable1");
    table->SetDatabaseName(db);
    // Without --table the table is the CSV file's own name.
    table->SetTableName(!tableName.empty() ? tableName
                                           : std::filesystem::path(csv::ParseLocation(db).path).filename().string());
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
  throw UsageError("--progress takes prompt, always or never, not '" + ShownText(text) + "'");
}

}  // namespace

BoundComponent BindComponent(const CommandLine& line, bool requireField, const std::optional<std::string>& field) {
  RegisterSumoraClasses();
  if (line.Has("component") && !line.Has("form")) throw UsageError("--component needs --form FILE");
  BoundComponent bound = line.Has("form") ? BindFromForm(line) : BindFromOptions(line);
  TSumoraStats& stats = *bound.stats;
  // Properties go through their setters in the order the component publishes them.
  if (auto name = field ? field : line.Get("field")) {
    stats.SetStatFieldName(*name);
  } else if (requireField && stats.StatFieldName().empty()) {
    FailMissingField(line, bound);
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

namespace {

// What a field that cannot be summarized holds, in the user's words.
std::string KindOfValues(const TField& field) {
  const std::string className = field.ClassName();
  if (className == "TDateField" || className == "TDateTimeField") return "dates";
  if (className == "TBooleanField") return "true/false values";
  return "text";
}

}  // namespace

void CheckFieldIsNumeric(BoundComponent& bound) { CheckFieldIsNumeric(bound, bound.stats->StatFieldName()); }

void CheckFieldIsNumeric(BoundComponent& bound, const std::string& name) {
  TSumoraStats& stats = *bound.stats;
  bound.dataset->Open();
  const TField* field = bound.dataset->FindField(name);
  if (field == nullptr) {
    // "...: Field 'X' not found; numeric fields: A, B, C"
    throw EDatabaseError(ShownText(stats.ComponentName()) + ": Field '" + ShownText(name) + "' not found; " +
                         NumericFieldList(stats));
  }
  if (NumericField(*field)) return;
  // A text column may still hold numbers (an untyped SQLite column, a CSV column with one stray
  // word): the passes convert those, and name the record of a value that is not one. Refused here is
  // a text field whose first value already is no number, and every date or true/false field.
  const bool text = KindOfValues(*field) == "text";
  std::string firstValue;
  if (text) {
    if (bound.dataset->Eof() || field->IsNull()) return;
    firstValue = field->AsString();
    bool isInteger = false;
    if (LooksNumeric(firstValue, &isInteger)) return;
  }
  throw EDatabaseError(ShownText(stats.ComponentName()) + ": Field '" + ShownText(field->FieldName()) + "' holds " +
                       KindOfValues(*field) + " (" + field->ClassName() + "), not numbers" +
                       (text ? " (record 1 is '" + ShownText(firstValue) + "')" : std::string()) + "; " +
                       NumericFieldList(stats));
}

void CheckDatabaseExists(const std::string& db) {
  const DriverKind kind = DriverFor(db);
  if (kind != DriverKind::SQLite && kind != DriverKind::Csv) return;
  std::error_code ec;
  const std::string path = csv::SplitOptions(db).path;
  // Only what is plainly not there: a link loop or a folder that cannot be searched is for the driver
  // to name.
  if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) return;
  throw EDatabaseError("--db '" + ShownText(path) +
                       "' does not exist: give an SQLite file, a CSV file or a folder of CSV files (check the path)");
}

std::string NoTablesMessage(const std::string& db) {
  if (DriverFor(db) == DriverKind::Csv) {
    return "sumora tables: '" + ShownText(csv::SplitOptions(db).path) +
           "' holds no CSV tables (files named *.csv, *.tsv or *.tab directly in it; sub-folders are not searched)";
  }
  return "sumora tables: '" + ShownText(db) + "' holds no tables or views";
}

void OpenAndSummarize(BoundComponent& bound) {
  CheckFieldIsNumeric(bound);
  bound.stats->Summarize();
  bound.stats->GetdsCoeffVariation();
}

}  // namespace sumora::cli

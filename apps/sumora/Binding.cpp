#include "apps/sumora/Binding.h"

#include "dataset/Drivers.h"
#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "design/FormFile.h"

namespace sumora::cli {

const std::vector<std::string>& BindingOptions() {
  static const std::vector<std::string> options = {"db",         "table",    "sql",  "field",    "scale-by",
                                                   "classes",    "plot-count", "progress", "form", "component"};
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

BoundComponent BindFromOptions(const CommandLine& line) {
  const std::string db = line.Require("db");
  const bool hasTable = line.Has("table");
  const bool hasSql = line.Has("sql");
  if (hasTable == hasSql) throw UsageError("give exactly one of --table NAME and --sql TEXT");
  BoundComponent bound;
  if (hasTable) {
    auto table = std::make_unique<TSumoraTable>();
    table->SetName("SumoraTable1");
    table->SetDatabaseName(db);
    table->SetTableName(*line.Get("table"));
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

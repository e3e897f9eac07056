#include "dataset/Drivers.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

#include "dataset/drivers/csv/CsvDialect.h"
#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora {

namespace {

struct MemoryRegistry {
  std::mutex mutex;
  std::map<std::string, MemorySourceFactory> factories;
};

MemoryRegistry& Registry() {
  static MemoryRegistry registry;
  return registry;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::unique_ptr<RecordSource> OpenMemory(const std::string& databaseName, const std::string& tableOrSql) {
  std::string name = databaseName.substr(std::string("memory:").size());
  MemorySourceFactory factory;
  {
    std::lock_guard lock(Registry().mutex);
    auto it = Registry().factories.find(name);
    if (it == Registry().factories.end()) {
      throw EDatabaseError("No in-memory database is registered under the name '" + ShownText(name) + "'");
    }
    factory = it->second;
  }
  return factory(tableOrSql);
}

}  // namespace

DriverKind DriverFor(const std::string& databaseName) {
  if (StartsWith(databaseName, "postgresql://") || StartsWith(databaseName, "postgres://")) {
    return DriverKind::PostgreSQL;
  }
  if (StartsWith(databaseName, "memory:")) return DriverKind::Memory;
  std::error_code ec;
  if (!databaseName.empty() && std::filesystem::is_directory(databaseName, ec)) return DriverKind::Csv;
  // CSV options follow a '?': "dir?delimiter=;". A '?' that is part of an existing file's name is not one.
  const std::string base = csv::SplitOptions(databaseName).path;
  if (!base.empty() && (std::filesystem::is_directory(base, ec) || IsCsvFileName(base))) return DriverKind::Csv;
  // libpq key/value connection strings ("host=localhost dbname=shop") hold '=' and no path separator
  // before it; a file name practically never does.
  auto equals = databaseName.find('=');
  if (equals != std::string::npos && databaseName.find('/') > equals && !std::filesystem::exists(databaseName, ec)) {
    return DriverKind::PostgreSQL;
  }
  return DriverKind::SQLite;
}

std::unique_ptr<RecordSource> OpenTableSource(const std::string& databaseName, const std::string& tableName) {
  switch (DriverFor(databaseName)) {
    case DriverKind::PostgreSQL: return OpenPgTable(databaseName, tableName);
    case DriverKind::Memory: return OpenMemory(databaseName, tableName);
    case DriverKind::Csv: return OpenCsvTable(databaseName, tableName);
    case DriverKind::SQLite: break;
  }
  return OpenSqliteTable(databaseName, tableName);
}

std::unique_ptr<RecordSource> OpenQuerySource(const std::string& databaseName, const std::string& sql) {
  switch (DriverFor(databaseName)) {
    case DriverKind::PostgreSQL: return OpenPgQuery(databaseName, sql);
    case DriverKind::Memory: return OpenMemory(databaseName, sql);
    case DriverKind::Csv:
      throw EDatabaseError("'" + ShownText(databaseName) +
                           "' is a CSV database, which holds tables only: bind a table (TableName \"name.csv\") "
                           "or load the data into SQLite to run SQL on it");
    case DriverKind::SQLite: break;
  }
  return OpenSqliteQuery(databaseName, sql);
}

bool IsCsvFileDatabase(const std::string& databaseName) {
  if (DriverFor(databaseName) != DriverKind::Csv) return false;
  std::error_code ec;
  return !std::filesystem::is_directory(csv::SplitOptions(databaseName).path, ec);
}

namespace {

// Runs a catalogue query through the driver and collects its first column.
std::vector<std::string> FirstColumn(std::unique_ptr<RecordSource> source) {
  std::vector<std::string> names;
  for (source->First(); !source->Eof(); source->Next()) names.push_back(source->AsString(0));
  return names;
}

// The path of a CSV database without its "?options".
std::string CsvBase(const std::string& databaseName) { return csv::SplitOptions(databaseName).path; }

// A CSV file is its own one table; a directory holds one per CSV file.
std::vector<std::string> CsvTableFiles(const std::string& databaseName) {
  const std::string base = CsvBase(databaseName);
  if (IsCsvFileDatabase(databaseName)) return {std::filesystem::path(base).filename().string()};
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    const std::string name = entry.path().filename().string();
    // Links and other special files are not tables: they are refused when opened, so not listed.
    if (IsCsvFileName(name) && entry.is_regular_file(ec) && !entry.is_symlink(ec)) names.push_back(name);
  }
  if (ec) throw EDatabaseError("Cannot list the CSV directory '" + ShownText(base) + "': " + ec.message());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> ListTables(const std::string& databaseName) {
  switch (DriverFor(databaseName)) {
    case DriverKind::PostgreSQL:
      // pg_table_is_visible follows the search path, a table shadowed by an earlier schema included;
      // the system schemas are always on the path but hold no user data.
      return FirstColumn(OpenPgQuery(
          databaseName,
          "SELECT c.relname FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
          "WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f') AND pg_catalog.pg_table_is_visible(c.oid) "
          "AND n.nspname NOT IN ('pg_catalog', 'information_schema') ORDER BY c.relname"));
    case DriverKind::Memory:
      throw EDatabaseError("'" + ShownText(databaseName) + "' is an in-memory database, which cannot list its tables");
    case DriverKind::Csv: return CsvTableFiles(databaseName);
    case DriverKind::SQLite: break;
  }
  return FirstColumn(OpenSqliteQuery(databaseName,
                                     "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                                     "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
}

void RegisterMemoryDatabase(const std::string& name, MemorySourceFactory factory) {
  std::lock_guard lock(Registry().mutex);
  Registry().factories[name] = std::move(factory);
}

void UnregisterMemoryDatabase(const std::string& name) {
  std::lock_guard lock(Registry().mutex);
  Registry().factories.erase(name);
}

}  // namespace sumora

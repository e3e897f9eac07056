// Chooses and opens the data source a dataset's DatabaseName names:
//   - "postgresql://..." or "postgres://..." URLs and libpq key/value strings ("host=... dbname=...")
//     select the PostgreSQL driver;
//   - "memory:NAME" selects an in-memory database registered by the program (tests, examples);
//   - an existing directory is a CSV database: each "*.csv" (".tsv", ".tab") file in it is a table
//     ("orders.csv"); a file named "*.csv", "*.tsv" or "*.tab" is a CSV database of one table. Either
//     may carry CSV options after '?': "data?delimiter=;&decimal=,&na=-&comment=%";
//   - anything else is an SQLite database file, opened read-only.
// Every driver opens read-only: the library never changes a user's data.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/RecordSource.h"

namespace sumora {

enum class DriverKind { SQLite, Csv, PostgreSQL, Memory };

DriverKind DriverFor(const std::string& databaseName);

// Opens every record of `tableName`. The name is always quoted as an identifier by SQL drivers.
std::unique_ptr<RecordSource> OpenTableSource(const std::string& databaseName, const std::string& tableName);
// Runs `sql` and opens its result.
std::unique_ptr<RecordSource> OpenQuerySource(const std::string& databaseName, const std::string& sql);

// The names of the tables a database holds, for listing: SQLite tables and views (without SQLite's
// own), the "*.csv" files of a CSV directory, the PostgreSQL tables and views visible on the
// search path. Sorted by name. In-memory databases cannot list theirs (EDatabaseError).
std::vector<std::string> ListTables(const std::string& databaseName);

// In-memory databases: "memory:NAME" is answered by the factory registered under NAME. The factory
// gets the table name (table datasets) or the SQL text (query datasets).
using MemorySourceFactory = std::function<std::unique_ptr<RecordSource>(const std::string& tableOrSql)>;
void RegisterMemoryDatabase(const std::string& name, MemorySourceFactory factory);
void UnregisterMemoryDatabase(const std::string& name);

// "file:" URI that opens the SQLite file `path` with immutable=1 (no journal, no locks); characters that
// end a URI path are escaped.
std::string SqliteImmutableUri(const std::string& path);

// Driver entry points, implemented one per file (SqliteDriver.cpp, CsvDriver.cpp, PgDriver.cpp).
std::unique_ptr<RecordSource> OpenSqliteTable(const std::string& path, const std::string& tableName);
std::unique_ptr<RecordSource> OpenSqliteQuery(const std::string& path, const std::string& sql);
// `databaseName` is a directory or a single CSV file, with optional "?options"; for a file,
// `tableName` may be empty or the file's name (with or without its extension).
std::unique_ptr<RecordSource> OpenCsvTable(const std::string& databaseName, const std::string& tableName);
// True for a path ending in ".csv", ".tsv" or ".tab" (any case).
bool IsCsvFileName(const std::string& path);
// A database that is one CSV file: its table name may be left empty.
bool IsCsvFileDatabase(const std::string& databaseName);
std::unique_ptr<RecordSource> OpenPgTable(const std::string& conninfo, const std::string& tableName);
std::unique_ptr<RecordSource> OpenPgQuery(const std::string& conninfo, const std::string& sql);

}  // namespace sumora

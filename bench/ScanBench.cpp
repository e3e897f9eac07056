// Scans one column of ORDERS(id INTEGER, amount REAL with ~2 % nulls, qty INTEGER) through the dataset
// layer (First/Next/Eof/FieldByName/IsNull/AsFloat) and compares it, in the same run, with the bare loops
// the drivers sit on: sqlite3_step over the column, and mmap + std::from_chars over the CSV file.
//
// The table is generated once into $SUMORA_BENCH_DIR (default: a folder under /tmp) with
// $SUMORA_BENCH_ROWS rows (default 1,000,000), as an SQLite file and a CSV directory. At the end the
// program prints dataset/bare throughput ratios and the process's peak resident memory; run it with
// --benchmark_filter=Dataset for two row counts (bench/scan-compare.sh) to see that memory does not grow
// with the table.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <stdexcept>
#include <string>

#include "dataset/DataSet.h"

namespace {

namespace fs = std::filesystem;

struct BenchData {
  std::int64_t rows = 0;
  std::string sqlitePath;
  std::string csvDirectory;
  std::string csvPath;
  double expectedSum = 0;  // of the non-null amounts, in table order
};

std::int64_t RowsWanted() {
  const char* text = std::getenv("SUMORA_BENCH_ROWS");
  return text != nullptr ? std::atoll(text) : 1000000;
}

fs::path BenchDirectory() {
  const char* text = std::getenv("SUMORA_BENCH_DIR");
  return text != nullptr ? fs::path(text) : fs::temp_directory_path() / ("sumora-scanbench-" + std::to_string(getuid()));
}

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
}

// Same values in both files: the CSV holds the shortest text that reads back to the stored double.
void Generate(const BenchData& data) {
  fs::create_directories(data.csvDirectory);
  std::string partialDb = data.sqlitePath + ".part";
  std::string partialCsv = data.csvPath + ".part";
  fs::remove(partialDb);
  sqlite3* db = nullptr;
  Check(sqlite3_open(partialDb.c_str(), &db), db, "create");
  Check(sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
                         "CREATE TABLE ORDERS(id INTEGER, amount REAL, qty INTEGER);",
                     nullptr, nullptr, nullptr),
        db, "schema");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO ORDERS VALUES (?, ?, ?)", -1, &insert, nullptr), db, "prepare");
  std::ofstream csv(partialCsv, std::ios::binary);
  csv << "id,amount,qty\n";
  std::mt19937_64 random(20240611);
  std::lognormal_distribution<double> amount(3.5, 0.8);
  std::uniform_int_distribution<int> qty(1, 20);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  char text[64];
  for (std::int64_t id = 1; id <= data.rows; ++id) {
    bool isNull = unit(random) < 0.02;
    double value = std::round(amount(random) * 100.0) / 100.0;
    int count = qty(random);
    sqlite3_bind_int64(insert, 1, id);
    if (isNull) {
      sqlite3_bind_null(insert, 2);
    } else {
      sqlite3_bind_double(insert, 2, value);
    }
    sqlite3_bind_int(insert, 3, count);
    Check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
    csv << id << ',';
    if (!isNull) csv.write(text, std::to_chars(text, text + sizeof text, value).ptr - text);
    csv << ',' << count << '\n';
  }
  sqlite3_finalize(insert);
  Check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
  csv.close();
  fs::rename(partialDb, data.sqlitePath);
  fs::rename(partialCsv, data.csvPath);
}

double BareSqliteSum(sqlite3_stmt* statement, int column = 0) {
  sqlite3_reset(statement);
  double sum = 0;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) continue;
    sum += sqlite3_column_double(statement, column);
  }
  return sum;
}

const BenchData& Data() {
  static const BenchData data = [] {
    BenchData result;
    result.rows = RowsWanted();
    fs::path directory = BenchDirectory();
    fs::create_directories(directory);
    std::string stem = "orders-" + std::to_string(result.rows);
    result.sqlitePath = (directory / (stem + ".db")).string();
    result.csvDirectory = (directory / (stem + "-csv")).string();
    result.csvPath = (fs::path(result.csvDirectory) / "orders.csv").string();
    if (!fs::exists(result.sqlitePath) || !fs::exists(result.csvPath)) Generate(result);
    sqlite3* db = nullptr;
    sqlite3_open_v2(result.sqlitePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT amount FROM ORDERS", -1, &statement, nullptr), db, "prepare");
    result.expectedSum = BareSqliteSum(statement);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
  }();
  return data;
}

void CheckSum(benchmark::State& state, double sum) {
  if (sum != Data().expectedSum) {
    state.SkipWithError(("sum " + std::to_string(sum) + " differs from " + std::to_string(Data().expectedSum)).c_str());
  }
}

// The loop every statistics pass runs: one field, focused so the source may read that column alone.
double DatasetSum(sumora::TDataSet& dataset) {
  const std::string fieldName = "amount";  // held as a string, as a component holds StatFieldName
  double sum = 0;
  dataset.DisableControls();
  dataset.FocusField(dataset.FindField(fieldName));
  sumora::TField* field = nullptr;
  for (dataset.First(); !dataset.Eof(); dataset.Next()) {
    if (field == nullptr) field = &dataset.FieldByName(fieldName);
    if (!field->IsNull()) sum += field->AsFloat();
  }
  dataset.FocusField(nullptr);
  dataset.EnableControls();
  return sum;
}

void ScanDataset(benchmark::State& state, const std::string& databaseName) {
  sumora::TTable table;
  table.SetDatabaseName(databaseName);
  table.SetTableName(databaseName == Data().csvDirectory ? "orders.csv" : "ORDERS");
  table.Open();
  double sum = 0;
  for (auto _ : state) {
    sum = DatasetSum(table);
    benchmark::DoNotOptimize(sum);
  }
  CheckSum(state, sum);
  state.SetItemsProcessed(state.iterations() * Data().rows);
}

void BM_DatasetSqlite(benchmark::State& state) { ScanDataset(state, Data().sqlitePath); }
void BM_DatasetCsv(benchmark::State& state) { ScanDataset(state, Data().csvDirectory); }

// A table dataset reads whole rows (SELECT *); the second bare loop does the same, which separates what
// the wider rows cost inside SQLite from what the dataset layer adds.
void BareSqlite(benchmark::State& state, const char* sql, int column) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(Data().sqlitePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  Check(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), db, "prepare");
  double sum = 0;
  for (auto _ : state) {
    sum = BareSqliteSum(statement, column);
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  CheckSum(state, sum);
  state.SetItemsProcessed(state.iterations() * Data().rows);
}

void BM_BareSqlite(benchmark::State& state) { BareSqlite(state, "SELECT amount FROM ORDERS", 0); }
void BM_BareSqliteWholeRows(benchmark::State& state) { BareSqlite(state, "SELECT * FROM ORDERS", 1); }

// Column 1 of a quote-free CSV: split lines and cells with memchr, parse with from_chars.
double BareCsvSum(const char* begin, const char* end) {
  const char* line = static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin))) + 1;
  double sum = 0;
  while (line < end) {
    const char* eol = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
    if (eol == nullptr) eol = end;
    const char* cell = static_cast<const char*>(std::memchr(line, ',', static_cast<std::size_t>(eol - line))) + 1;
    const char* cellEnd = static_cast<const char*>(std::memchr(cell, ',', static_cast<std::size_t>(eol - cell)));
    if (cellEnd > cell) {
      double value = 0;
      if (std::from_chars(cell, cellEnd, value).ec == std::errc()) sum += value;
    }
    line = eol + 1;
  }
  return sum;
}

void BM_BareCsv(benchmark::State& state) {
  int fd = ::open(Data().csvPath.c_str(), O_RDONLY);
  struct stat info {};
  fstat(fd, &info);
  auto length = static_cast<std::size_t>(info.st_size);
  void* mapped = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
  madvise(mapped, length, MADV_SEQUENTIAL);
  const char* begin = static_cast<const char*>(mapped);
  double sum = 0;
  for (auto _ : state) {
    sum = BareCsvSum(begin, begin + length);
    benchmark::DoNotOptimize(sum);
  }
  munmap(mapped, length);
  ::close(fd);
  CheckSum(state, sum);
  state.SetItemsProcessed(state.iterations() * Data().rows);
}

BENCHMARK(BM_DatasetSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareSqliteWholeRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatasetCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareCsv)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's rows/s so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto rate = run.counters.find("items_per_second");
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && rate != run.counters.end()) {
        rowsPerSecond_[run.benchmark_name()] = rate->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    PrintRatio("SQLite: dataset / bare sqlite3_step, one column ", "BM_DatasetSqlite", "BM_BareSqlite", 0.80);
    PrintRatio("SQLite: dataset / bare sqlite3_step, whole rows ", "BM_DatasetSqlite", "BM_BareSqliteWholeRows", 0.80);
    PrintRatio("CSV:    dataset / bare mmap + from_chars        ", "BM_DatasetCsv", "BM_BareCsv", 0.60);
  }

 private:
  void PrintRatio(const char* label, const std::string& dataset, const std::string& bare, double target) const {
    auto a = rowsPerSecond_.find(dataset);
    auto b = rowsPerSecond_.find(bare);
    if (a == rowsPerSecond_.end() || b == rowsPerSecond_.end()) return;
    double ratio = a->second / b->second;
    std::printf("%s = %5.1f %%  (target >= %.0f %%: %s)\n", label, ratio * 100.0, target * 100.0,
                ratio >= target ? "met" : "MISSED");
  }

  std::map<std::string, double> rowsPerSecond_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const BenchData& data = Data();
  std::printf("ORDERS: %lld rows (%s, %s)\n", static_cast<long long>(data.rows), data.sqlitePath.c_str(),
              data.csvPath.c_str());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  reporter.PrintRatios();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak RSS: %.1f MiB (%lld rows)\n", usage.ru_maxrss / 1024.0, static_cast<long long>(data.rows));
  return 0;
}

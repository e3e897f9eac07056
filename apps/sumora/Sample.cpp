// `sumora sample`: writes the bundled sample, the ORDERS table as an SQLite file and as a CSV
// directory holding the same rows. The values come from the toolkit's own deviates with fixed seeds,
// so every run writes the same files.
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "apps/sumora/CommandLine.h"
#include "apps/sumora/Commands.h"
#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "design/FormFile.h"
#include "host/Errors.h"
#include "host/SafeFile.h"
#include "toolkit/SmrTools.h"

namespace sumora::cli {

namespace {

struct Order {
  int id;
  std::optional<double> amount;
  int qty;
  std::string region;
  std::string ordered;
};

constexpr int kRows = 5000;
const char* const kRegions[] = {"North", "South", "East", "West"};

// Days from 2024-01-01 as an ISO date.
std::string IsoDate(int dayOffset) {
  static const int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};  // 2024 is a leap year
  int year = 2024;
  int month = 0;
  int day = dayOffset;
  for (;;) {
    int inMonth = monthDays[month] - ((month == 1 && year != 2024) ? 1 : 0);
    if (day < inMonth) break;
    day -= inMonth;
    if (++month == 12) {
      month = 0;
      ++year;
    }
  }
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month + 1, day + 1);
  return text;
}

std::vector<Order> MakeOrders() {
  initgliset(0);
  gasdev(-20240101);  // a negative seed starts the shared generator afresh
  std::int32_t seed = 1;
  std::vector<Order> orders;
  orders.reserve(kRows);
  for (int i = 1; i <= kRows; ++i) {
    Order order;
    order.id = i;
    // Log-normal amounts around 80 with a long right tail; about 3 % are missing.
    const double normal = gasdev(seed);
    const double pick = ran1(seed) / 10.0;
    if (pick >= 0.03) order.amount = std::round(std::exp(4.4 + 0.6 * normal) * 100.0) / 100.0;
    order.qty = 1 + static_cast<int>(expdev(seed) * 2.0) % 20;
    order.region = kRegions[static_cast<int>(ran1(seed) * 0.4) % 4];
    order.ordered = IsoDate((i - 1) * 366 / kRows);
    orders.push_back(std::move(order));
  }
  return orders;
}

const char* const kCreateOrders =
    "CREATE TABLE ORDERS (ID INTEGER PRIMARY KEY, AMOUNT REAL, QTY INTEGER, REGION TEXT, ORDERED DATE)";
const char* const kCsvHeader = "ID,AMOUNT,QTY,REGION,ORDERED";
const char* const kFormName = "OrdersForm";

void Check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw Exception(std::string("cannot build the sample database: ") + sqlite3_errmsg(db));
  }
}

struct Closer {
  sqlite3* db;
  ~Closer() { sqlite3_close(db); }
};

// The sample database, built in memory and returned as the bytes of its file, so that it reaches
// the disk through WriteFileAtomically like every other file the program writes.
std::string SqliteBytes(const std::vector<Order>& orders) {
  sqlite3* db = nullptr;
  if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
    sqlite3_close(db);
    throw Exception("cannot build the sample database: out of memory");
  }
  Closer closer{db};
  Check(sqlite3_exec(db, (std::string("BEGIN; ") + kCreateOrders + ";").c_str(), nullptr, nullptr, nullptr), db);
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO ORDERS VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr), db);
  for (const auto& order : orders) {
    sqlite3_bind_int(insert, 1, order.id);
    if (order.amount) {
      sqlite3_bind_double(insert, 2, *order.amount);
    } else {
      sqlite3_bind_null(insert, 2);
    }
    sqlite3_bind_int(insert, 3, order.qty);
    sqlite3_bind_text(insert, 4, order.region.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 5, order.ordered.c_str(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(insert);
    if (rc != SQLITE_DONE) sqlite3_finalize(insert);
    Check(rc, db);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db);
  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
  if (bytes == nullptr) throw Exception("cannot build the sample database: out of memory");
  std::string file(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
  sqlite3_free(bytes);
  return file;
}

std::string CsvText(const std::vector<Order>& orders) {
  std::string text = std::string(kCsvHeader) + "\n";
  char line[160];
  for (const auto& order : orders) {
    char amount[64] = "";
    if (order.amount) std::snprintf(amount, sizeof amount, "%.2f", *order.amount);
    std::snprintf(line, sizeof line, "%d,%s,%d,%s,%s\n", order.id, amount, order.qty, order.region.c_str(),
                  order.ordered.c_str());
    text += line;
  }
  return text;
}

// Whether the regular file at `path` (checked before the call, so no pipe is opened) holds exactly
// `contents`; a file of another size is not read.
bool HoldsExactly(const std::string& path, const std::string& contents) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) != contents.size() || error) return false;
  std::ifstream in(path, std::ios::binary);
  std::string text(contents.size(), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  return in.gcount() == static_cast<std::streamsize>(text.size()) && text == contents;
}

std::string PathText(const std::filesystem::path& path) { return path.string(); }

// What is at `path`; a path that cannot be examined stops the command before anything is written.
PathKind ExaminedKind(const std::filesystem::path& path) {
  std::string reason;
  const PathKind kind = InspectPath(PathText(path), &reason);
  if (kind == PathKind::Unreachable) throw Exception("cannot examine '" + PathText(path) + "': " + reason);
  return kind;
}

// A file of the set may be replaced only when it holds what the sample writes there: anything else
// at that name is somebody's data (a foreign file, a sample they extended, a link), and the command
// stops before writing anything.
void CheckReplaceable(const std::filesystem::path& file, const std::string& contents) {
  const PathKind kind = ExaminedKind(file);
  if (kind == PathKind::Missing) return;
  if (kind != PathKind::RegularFile) {
    throw Exception("'" + PathText(file) + "' is " + DescribePathKind(kind) +
                    ", not a file the sample wrote; remove it or choose another --out folder");
  }
  if (!HoldsExactly(PathText(file), contents)) {
    throw Exception("'" + PathText(file) +
                    "' is not a file the sample wrote; remove it or choose another --out folder");
  }
}

// Makes `folder` unless it is there already as a real folder (a link could lead the files anywhere).
void MakeFolder(const std::filesystem::path& folder) {
  const PathKind kind = ExaminedKind(folder);
  if (kind == PathKind::Directory) return;
  if (kind != PathKind::Missing) {
    throw Exception("'" + PathText(folder) + "' is " + DescribePathKind(kind) +
                    ", not a folder; remove it or choose another --out folder");
  }
  std::error_code error;
  std::filesystem::create_directory(folder, error);
  if (error) throw Exception("cannot create the folder '" + PathText(folder) + "': " + error.message());
}

// The workbench's sample form: a table component and a query component over the SQLite file, as the
// text WriteFormFile would write at `path`.
std::string SampleFormText(const std::string& database, const std::string& path) {
  RegisterSumoraClasses();
  TForm form;
  form.SetName(kFormName);
  auto* table = new TSumoraTable(&form);
  table->SetName("OrdersTable");
  table->SetDatabaseName(database);
  table->SetTableName("ORDERS");
  table->SetStatFieldName("AMOUNT");
  auto* query = new TSumoraQuery(&form);
  query->SetName("NorthQuery");
  query->SetDatabaseName(database);
  query->SQL().Add("SELECT AMOUNT, QTY FROM ORDERS WHERE REGION = 'North'");
  query->SetStatFieldName("QTY");
  query->SetdsFreqClasses(20);
  return FormToText(form, FormFolderOf(path));
}

}  // namespace

int CmdSample(const Args& args) {
  CommandLine line(args, {"out"});
  const std::filesystem::path directory = line.Get("out").value_or("data");
  const std::filesystem::path database = directory / "orders.sqlite";
  const std::filesystem::path csv = directory / "csv" / "orders.csv";
  const std::filesystem::path form = directory / "orders.form.json";

  // The folder the user named may be reached through a link of theirs; inside it nothing is followed.
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) throw Exception("cannot create the folder '" + PathText(directory) + "': " + error.message());
  const std::vector<Order> orders = MakeOrders();
  const std::string databaseBytes = SqliteBytes(orders);
  const std::string csvText = CsvText(orders);
  const std::string formText = SampleFormText(PathText(database), PathText(form));
  CheckReplaceable(database, databaseBytes);
  CheckReplaceable(form, formText);
  const PathKind csvFolder = InspectPath(PathText(directory / "csv"));
  if (csvFolder == PathKind::Directory) CheckReplaceable(csv, csvText);
  MakeFolder(directory / "csv");

  WriteFileAtomically(PathText(database), databaseBytes);
  WriteFileAtomically(PathText(csv), csvText);
  WriteFileAtomically(PathText(form), formText);
  std::printf("sample: %s and %s (ORDERS, %d rows)\n", database.c_str(), csv.c_str(), kRows);
  std::printf("sample: %s (the workbench\'s sample form)\n", form.c_str());
  return 0;
}

}  // namespace sumora::cli

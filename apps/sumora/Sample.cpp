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

void Check(int rc, sqlite3* db, const std::string& path) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw Exception("cannot write " + path + ": " + sqlite3_errmsg(db));
  }
}

void WriteSqlite(const std::vector<Order>& orders, const std::string& path) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw Exception("cannot create " + path + ": " + message);
  }
  struct Closer {
    sqlite3* db;
    ~Closer() { sqlite3_close(db); }
  } closer{db};
  Check(sqlite3_exec(db,
                     "BEGIN; CREATE TABLE ORDERS (ID INTEGER PRIMARY KEY, AMOUNT REAL, QTY INTEGER, REGION TEXT, "
                     "ORDERED DATE);",
                     nullptr, nullptr, nullptr),
        db, path);
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO ORDERS VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr), db, path);
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
    Check(sqlite3_step(insert), db, path);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, path);
}

void WriteCsv(const std::vector<Order>& orders, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw Exception("cannot write " + path);
  out << "ID,AMOUNT,QTY,REGION,ORDERED\n";
  char amount[64];
  for (const auto& order : orders) {
    amount[0] = '\0';
    if (order.amount) std::snprintf(amount, sizeof amount, "%.2f", *order.amount);
    out << order.id << ',' << amount << ',' << order.qty << ',' << order.region << ',' << order.ordered << '\n';
  }
  if (!out) throw Exception("cannot write " + path);
}

// The workbench's sample form: a table component and a query component over the SQLite file.
void WriteSampleForm(const std::string& database, const std::string& path) {
  RegisterSumoraClasses();
  TForm form;
  form.SetName("OrdersForm");
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
  WriteFormFile(form, path);
}

}  // namespace

int CmdSample(const Args& args) {
  CommandLine line(args, {"out"});
  const std::filesystem::path directory = line.Get("out").value_or("data");
  std::filesystem::create_directories(directory / "csv");
  const std::vector<Order> orders = MakeOrders();
  WriteSqlite(orders, (directory / "orders.sqlite").string());
  WriteCsv(orders, (directory / "csv" / "orders.csv").string());
  WriteSampleForm((directory / "orders.sqlite").string(), (directory / "orders.form.json").string());
  std::printf("sample: %s and %s (ORDERS, %d rows)\n", (directory / "orders.sqlite").c_str(),
              (directory / "csv" / "orders.csv").c_str(), kRows);
  std::printf("sample: %s (the workbench's sample form)\n", (directory / "orders.form.json").c_str());
  return 0;
}

}  // namespace sumora::cli

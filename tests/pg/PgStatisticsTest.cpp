// Statistics over a PostgreSQL table: the same 100,000 rows in PostgreSQL and in SQLite give the same
// results bit for bit, and a summary cut short by a lost connection succeeds on the next try.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "host/Services.h"
#include "tests/pg/PgTestServer.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

// Copies series (id, amount) from the test server into a new SQLite file, value for value.
void CopySeriesToSqlite(test::PgAdmin& admin, const std::string& path) {
  PGresult* rows = PQexec(admin.Raw(), "SELECT id, amount FROM series ORDER BY id");
  ASSERT_EQ(PQresultStatus(rows), PGRES_TUPLES_OK) << PQerrorMessage(admin.Raw());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE series (id INTEGER, amount REAL); BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO series VALUES (?, ?)", -1, &insert, nullptr), SQLITE_OK);
  for (int row = 0; row < PQntuples(rows); ++row) {
    sqlite3_bind_int64(insert, 1, std::stoll(PQgetvalue(rows, row, 0)));
    if (PQgetisnull(rows, row, 1)) {
      sqlite3_bind_null(insert, 2);
    } else {
      const char* text = PQgetvalue(rows, row, 1);
      double amount = 0.0;
      std::from_chars(text, text + PQgetlength(rows, row, 1), amount);
      sqlite3_bind_double(insert, 2, amount);
    }
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  PQclear(rows);
}

// Every statistic of a summarized component, as bit patterns, so equal means identical.
std::vector<std::uint64_t> Results(TSumoraTable& table) {
  std::vector<std::uint64_t> bits;
  auto add = [&](double value) { bits.push_back(std::bit_cast<std::uint64_t>(value)); };
  add(table.GetdsDataCount());
  add(table.GetdsTotal());
  add(table.GetdsMean());
  add(table.dsMin());
  add(table.dsMax());
  add(table.GetdsRange());
  add(table.GetdsMedian());
  add(table.GetdsVariance());
  add(table.GetdsStdDev());
  add(table.GetdsSkew());
  add(table.GetdsKurtosis());
  add(table.GetdsMu3());
  add(table.GetdsMu4());
  add(table.GetdsCoeffVariation());
  add(table.GetdsMode());
  add(table.GetdsModeClass());
  for (int classNo = 1; classNo <= table.FreqClasses(); ++classNo) {
    add(table.GetdsClassStart(classNo));
    add(table.GetdsClassCount(classNo));
    add(table.GetdsClassPercent(classNo));
  }
  for (int recordNo = 1; recordNo <= MaxStoredValues; ++recordNo) add(table.GetdsValue(recordNo));
  return bits;
}

class PgStatisticsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PG_SERVER();
    ASSERT_TRUE(admin_.Connected());
  }

  static void Bind(TSumoraTable& table, const std::string& databaseName) {
    table.SetDatabaseName(databaseName);
    table.SetTableName("series");
    table.SetStatFieldName("amount");
    table.SetShowCalcProgress(TBoolPlus::Never);
    table.SetdsFreqClasses(25);
  }

  test::PgAdmin admin_;
};

TEST_F(PgStatisticsTest, SameStatisticsAsIdenticalSqliteTable) {
  test::ScriptedHost host;
  test::TempDir dir;
  std::string sqlitePath = dir.file("series.sqlite");
  CopySeriesToSqlite(admin_, sqlitePath);

  TSumoraTable fromPg;
  Bind(fromPg, test::PgTestUrl());
  fromPg.Open();
  fromPg.Summarize();
  std::vector<std::string> pgMessages;
  for (const auto& message : host.messages) pgMessages.push_back(message.text);
  host.messages.clear();
  TSumoraTable fromSqlite;
  Bind(fromSqlite, sqlitePath);
  fromSqlite.Open();
  fromSqlite.Summarize();

  EXPECT_EQ(fromPg.GetdsDataCount(), 100000 - 100000 / 97);
  EXPECT_EQ(Results(fromPg), Results(fromSqlite));
  std::vector<std::string> sqliteMessages;
  for (const auto& message : host.messages) sqliteMessages.push_back(message.text);
  EXPECT_EQ(pgMessages, sqliteMessages);  // the median's note about the first 10000 values, for both
}

// Ends the driver's server session when a pass has come a third of the way, the way a failing network
// or an administrator would; the progress dialog is the one hook a pass offers from outside.
class KillingProgressFactory : public ProgressDialogFactory {
 public:
  KillingProgressFactory(test::PgAdmin& admin, std::string applicationName)
      : admin_(admin), applicationName_(std::move(applicationName)) {}

  std::unique_ptr<ProgressDialog> CreateProgressDialog() override { return std::make_unique<Dialog>(*this); }

  bool armed = false;
  int sessionsEnded = 0;

 private:
  class Dialog : public ProgressDialog {
   public:
    explicit Dialog(KillingProgressFactory& owner) : owner_(owner) {}
    void SetLabels(const std::string&) override {}
    void SetCaption(const std::string&) override {}
    void Show() override {}
    void SetGaugeProgress(GaugeKind, const std::string&, double fraction) override {
      if (owner_.armed && fraction > 0.33) {
        owner_.armed = false;
        owner_.sessionsEnded += owner_.admin_.TerminateSessions(owner_.applicationName_);
      }
    }

   private:
    KillingProgressFactory& owner_;
  };

  test::PgAdmin& admin_;
  std::string applicationName_;
};

TEST_F(PgStatisticsTest, SummarizeCutShortByLostConnectionWorksOnRetry) {
  test::ScriptedHost host;
  const std::string applicationName = "sumora_summary_" + std::to_string(getpid());
  KillingProgressFactory killer(admin_, applicationName);
  ScopedServices services({nullptr, nullptr, &killer});

  TSumoraTable reference;
  Bind(reference, test::PgTestUrl());
  reference.Open();
  reference.Summarize();

  TSumoraTable table;
  Bind(table, test::WithUrlParameter(test::PgTestUrl(), "application_name", applicationName));
  table.SetShowCalcProgress(TBoolPlus::Always);
  table.Open();
  killer.armed = true;
  try {
    table.Summarize();
    ADD_FAILURE() << "Summarize survived the loss of its connection";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("terminating connection"), std::string::npos) << error.what();
  }
  EXPECT_EQ(killer.sessionsEnded, 1);
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);

  table.Summarize();  // the dataset is still open: the driver starts a new session by itself
  EXPECT_EQ(Results(table), Results(reference));
}

}  // namespace
}  // namespace sumora

// The SQLite driver read through TTable and TQuery on real database files.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "dataset/DataSet.h"
#include "host/Errors.h"
#include "tests/support/ErrorText.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

using test::ExecSql;
using test::DatabaseErrorOf;
using test::TempDir;

class SqliteDriverTest : public ::testing::Test {
 protected:
  void SetUp() override { db_ = dir_.file("shop.db"); }

  std::unique_ptr<TTable> OpenTable(const std::string& name) {
    auto table = std::make_unique<TTable>();
    table->SetDatabaseName(db_);
    table->SetTableName(name);
    table->Open();
    return table;
  }
  std::unique_ptr<TQuery> OpenQuery(const std::string& sql) {
    auto query = std::make_unique<TQuery>();
    query->SetDatabaseName(db_);
    query->SQL().Add(sql);
    query->Open();
    return query;
  }

  TempDir dir_;
  std::string db_;
};

TEST_F(SqliteDriverTest, NullsAndNaNReadAsNullAndValuesAsFloat) {
  ExecSql(db_, "CREATE TABLE t(x REAL); INSERT INTO t VALUES (1.5), (NULL), (-2.25);");
  auto table = OpenTable("t");
  EXPECT_FALSE(table->FieldByName("x").IsNull());
  EXPECT_DOUBLE_EQ(table->FieldByName("x").AsFloat(), 1.5);
  table->Next();
  EXPECT_TRUE(table->FieldByName("x").IsNull());
  table->Next();
  EXPECT_DOUBLE_EQ(table->FieldByName("x").AsFloat(), -2.25);
  table->Next();
  EXPECT_TRUE(table->Eof());
}

TEST_F(SqliteDriverTest, NaNFromAnExpressionIsNull) {
  ExecSql(db_, "CREATE TABLE t(x REAL); INSERT INTO t VALUES (1);");
  // SQLite turns a NaN result into NULL; either way the record holds no value.
  auto query = OpenQuery("SELECT 9e999 - 9e999 AS nan_value FROM t");
  EXPECT_TRUE(query->FieldByName("nan_value").IsNull());
}

TEST_F(SqliteDriverTest, InfinityRaisesErrorNamingFieldAndRecord) {
  ExecSql(db_, "CREATE TABLE t(x REAL); INSERT INTO t VALUES (1), (9e999), (-9e999);");
  auto table = OpenTable("t");
  table->Next();
  std::string message = DatabaseErrorOf([&] { table->FieldByName("x").AsFloat(); });
  EXPECT_NE(message.find("'x'"), std::string::npos) << message;
  EXPECT_NE(message.find("record 2"), std::string::npos) << message;
  table->Next();
  EXPECT_THROW(table->FieldByName("x").AsFloat(), EDatabaseError);
}

TEST_F(SqliteDriverTest, LargeIntegersReadThroughTheIntegerValue) {
  ExecSql(db_, "CREATE TABLE t(n BIGINT); INSERT INTO t VALUES (4611686018427387904), (9007199254740993), "
               "(-9223372036854775808);");
  auto table = OpenTable("t");
  EXPECT_EQ(table->FieldByName("n").AsFloat(), 4611686018427387904.0);  // 2^62 exactly
  table->Next();
  EXPECT_EQ(table->FieldByName("n").AsFloat(), static_cast<double>(9007199254740993LL));
  table->Next();
  EXPECT_EQ(table->FieldByName("n").AsFloat(), -9223372036854775808.0);
}

TEST_F(SqliteDriverTest, TextInNumericColumnRaisesErrorNamingFieldAndRecord) {
  ExecSql(db_, "CREATE TABLE t(price REAL); INSERT INTO t VALUES (3), ('12.5'), ('cheap');");
  auto table = OpenTable("t");
  table->Next();
  EXPECT_DOUBLE_EQ(table->FieldByName("price").AsFloat(), 12.5);  // stored as a number by REAL affinity
  table->Next();
  std::string message = DatabaseErrorOf([&] { table->FieldByName("price").AsFloat(); });
  EXPECT_NE(message.find("cheap"), std::string::npos) << message;
  EXPECT_NE(message.find("'price'"), std::string::npos) << message;
  EXPECT_NE(message.find("record 3"), std::string::npos) << message;
}

TEST_F(SqliteDriverTest, DeclaredTypesChooseFieldClasses) {
  ExecSql(db_,
          "CREATE TABLE t(i INTEGER, s SMALLINT, ti TINYINT, w WORD, us UNSIGNED SMALLINT, b BIGINT, "
          "f FLOAT, r REAL, d DOUBLE, nu NUMERIC(10,2), de DECIMAL(8,3), m MONEY, c CURRENCY, "
          "tx TEXT, vc VARCHAR(20), dt DATE, ts DATETIME, bo BOOLEAN, bl BLOB);"
          "INSERT INTO t(i) VALUES (1);");
  auto table = OpenTable("t");
  const std::pair<const char*, const char*> expected[] = {
      {"i", "TIntegerField"},   {"s", "TSmallintField"}, {"ti", "TSmallintField"}, {"w", "TWordField"},
      {"us", "TWordField"},     {"b", "TLargeintField"}, {"f", "TFloatField"},     {"r", "TFloatField"},
      {"d", "TFloatField"},     {"nu", "TFloatField"},   {"de", "TFloatField"},    {"m", "TCurrencyField"},
      {"c", "TCurrencyField"},  {"tx", "TStringField"},  {"vc", "TStringField"},   {"dt", "TDateField"},
      {"ts", "TDateTimeField"}, {"bo", "TBooleanField"}, {"bl", "TStringField"},
  };
  for (const auto& [name, className] : expected) {
    EXPECT_EQ(table->FieldByName(name).ClassName(), className) << name;
  }
}

TEST_F(SqliteDriverTest, UntypedColumnsAreClassedByTheirValues) {
  ExecSql(db_, "CREATE TABLE t(a, b, c, d); INSERT INTO t VALUES (1, 1.5, 'x', NULL), (NULL, 2, 3, NULL);");
  auto table = OpenTable("t");
  EXPECT_EQ(table->FieldByName("a").ClassName(), "TIntegerField");
  EXPECT_EQ(table->FieldByName("b").ClassName(), "TFloatField");
  EXPECT_EQ(table->FieldByName("c").ClassName(), "TStringField");
  EXPECT_EQ(table->FieldByName("d").ClassName(), "TStringField");
  // Looking at the values must not move the cursor.
  EXPECT_DOUBLE_EQ(table->FieldByName("b").AsFloat(), 1.5);
  table->Next();
  EXPECT_DOUBLE_EQ(table->FieldByName("c").AsFloat(), 3.0);
  table->Next();
  EXPECT_TRUE(table->Eof());
}

TEST_F(SqliteDriverTest, QueryExpressionsGetNumericClasses) {
  ExecSql(db_, "CREATE TABLE t(x REAL, q INTEGER); INSERT INTO t VALUES (1.5, 2), (2.5, 3);");
  auto query = OpenQuery("SELECT x * 2 AS doubled, q + 1 AS next_q, 'k' || q AS label FROM t");
  EXPECT_EQ(query->FieldByName("doubled").ClassName(), "TFloatField");
  EXPECT_EQ(query->FieldByName("next_q").ClassName(), "TIntegerField");
  EXPECT_EQ(query->FieldByName("label").ClassName(), "TStringField");
  EXPECT_DOUBLE_EQ(query->FieldByName("doubled").AsFloat(), 3.0);
  EXPECT_EQ(query->RecordCount(), 2);
}

TEST_F(SqliteDriverTest, MissingDatabaseFileIsErrorAndNotCreated) {
  db_ = dir_.file("absent.db");
  std::string message = DatabaseErrorOf([&] { OpenTable("t"); });
  EXPECT_NE(message.find(db_), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(db_));
}

TEST_F(SqliteDriverTest, UnknownTableIsErrorNamingIt) {
  ExecSql(db_, "CREATE TABLE t(x REAL);");
  std::string message = DatabaseErrorOf([&] { OpenTable("orders"); });
  EXPECT_NE(message.find("no such table"), std::string::npos) << message;
  EXPECT_NE(message.find("orders"), std::string::npos) << message;
}

TEST_F(SqliteDriverTest, TableNameIsOnlyEverAnIdentifier) {
  ExecSql(db_, "CREATE TABLE x(v REAL); INSERT INTO x VALUES (7); CREATE TABLE \"we\"\"ird; name\"(v REAL);"
               "INSERT INTO \"we\"\"ird; name\" VALUES (8);");
  std::string message = DatabaseErrorOf([&] { OpenTable("a\"b; DROP TABLE x"); });
  EXPECT_NE(message.find("no such table"), std::string::npos) << message;
  EXPECT_DOUBLE_EQ(OpenTable("x")->FieldByName("v").AsFloat(), 7.0);  // still there
  EXPECT_DOUBLE_EQ(OpenTable("we\"ird; name")->FieldByName("v").AsFloat(), 8.0);
}

TEST_F(SqliteDriverTest, SqlErrorsCarrySqliteMessage) {
  ExecSql(db_, "CREATE TABLE t(x REAL);");
  std::string message = DatabaseErrorOf([&] { OpenQuery("SELEC x FROM t"); });
  EXPECT_NE(message.find("syntax error"), std::string::npos) << message;
  message = DatabaseErrorOf([&] { OpenQuery("SELECT nope FROM t"); });
  EXPECT_NE(message.find("no such column: nope"), std::string::npos) << message;
}

TEST_F(SqliteDriverTest, StatementsThatWriteAreRefused) {
  ExecSql(db_, "CREATE TABLE t(x REAL); INSERT INTO t VALUES (1);");
  for (const char* sql : {"DELETE FROM t", "INSERT INTO t VALUES (2)", "DROP TABLE t",
                          "UPDATE t SET x = 5 RETURNING x"}) {
    std::string message = DatabaseErrorOf([&] { OpenQuery(sql); });
    EXPECT_NE(message.find("change the database"), std::string::npos) << sql << ": " << message;
  }
  auto check = OpenQuery("SELECT count(*) AS n, max(x) AS m FROM t");
  EXPECT_DOUBLE_EQ(check->FieldByName("n").AsFloat(), 1.0);
  EXPECT_DOUBLE_EQ(check->FieldByName("m").AsFloat(), 1.0);
}

TEST_F(SqliteDriverTest, OnlyOneStatementRuns) {
  ExecSql(db_, "CREATE TABLE t(x REAL); INSERT INTO t VALUES (1);");
  std::string message = DatabaseErrorOf([&] { OpenQuery("SELECT x FROM t; DELETE FROM t"); });
  EXPECT_NE(message.find("only one statement"), std::string::npos) << message;
  message = DatabaseErrorOf([&] { OpenQuery("SELECT x FROM t; SELECT 2"); });
  EXPECT_NE(message.find("only one statement"), std::string::npos) << message;
  // Trailing separators and comments are not a second statement.
  auto query = OpenQuery("SELECT x FROM t ;;  -- the amounts\n");
  EXPECT_EQ(query->RecordCount(), 1);
}

TEST_F(SqliteDriverTest, RecordCountAndFirstRewind) {
  ExecSql(db_, "CREATE TABLE t(x INTEGER);"
               "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < 2500) "
               "INSERT INTO t SELECT v FROM n;");
  auto table = OpenTable("t");
  EXPECT_EQ(table->RecordCount(), 2500);
  auto query = OpenQuery("SELECT x FROM t WHERE x % 2 = 0 ORDER BY x DESC");
  EXPECT_EQ(query->RecordCount(), 1250);
  for (int pass = 0; pass < 2; ++pass) {
    double sum = 0;
    int records = 0;
    for (query->First(); !query->Eof(); query->Next()) {
      sum += query->FieldByName("x").AsFloat();
      ++records;
    }
    EXPECT_EQ(records, 1250);
    EXPECT_DOUBLE_EQ(sum, 1250.0 * 1251.0);
    EXPECT_EQ(query->RecordCount(), 1250);  // counting does not move the cursor
  }
  query->First();
  EXPECT_DOUBLE_EQ(query->FieldByName("x").AsFloat(), 2500.0);
}

TEST_F(SqliteDriverTest, EmptyResultStartsAtEof) {
  ExecSql(db_, "CREATE TABLE t(x REAL);");
  auto table = OpenTable("t");
  EXPECT_TRUE(table->Eof());
  EXPECT_EQ(table->RecordCount(), 0);
  table->Next();
  EXPECT_TRUE(table->Eof());
}

// Reading a WAL database nobody has open leaves no -wal or -shm behind and changes no byte of it;
// one that is in use keeps the files its users made.
TEST_F(SqliteDriverTest, ReadingAWalDatabaseLeavesNoFilesBehind) {
  ExecSql(db_, "PRAGMA journal_mode=WAL; CREATE TABLE t (v REAL); INSERT INTO t VALUES (1), (2), (4);");
  ASSERT_FALSE(std::filesystem::exists(db_ + "-wal"));
  const auto bytes = [&] {
    std::ifstream in(db_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes();
  {
    auto table = OpenTable("t");
    double total = 0;
    for (table->First(); !table->Eof(); table->Next()) total += table->FieldByName("v").AsFloat();
    EXPECT_EQ(total, 7.0);
    EXPECT_THROW(OpenQuery("DELETE FROM t"), EDatabaseError);
  }
  EXPECT_FALSE(std::filesystem::exists(db_ + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(db_ + "-shm"));
  EXPECT_EQ(bytes(), before);

  sqlite3* user = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &user), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(user, "INSERT INTO t VALUES (8)", nullptr, nullptr, nullptr), SQLITE_OK);
  {
    auto query = OpenQuery("SELECT sum(v) AS s FROM t");
    EXPECT_EQ(query->FieldByName("s").AsFloat(), 15.0);
  }
  EXPECT_TRUE(std::filesystem::exists(db_ + "-wal"));  // still the user's
  sqlite3_close(user);
}

}  // namespace
}  // namespace sumora

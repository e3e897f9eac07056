// The PostgreSQL driver through the dataset layer: type mapping, values at their edges, names that must
// stay identifiers, errors with the server's words, counting, rewinding and streaming.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "dataset/DataSet.h"
#include "dataset/Drivers.h"
#include "host/Errors.h"
#include "tests/pg/PgTestServer.h"
#include "tests/support/ErrorText.h"

namespace sumora {
namespace {

using test::DatabaseErrorOf;
using test::PgTestUrl;

class PgDriverTest : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_PG_SERVER(); }

  void OpenTable(const std::string& tableName) {
    table_.SetDatabaseName(PgTestUrl());
    table_.SetTableName(tableName);
    table_.Open();
  }

  void OpenQuery(const std::string& sql) {
    query_.SetDatabaseName(PgTestUrl());
    query_.SQL().SetText(sql);
    query_.Open();
  }

  // Moves `dataset` to record `recordNo` (1-based) from the start.
  static void GoTo(TDataSet& dataset, int recordNo) {
    dataset.First();
    for (int i = 1; i < recordNo; ++i) dataset.Next();
    ASSERT_FALSE(dataset.Eof());
  }

  TTable table_;
  TQuery query_;
};

TEST_F(PgDriverTest, ColumnTypesMapToFieldClasses) {
  OpenTable("readings");
  const std::pair<const char*, const char*> expected[] = {
      {"id", "TIntegerField"},    {"small", "TSmallintField"},  {"big", "TLargeintField"},
      {"amount", "TFloatField"},  {"ratio", "TFloatField"},     {"price", "TFloatField"},
      {"cost", "TCurrencyField"}, {"label", "TStringField"},    {"code", "TStringField"},
      {"letter", "TStringField"}, {"flag", "TBooleanField"},    {"day", "TDateField"},
      {"taken", "TDateTimeField"}, {"taken_tz", "TDateTimeField"}, {"tag", "TStringField"},
  };
  ASSERT_EQ(table_.FieldCount(), static_cast<int>(std::size(expected)));
  for (int i = 0; i < table_.FieldCount(); ++i) {
    EXPECT_EQ(table_.Fields(i).FieldName(), expected[i].first);
    EXPECT_EQ(table_.Fields(i).ClassName(), expected[i].second) << expected[i].first;
  }
}

TEST_F(PgDriverTest, NumbersReadExactlyAtTheirLimits) {
  OpenTable("readings");
  GoTo(table_, 1);
  EXPECT_EQ(table_.FieldByName("small").AsFloat(), -32768.0);
  EXPECT_EQ(table_.FieldByName("big").AsString(), "9007199254740993");
  EXPECT_EQ(table_.FieldByName("big").AsFloat(), static_cast<double>(INT64_C(9007199254740993)));
  EXPECT_EQ(table_.FieldByName("amount").AsFloat(), 1.5);
  EXPECT_EQ(table_.FieldByName("ratio").AsFloat(), 0.25);
  EXPECT_EQ(table_.FieldByName("price").AsFloat(), 1234.5678);
  EXPECT_EQ(table_.FieldByName("cost").AsFloat(), 1234.5);
  GoTo(table_, 2);
  EXPECT_EQ(table_.FieldByName("small").AsFloat(), 32767.0);
  EXPECT_EQ(table_.FieldByName("big").AsFloat(), -9223372036854775808.0);
  EXPECT_EQ(table_.FieldByName("amount").AsFloat(), -2.25);
  EXPECT_EQ(table_.FieldByName("cost").AsFloat(), -1234.5);
  GoTo(table_, 4);
  EXPECT_EQ(table_.FieldByName("big").AsFloat(), static_cast<double>(INT64_MAX));
  EXPECT_EQ(table_.FieldByName("amount").AsFloat(), 1e300);
  EXPECT_EQ(table_.FieldByName("ratio").AsFloat(), -0.125);
  EXPECT_EQ(table_.FieldByName("price").AsFloat(), 123456789012345678901234567890.5);
  EXPECT_EQ(table_.FieldByName("cost").AsFloat(), 92233720368547758.07);
}

TEST_F(PgDriverTest, NullsAndNotANumberReadAsNull) {
  OpenTable("readings");
  GoTo(table_, 3);
  for (int i = 1; i < table_.FieldCount(); ++i) {
    EXPECT_TRUE(table_.Fields(i).IsNull()) << table_.Fields(i).FieldName();
    EXPECT_EQ(table_.Fields(i).AsString(), "") << table_.Fields(i).FieldName();
  }
  GoTo(table_, 2);
  EXPECT_TRUE(table_.FieldByName("ratio").IsNull());  // float4 NaN
  EXPECT_TRUE(table_.FieldByName("price").IsNull());  // numeric NaN
  EXPECT_FALSE(table_.FieldByName("amount").IsNull());
  EXPECT_FALSE(table_.FieldByName("label").IsNull());  // an empty text is a value, not a null
  EXPECT_EQ(table_.FieldByName("label").AsString(), "");
}

TEST_F(PgDriverTest, NonNumericColumnsReadAsText) {
  OpenTable("readings");
  GoTo(table_, 1);
  EXPECT_EQ(table_.FieldByName("label").AsString(), "alpha");
  EXPECT_EQ(table_.FieldByName("letter").AsString(), "ab ");
  EXPECT_EQ(table_.FieldByName("flag").AsString(), "True");
  EXPECT_EQ(table_.FieldByName("day").AsString(), "2024-01-31");
  EXPECT_EQ(table_.FieldByName("taken").AsString(), "2024-01-31 12:30:00");
  EXPECT_EQ(table_.FieldByName("tag").AsString(), "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11");
  GoTo(table_, 4);
  EXPECT_EQ(table_.FieldByName("label").AsString(), "it's \"quoted\"");
  // Text that is no number gets the same message as in every other driver: field and record named.
  std::string message = DatabaseErrorOf([&] { table_.FieldByName("label").AsFloat(); });
  EXPECT_NE(message.find("not a valid number"), std::string::npos) << message;
  EXPECT_NE(message.find("field 'label', record 4"), std::string::npos) << message;
}

TEST_F(PgDriverTest, InfinityRaisesNamingFieldAndRecord) {
  OpenTable("extremes");
  EXPECT_EQ(table_.FieldByName("x").AsFloat(), 1.0);
  table_.Next();
  std::string message = DatabaseErrorOf([&] { table_.FieldByName("x").AsFloat(); });
  EXPECT_NE(message.find("+Inf"), std::string::npos) << message;
  EXPECT_NE(message.find("field 'x', record 2"), std::string::npos) << message;
  table_.Next();
  message = DatabaseErrorOf([&] { table_.FieldByName("y").AsFloat(); });
  EXPECT_NE(message.find("-Inf"), std::string::npos) << message;
  EXPECT_NE(message.find("field 'y', record 3"), std::string::npos) << message;
}

TEST_F(PgDriverTest, UnknownFieldRaisesNamingIt) {
  OpenTable("readings");
  std::string message = DatabaseErrorOf([&] { table_.FieldByName("nosuch"); });
  EXPECT_NE(message.find("Field 'nosuch' not found"), std::string::npos) << message;
}

TEST_F(PgDriverTest, TableNamesAreAlwaysIdentifiers) {
  OpenTable("we\"ird; DROP TABLE readings; --");
  EXPECT_EQ(table_.FieldByName("v").AsFloat(), 7.0);
  table_.Close();
  OpenTable("it's");
  EXPECT_EQ(table_.FieldByName("v").AsFloat(), 8.0);
  table_.Close();
  OpenTable("MixedCase");
  EXPECT_EQ(table_.FieldByName("v").AsFloat(), 9.0);
  table_.Close();
  OpenTable("sales.orders");
  EXPECT_EQ(table_.RecordCount(), 3);
  EXPECT_EQ(table_.FieldByName("amount").AsFloat(), 10.0);
  table_.Close();
  // The quoted name above ran no DROP.
  OpenTable("readings");
  EXPECT_EQ(table_.RecordCount(), 4);
}

TEST_F(PgDriverTest, UnknownTableRaisesServerMessage) {
  table_.SetDatabaseName(PgTestUrl());
  table_.SetTableName("mixedcase");
  std::string message = DatabaseErrorOf([&] { table_.Open(); });
  EXPECT_NE(message.find("relation \"mixedcase\" does not exist"), std::string::npos) << message;
  EXPECT_NE(message.find("capitals included"), std::string::npos) << message;
  EXPECT_FALSE(table_.Active());
  table_.SetTableName("sales.");
  message = DatabaseErrorOf([&] { table_.Open(); });
  EXPECT_NE(message.find("'sales.' is not valid"), std::string::npos) << message;
}

TEST_F(PgDriverTest, SqlErrorRaisesServerMessage) {
  query_.SetDatabaseName(PgTestUrl());
  query_.SQL().SetText("SELEKT 1");
  std::string message = DatabaseErrorOf([&] { query_.Open(); });
  EXPECT_NE(message.find("syntax error at or near \"SELEKT\""), std::string::npos) << message;
  EXPECT_FALSE(query_.Active());
}

TEST_F(PgDriverTest, SessionIsReadOnly) {
  query_.SetDatabaseName(PgTestUrl());
  query_.SQL().SetText("SELECT nextval('counter')");
  std::string message = DatabaseErrorOf([&] { query_.Open(); });
  EXPECT_NE(message.find("read-only transaction"), std::string::npos) << message;
}

TEST_F(PgDriverTest, QueryTextMayEndWithSemicolonOrComment) {
  OpenQuery("SELECT amount FROM series WHERE id <= 10 ORDER BY id;\n");
  EXPECT_EQ(query_.RecordCount(), 10);
  query_.Close();
  OpenQuery("SELECT amount FROM series WHERE id <= 10 -- the first ten");
  EXPECT_EQ(query_.RecordCount(), 10);
  query_.Close();
  OpenQuery("SELECT amount FROM series WHERE id <= 10; -- the first ten");
  EXPECT_EQ(query_.RecordCount(), 10);
}

TEST_F(PgDriverTest, EmptyResultIsAtEof) {
  OpenTable("empty_table");
  EXPECT_TRUE(table_.Eof());
  EXPECT_EQ(table_.RecordCount(), 0);
  table_.First();
  EXPECT_TRUE(table_.Eof());
  EXPECT_THROW(table_.FieldByName("v").AsFloat(), EDatabaseError);
}

TEST_F(PgDriverTest, KeyValueConnectionStringSelectsPostgres) {
  PGconn* probe = PQconnectdb(PgTestUrl().c_str());
  std::string conninfo = std::string("host=127.0.0.1 port=") + PQport(probe) + " user=postgres dbname=sumora_test";
  PQfinish(probe);
  ASSERT_EQ(DriverFor(conninfo), DriverKind::PostgreSQL);
  table_.SetDatabaseName(conninfo);
  table_.SetTableName("sales.orders");
  table_.Open();
  EXPECT_EQ(table_.RecordCount(), 3);
}

TEST_F(PgDriverTest, WrongPasswordRaisesServerMessage) {
  table_.SetDatabaseName(test::WithUrlParameter(
      test::WithUrlParameter(PgTestUrl(), "user", "sumora_password_check"), "password", "wrong"));
  table_.SetTableName("readings");
  std::string message = DatabaseErrorOf([&] { table_.Open(); });
  EXPECT_NE(message.find("password authentication failed for user \"sumora_password_check\""), std::string::npos)
      << message;
  EXPECT_EQ(message.find("wrong"), std::string::npos) << "the password must not appear in messages: " << message;
}

// A closed port needs no server: the refusal comes from the local network stack.
TEST(PgConnectTest, RefusedConnectionRaisesClearError) {
  TTable table;
  table.SetDatabaseName("postgresql://postgres@127.0.0.1:1/sumora_test?connect_timeout=5");
  table.SetTableName("readings");
  std::string message = DatabaseErrorOf([&] { table.Open(); });
  EXPECT_NE(message.find("Cannot connect to the PostgreSQL server"), std::string::npos) << message;
  EXPECT_NE(message.find("Connection refused"), std::string::npos) << message;
  EXPECT_FALSE(table.Active());
}

TEST_F(PgDriverTest, StreamsEveryRowAndRewinds) {
  test::PgAdmin admin;
  ASSERT_TRUE(admin.Connected());
  const double serverSum = std::stod(admin.Value("SELECT sum(amount)::text FROM (SELECT amount FROM series "
                                                 "WHERE amount IS NOT NULL ORDER BY id) s"));
  OpenTable("series");
  EXPECT_EQ(table_.RecordCount(), 100000);
  for (int pass = 0; pass < 2; ++pass) {
    table_.First();
    std::int64_t records = 0;
    std::int64_t values = 0;
    long double sum = 0;
    double lastId = 0;
    bool inOrder = true;
    while (!table_.Eof()) {
      ++records;
      double id = table_.FieldByName("id").AsFloat();
      inOrder = inOrder && id == lastId + 1;
      lastId = id;
      TField& amount = table_.FieldByName("amount");
      if (!amount.IsNull()) {
        ++values;
        sum += amount.AsFloat();
      }
      table_.Next();
    }
    EXPECT_TRUE(inOrder) << "pass " << pass;
    EXPECT_EQ(records, 100000) << "pass " << pass;
    EXPECT_EQ(values, 100000 - 100000 / 97) << "pass " << pass;
    EXPECT_NEAR(static_cast<double>(sum), serverSum, 1e-6) << "pass " << pass;
  }
  // First from deep inside the result lands on record 1 again.
  for (int i = 0; i < 50000; ++i) table_.Next();
  table_.First();
  EXPECT_EQ(table_.FieldByName("id").AsFloat(), 1.0);
  table_.Next();
  EXPECT_EQ(table_.FieldByName("id").AsFloat(), 2.0);
}

// A projection reads the wanted columns by position (two columns may share a name) in the order the
// whole statement gives, and refuses the others until it is lifted.
TEST_F(PgDriverTest, FocusedColumnsReadByPositionInTheSameOrder) {
  auto source = OpenPgQuery(PgTestUrl(), "SELECT amount AS v, id, amount * 2 AS v FROM series");
  auto read = [&](int column) {
    std::vector<std::string> cells;
    for (source->First(); !source->Eof() && cells.size() < 20000; source->Next()) cells.push_back(source->AsString(column));
    return cells;
  };
  const std::vector<std::string> whole = read(2);
  for (const std::vector<int>& focus : {std::vector<int>{2}, std::vector<int>{0, 2}}) {
    source->FocusColumns(focus);
    EXPECT_EQ(read(2), whole);
    EXPECT_THROW(source->AsString(1), EDatabaseError);
  }
  source->FocusColumns({});
  EXPECT_EQ(source->AsString(1), "1");
  EXPECT_EQ(read(2), whole);
}

// Batches grow from a few rows, or start at what the caller expects: every size, on and around the
// batches' edges, reads each row once and in order, twice over.
TEST_F(PgDriverTest, BatchesOfEverySizeReadEachRowOnce) {
  for (const int rows : {0, 1, 63, 64, 65, 192, 193, 20000}) {
    auto source = OpenPgQuery(PgTestUrl(), "SELECT g FROM generate_series(1, " + std::to_string(rows) + ") AS g");
    for (const std::int64_t expected : {0, 1, 64, 100, 30000}) {
      source->ExpectRecords(expected);
      for (int pass = 0; pass < 2; ++pass) {
        int read = 0;
        for (source->First(); !source->Eof(); source->Next()) {
          if (source->AsFloat(0) != ++read) break;
        }
        EXPECT_EQ(read, rows) << rows << " rows, " << expected << " expected, pass " << pass;
      }
    }
  }
}

}  // namespace
}  // namespace sumora

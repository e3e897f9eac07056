// TDataSet behaviour common to every driver, exercised on a real SQLite file and a real CSV directory.
#include "dataset/DataSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Errors.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

using test::ExecSql;
using test::TempDir;

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = dir_.file("shop.db");
    ExecSql(db_, "CREATE TABLE orders(id INTEGER, amount REAL, region TEXT);"
                 "INSERT INTO orders VALUES (1, 10.5, 'north'), (2, NULL, 'south'), (3, 4.5, 'east');");
  }
  void Bind(TTable& table) {
    table.SetDatabaseName(db_);
    table.SetTableName("orders");
  }

  TempDir dir_;
  std::string db_;
};

TEST_F(DataSetTest, OpenCloseAndActive) {
  TTable table;
  Bind(table);
  EXPECT_FALSE(table.Active());
  table.Open();
  EXPECT_TRUE(table.Active());
  table.Open();  // opening an open dataset changes nothing
  EXPECT_TRUE(table.Active());
  table.Close();
  EXPECT_FALSE(table.Active());
  EXPECT_THROW(table.First(), EDatabaseError);
  table.SetActive(true);
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(table.RecordCount(), 3);
}

TEST_F(DataSetTest, FailedOpenLeavesDatasetClosed) {
  TTable table;
  table.SetDatabaseName(db_);
  table.SetTableName("missing");
  EXPECT_THROW(table.Open(), EDatabaseError);
  EXPECT_FALSE(table.Active());
}

TEST_F(DataSetTest, TableNameCannotChangeWhileOpen) {
  TTable table;
  Bind(table);
  table.Open();
  EXPECT_THROW(table.SetTableName("other"), EDatabaseError);
  EXPECT_EQ(table.TableName(), "orders");
}

TEST_F(DataSetTest, GetFieldNamesListsFieldsInOrder) {
  TTable table;
  Bind(table);
  table.Open();
  TStringList names;
  table.GetFieldNames(names);
  EXPECT_EQ(names.Items(), (std::vector<std::string>{"id", "amount", "region"}));
}

TEST_F(DataSetTest, FieldByNameIgnoresCaseAndNamesUnknownField) {
  TTable table;
  Bind(table);
  table.SetName("Orders1");
  table.Open();
  EXPECT_EQ(&table.FieldByName("AMOUNT"), &table.FieldByName("amount"));
  try {
    table.FieldByName("price");
    FAIL() << "no error for an unknown field";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "Orders1: Field 'price' not found");
  }
}

TEST_F(DataSetTest, PassSkipsNullsAndFirstRewinds) {
  TTable table;
  Bind(table);
  table.Open();
  for (int pass = 0; pass < 2; ++pass) {
    double sum = 0;
    int values = 0;
    table.DisableControls();
    for (table.First(); !table.Eof(); table.Next()) {
      TField& amount = table.FieldByName("amount");
      if (amount.IsNull()) continue;
      sum += amount.AsFloat();
      ++values;
    }
    table.EnableControls();
    EXPECT_EQ(values, 2);
    EXPECT_DOUBLE_EQ(sum, 15.0);
  }
  table.First();
  EXPECT_EQ(table.FieldByName("region").AsString(), "north");
}

TEST_F(DataSetTest, QueryRunsItsSqlLines) {
  TQuery query;
  query.SetDatabaseName(db_);
  query.SQL().Add("SELECT amount FROM orders");
  query.SQL().Add("WHERE amount IS NOT NULL ORDER BY amount");
  query.Open();
  EXPECT_EQ(query.RecordCount(), 2);
  EXPECT_DOUBLE_EQ(query.FieldByName("amount").AsFloat(), 4.5);
}

TEST_F(DataSetTest, SameTableReadsAlikeFromSqliteAndCsv) {
  TempDir csvDir;
  csvDir.write("orders.csv", "id,amount,region\n1,10.5,north\n2,,south\n3,4.5,east\n");
  TTable fromSqlite;
  Bind(fromSqlite);
  TTable fromCsv;
  fromCsv.SetDatabaseName(csvDir.path().string());
  fromCsv.SetTableName("orders.csv");
  fromSqlite.Open();
  fromCsv.Open();
  EXPECT_EQ(fromCsv.RecordCount(), fromSqlite.RecordCount());
  for (const char* name : {"id", "amount", "region"}) {
    EXPECT_EQ(fromCsv.FieldByName(name).ClassName(), fromSqlite.FieldByName(name).ClassName()) << name;
  }
  for (; !fromSqlite.Eof(); fromSqlite.Next(), fromCsv.Next()) {
    ASSERT_FALSE(fromCsv.Eof());
    EXPECT_EQ(fromCsv.FieldByName("amount").IsNull(), fromSqlite.FieldByName("amount").IsNull());
    EXPECT_EQ(fromCsv.FieldByName("amount").AsFloat(), fromSqlite.FieldByName("amount").AsFloat());
    EXPECT_EQ(fromCsv.FieldByName("region").AsString(), fromSqlite.FieldByName("region").AsString());
  }
  EXPECT_TRUE(fromCsv.Eof());
}

}  // namespace
}  // namespace sumora

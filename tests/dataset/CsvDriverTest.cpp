// The CSV driver read through TTable on files written by the tests.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dataset/DataSet.h"
#include "host/Errors.h"
#include "tests/support/ErrorText.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

using test::DatabaseErrorOf;
using test::TempDir;

class CsvDriverTest : public ::testing::Test {
 protected:
  std::unique_ptr<TTable> OpenTable(const std::string& name) {
    auto table = std::make_unique<TTable>();
    table->SetDatabaseName(dir_.path().string());
    table->SetTableName(name);
    table->Open();
    return table;
  }
  std::unique_ptr<TTable> OpenCsv(const std::string& contents) {
    dir_.write("data.csv", contents);
    return OpenTable("data.csv");
  }
  static std::vector<std::string> Column(TTable& table, const std::string& field) {
    std::vector<std::string> values;
    for (table.First(); !table.Eof(); table.Next()) values.push_back(table.FieldByName(field).AsString());
    return values;
  }

  TempDir dir_;
};

TEST_F(CsvDriverTest, QuotedCellsKeepCommasQuotesAndLineBreaks) {
  auto table = OpenCsv("name,amount\n\"Smith, J\",1\n\"say \"\"hi\"\"\",2\n\"two\nlines\",3\n");
  EXPECT_EQ(Column(*table, "name"), (std::vector<std::string>{"Smith, J", "say \"hi\"", "two\nlines"}));
  EXPECT_EQ(table->RecordCount(), 3);
}

TEST_F(CsvDriverTest, CrLfLinesAndByteOrderMark) {
  auto table = OpenCsv("\xEF\xBB\xBFid,amount\r\n1,2.5\r\n2,3.5\r\n");
  TStringList names;
  table->GetFieldNames(names);
  EXPECT_EQ(names.Items(), (std::vector<std::string>{"id", "amount"}));
  EXPECT_EQ(Column(*table, "amount"), (std::vector<std::string>{"2.5", "3.5"}));
  table->First();
  EXPECT_DOUBLE_EQ(table->FieldByName("amount").AsFloat(), 2.5);
}

TEST_F(CsvDriverTest, EmptyCellsAreNull) {
  auto table = OpenCsv("a,b\n1,\n,2\n\"\",3\n");
  EXPECT_FALSE(table->FieldByName("a").IsNull());
  EXPECT_TRUE(table->FieldByName("b").IsNull());
  table->Next();
  EXPECT_TRUE(table->FieldByName("a").IsNull());
  EXPECT_DOUBLE_EQ(table->FieldByName("b").AsFloat(), 2.0);
  table->Next();
  EXPECT_TRUE(table->FieldByName("a").IsNull());
}

TEST_F(CsvDriverTest, NaNIsNullAndInfinityIsAnError) {
  auto table = OpenCsv("x\n1.5\nnan\ninf\n");
  EXPECT_FALSE(table->FieldByName("x").IsNull());
  table->Next();
  EXPECT_TRUE(table->FieldByName("x").IsNull());
  table->Next();
  EXPECT_FALSE(table->FieldByName("x").IsNull());
  std::string message = DatabaseErrorOf([&] { table->FieldByName("x").AsFloat(); });
  EXPECT_NE(message.find("'x'"), std::string::npos) << message;
  EXPECT_NE(message.find("record 3"), std::string::npos) << message;
}

TEST_F(CsvDriverTest, RaggedRowIsErrorNamingFileAndLine) {
  // The quoted line break pushes the short row "4" down to line 5.
  dir_.write("bad.csv", "a,b\n1,\"x\ny\"\n2,3\n4\n5,6\n");
  std::string message = DatabaseErrorOf([&] { OpenTable("bad.csv"); });
  EXPECT_NE(message.find("bad.csv"), std::string::npos) << message;
  EXPECT_NE(message.find("line 5"), std::string::npos) << message;
  dir_.write("wide.csv", "a,b\r\n1,2\r\n3,4,5\r\n");
  message = DatabaseErrorOf([&] { OpenTable("wide.csv"); });
  EXPECT_NE(message.find("line 3"), std::string::npos) << message;
}

TEST_F(CsvDriverTest, UnclosedQuoteIsError) {
  dir_.write("open.csv", "a,b\n1,\"never closed\n");
  std::string message = DatabaseErrorOf([&] { OpenTable("open.csv"); });
  EXPECT_NE(message.find("open.csv"), std::string::npos) << message;
}

TEST_F(CsvDriverTest, HeaderOnlyFileHasNoRecords) {
  auto table = OpenCsv("id,amount\n");
  EXPECT_EQ(table->FieldCount(), 2);
  EXPECT_EQ(table->RecordCount(), 0);
  EXPECT_TRUE(table->Eof());
}

TEST_F(CsvDriverTest, EmptyFileIsError) {
  dir_.write("empty.csv", "");
  std::string message = DatabaseErrorOf([&] { OpenTable("empty.csv"); });
  EXPECT_NE(message.find("empty.csv"), std::string::npos) << message;
}

TEST_F(CsvDriverTest, ColumnClassesAreInferredFromWholeCells) {
  auto table = OpenCsv(
      "int,big,float,mixed,text,partial,blank\n"
      "1,1,1.5,1,a,12abc,\n"
      "-7,5000000000,2,x,b,3,\n"
      ",,,,,,\n");
  EXPECT_EQ(table->FieldByName("int").ClassName(), "TIntegerField");
  EXPECT_EQ(table->FieldByName("big").ClassName(), "TLargeintField");
  EXPECT_EQ(table->FieldByName("float").ClassName(), "TFloatField");
  EXPECT_EQ(table->FieldByName("mixed").ClassName(), "TStringField");
  EXPECT_EQ(table->FieldByName("text").ClassName(), "TStringField");
  EXPECT_EQ(table->FieldByName("partial").ClassName(), "TStringField");
  table->Next();
  EXPECT_DOUBLE_EQ(table->FieldByName("big").AsFloat(), 5e9);
  EXPECT_EQ(table->FieldByName("mixed").AsString(), "x");
}

TEST_F(CsvDriverTest, TextReadAsNumberNamesFieldAndRecord) {
  auto table = OpenCsv("code\n12\n12abc\n");
  EXPECT_DOUBLE_EQ(table->FieldByName("code").AsFloat(), 12.0);
  table->Next();
  std::string message = DatabaseErrorOf([&] { table->FieldByName("code").AsFloat(); });
  EXPECT_NE(message.find("12abc"), std::string::npos) << message;
  EXPECT_NE(message.find("'code'"), std::string::npos) << message;
  EXPECT_NE(message.find("record 2"), std::string::npos) << message;
}

TEST_F(CsvDriverTest, TableNameWithoutExtensionAndMissingNames) {
  dir_.write("orders.csv", "id\n1\n");
  EXPECT_EQ(OpenTable("orders")->RecordCount(), 1);
  std::string message = DatabaseErrorOf([&] { OpenTable("customers.csv"); });
  EXPECT_NE(message.find("customers.csv"), std::string::npos) << message;

  TTable table;
  table.SetDatabaseName(dir_.file("no-such-dir") + "/");
  table.SetTableName("orders.csv");
  message = DatabaseErrorOf([&] { table.Open(); });
  EXPECT_NE(message.find("no-such-dir"), std::string::npos) << message;
  EXPECT_FALSE(table.Active());
}

TEST_F(CsvDriverTest, LargeFileStreamsAcrossBlocksAndRewinds) {
  // Enough rows to span several read blocks, with quoted cells straddling their edges.
  std::string contents = "id,amount,note\n";
  const int rows = 60000;
  double expected = 0;
  for (int id = 1; id <= rows; ++id) {
    contents += std::to_string(id) + ",";
    if (id % 50 != 0) {
      contents += std::to_string(id) + ".25";
      expected += id + 0.25;
    }
    contents += ",\"n, " + std::to_string(id) + "\"\n";
  }
  auto table = OpenCsv(contents);
  EXPECT_EQ(table->RecordCount(), rows);
  for (int pass = 0; pass < 2; ++pass) {
    double sum = 0;
    std::int64_t records = 0;
    std::string lastNote;
    for (table->First(); !table->Eof(); table->Next()) {
      ++records;
      if (!table->FieldByName("amount").IsNull()) sum += table->FieldByName("amount").AsFloat();
      lastNote = table->FieldByName("note").AsString();
    }
    EXPECT_EQ(records, rows);
    EXPECT_DOUBLE_EQ(sum, expected);
    EXPECT_EQ(lastNote, "n, 60000");
  }
}

}  // namespace
}  // namespace sumora

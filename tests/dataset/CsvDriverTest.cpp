// The CSV driver read through TTable on files written by the tests.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
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

// The one-call text read a grouped pass keys on agrees with IsNull and AsString on every kind of cell.
TEST_F(CsvDriverTest, ReadTextAgreesWithIsNullAndAsString) {
  // Repeated keys, also across a null and quoted, are read again from what the last one gave.
  auto table = OpenCsv("k,v\nnorth,1\nnorth,1\n,2\nnorth,2\n\"north\",2\n\"\",3\nnan,4\nnan,4\n NaN ,5\n"
                       "\"a \"\"b\"\", c\",6\n\"a \"\"b\"\", c\",6\n12,7\n12,7\n-0,8\nshort\n");
  const TField& key = table->FieldByName("k");
  std::string text = "left over";
  int records = 0;
  for (table->First(); !table->Eof(); table->Next(), ++records) {
    const bool read = key.ReadText(text);
    EXPECT_EQ(read, !key.IsNull()) << "record " << records + 1;
    if (read) {
      EXPECT_EQ(text, key.AsString()) << "record " << records + 1;
    }
  }
  EXPECT_EQ(records, 15);
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

TEST_F(CsvDriverTest, WideRowIsErrorNamingFileLineAndDelimiter) {
  // The quoted line break pushes the wide row down to line 5; short rows are fine.
  dir_.write("bad.csv", "a,b\n1,\"x\ny\"\n2\n4,5,6\n5,6\n");
  std::string message = DatabaseErrorOf([&] { OpenTable("bad.csv"); });
  EXPECT_NE(message.find("bad.csv', line 5: the row has 3 cells but the header names 2 fields (cells split at ',')"),
            std::string::npos)
      << message;
  dir_.write("wide.tsv", "a\tb\r\n1\t2\r\n3\t4\t5\r\n");
  message = DatabaseErrorOf([&] { OpenTable("wide.tsv"); });
  EXPECT_NE(message.find("line 3"), std::string::npos) << message;
  EXPECT_NE(message.find("split at tab"), std::string::npos) << message;
}

TEST_F(CsvDriverTest, BrokenQuotingNamesFileAndLine) {
  dir_.write("open.csv", "a,b\n1,2\n1,\"never closed\n3,4\n");
  std::string message = DatabaseErrorOf([&] { OpenTable("open.csv"); });
  EXPECT_NE(message.find("open.csv', line 3: a quoted cell is not closed"), std::string::npos) << message;
  dir_.write("stray.csv", "a,b\n\"1\"x,2\n");
  message = DatabaseErrorOf([&] { OpenTable("stray.csv"); });
  EXPECT_NE(message.find("stray.csv', line 2: text follows the closing quote"), std::string::npos) << message;
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
  // Past the rows the classes are inferred from, rows are only counted: blank lines are no records,
  // and a wide row is still found with its line.
  std::string plain = "a,b\n";
  for (int i = 0; i < 200000; ++i) plain += i % 1000 == 0 ? "\n" : "12345,67890\n";
  dir_.write("plain.csv", plain + "1,2\n");
  EXPECT_EQ(OpenTable("plain.csv")->RecordCount(), 200000 - 200 + 1);
  dir_.write("plain.csv", plain + "1,2,3\n");
  std::string message = DatabaseErrorOf([&] { OpenTable("plain.csv"); });
  EXPECT_NE(message.find("line 200002: the row has 3 cells"), std::string::npos) << message;
}


// ---- Files shaped like real exports: dialects, overrides, nulls, comments, ragged and odd headers ----

namespace dialects {

using Values = std::vector<std::optional<double>>;

struct Export {
  const char* label;
  const char* file;
  std::string contents;
  const char* options;  // the query part of DatabaseName
  const char* field;
  Values values;
  std::vector<std::string> names;  // empty: not checked
};

std::ostream& operator<<(std::ostream& out, const Export& e) { return out << e.label; }

class CsvExportTest : public ::testing::TestWithParam<Export> {
 protected:
  TempDir dir_;
};

TEST_P(CsvExportTest, ReadsTheNumbersAUserSees) {
  const Export& e = GetParam();
  dir_.write(e.file, e.contents);
  TTable table;
  table.SetDatabaseName(dir_.path().string() + e.options);
  table.SetTableName(e.file);
  table.Open();
  if (!e.names.empty()) {
    TStringList names;
    table.GetFieldNames(names);
    EXPECT_EQ(names.Items(), e.names);
  }
  Values values;
  TField& field = table.FieldByName(e.field);
  for (table.First(); !table.Eof(); table.Next()) {
    values.push_back(field.IsNull() ? std::nullopt : std::optional<double>(field.AsFloat()));
  }
  EXPECT_EQ(values, e.values);
  EXPECT_EQ(table.RecordCount(), static_cast<int>(e.values.size()));
  EXPECT_NE(field.ClassName(), "TStringField");
}

const std::string kNullTokens = "NA,N/A,n/a,NULL,null,#N/A,NaN,nan,-nan,None,<NA>";

INSTANTIATE_TEST_SUITE_P(
    Exports, CsvExportTest,
    ::testing::Values(
        Export{"SemicolonDecimalComma", "sales.csv", "id;amount;note\n1;1,5;\"a, b\"\n2;-2,25;c\n3;1e3;d\n", "",
               "amount", {1.5, -2.25, 1000.0}, {"id", "amount", "note"}},
        Export{"TabInTsv", "t.tsv", "id\tamount\n1\t1.5\n2\t2.5\n", "", "amount", {1.5, 2.5}, {"id", "amount"}},
        Export{"TabSniffedInCsv", "t.csv", "id\tamount\n1\t7\n2\t8\n", "", "amount", {7, 8}, {}},
        Export{"Pipe", "p.csv", "id|amount\n1|3\n2|4\n", "", "amount", {3, 4}, {}},
        Export{"CommaWithQuotedSemicolons", "c.csv", "note,amount\n\"a;b;c\",1\n\"d;e;f\",2\n", "", "amount", {1, 2},
               {"note", "amount"}},
        Export{"DelimiterOverride", "o.csv", "a;b,x\n1;2,3\n", "?delimiter=,", "x", {3}, {"a;b", "x"}},
        Export{"TabOverride", "o.csv", "a,b\tx\n1,2\t3\n", "?delimiter=tab", "x", {3}, {"a,b", "x"}},
        Export{"DecimalOverride", "d.csv", "x|y\n1,5|2\n", "?decimal=,", "x", {1.5}, {}},
        Export{"NullTokensInEveryColumn", "n.csv", "v\n1\n" + [] {
                 std::string rows;
                 for (char c : kNullTokens + ",") rows += c == ',' ? '\n' : c;
                 return rows;
               }() + "2\n",
               "", "v", {1, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                         std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, 2},
               {}},
        Export{"NullOverride", "n.csv", "v\n1\n-\nmissing\n3\n", "?na=-,missing", "v", {1, std::nullopt, std::nullopt, 3},
               {}},
        Export{"CommentLinesAboveHeader", "c.csv", "# exported 2026-12-08\n#,\"\n\nv\n1\n\n2\n", "", "v", {1, 2}, {"v"}},
        Export{"CommentOverrideEverywhere", "c.csv", "%x\nv\n1\n%y\n2\n", "?comment=%25", "v", {1, 2}, {"v"}},
        Export{"ShortRowsEndInNulls", "s.csv", "a,b,c\n1,2,3\n4\n5,6\n", "", "c", {3, std::nullopt, std::nullopt}, {}},
        Export{"QuotedLineBreaksAndCrLf", "q.csv", "note,v\r\n\"two\r\nlines\",1\r\n\"x\"\"y\",2\r\n", "", "v", {1, 2},
               {}},
        Export{"LoneCarriageReturns", "r.csv", "a,v\r1,5\r2,6\r", "", "v", {5, 6}, {"a", "v"}},
        Export{"ByteOrderMarkAndQuotedNumbers", "b.csv", "\xEF\xBB\xBFv;w\n\"1,5\";1\n\"2,5\";2\n", "", "v", {1.5, 2.5},
               {"v", "w"}},
        Export{"SingleSpacesSniffed", "spector.csv", "GPA TUCE PSI GRADE\n2.66 20 0 0\n2.89 22 0 0\n3.28 24 0 0\n", "",
               "TUCE", {20, 22, 24}, {"GPA", "TUCE", "PSI", "GRADE"}},
        Export{"RunsOfSpacesAndTabsSniffed", "xyz.csv", "   y      x     x2\n  1.5   2.0   4.0\n  2.5   3.0   9.0\n\t3.5 \t 4.0  16.0  \n",
               "", "x2", {4, 9, 16}, {"y", "x", "x2"}},
        Export{"WhitespaceOverrideKeepsQuotedSpaces", "w.csv", "name v\n\"a b\" 1\nc \t 2\n", "?delimiter=whitespace", "v",
               {1, 2}, {"name", "v"}},
        Export{"NoHeaderLine", "nh.csv", "1,2\n3,4\n", "?header=none", "column_2", {2, 4}, {"column_1", "column_2"}},
        Export{"DuplicatedAndEmptyHeaders", "h.csv", "v,V,,v,v_1\n1,2,3,4,5\n", "", "column_3", {3},
               {"v", "V_2", "column_3", "v_3", "v_1"}}));

}  // namespace dialects

TEST_F(CsvDriverTest, TableNamesThatLeaveTheDirectoryAreRefused) {
  dir_.write("inside.csv", "v\n1\n");
  for (const std::string name : {"../inside.csv", "/etc/passwd", "sub/inside.csv", "..", "."}) {
    std::string message = DatabaseErrorOf([&] { OpenTable(name); });
    EXPECT_NE(message.find("is refused"), std::string::npos) << name << ": " << message;
  }
}

TEST_F(CsvDriverTest, LongOrHostileTableNamesAreShortenedAndEscapedInMessages) {
  const std::string hostile = std::string(5000, 'x') + "\x1b[31m";
  for (const std::string& name : {hostile, hostile + ".csv", "../" + hostile}) {
    std::string message = DatabaseErrorOf([&] { OpenTable(name); });
    EXPECT_LT(message.size(), 600u) << message;
    EXPECT_EQ(message.find('\x1b'), std::string::npos) << message;
    EXPECT_NE(message.find("\u2026"), std::string::npos) << message;
  }
}

TEST_F(CsvDriverTest, FifosDevicesAndLinkLoopsAreRefusedBeforeOpening) {
  ASSERT_EQ(::mkfifo(dir_.file("pipe.csv").c_str(), 0600), 0);
  std::filesystem::create_symlink("loop.csv", dir_.path() / "loop.csv");
  std::filesystem::create_symlink("/dev/null", dir_.path() / "null.csv");
  const std::pair<const char*, const char*> cases[] = {
      {"pipe.csv", "is a FIFO"}, {"loop.csv", "link loop"}, {"null", "is a character device"}};
  for (const auto& [name, expected] : cases) {
    std::string message = DatabaseErrorOf([&] { OpenTable(name); });  // a blocking open would hang here
    EXPECT_NE(message.find(expected), std::string::npos) << message;
    EXPECT_EQ(message.find("not found"), std::string::npos) << message;
  }
  TTable table;
  table.SetDatabaseName(dir_.file("pipe.csv"));
  EXPECT_NE(DatabaseErrorOf([&] { table.Open(); }).find("is a FIFO"), std::string::npos);
}

// A rewrite in place that keeps the size and sets the modification time back still moves the change
// time. The kernel stamps it from a clock of a few milliseconds' grain, hence the pause.
TEST_F(CsvDriverTest, FileChangedBetweenPassesIsAnError) {
  for (const bool keepSizeAndTime : {false, true}) {
    auto table = OpenCsv("v\n1\n2\n");
    const std::string path = dir_.file("data.csv");
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    dir_.write("data.csv", keepSizeAndTime ? "v\n8\n9\n" : "v\n1\n2\n3\n");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    if (keepSizeAndTime) {
      ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    std::string message = DatabaseErrorOf([&] { table->First(); });
    EXPECT_NE(message.find("data.csv' changed while it was being read"), std::string::npos) << keepSizeAndTime << message;
  }
}

TEST_F(CsvDriverTest, CsvFileAloneIsTheDatabase) {
  const std::string path = dir_.write("orders.tsv", "id\tamount\n1\t2.5\n");
  for (const char* name : {"", "orders", "ORDERS.tsv"}) {
    TTable table;
    table.SetDatabaseName(path);
    table.SetTableName(name);
    table.Open();
    EXPECT_DOUBLE_EQ(table.FieldByName("amount").AsFloat(), 2.5) << name;
  }
  TTable other;
  other.SetDatabaseName(path);
  other.SetTableName("customers");
  EXPECT_NE(DatabaseErrorOf([&] { other.Open(); }).find("whose one table is 'orders.tsv'"), std::string::npos);
}

TEST_F(CsvDriverTest, NulBytesAndInvalidUtf8AreKeptAsBytes) {
  const std::string odd("a\0b\xFF\xFE", 5);
  auto table = OpenCsv("note,v\n\"" + odd + "\",1\n" + odd + ",2\n");
  EXPECT_EQ(Column(*table, "note"), (std::vector<std::string>{odd, odd}));
  EXPECT_EQ(Column(*table, "v"), (std::vector<std::string>{"1", "2"}));
}

TEST_F(CsvDriverTest, HugeCellsAndManyColumns) {
  std::string big(3 * 1024 * 1024, 'x');  // longer than a read block: the buffer grows
  auto table = OpenCsv("note,v\n\"" + big + "\",1\n" + big + ",2\n");
  EXPECT_EQ(Column(*table, "note"), (std::vector<std::string>{big, big}));
  std::string header;
  std::string row;
  for (int i = 0; i < 40000; ++i) {
    header += (i ? "," : "") + std::string("c") + std::to_string(i);
    row += (i ? "," : "") + std::to_string(i);
  }
  // Opening and looking up every name costs time linear in the columns (a quadratic lookup took
  // seconds here).
  const auto start = std::chrono::steady_clock::now();
  auto wide = OpenCsv(header + "\n" + row + "\n" + row + "\n" + row + "\n");
  for (int i = 0; i < 40000; ++i) ASSERT_NE(wide->FindField("C" + std::to_string(i)), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(wide->FieldCount(), 40000);
  EXPECT_DOUBLE_EQ(wide->FieldByName("c39999").AsFloat(), 39999.0);
}

TEST_F(CsvDriverTest, FocusedScanReadsWhatTheFullReadReads) {
  // Plain rows, quoted rows, CRLF, lone CR and short rows mixed across several read blocks.
  std::string contents = "id,amount,note\n";
  std::vector<std::optional<double>> expected;
  for (int id = 1; id <= 40000; ++id) {
    const char* ends[] = {"\n", "\r\n", "\r"};
    switch (id % 5) {
      case 0: contents += std::to_string(id) + ends[id % 3]; expected.push_back(std::nullopt); break;
      case 1: contents += std::to_string(id) + ",\"" + std::to_string(id) + ".5\",\"n,\"\"" + "\n\"" + ends[id % 3];
              expected.push_back(id + 0.5); break;
      default: contents += std::to_string(id) + "," + std::to_string(id) + ",n" + ends[id % 3];
              expected.push_back(id);
    }
  }
  auto table = OpenCsv(contents);
  TField& amount = table->FieldByName("amount");
  for (bool focused : {true, false}) {
    table->FocusField(focused ? &amount : nullptr);
    std::vector<std::optional<double>> seen;
    for (table->First(); !table->Eof(); table->Next()) {
      seen.push_back(amount.IsNull() ? std::nullopt : std::optional<double>(amount.AsFloat()));
    }
    EXPECT_EQ(seen, expected) << (focused ? "focused" : "full");
  }
  table->FocusField(nullptr);
}

}  // namespace
}  // namespace sumora

// The bad-input catalogue of the README, case by case: what the `sumora` command prints and its exit
// status for each kind of bad data, bad property or bad file, run on real SQLite and CSV files. Each
// row of the README's "Bad input" table has its case here under the same name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

// One catalogue row: the command's arguments after "summarize" (or the whole command line when it
// starts with another command) and what the user sees.
struct BadInput {
  std::string name;
  std::vector<std::string> args;
  int status;
  std::string err;             // standard error, exactly
  std::string outStartsWith;   // standard output starts with this ("" = prints nothing)
  std::string input = "/dev/null";  // standard input
};

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.name; }

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

const std::string kSummaryOfT = "Table: T\nField Analyzed: V\nRecord Count: 3\n";

// The files every case reads, made once: shop.sqlite with tables for the numeric cases and a
// directory of CSV files.
class BadInputTest : public ::testing::TestWithParam<BadInput> {
 public:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    const std::string db = Db();
    ExecSql(db,
            "CREATE TABLE T (V REAL, NOTE TEXT);"
            "INSERT INTO T VALUES (1, 'a'), (2, 'b'), (4, 'c');"
            "CREATE TABLE EMPTY (V REAL);"
            "CREATE TABLE NULLS (V REAL); INSERT INTO NULLS VALUES (NULL), (NULL);"
            "CREATE TABLE ONE (V REAL); INSERT INTO ONE VALUES (5);"
            "CREATE TABLE SAME (V REAL); INSERT INTO SAME VALUES (4), (4), (4);"
            "CREATE TABLE PINF (V REAL); INSERT INTO PINF VALUES (1), (9e999), (2);"
            "CREATE TABLE NINF (V REAL); INSERT INTO NINF VALUES (1), (2), (-9e999);"
            "CREATE TABLE NANS (V REAL); INSERT INTO NANS VALUES (1), (2), (0.0 * 9e999), (4);"
            "CREATE TABLE HUGE (V REAL); INSERT INTO HUGE VALUES (1.7e308), (1.7e308), (1e308);"
            "CREATE TABLE WIDE (V REAL); INSERT INTO WIDE VALUES (1e200), (-1e200), (3e199);"
            "CREATE TABLE SPREAD (V REAL); INSERT INTO SPREAD VALUES (1e70), (-1e70), (3e70), (2e70);"
            // Untyped columns keep text as text, so these cells reach the number reader as written.
            "CREATE TABLE TINY (V); INSERT INTO TINY VALUES (1), ('0." + std::string(400, '0') + "1'), (2);"
            "CREATE TABLE NANTEXT (V); INSERT INTO NANTEXT VALUES (1), ('nan'), (2), (' NaN'), (4);"
            "CREATE TABLE CTRL (V); INSERT INTO CTRL VALUES (CAST(X'611b5b33316d0062' AS TEXT));"
            "CREATE TABLE LONG (V); INSERT INTO LONG VALUES ('" + std::string(300, 'x') + "');");
    std::filesystem::create_directory(dir_->path() / "csv");
    dir_->write("csv/text.csv", "ID,V\n1,1\n2,abc\n3,3\n");
    dir_->write("csv/ragged.csv", "ID,V\n1,1\n2,2,2\n3,3\n");
    dir_->write("csv/header.csv", "ID,V\n");
    dir_->write("csv/open.csv", "ID,V\n1,1\n2,\"3\n");
    ::mkfifo((dir_->path() / "csv/pipe.csv").c_str(), 0600);
    std::filesystem::create_symlink("loop.csv", dir_->path() / "csv/loop.csv");
    dir_->write("broken.sfm", "{\"format\": \"sumora-form\", \"version\": 1, \"form\": \"F\", \"comp");
    dir_->write("wrongtype.sfm",
                "{\"format\": \"sumora-form\", \"version\": 1, \"form\": \"F\", \"components\": [{\"class\": "
                "\"TSumoraTable\", \"name\": \"T1\", \"properties\": {\"FreqClasses\": \"ten\"}}]}");
    // Outputs that are not regular files: a link to someone's file, a named pipe, a foreign sample folder.
    std::filesystem::create_symlink(dir_->write("victim.txt", "precious"), dir_->file("link.form.json"));
    ::mkfifo(dir_->file("pipe.form.json").c_str(), 0644);
    std::filesystem::create_directory(dir_->path() / "mine");
    // Inputs that are not files: a named pipe given as a database or a form, a link loop.
    ::mkfifo(dir_->file("pipe.sqlite").c_str(), 0644);
    std::filesystem::create_symlink(dir_->file("loop-b"), dir_->file("loop-a"));
    std::filesystem::create_symlink(dir_->file("loop-a"), dir_->file("loop-b"));
    std::string many = R"({"format": "sumora-form", "version": 1, "components": [)";
    for (int i = 0; i <= 10000; ++i) {
      many += std::string(i > 0 ? "," : "") + R"({"class": "TSumoraTable", "name": "T)" + std::to_string(i) + "\"}";
    }
    dir_->write("many.sfm", many + "]}");
    dir_->write("twice.sfm", R"({"format": "sumora-form", "version": 1, "components": [)"
                             R"({"class": "TSumoraTable", "name": "T1"}, {"class": "TSumoraQuery", "name": "T1"}]})");
    dir_->write("csv/latin1.csv", "ID,caf\xE9\n1,1\n2,2\n3,4\n");
    dir_->write("deep.sfm", std::string(100000, '['));
    // Names that carry terminal control sequences: a CSV header, form components, a link loop.
    dir_->write("csv/esc.csv", "a\x1b[2J,V\n1,2\n");
    dir_->write("esc.sfm", R"({"format": "sumora-form", "version": 1, "components": [)"
                           R"({"class": "TSumoraTable", "name": "\u001b]0;owned\u0007", "properties": )"
                           R"({"DatabaseName": "shop.sqlite", "TableName": "T"}},)"
                           R"({"class": "TSumoraTable", "name": "\u001b[2Jbare", "properties": )"
                           R"({"DatabaseName": "shop.sqlite"}}]})");
    std::filesystem::create_symlink("loop\x1b.csv", dir_->path() / "csv/loop\x1b.csv");
    std::filesystem::create_symlink(dir_->file("victim.txt"), dir_->file("link\x1b[2J.form.json"));
    // A form two folders down whose database is two folders up, opened through a link to its folder.
    std::filesystem::create_directories(dir_->path() / "real" / "forms");
    dir_->write("real/forms/up.sfm", R"({"format": "sumora-form", "version": 1, "components": [{"class": )"
                                     R"("TSumoraTable", "name": "T1", "properties": {"DatabaseName": )"
                                     R"("../../shop.sqlite", "TableName": "T", "StatFieldName": "V"}}]})");
    std::filesystem::create_directory_symlink("real/forms", dir_->path() / "formlink");
    dir_->write("csv/unnamed.csv", "a,,column_2\n1,2,3\n4,5,6\n");
    dir_->write("csv/comma.csv", "v\n1,5\n2,5\n3,25\n");
    dir_->write("csv/what?.csv", "V;NOTE\n1;a\n2;b\n4;c\n");
    std::filesystem::create_directories(dir_->path() / "nested" / "2024");
    dir_->write("nested/2024/orders.csv", "V\n1\n");
    dir_->write("mine/orders.sqlite", "my own notes");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Db() { return dir_->file("shop.sqlite"); }
  static std::string Csv() { return (dir_->path() / "csv").string(); }
  static std::string File(const std::string& name) { return dir_->file(name); }

 protected:
  static CommandResult Sumora(std::vector<std::string> args, const std::string& input = "/dev/null") {
    if (args.empty() || args.front().rfind("--", 0) == 0) args.insert(args.begin(), "summarize");
    return RunCommand(SUMORA_BINARY, args, {input, "", {}});
  }

 private:
  static TempDir* dir_;
};

TempDir* BadInputTest::dir_ = nullptr;

// Placeholders in the case table, replaced once the files exist.
std::vector<std::string> Expand(std::vector<std::string> args) {
  for (auto& arg : args) {
    if (arg == "@db") arg = BadInputTest::Db();
    if (arg == "@csv") arg = BadInputTest::Csv();
    if (arg.rfind("@file:", 0) == 0) arg = BadInputTest::File(arg.substr(6));
  }
  return args;
}

std::string ExpandText(std::string text) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"@db", BadInputTest::Db()},
                                   {"@csv", BadInputTest::Csv()}, {"@dir", BadInputTest::File("")}}) {
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

TEST_P(BadInputTest, TheUserSeesOneClearLine) {
  const BadInput& input = GetParam();
  CommandResult run = Sumora(Expand(input.args), ExpandText(input.input));
  EXPECT_EQ(run.status, input.status) << run.err;
  EXPECT_EQ(run.err, ExpandText(input.err));
  if (input.outStartsWith.empty()) {
    EXPECT_EQ(run.out, "");
  } else {
    EXPECT_TRUE(StartsWith(run.out, input.outStartsWith)) << run.out;
  }
}

const std::string kOverflowHint = " overflows the range of a double; scale the values down with ScaleBy\n";

INSTANTIATE_TEST_SUITE_P(
    Catalogue, BadInputTest,
    ::testing::Values(
        BadInput{"MissingDatabase", {"--db", "@file:nowhere.sqlite", "--table", "T", "--field", "V"}, 1,
                 "error: --db '@dirnowhere.sqlite' does not exist: give an SQLite file, a CSV file or a folder of CSV "
                 "files (check the path)\n",
                 ""},
        BadInput{"MissingTable", {"--db", "@db", "--table", "NOPE", "--field", "V"}, 1,
                 "error: SQLite: cannot prepare the statement: no such table: NOPE (table 'NOPE' in '@db')\n", ""},
        BadInput{"UnknownField", {"--db", "@db", "--table", "T", "--field", "PRICE"}, 1,
                 "error: SumoraTable1: Field 'PRICE' not found; numeric fields: V\n", ""},
        BadInput{"NonNumericField", {"--db", "@db", "--table", "T", "--field", "NOTE"}, 1,
                 "error: SumoraTable1: Field 'NOTE' holds text (TStringField), not numbers (record 1 is 'a'); numeric "
                 "fields: V\n",
                 ""},
        BadInput{"NoFieldGiven", {"--db", "@db", "--table", "T"}, 2,
                 "sumora summarize: give --field NAME (or --all-numeric for every numeric field); numeric fields: V "
                 "(see sumora summarize --help)\n",
                 ""},
        BadInput{"CommandHelp", {"classes", "-h"}, 0, "", "usage: sumora classes BINDING"},
        BadInput{"FolderWithTablesOnlyInSubFolders", {"tables", "--db", "@file:nested"}, 0,
                 "sumora tables: '@dirnested' holds no CSV tables (files named *.csv, *.tsv or *.tab directly in it; "
                 "sub-folders are not searched)\n",
                 ""},
        BadInput{"GeneratedNameEqualToAHeaderName", {"--db", "@csv", "--table", "unnamed.csv", "--field", "column_2"}, 0,
                 "", "Table: unnamed.csv\nField Analyzed: column_2\nRecord Count: 2\nMean: 4.500\n"},
        BadInput{"OneColumnWithADecimalComma",
                 {"--db", "@csv", "--table", "comma.csv", "--field", "v", "--csv-decimal", ","}, 0, "",
                 "Table: comma.csv\nField Analyzed: v\nRecord Count: 3\nMean: 2.417\n"},
        BadInput{"QuestionMarkInTheFileName", {"--db", "@file:csv/what?.csv", "--field", "V", "--csv-delimiter", ";"}, 0,
                 "", "Table: what?.csv\nField Analyzed: V\nRecord Count: 3\nMean: 2.333\n"},
        BadInput{"TextInNumericCsvColumn", {"--db", "@csv", "--table", "text.csv", "--field", "V"}, 1,
                 "error: 'abc' is not a valid number (field 'V', record 2)\n", ""},
        BadInput{"RaggedCsvRow", {"--db", "@csv", "--table", "ragged.csv", "--field", "V"}, 1,
                 "error: CSV file '@csv/ragged.csv', line 3: the row has 3 cells but the header names 2 fields "
                 "(cells split at ','); quote a cell that holds ',', or set the delimiter\n",
                 ""},
        BadInput{"UnclosedCsvQuote", {"--db", "@csv", "--table", "open.csv", "--field", "V"}, 1,
                 "error: CSV file '@csv/open.csv', line 3: a quoted cell is not closed before the end of the file "
                 "(a quote is missing)\n",
                 ""},
        BadInput{"CsvTableLeavingTheDirectory", {"--db", "@csv", "--table", "../shop.sqlite", "--field", "V"}, 1,
                 "error: CSV table name '../shop.sqlite' is refused: a table is a file directly inside '@csv', so "
                 "its name cannot hold '/' or be '.' or '..'\n",
                 ""},
        BadInput{"CsvTableIsAFifo", {"--db", "@csv", "--table", "pipe.csv", "--field", "V"}, 1,
                 "error: CSV file '@csv/pipe.csv' is a FIFO (named pipe), not a regular file; it is refused rather "
                 "than read: give a file\n",
                 ""},
        BadInput{"CsvTableIsALinkLoop", {"--db", "@csv", "--table", "loop.csv", "--field", "V"}, 1,
                 "error: CSV file '@csv/loop.csv' is a symbolic link that leads to itself (a link loop); point it "
                 "at a file\n",
                 ""},
        BadInput{"CsvWithOnlyAHeader", {"--db", "@csv", "--table", "header.csv", "--field", "V"}, 1,
                 "error: Field 'V' has no values\n", ""},
        BadInput{"EmptyField", {"--db", "@db", "--table", "EMPTY", "--field", "V"}, 1,
                 "error: Field 'V' has no values\n", ""},
        BadInput{"AllNullField", {"--db", "@db", "--table", "NULLS", "--field", "V"}, 1,
                 "error: Field 'V' has no values\n", ""},
        BadInput{"OneValue", {"--db", "@db", "--table", "ONE", "--field", "V"}, 1,
                 "error: Variance needs at least two values\n", ""},
        BadInput{"AllValuesEqual", {"--db", "@db", "--table", "SAME", "--field", "V"}, 1,
                 "error: Skewness is undefined: the variance is zero\n", ""},
        BadInput{"PlusInfinity", {"--db", "@db", "--table", "PINF", "--field", "V"}, 1,
                 "error: +Inf is not a usable value (field 'V', record 2)\n", ""},
        BadInput{"MinusInfinity", {"--db", "@db", "--table", "NINF", "--field", "V"}, 1,
                 "error: -Inf is not a usable value (field 'V', record 3)\n", ""},
        BadInput{"NaNIsSkippedLikeNull", {"--db", "@db", "--table", "NANS", "--field", "V"}, 0, "",
                 "Table: NANS\nField Analyzed: V\nRecord Count: 3\nMean: 2.333\n"},
        BadInput{"TotalOverflows", {"--db", "@db", "--table", "HUGE", "--field", "V"}, 1,
                 "error: The total of V" + kOverflowHint, ""},
        BadInput{"SumOfSquaresOverflows", {"--db", "@db", "--table", "WIDE", "--field", "V"}, 1,
                 "error: The sum of squared deviations of V" + kOverflowHint, ""},
        BadInput{"PowersOfTheVarianceOverflow", {"--db", "@db", "--table", "SPREAD", "--field", "V"}, 1,
                 "error: The squared third moment of V" + kOverflowHint, ""},
        BadInput{"OverflowScaledDown", {"--db", "@db", "--table", "WIDE", "--field", "V", "--scale-by", "1e150"}, 0,
                 "", "Table: WIDE\nField Analyzed: V\nRecord Count: 3\n"},
        BadInput{"ScaleByZero", {"--db", "@db", "--table", "T", "--field", "V", "--scale-by", "0"}, 0,
                 "Error: Cannot Scale by 0.\n", "Table: T\nField Analyzed: V\nRecord Count: 3\nMean: 2.333\n"},
        BadInput{"ScaleByTiny", {"--db", "@db", "--table", "T", "--field", "V", "--scale-by", "1e-300"}, 0,
                 "Error: Cannot Scale by 0.\n", "Table: T\nField Analyzed: V\nRecord Count: 3\nMean: 2.333\n"},
        BadInput{"ZeroClasses", {"--db", "@db", "--table", "T", "--field", "V", "--classes", "0"}, 1,
                 "error: Frequency classes need at least one class: FreqClasses is 0\n", ""},
        BadInput{"TwoHundredFiftyClasses",
                 {"classes", "--db", "@db", "--table", "T", "--field", "V", "--classes", "250"}, 0, "",
                 "SumoraTable1 Class Frequency Data\n"},
        BadInput{"SqlThatWrites", {"--db", "@db", "--sql", "DELETE FROM T", "--field", "V"}, 1,
                 "error: SQLite: the statement would change the database; only statements that read data (SELECT) "
                 "can be opened (query 'DELETE FROM T')\n",
                 ""},
        BadInput{"SqlThatWritesAfterASelect", {"--db", "@db", "--sql", "SELECT V FROM T; DELETE FROM T", "--field", "V"},
                 1,
                 "error: SQLite: only one statement can be run, but more text follows it: ' DELETE FROM T' "
                 "(query 'SELECT V FROM T; DELETE FROM T')\n",
                 ""},
        BadInput{"TableNameWithQuotes", {"--db", "@db", "--table", "T\"; DROP TABLE T; --", "--field", "V"}, 1,
                 "error: SQLite: cannot prepare the statement: no such table: T\"; DROP TABLE T; -- "
                 "(table 'T\"; DROP TABLE T; --' in '@db')\n",
                 ""},
        BadInput{"TableNameWithASemicolon", {"--db", "@db", "--table", "T;", "--field", "V"}, 1,
                 "error: SQLite: cannot prepare the statement: no such table: T; (table 'T;' in '@db')\n", ""},
        BadInput{"MalformedFormFile", {"--form", "@file:broken.sfm"}, 1,
                 "error: @dirbroken.sfm: malformed form file: [json.exception.parse_error.101] parse error at line 1, "
                 "column 59: syntax error while parsing object key - invalid string: missing closing quote; last "
                 "read: '\"comp'; expected string literal\n",
                 ""},
        BadInput{"FormFileWithAWrongType", {"--form", "@file:wrongtype.sfm"}, 1,
                 "error: @dirwrongtype.sfm: component 'T1': property 'FreqClasses' needs a whole number from 0 to "
                 "65535\n",
                 ""},
        BadInput{"OutputThroughASymbolicLink", {"form", "save", "@file:link.form.json", "--db", "@db", "--table", "T"},
                 1,
                 "error: cannot write '@dirlink.form.json': it is a symbolic link, not a regular file; remove it or "
                 "choose another file name\n",
                 ""},
        BadInput{"OutputToANamedPipe", {"form", "save", "@file:pipe.form.json", "--db", "@db", "--table", "T"}, 1,
                 "error: cannot write '@dirpipe.form.json': it is a named pipe (FIFO), not a regular file; remove it "
                 "or choose another file name\n",
                 ""},
        BadInput{"ExtraArgumentAfterTheOptions", {"--db", "@db", "--table", "T", "--field", "V", "NOTE"}, 2,
                 "sumora summarize: unexpected argument 'NOTE' (see sumora summarize --help)\n", ""},
        BadInput{"UnderflowWithoutAnExponent", {"--db", "@db", "--table", "TINY", "--field", "V"}, 0, "",
                 "Table: TINY\nField Analyzed: V\nRecord Count: 3\nMean: 1.000\n"},
        BadInput{"NanAsText", {"--db", "@db", "--table", "NANTEXT", "--field", "V"}, 0, "",
                 "Table: NANTEXT\nField Analyzed: V\nRecord Count: 3\nMean: 2.333\n"},
        BadInput{"DatabaseIsANamedPipe", {"--db", "@file:pipe.sqlite", "--table", "T", "--field", "V"}, 1,
                 "error: SQLite database '@dirpipe.sqlite' cannot be opened: it is a named pipe (FIFO), not a "
                 "regular file; check the path given to --db\n",
                 ""},
        BadInput{"DatabaseBehindALinkLoop", {"--db", "@file:loop-a/shop.sqlite", "--table", "T", "--field", "V"}, 1,
                 "error: SQLite database '@dirloop-a/shop.sqlite' cannot be opened: Too many levels of symbolic "
                 "links; check the path given to --db\n",
                 ""},
        BadInput{"FormFileIsANamedPipe", {"--form", "@file:pipe.form.json"}, 1,
                 "error: @dirpipe.form.json: cannot open the form file: it is a named pipe (FIFO), not a regular "
                 "file\n",
                 ""},
        BadInput{"FormFileWithTooManyComponents", {"--form", "@file:many.sfm"}, 1,
                 "error: @dirmany.sfm: the form holds 10001 components; at most 10000 can be opened\n", ""},
        BadInput{"FormFileWithTwoComponentsOfOneName", {"--form", "@file:twice.sfm"}, 1,
                 "error: @dirtwice.sfm: component 'T1': a component of that name already exists\n", ""},
        BadInput{"ControlCharactersInACell", {"--db", "@db", "--table", "CTRL", "--field", "V"}, 1,
                 "error: SumoraTable1: Field 'V' holds text (TStringField), not numbers (record 1 is "
                 "'a\\x1b[31m\\0b'); the dataset has no numeric fields\n",
                 ""},
        BadInput{"AVeryLongCell", {"--db", "@db", "--table", "LONG", "--field", "V"}, 1,
                 "error: SumoraTable1: Field 'V' holds text (TStringField), not numbers (record 1 is '" +
                     std::string(200, 'x') + "\xE2\x80\xA6'); the dataset has no numeric fields\n",
                 ""},
        BadInput{"AVeryLongTableName", {"--db", "@db", "--table", std::string(300, 'N'), "--field", "V"}, 1,
                 "error: SQLite: cannot prepare the statement: " +
                     ("no such table: " + std::string(300, 'N')).substr(0, 200) + "\xE2\x80\xA6 (table '" +
                     std::string(200, 'N') + "\xE2\x80\xA6' in '@db')\n",
                 ""},
        BadInput{"SourceNameCutInsideACharacter",
                 {"--db", "@db", "--sql", "SELECT V,'\xC3\xA9\xC3\xA9\xC3\xA9' AS X FROM T", "--field", "V",
                  "--format", "json"},
                 0, "",
                 "{\"component\":\"TSumoraQuery\",\"source\":\"\xEF\xBF\xBD\xC3\xA9' AS X FROM T\",\"StatFieldName\":\"V\""},
        BadInput{"CsvHeaderThatIsNotUtf8", {"--db", "@csv", "--table", "latin1.csv", "--field", "caf\xE9", "--format",
                 "json"},
                 0, "", "{\"component\":\"TSumoraTable\",\"source\":\"latin1.csv\",\"StatFieldName\":\"caf\xEF\xBF\xBD\""},
        BadInput{"FormFileNestedTooDeeply", {"--form", "@file:deep.sfm"}, 1,
                 "error: @dirdeep.sfm: malformed form file: lists and objects are nested more than 64 levels deep\n",
                 ""},
        BadInput{"FormOpenedThroughALinkedFolder", {"--form", "@file:formlink/up.sfm"}, 0, "", kSummaryOfT},
        BadInput{"StandardInputIsAFolder", {"--db", "-", "--field", "V"}, 1,
                 "error: standard input cannot be read: it is a directory; pipe the CSV text in or redirect a file "
                 "(sumora summarize --db - ... < FILE.csv)\n",
                 "", "@dir"},
        BadInput{"SampleOverAnotherFile", {"sample", "--out", "@file:mine"}, 1,
                 "error: '@dirmine/orders.sqlite' is not a file the sample wrote; remove it or choose another --out "
                 "folder\n",
                 ""}),
    [](const auto& info) { return info.param.name; });

// Names from a CSV header, a form, a path or the command line reach every message escaped: the
// message shows the name, and a terminal never receives its control bytes.
TEST_F(BadInputTest, ControlBytesInNamesNeverReachTheTerminal) {
  const std::string clear = "\x1b[2J";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--db", "@csv", "--table", "esc.csv", "--field", "nope"},          // the numeric fields listed
           {"--form", "@file:esc.sfm", "--field", "nope"},                      // the component's name first
           {"--form", "@file:esc.sfm", "--component", clear + "bare", "--field", "V"},  // the dataset's name
           {"--form", "@file:esc.sfm", "--component", clear + "none"},          // a component not in the form
           {"--db", "@csv", "--table", clear, "--field", "V"},                   // a table not in the folder
           {"--db", "@file:csv/text.csv", "--table", clear, "--field", "V"},     // a table not in the file
           {"--db", "@file:csv/loop" + clear + ".csv", "--field", "V"},          // a path that loops
           {"--db", "@file:csv/text.csv?" + clear + "=1", "--field", "V"},       // an option in the database name
           {"--db", "@db", "--table", "T", "--field", "V", "--progress", clear},  // a value of an option
           {"--db", "@db", "--table", "T", "--field", "V", "--" + clear},        // an unknown option
           {"form", "save", "@file:link" + clear + ".form.json", "--db", "@db", "--table", "T"},  // an output
       }) {
    CommandResult run = Sumora(Expand(args));
    const std::string shown = ::testing::PrintToString(run.err);
    EXPECT_NE(run.status, 0) << shown;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << shown;
    EXPECT_EQ(run.err.find('\x07'), std::string::npos) << shown;
    EXPECT_NE(run.err.find("\\x1b"), std::string::npos) << shown;
  }
}

// Nothing a refused statement or table name carried was run: the table is whole afterwards.
TEST_F(BadInputTest, RefusedStatementsAndTableNamesChangeNothing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--db", Db(), "--sql", "DELETE FROM T", "--field", "V"},
           {"--db", Db(), "--sql", "SELECT V FROM T; DROP TABLE T", "--field", "V"},
           {"--db", Db(), "--sql", "INSERT INTO T VALUES (9, 'x') RETURNING V", "--field", "V"},
           {"--db", Db(), "--table", "T\"; DROP TABLE T; --", "--field", "V"}}) {
    EXPECT_EQ(Sumora(args).status, 1) << args[3];
  }
  CommandResult after = Sumora({"--db", Db(), "--table", "T", "--field", "V"});
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_TRUE(StartsWith(after.out, kSummaryOfT)) << after.out;
}

// Another connection holding the database: a writer that has only reserved it (BEGIN IMMEDIATE, rows
// written but not committed) does not stop reading, and the reader sees the committed rows only; a
// writer holding it exclusively makes the read fail at once with SQLite's "database is locked".
TEST_F(BadInputTest, ADatabaseLockedByAnotherWriter) {
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(Db().c_str(), &writer), SQLITE_OK);
  auto exec = [&](const char* sql) { ASSERT_EQ(sqlite3_exec(writer, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; };

  exec("BEGIN IMMEDIATE; INSERT INTO T VALUES (100, 'z');");
  CommandResult reserved = Sumora({"--db", Db(), "--table", "T", "--field", "V"});
  EXPECT_EQ(reserved.status, 0) << reserved.err;
  EXPECT_TRUE(StartsWith(reserved.out, kSummaryOfT)) << reserved.out;
  exec("ROLLBACK;");

  exec("BEGIN EXCLUSIVE; INSERT INTO T VALUES (100, 'z');");
  CommandResult exclusive = Sumora({"--db", Db(), "--table", "T", "--field", "V"});
  EXPECT_EQ(exclusive.status, 1);
  EXPECT_EQ(exclusive.err, "error: SQLite: cannot prepare the statement: database is locked (table 'T' in '" + Db() + "')\n");
  EXPECT_EQ(exclusive.out, "");
  exec("ROLLBACK;");
  sqlite3_close(writer);
}

// The overflow checks of the moment sums hold for the single-purpose passes as well, and a failed
// check leaves the pass's flag false.
TEST_F(BadInputTest, EveryMomentPassRefusesSumsThatOverflow) {
  ScriptedHost host;
  TSumoraTable table;
  table.SetDatabaseName(Db());
  table.SetTableName("WIDE");
  table.SetStatFieldName("V");
  table.SetShowCalcProgress(TBoolPlus::Never);
  table.Open();
  table.Initialize();
  table.GetdsMean();
  const std::string hint = kOverflowHint.substr(0, kOverflowHint.size() - 1);
  auto messageOf = [](auto&& call) -> std::string {
    try {
      call();
    } catch (const EMathError& e) {
      return e.what();
    }
    return "no EMathError";
  };
  EXPECT_EQ(messageOf([&] { table.GetdsVariance(); }), "The sum of squared deviations of V" + hint);
  EXPECT_FALSE(table.VarianceCalculated());
  EXPECT_EQ(messageOf([&] { table.GetdsSkew(); }), "The sum of cubed deviations of V" + hint);
  EXPECT_FALSE(table.SkewCalculated());
  EXPECT_EQ(messageOf([&] { table.GetdsKurtosis(); }), "The sum of fourth powers of the deviations of V" + hint);
  EXPECT_FALSE(table.KurtosisCalculated());
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  EXPECT_EQ(host.DialogsLive(), 0);
  table.Close();

  // Values near 1e70 keep their fourth powers and the variance's square finite, but not its cube.
  table.SetTableName("SPREAD");
  table.Open();
  table.Initialize();
  table.GetdsMean();
  table.GetdsVariance();
  EXPECT_EQ(messageOf([&] { table.GetdsSkew(); }), "The squared third moment of V" + hint);
  EXPECT_FALSE(table.SkewCalculated());
  EXPECT_TRUE(std::isfinite(table.GetdsKurtosis()));
  EXPECT_GT(table.dsKurtosisValue(), 0.0);
}

}  // namespace
}  // namespace sumora::test

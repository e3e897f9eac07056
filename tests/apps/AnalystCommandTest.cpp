// What a new user of the `sumora` command tries first: several fields per run, CSV output, listing
// tables, data on standard input, and messages that say what exists. Run on files the test makes.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

// Splits CSV text into records of cells, undoing RFC 4180 quoting.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      records.back().back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      records.back().emplace_back();
    } else if (!quoted && c == '\n') {
      records.emplace_back(1);
    } else {
      records.back().back() += c;
    }
  }
  if (records.back() == std::vector<std::string>(1)) records.pop_back();
  return records;
}

// A JSON value as the CSV output writes it.
std::string CsvText(const nlohmann::json& value) {
  if (value.is_null()) return "";
  return value.is_string() ? value.get<std::string>() : value.dump();
}

class AnalystCommandTest : public ::testing::Test {
 protected:
  CommandResult Sumora(const std::vector<std::string>& args, const CommandSetup& setup = {}) {
    return RunCommand(SUMORA_BINARY, args, setup);
  }

  void SetUp() override {
    db = dir.file("shop.sqlite");
    ExecSql(db,
            "CREATE TABLE ORDERS (ID INTEGER, AMOUNT REAL, NOTE TEXT, \"net, \"\"q\"\"\" REAL);"
            "INSERT INTO ORDERS VALUES (1, 1, 'a', 0.5), (2, 2, 'b', 0.25), (3, NULL, 'c', 4), (4, 6, 'd', 1e-9);"
            "CREATE VIEW BIG_ORDERS AS SELECT * FROM ORDERS WHERE AMOUNT > 1;"
            "CREATE TABLE KEYS (K INTEGER PRIMARY KEY AUTOINCREMENT); INSERT INTO KEYS DEFAULT VALUES;");
    std::filesystem::create_directory(dir.path() / "csv");
    csv = dir.write("csv/orders.csv", "ID,AMOUNT,NOTE\n1,1,a\n2,2,b\n3,,c\n4,6,d\n");
    dir.write("csv/notes.txt", "not a table\n");
    dir.write("csv/Returns.CSV", "ID\n1\n");
  }

  std::vector<std::string> Orders(std::vector<std::string> extra) {
    std::vector<std::string> args = {"--db", db, "--table", "ORDERS", "--progress", "never"};
    args.insert(args.begin(), extra.begin(), extra.end());
    return args;
  }

  TempDir dir;
  std::string db;
  std::string csv;
  const std::string weird = "net, \"q\"";
};

TEST_F(AnalystCommandTest, SeveralFieldsAreEachSummarizedAsTheirOwnComponentWould) {
  const CommandResult id = Sumora(Orders({"summarize", "--field", "ID"}));
  const CommandResult amount = Sumora(Orders({"summarize", "--field", "AMOUNT"}));
  const CommandResult both = Sumora(Orders({"summarize", "--field", "ID", "--field", "AMOUNT"}));
  ASSERT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(both.out, id.out + "\n" + amount.out);

  const CommandResult json = Sumora(Orders({"summarize", "--field", "ID", "--field", "AMOUNT", "--format", "json"}));
  ASSERT_EQ(json.status, 0) << json.err;
  const auto objects = nlohmann::json::parse(json.out);
  ASSERT_TRUE(objects.is_array());
  EXPECT_EQ(objects[0], nlohmann::json::parse(Sumora(Orders({"summarize", "--field", "ID", "--format", "json"})).out));
  EXPECT_EQ(objects[1]["StatFieldName"], "AMOUNT");

  // Every numeric field, in field order; the text field is left out.
  const CommandResult all = Sumora(Orders({"summarize", "--all-numeric", "--format", "json"}));
  ASSERT_EQ(all.status, 0) << all.err;
  std::vector<std::string> names;
  for (const auto& object : nlohmann::json::parse(all.out)) names.push_back(object["StatFieldName"]);
  EXPECT_EQ(names, (std::vector<std::string>{"ID", "AMOUNT", weird}));

  const CommandResult classes = Sumora(Orders({"classes", "--all-numeric", "--classes", "2"}));
  ASSERT_EQ(classes.status, 0) << classes.err;
  EXPECT_EQ(classes.out, Sumora(Orders({"classes", "--field", "ID", "--classes", "2"})).out + "\n" +
                             Sumora(Orders({"classes", "--field", "AMOUNT", "--classes", "2"})).out + "\n" +
                             Sumora(Orders({"classes", "--field", weird, "--classes", "2"})).out);
}

TEST_F(AnalystCommandTest, CsvHoldsTheJsonScalarsInJsonOrderAndTheClassRows) {
  const CommandResult csvRun = Sumora(Orders({"summarize", "--all-numeric", "--format", "csv"}));
  const CommandResult jsonRun = Sumora(Orders({"summarize", "--all-numeric", "--format", "json"}));
  ASSERT_EQ(csvRun.status, 0) << csvRun.err;
  const auto objects = nlohmann::ordered_json::parse(jsonRun.out);
  const auto records = ParseCsv(csvRun.out);
  ASSERT_EQ(records.size(), objects.size() + 1);
  std::vector<std::string> scalarKeys;
  for (const auto& [key, value] : objects[0].items()) {
    if (value.is_primitive()) scalarKeys.push_back(key);
  }
  EXPECT_EQ(records[0], scalarKeys);
  for (std::size_t row = 0; row < objects.size(); ++row) {
    for (std::size_t column = 0; column < scalarKeys.size(); ++column) {
      EXPECT_EQ(records[row + 1][column], CsvText(objects[row][scalarKeys[column]])) << scalarKeys[column];
    }
  }
  // The field name with a comma and quotes is quoted, its quotes doubled.
  EXPECT_NE(csvRun.out.find(",\"net, \"\"q\"\"\","), std::string::npos) << csvRun.out;

  const CommandResult classes =
      Sumora(Orders({"classes", "--field", "AMOUNT", "--field", weird, "--classes", "3", "--format", "csv"}));
  ASSERT_EQ(classes.status, 0) << classes.err;
  const auto rows = ParseCsv(classes.out);
  ASSERT_EQ(rows.size(), 1u + 2 * 3);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"field", "class", "start", "end", "count", "percent", "cumPercent"}));
  const auto amount = nlohmann::json::parse(
      Sumora(Orders({"summarize", "--field", "AMOUNT", "--classes", "3", "--format", "json"})).out);
  for (int classNo = 0; classNo < 3; ++classNo) {
    const auto& entry = amount["classes"][classNo];
    EXPECT_EQ(rows[1 + classNo], (std::vector<std::string>{"AMOUNT", CsvText(entry["class"]), CsvText(entry["start"]),
                                                           CsvText(entry["end"]), CsvText(entry["count"]),
                                                           CsvText(entry["percent"]), CsvText(entry["cumPercent"])}));
  }
  EXPECT_EQ(rows[4][0], weird);

  // Quantiles add one column each, named after the probability.
  const auto quantileArgs = Orders({"summarize", "--field", "AMOUNT", "--field", "ID", "--quantiles", "0.25,0.5"});
  auto csvArgs = quantileArgs;
  csvArgs.insert(csvArgs.end(), {"--format", "csv"});
  auto jsonArgs = quantileArgs;
  jsonArgs.insert(jsonArgs.end(), {"--format", "json"});
  const auto quantileRows = ParseCsv(Sumora(csvArgs).out);
  const auto quantileJson = nlohmann::json::parse(Sumora(jsonArgs).out);
  ASSERT_EQ(quantileRows.size(), 3u);
  const auto& header = quantileRows[0];
  ASSERT_GE(header.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(header.end() - 2, header.end()), (std::vector<std::string>{"q0.25", "q0.5"}));
  for (std::size_t field = 0; field < 2; ++field) {
    const auto& row = quantileRows[field + 1];
    EXPECT_EQ(row[row.size() - 2], CsvText(quantileJson[field]["quantiles"][0]["value"]));
    EXPECT_EQ(row[row.size() - 1], CsvText(quantileJson[field]["quantiles"][1]["value"]));
  }
}

TEST_F(AnalystCommandTest, OptionMistakesAreUsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           Orders({"classes", "--field", "ID", "--format", "json"}),
           Orders({"summarize", "--field", "ID", "--all-numeric"}),
           Orders({"show", "output", "--field", "ID", "--field", "AMOUNT", "--out", dir.file("x.png")}),
           Orders({"plot", "--all-numeric", "--kind", "histogram", "--out", dir.file("x.png")}),
           {"summarize", "--db", "-", "--sql", "SELECT 1", "--field", "V"},
           {"summarize", "--db", "-", "--table", "../up.csv", "--field", "V"},
           {"tables"}}) {
    const CommandResult run = Sumora(args);
    EXPECT_EQ(run.status, 2) << args[0] << " " << args[1] << ": " << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(AnalystCommandTest, TablesListsSqliteTablesAndViewsAndTheCsvFiles) {
  const CommandResult sqlite = Sumora({"tables", "--db", db});
  ASSERT_EQ(sqlite.status, 0) << sqlite.err;
  EXPECT_EQ(sqlite.out, "BIG_ORDERS\nKEYS\nORDERS\n");  // without SQLite's own sqlite_sequence
  const CommandResult csvDir = Sumora({"tables", "--db", (dir.path() / "csv").string()});
  ASSERT_EQ(csvDir.status, 0) << csvDir.err;
  EXPECT_EQ(csvDir.out, "Returns.CSV\norders.csv\n");
  EXPECT_EQ(Sumora({"tables", "--db", csv}).out, "orders.csv\n");  // a CSV file is its own one table
  const CommandResult missing = Sumora({"tables", "--db", dir.file("nowhere.sqlite")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
}

TEST_F(AnalystCommandTest, StandardInputIsOneCsvTableAndItsCopyIsRemovedOnEveryWayOut) {
  const std::string spoolRoot = dir.file("tmp");
  std::filesystem::create_directory(spoolRoot);
  const CommandSetup fromStdin{csv, "", {"TMPDIR=" + spoolRoot}};
  const auto leftovers = [&] {
    return std::distance(std::filesystem::directory_iterator(spoolRoot), std::filesystem::directory_iterator());
  };

  const CommandResult piped = Sumora({"summarize", "--db", "-", "--field", "AMOUNT", "--format", "json"}, fromStdin);
  ASSERT_EQ(piped.status, 0) << piped.err;
  const CommandResult fromFile = Sumora({"summarize", "--db", (dir.path() / "csv").string(), "--table", "orders.csv",
                                         "--field", "AMOUNT", "--format", "json"});
  auto a = nlohmann::json::parse(piped.out);
  auto b = nlohmann::json::parse(fromFile.out);
  EXPECT_EQ(a["source"], "stdin.csv");
  a.erase("source");
  a.erase("sourceText");
  b.erase("source");
  b.erase("sourceText");
  EXPECT_EQ(a, b);
  EXPECT_EQ(leftovers(), 0);

  const CommandResult named =
      Sumora({"summarize", "--db", "-", "--table", "sales.csv", "--all-numeric", "--format", "csv"}, fromStdin);
  ASSERT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(ParseCsv(named.out).size(), 3u);  // header, ID, AMOUNT: the input was read once
  EXPECT_EQ(ParseCsv(named.out)[1][1], "sales.csv");
  EXPECT_EQ(Sumora({"tables", "--db", "-"}, fromStdin).out, "stdin.csv\n");

  // The --csv-* options read standard input as they read a file.
  const std::string semicolons = dir.write("semicolons.txt", "ID;AMOUNT\n1;1,0\n2;2,0\n4;6,0\n");
  const CommandResult dialect = Sumora({"summarize", "--db", "-", "--csv-delimiter", ";", "--csv-decimal", ",",
                                        "--field", "AMOUNT", "--format", "json"},
                                       {semicolons, "", {"TMPDIR=" + spoolRoot}});
  ASSERT_EQ(dialect.status, 0) << dialect.err;
  EXPECT_EQ(nlohmann::json::parse(dialect.out)["dsTotal"], 9.0);

  const CommandResult failed = Sumora({"summarize", "--db", "-", "--field", "PRICE"}, fromStdin);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(leftovers(), 0);
}

// A signal that ends the program while it copies standard input (here: while it waits for more) removes
// the copy; past the file size limit the copy fails as an error and is removed too.
TEST_F(AnalystCommandTest, TheCopyOfStandardInputIsRemovedWhateverEndsTheProgram) {
  std::filesystem::create_directory(dir.path() / "tmp");
  std::string big = "V\n";
  for (int i = 0; i < 100000; ++i) big += "1\n";
  dir.write("big.csv", big);
  const std::string script = R"sh(cd "$1" && ulimit -c 0 && mkfifo in || exit 9
export TMPDIR="$PWD/tmp"
for sig in ALRM USR1 USR2 VTALRM PROF XCPU; do
  "$2" summarize --db - --field V <in &
  exec 3>in
  n=0
  while [ ! -e tmp/*/stdin.csv ] && [ $n -lt 1000 ]; do sleep 0.01; n=$((n + 1)); done
  kill -$sig $!
  wait $!
  echo "$sig $? $(ls -A tmp | wc -l)"
  exec 3>&-
done
(ulimit -f 64; exec "$2" summarize --db - --field V <big.csv)
echo "XFSZ $? $(ls -A tmp | wc -l)")sh";
  const CommandResult run = RunCommand("/bin/sh", {"-c", script, "sh", dir.path().string(), SUMORA_BINARY});
  std::string expected;
  for (const auto& [name, number] : std::vector<std::pair<std::string, int>>{
           {"ALRM", SIGALRM}, {"USR1", SIGUSR1}, {"USR2", SIGUSR2}, {"VTALRM", SIGVTALRM}, {"PROF", SIGPROF},
           {"XCPU", SIGXCPU}}) {
    expected += name + " " + std::to_string(128 + number) + " 0\n";
  }
  EXPECT_EQ(run.out, expected + "XFSZ 1 0\n") << run.err;
  EXPECT_NE(run.err.find("cannot copy standard input to a temporary file ("), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
}

TEST_F(AnalystCommandTest, AnUnknownFieldListsTheNumericFieldsUpToTwenty) {
  const CommandResult few = Sumora(Orders({"summarize", "--field", "PRICE"}));
  EXPECT_EQ(few.status, 1);
  EXPECT_EQ(few.err, "error: SumoraTable1: Field 'PRICE' not found; numeric fields: ID, AMOUNT, " + weird + "\n");

  std::string columns;
  std::string listed;
  for (int i = 1; i <= 25; ++i) {
    columns += (i > 1 ? ", C" : "C") + std::to_string(i) + " REAL";
    if (i <= 20) listed += (i > 1 ? ", C" : "C") + std::to_string(i);
  }
  ExecSql(db, "CREATE TABLE WIDE (" + columns + ", LABEL TEXT);");
  const CommandResult many = Sumora({"summarize", "--db", db, "--table", "WIDE", "--field", "LABEL2"});
  EXPECT_EQ(many.err, "error: SumoraTable1: Field 'LABEL2' not found; numeric fields: " + listed +
                          " and 5 more (sumora fields lists them all)\n");
}

// Splits text into its lines.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST_F(AnalystCommandTest, TableIsOneAlignedLinePerFieldInSignificantDigits) {
  const CommandResult table = Sumora(Orders({"summarize", "--all-numeric", "--format", "table"}));
  ASSERT_EQ(table.status, 0) << table.err;
  const auto lines = LinesOf(table.out);
  ASSERT_EQ(lines.size(), 5u) << table.out;  // header, ID, AMOUNT, the weird name, the footnote
  EXPECT_EQ(lines[0].rfind("field", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("  median*  "), std::string::npos) << lines[0];
  // The last column is right-aligned, so aligned rows are equally long; each column ends under its title.
  for (std::size_t row = 1; row <= 3; ++row) EXPECT_EQ(lines[row].size(), lines[0].size()) << lines[row];
  EXPECT_EQ(lines[4].rfind("* median of the stored values", 0), 0u) << lines[4];
  // Six significant digits by default: the weird field's mean 1.1875000025 and its minimum 1e-9.
  EXPECT_EQ(lines[3].rfind(weird + "  ", 0), 0u) << lines[3];
  EXPECT_NE(lines[3].find(" 1.1875 "), std::string::npos) << lines[3];
  EXPECT_NE(lines[3].find(" 1e-09 "), std::string::npos) << lines[3];
  const std::size_t meanEnd = lines[0].find("mean") + 4;
  EXPECT_EQ(lines[3].substr(meanEnd - 6, 6), "1.1875") << lines[3];

  // --quantiles gives exact quartile columns and no footnote; --digits 3 rounds every statistic.
  const CommandResult exact =
      Sumora(Orders({"summarize", "--field", weird, "--format", "table", "--quantiles", "--digits", "3"}));
  ASSERT_EQ(exact.status, 0) << exact.err;
  const auto exactLines = LinesOf(exact.out);
  ASSERT_EQ(exactLines.size(), 2u) << exact.out;
  EXPECT_LT(exactLines[0].find("  q1  "), exactLines[0].find("  median  ")) << exactLines[0];
  EXPECT_LT(exactLines[0].find("  median  "), exactLines[0].find("  q3  ")) << exactLines[0];
  EXPECT_EQ(exactLines[0].find('*'), std::string::npos) << exactLines[0];
  EXPECT_NE(exactLines[1].find(" 1.19 "), std::string::npos) << exactLines[1];

  // --digits reaches the text output and the class grid, whose defaults stay the windows' formats.
  EXPECT_NE(Sumora(Orders({"summarize", "--field", weird})).out.find("\nMean: 1.188\n"), std::string::npos);
  EXPECT_NE(Sumora(Orders({"summarize", "--field", weird, "--digits", "3"})).out.find("\nMean: 1.19\n"),
            std::string::npos);
  const auto classLines = LinesOf(Sumora(Orders({"classes", "--field", weird, "--classes", "2", "--digits", "3"})).out);
  ASSERT_GE(classLines.size(), 4u);
  EXPECT_EQ(classLines[3], "1\t-1.5\t1.5\t3\t75\t75");
  EXPECT_EQ(Sumora(Orders({"summarize", "--field", "ID", "--digits", "18"})).status, 2);
}

TEST_F(AnalystCommandTest, EveryCommandAnswersHelpWithItsOwnUsage) {
  for (const char* command : {"summarize", "classes", "fields", "describe", "tables", "show", "plot", "form", "gui",
                              "sample"}) {
    for (const char* flag : {"--help", "-h"}) {
      const CommandResult help = Sumora({command, flag});
      EXPECT_EQ(help.status, 0) << command << " " << flag << ": " << help.err;
      EXPECT_EQ(help.out.rfind(std::string("usage: sumora ") + command + " ", 0), 0u) << help.out;
      EXPECT_EQ(help.err, "");
    }
  }
  EXPECT_NE(Sumora({"summarize", "--help"}).out.find("--csv-delimiter C  one character, tab, or whitespace"),
            std::string::npos);
}

TEST_F(AnalystCommandTest, HelpListsTheNewOptions) {
  const CommandResult help = Sumora({"--help"});
  for (const char* part : {"--all-numeric", "--format text|json|csv", "[--format text|csv]", "tables    --db DB",
                           "- for one\nCSV table read from standard input", "--field may be repeated"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace sumora::test

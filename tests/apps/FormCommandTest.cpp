// `sumora form save` and the --form binding, run as a user runs them: the built binary on SQLite files
// the test makes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/TempDir.h"

namespace sumora {
namespace {

using test::ExecSql;
using test::TempDir;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class FormCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = dir_.file("orders.sqlite");
    ExecSql(db_,
            "CREATE TABLE ORDERS (ID INTEGER, AMOUNT REAL, REGION TEXT);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
            " INSERT INTO ORDERS SELECT i, (i * 37 % 101) * 1.25 + i / 7.0, 'R' || (i % 4) FROM n;");
  }

  // Runs sumora with `args` (already quoted for the shell), stdin from /dev/null.
  Result Sumora(const std::string& args) {
    const std::string out = dir_.file("stdout.txt");
    const std::string err = dir_.file("stderr.txt");
    const std::string command =
        std::string("'") + SUMORA_BINARY + "' " + args + " </dev/null >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Slurp(out);
    result.err = Slurp(err);
    return result;
  }

  TempDir dir_;
  std::string db_;
};

TEST_F(FormCommandTest, SavedTableFormPrintsExactlyWhatTheOptionsPrint) {
  const std::string form = dir_.file("table.form.json");
  const std::string binding = "--db '" + db_ + "' --table ORDERS --field AMOUNT --scale-by 0.5 --classes 7"
                              " --plot-count 120 --progress never";
  ASSERT_EQ(Sumora("form save '" + form + "' " + binding).status, 0);
  const std::string stored = Slurp(form);
  for (const char* property : {"\"TableName\": \"ORDERS\"", "\"ScaleBy\": 0.5", "\"FreqClasses\": 7",
                               "\"RecordPlotCount\": 120", "\"ShowCalcProgress\": \"Never\""}) {
    EXPECT_NE(stored.find(property), std::string::npos) << property << " not in\n" << stored;
  }
  for (const char* command : {"summarize", "summarize --format json", "classes"}) {
    const Result fromOptions = Sumora(std::string(command) + " " + binding);
    const Result fromForm = Sumora(std::string(command) + " --form '" + form + "'");
    ASSERT_EQ(fromOptions.status, 0) << command << ": " << fromOptions.err;
    ASSERT_EQ(fromForm.status, 0) << command << ": " << fromForm.err;
    EXPECT_FALSE(fromOptions.out.empty());
    EXPECT_EQ(fromForm.out, fromOptions.out) << command;
  }
}

TEST_F(FormCommandTest, SavedQueryFormIsFoundByComponentNameAndTakesExtraOptions) {
  const std::string form = dir_.file("query.form.json");
  const std::string sql = "--sql 'SELECT AMOUNT, ID FROM ORDERS WHERE REGION <> '\\''R1'\\'''";
  ASSERT_EQ(Sumora("form save '" + form + "' --db '" + db_ + "' " + sql + " --field AMOUNT").status, 0);
  const Result fromOptions = Sumora("summarize --db '" + db_ + "' " + sql + " --field ID --progress never");
  const Result fromForm =
      Sumora("summarize --form '" + form + "' --component SumoraQuery1 --field ID --progress never");
  ASSERT_EQ(fromForm.status, 0) << fromForm.err;
  EXPECT_EQ(fromForm.out, fromOptions.out);

  const Result missing = Sumora("summarize --form '" + form + "' --component Nobody");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(form), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("Nobody"), std::string::npos) << missing.err;
}

TEST_F(FormCommandTest, BrokenFormFilesExitOneNamingTheFile) {
  const std::string badJson = dir_.write("bad.form.json", "{\"format\": \"sumora-form\", ");
  const std::string badType = dir_.write(
      "type.form.json",
      R"({"format": "sumora-form", "version": 1, "components": [{"class": "TSumoraTable", "name": "T",)"
      R"( "properties": {"FreqClasses": "ten"}}]})");
  const std::string missing = dir_.file("missing.form.json");
  for (const auto& form : {badJson, badType, missing}) {
    const Result result = Sumora("summarize --form '" + form + "' --field AMOUNT");
    EXPECT_EQ(result.status, 1) << form;
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_NE(result.err.find(form), std::string::npos) << result.err;
  }
  const Result typeError = Sumora("classes --form '" + badType + "' --field AMOUNT");
  EXPECT_NE(typeError.err.find("FreqClasses"), std::string::npos) << typeError.err;
}

TEST_F(FormCommandTest, FormsTravelWithTheirDatabase) {
  // Saved next to its database: the path is stored relative to the form's folder, so the pair can
  // move together and be used from any directory.
  const std::string form = dir_.file("travel.form.json");
  ASSERT_EQ(Sumora("form save '" + form + "' --db '" + db_ + "' --table ORDERS --field AMOUNT").status, 0);
  EXPECT_NE(Slurp(form).find("\"DatabaseName\": \"orders.sqlite\""), std::string::npos) << Slurp(form);
  const Result before = Sumora("summarize --form '" + form + "'");
  const auto moved = dir_.path() / "moved";
  std::filesystem::create_directory(moved);
  std::filesystem::rename(form, moved / "travel.form.json");
  std::filesystem::rename(db_, moved / "orders.sqlite");
  const Result after = Sumora("summarize --form '" + (moved / "travel.form.json").string() + "'");
  ASSERT_EQ(after.status, 0) << after.err;
  EXPECT_EQ(after.out, before.out);

  // A database outside the form's folder is stored absolute; a relative --db means the current
  // directory's file.
  std::filesystem::create_directory(moved / "forms");
  const std::string command = "cd '" + moved.string() + "' && '" + SUMORA_BINARY +
                              "' form save forms/outside.form.json --db orders.sqlite --table ORDERS";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string outside = Slurp((moved / "forms" / "outside.form.json").string());
  EXPECT_NE(outside.find("\"DatabaseName\": \"" + (moved / "orders.sqlite").string() + "\""), std::string::npos)
      << outside;
}

TEST_F(FormCommandTest, CsvOptionsTravelAsWrittenNotAsPathParts) {
  // A headerless file split at runs of blanks, with null texts that look like paths.
  dir_.write("runs.csv", "1  N//A\n2 \t 4\n3   ../x\n5 6\n");
  const std::string form = dir_.file("runs.form.json");
  const std::string binding = "--db '" + dir_.file("runs.csv") +
                              "' --csv-delimiter whitespace --csv-header none --csv-na 'N//A,../x' --field column_2";
  ASSERT_EQ(Sumora("form save '" + form + "' " + binding).status, 0);
  EXPECT_NE(Slurp(form).find("\"DatabaseName\": \"runs.csv?delimiter=whitespace&na=N//A,../x&header=none\""),
            std::string::npos)
      << Slurp(form);
  const Result fromOptions = Sumora("summarize --format json " + binding);
  const Result fromForm = Sumora("summarize --format json --form '" + form + "'");
  ASSERT_EQ(fromOptions.status, 0) << fromOptions.err;
  EXPECT_NE(fromOptions.out.find("\"dsDataCount\":2,"), std::string::npos) << fromOptions.out;
  EXPECT_EQ(fromForm.out, fromOptions.out);
}

TEST_F(FormCommandTest, FormAndBindingOptionsDoNotMix) {
  const std::string form = dir_.file("f.form.json");
  ASSERT_EQ(Sumora("form save '" + form + "' --db '" + db_ + "' --table ORDERS").status, 0);
  EXPECT_EQ(Sumora("summarize --form '" + form + "' --db '" + db_ + "' --field AMOUNT").status, 2);
  EXPECT_EQ(Sumora("summarize --component X --db '" + db_ + "' --table ORDERS --field AMOUNT").status, 2);
  // The stored component has no StatFieldName, so summarize needs --field.
  EXPECT_EQ(Sumora("summarize --form '" + form + "'").status, 2);
}

}  // namespace
}  // namespace sumora

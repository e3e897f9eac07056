// `summarize --quantiles`: the exact quantiles in each output format, and the usage errors of the
// option, through the built command on real SQLite and CSV files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

class QuantileCommandTest : public ::testing::Test {
 protected:
  CommandResult Sumora(std::vector<std::string> args) {
    args.insert(args.begin(), {"summarize", "--field", "V", "--progress", "never"});
    return RunCommand(SUMORA_BINARY, args);
  }
  void SetUp() override {
    db = dir.file("v.sqlite");
    ExecSql(db,
            "CREATE TABLE T (V REAL); INSERT INTO T VALUES (6), (1), (NULL), (2), (-4), (2.5);"
            "CREATE TABLE EMPTY (V REAL); INSERT INTO EMPTY VALUES (NULL), (NULL);");
    dir.write("t.csv", "V\n6\n1\n\n2\n-4\n2.5\n");
  }
  TempDir dir;
  std::string db;
};

TEST_F(QuantileCommandTest, TextAppendsOneLinePerQuantileAfterTheSummary) {
  for (const std::vector<std::string>& binding :
       {std::vector<std::string>{"--db", db, "--table", "T"}, {"--db", dir.path().string(), "--table", "t.csv"}}) {
    std::vector<std::string> args = binding;
    args.push_back("--quantiles");  // last, with no list: the quartiles
    CommandResult run = Sumora(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Kurtosis: "), std::string::npos);
    const std::string tail = run.out.substr(run.out.find("Kurtosis: "));
    EXPECT_EQ(tail.substr(tail.find('\n') + 1), "Quantile 0.25: 1.000\nQuantile 0.5: 2.000\nQuantile 0.75: 2.500\n");
  }
}

TEST_F(QuantileCommandTest, JsonListsTheQuantilesInTheOrderAskedWithTheMedianOfAllValues) {
  CommandResult run = Sumora({"--db", db, "--table", "T", "--quantiles", "0.9, 0.1,1", "--format", "json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  const std::vector<std::pair<double, double>> expected = {{0.9, 4.6}, {0.1, -2.0}, {1.0, 6.0}};
  ASSERT_EQ(json["quantiles"].size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(json["quantiles"][i]["p"], expected[i].first);
    EXPECT_NEAR(json["quantiles"][i]["value"].get<double>(), expected[i].second, 1e-15 * 6);
  }
  EXPECT_EQ(json["medianAll"], 2.0);
  CommandResult plain = Sumora({"--db", db, "--table", "T", "--format", "json"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_FALSE(nlohmann::json::parse(plain.out).contains("medianAll"));
}

// Probabilities are read as numbers are read everywhere: a sign, an exponent, an underflow to zero.
TEST_F(QuantileCommandTest, SignedAndTinyProbabilitiesAreNumbers) {
  CommandResult run = Sumora({"--db", db, "--table", "T", "--quantiles=-0,+0.5,1e-400"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(run.out.find("Quantile ")), "Quantile 0: -4.000\nQuantile 0.5: 2.000\nQuantile 0: -4.000\n");
}

TEST_F(QuantileCommandTest, ABadListIsAUsageErrorAndNoValuesTheSummarysError) {
  for (const std::string list : {"1.5", "-0.1", "abc", "0.1,,0.5", "nan", ""}) {
    CommandResult run = Sumora({"--db", db, "--table", "T", "--quantiles=" + list});
    EXPECT_EQ(run.status, 2) << list;
    EXPECT_NE(run.err.find("--quantiles takes probabilities from 0 to 1"), std::string::npos) << run.err;
  }
  EXPECT_EQ(Sumora({"--db", db, "--table", "T", "--quantiles", "--quantiles", "0.5"}).status, 2);
  CommandResult empty = Sumora({"--db", db, "--table", "EMPTY", "--quantiles"});
  CommandResult summary = Sumora({"--db", db, "--table", "EMPTY"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, summary.err);
  EXPECT_EQ(empty.out, "");
}

}  // namespace
}  // namespace sumora::test

// The summary table of `summarize --format table` built from summary objects as the command makes
// them, including the keys a grouped or partly failing run adds.
#include "apps/sumora/TableOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sumora::cli {
namespace {

using Json = nlohmann::ordered_json;

Json Summary(const std::string& field, double mean, const char* skewSign) {
  return {{"StatFieldName", field}, {"dsDataCount", 4},  {"dsMean", mean},      {"dsStdDev", 0.5},
          {"dsMin", 1},             {"dsMax", 3},        {"dsMedian", 2},       {"dsSkew", 0.25},
          {"dsSkewSign", skewSign}, {"dsKurtosis", nullptr}};
}

TEST(TableOutputTest, GroupsComeFirstAndErrorsNullsAndMissingStatisticsHaveTheirCells) {
  Json north = Summary("AMOUNT", 2.0, "(-)");
  north["groupBy"] = "REGION";
  north["group"] = "North";
  north["nullCount"] = 1;
  Json south = {{"StatFieldName", "AMOUNT"}, {"groupBy", "REGION"}, {"group", "South\x1b[2J"},
                {"error", "Field 'AMOUNT' has no values"}};
  Json west = Summary("AMOUNT", 123456.789, "(+)");
  west["groupBy"] = "REGION";
  west["group"] = 7;
  EXPECT_EQ(SummaryTable({north, south, west}, 4),
            "REGION        field   count  nulls       mean  std dev  min  median*  max  skewness  kurtosis\n"
            "North         AMOUNT      4      1          2      0.5    1        2    3     -0.25         -\n"
            "South\\x1b[2J  AMOUNT  error: Field 'AMOUNT' has no values\n"
            "7             AMOUNT      4         1.235e+05      0.5    1        2    3      0.25         -\n"
            "* median of the stored values (up to 10000 per field); --quantiles gives exact quartiles\n");
}

}  // namespace
}  // namespace sumora::cli

// Binding a component to a PostgreSQL source and comparing a streaming summary with a server-side one by
// the results contract: counts, extremes, classes, stored values and median identical; sums within 1e-9.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "tests/pg/PgTestServer.h"

namespace sumora::test {

// One way of binding a component: a table or a query, with its field and properties.
struct Source {
  std::string table;  // empty: a query
  std::string sql;
  std::string field;
  double scaleBy = 1.0;
  int classes = 10;
};

inline std::unique_ptr<TSumoraStats> Bind(const Source& source, bool serverSide, const std::string& url = PgTestUrl()) {
  std::unique_ptr<TSumoraStats> stats;
  if (!source.table.empty()) {
    auto table = std::make_unique<TSumoraTable>();
    table->SetDatabaseName(url);
    table->SetTableName(source.table);
    table->Open();
    stats = std::move(table);
  } else {
    auto query = std::make_unique<TSumoraQuery>();
    query->SetDatabaseName(url);
    query->SQL().SetText(source.sql);
    query->Open();
    stats = std::move(query);
  }
  stats->SetStatFieldName(source.field);
  stats->SetdsScaleFactor(source.scaleBy);
  stats->SetdsFreqClasses(static_cast<std::uint16_t>(source.classes));
  stats->SetShowCalcProgress(TBoolPlus::Never);
  stats->SetServerSide(serverSide);
  return stats;
}

// The error a summary ends with ("" when it succeeds).
inline std::string SummaryError(TSumoraStats& stats) {
  try {
    stats.Summarize();
    stats.GetdsCoeffVariation();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

// Each source bound twice, streaming and server-side, and both summarized without error; `check` then
// compares the two.
template <typename Check>
void ForStreamedAndAggregated(const std::vector<Source>& sources, Check&& check) {
  for (const Source& source : sources) {
    SCOPED_TRACE(source.table + source.sql + " " + source.field);
    auto streamed = Bind(source, false);
    auto aggregated = Bind(source, true);
    ASSERT_EQ(SummaryError(*streamed), "");
    ASSERT_EQ(SummaryError(*aggregated), "");
    check(*streamed, *aggregated);
  }
}

// Within 1e-9 of the larger of the value and its natural scale: a third moment near zero is rounding
// noise of terms of the size of sigma^3 in either path, so it is held to that size.
inline void ExpectClose(double expected, double actual, const char* what, double scale = 0.0) {
  const double tolerance = 1e-9 * std::max(std::fabs(expected), scale);
  EXPECT_LE(std::fabs(expected - actual), tolerance) << what << ": " << expected << " vs " << actual;
}

// The results contract between a streaming and a server-side summary of the same rows.
inline void ExpectSameResults(TSumoraStats& streamed, TSumoraStats& aggregated) {
  EXPECT_EQ(streamed.GetdsDataCount(), aggregated.GetdsDataCount());
  EXPECT_EQ(streamed.dsMin(), aggregated.dsMin());
  EXPECT_EQ(streamed.dsMax(), aggregated.dsMax());
  EXPECT_EQ(streamed.GetdsRange(), aggregated.GetdsRange());
  EXPECT_EQ(streamed.GetdsMedian(), aggregated.GetdsMedian());
  EXPECT_EQ(streamed.GetdsMode(), aggregated.GetdsMode());
  EXPECT_EQ(streamed.GetdsModeClass(), aggregated.GetdsModeClass());
  EXPECT_EQ(streamed.GetdsSkewSign(), aggregated.GetdsSkewSign());
  for (int classNo = 1; classNo <= MaxFreqClasses + 1; ++classNo) {
    EXPECT_EQ(streamed.GetdsClassStart(classNo), aggregated.GetdsClassStart(classNo)) << "class " << classNo;
    EXPECT_EQ(streamed.GetdsClassCount(classNo), aggregated.GetdsClassCount(classNo)) << "class " << classNo;
    EXPECT_EQ(streamed.GetdsClassPercent(classNo), aggregated.GetdsClassPercent(classNo)) << "class " << classNo;
  }
  for (int recordNo = 1; recordNo <= MaxStoredValues; ++recordNo) {
    ASSERT_EQ(streamed.GetdsValue(recordNo), aggregated.GetdsValue(recordNo)) << "stored value " << recordNo;
  }
  ExpectClose(streamed.GetdsTotal(), aggregated.GetdsTotal(), "total");
  ExpectClose(streamed.GetdsMean(), aggregated.GetdsMean(), "mean");
  ExpectClose(streamed.GetdsVariance(), aggregated.GetdsVariance(), "variance");
  const double variance = streamed.GetdsVariance();
  ExpectClose(streamed.GetdsMu3(), aggregated.GetdsMu3(), "third moment", std::pow(variance, 1.5));
  ExpectClose(streamed.GetdsMu4(), aggregated.GetdsMu4(), "fourth moment");
  // The squared skewness, as the square root the third moment's scale bounds.
  ExpectClose(std::sqrt(streamed.GetdsSkew()), std::sqrt(aggregated.GetdsSkew()), "skewness", 1.0);
  ExpectClose(streamed.GetdsKurtosis(), aggregated.GetdsKurtosis(), "kurtosis");
  ExpectClose(streamed.dsCoeffVariationValue(), aggregated.dsCoeffVariationValue(), "coefficient of variation");
}

}  // namespace sumora::test

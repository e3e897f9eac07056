// Server-side mode: the sums of both passes computed by the server give the results a pass over every
// record gives (counts, extremes, classes, stored values and median identical; sums within 1e-9
// relative), and every failure ends the summary the way it ends a streaming one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "dataset/ValueText.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "tests/pg/PgTestServer.h"
#include "tests/pg/SummaryCompare.h"
#include "tests/support/ScriptedHost.h"

namespace sumora {
namespace {

using test::Bind;
using test::ExpectSameResults;
using test::PgTestUrl;
using test::Source;
using test::SummaryError;

class PgServerSideTest : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_PG_SERVER(); }
  test::ScriptedHost host_;
};

TEST_F(PgServerSideTest, SameResultsAsStreamingForEveryNumericType) {
  const std::vector<Source> sources = {
      {"series", "", "amount", 1.0, 25},
      {"", "SELECT amount FROM series WHERE id % 3 <> 0", "amount", -2.5, 7},
      {"kinds", "", "i4", 1.0, 10},
      {"kinds", "", "i8", 1e6, 13},
      {"kinds", "", "f4", 1.0, 10},
      {"kinds", "", "f8", 3.0, 100},
      {"kinds", "", "num", 1.0, 10},
      {"kinds", "", "cash", 0.01, 1},
      {"sales.orders", "", "amount", 1.0, 10},
      {"", "SELECT amount AS v, amount * 2 AS v FROM series", "v", 1.0, 10},  // two columns of one name
      {"", "SELECT amount FROM series; -- every row", "amount", 1.0, 10},      // a comment after the statement
      {"regions", "", "x", 1.0, 10},                                           // partitioned: leaf by leaf
  };
  test::ForStreamedAndAggregated(sources, ExpectSameResults);
}

// A partitioned table is summed leaf by leaf only when that gives the rows its parent gives the user: not
// for a role that may read the parent alone, nor under the parent's row-security policy.
TEST_F(PgServerSideTest, PartitionsGiveExactlyTheRowsTheParentGivesTheUser) {
  const std::string url = test::WithUrlParameter(PgTestUrl(), "user", "sumora_parent_only");
  const struct {
    Source source;
    int count;
  } cases[] = {{{"regions", "", "x", 1.0, 10}, 5035}, {{"secured", "", "x", 1.0, 10}, 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source.table);
    auto streamed = Bind(c.source, false, url);
    auto aggregated = Bind(c.source, true, url);
    ASSERT_EQ(SummaryError(*streamed), "");
    ASSERT_EQ(SummaryError(*aggregated), "");
    EXPECT_EQ(aggregated->GetdsDataCount(), c.count);
    ExpectSameResults(*streamed, *aggregated);
  }
}

// Even where the server would share the work between parallel workers, one table gives one answer to the
// last bit, run after run; and no scan starts where another session's scan of the table is.
TEST_F(PgServerSideTest, OneTableGivesOneAnswerRunAfterRun) {
  const std::string eager = test::WithUrlParameter(
      PgTestUrl(), "options",
      "-c%20min_parallel_table_scan_size%3D0%20-c%20parallel_setup_cost%3D0%20-c%20parallel_tuple_cost%3D0");
  std::vector<double> totals;
  std::vector<double> variances;
  for (int run = 0; run < 3; ++run) {
    auto stats = Bind({"series", "", "amount", 1.0, 10}, true, eager);
    ASSERT_EQ(SummaryError(*stats), "");
    totals.push_back(stats->GetdsTotal());
    variances.push_back(stats->GetdsVariance());
  }
  EXPECT_EQ(totals, std::vector<double>(3, totals.front()));
  EXPECT_EQ(variances, std::vector<double>(3, variances.front()));
  TQuery setting;
  setting.SetDatabaseName(PgTestUrl());
  setting.SQL().SetText("SELECT current_setting('synchronize_seqscans') AS s");
  setting.Open();
  EXPECT_EQ(setting.FieldByName("s").AsString(), "off");
}

// Values placed exactly on every class edge and one ulp below it: the server's class rule must put each
// where a pass puts it. Added between the extremes, they leave the class bounds unchanged.
TEST_F(PgServerSideTest, ValuesOnClassEdgesLandInTheSameClasses) {
  const Source extremes{"", "SELECT * FROM (VALUES (0.0::float8), (1.0)) AS t(v)", "v", 1.0, 9};
  auto bounds = Bind(extremes, false);
  ASSERT_EQ(SummaryError(*bounds), "");
  std::string values = "(0::float8), (1)";
  for (int classNo = 1; classNo <= 9; ++classNo) {
    for (double edge : {bounds->GetdsClassStart(classNo), bounds->GetdsClassEnd(classNo)}) {
      for (double value : {edge, std::nextafter(edge, -1.0), std::nextafter(edge, 2.0)}) {
        if (value >= 0.0 && value <= 1.0) values += ", ('" + FloatToText(value) + "')";
      }
    }
  }
  const Source edges{"", "SELECT * FROM (VALUES " + values + ") AS t(v)", "v", 1.0, 9};
  auto streamed = Bind(edges, false);
  auto aggregated = Bind(edges, true);
  ASSERT_EQ(SummaryError(*streamed), "");
  ASSERT_EQ(SummaryError(*aggregated), "");
  EXPECT_GT(streamed->GetdsDataCount(), 40);
  ExpectSameResults(*streamed, *aggregated);
  // A range a few ulps wide: the class bounds round onto each other, yet every value has its class.
  const Source ulps{"", "SELECT * FROM (VALUES (1::float8), (1.0000000000000002), (1.0000000000000004)) AS t(v)",
                    "v", 1.0, 10};
  auto narrowStreamed = Bind(ulps, false);
  auto narrowAggregated = Bind(ulps, true);
  ASSERT_EQ(SummaryError(*narrowStreamed), "");
  ASSERT_EQ(SummaryError(*narrowAggregated), "");
  EXPECT_EQ(narrowAggregated->GetdsClassCount(11), 3u);
  ExpectSameResults(*narrowStreamed, *narrowAggregated);
}

TEST_F(PgServerSideTest, BadInputEndsAsItDoesWhenStreaming) {
  const Source cases[] = {
      {"readings", "", "label", 1.0, 10},      // text that is no number
      {"readings", "", "price_x", 1.0, 10},    // no such field
      {"extremes", "", "x", 1.0, 10},          // +Inf at record 2
      {"extremes", "", "y", 1.0, 10},          // numeric -Inf at record 3
      {"too_large", "", "x", 1.0, 10},         // a total beyond the doubles
      {"too_large", "", "tiny", 1.0, 10},      // a numeric below the smallest double reads as 0
      {"empty_table", "", "v", 1.0, 10},       // no values
      {"", "SELECT 1.5::float8 AS v", "v", 1.0, 10},  // one value
      {"kinds", "", "i4", 1.0, 0},             // no classes
  };
  for (const Source& source : cases) {
    SCOPED_TRACE(source.table + source.sql + " " + source.field);
    auto streamed = Bind(source, false);
    auto aggregated = Bind(source, true);
    const std::string expected = SummaryError(*streamed);
    EXPECT_EQ(SummaryError(*aggregated), expected);
    EXPECT_EQ(aggregated->dsLoadedFlag(), streamed->dsLoadedFlag());
    EXPECT_EQ(aggregated->VarianceCalculated(), streamed->VarianceCalculated());
    if (expected.empty()) ExpectSameResults(*streamed, *aggregated);
  }
}

// Failures of the aggregate statements themselves: the server's words, the flags as before the failing
// step, and the next summary works once the cause is gone.
TEST_F(PgServerSideTest, ServerFailuresLeaveTheComponentReadyForTheNextTry) {
  const std::string applicationName = "sumora_aggregate_" + std::to_string(getpid());
  const std::string url = test::WithUrlParameter(PgTestUrl(), "application_name", applicationName);
  const Source slow{"", "SELECT amount, pg_sleep(CASE WHEN id = 50000 THEN 3 ELSE 0 END) FROM series", "amount", 1.0, 10};

  // The connection ends while the loading statement runs.
  auto lost = Bind(slow, true, url);
  test::PgAdmin admin;
  std::thread killer([&] {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (admin.Value("SELECT count(*) FROM pg_stat_activity WHERE application_name = '" + applicationName +
                      "' AND query LIKE '%count(*) AS n%'") == "1") {
        admin.TerminateSessions(applicationName);
        return;
      }
    }
  });
  std::string message = SummaryError(*lost);
  killer.join();
  EXPECT_NE(message.find("terminating connection due to administrator command"), std::string::npos) << message;
  EXPECT_FALSE(lost->dsLoadedFlag());
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);

  // A statement timeout the server enforces.
  const Source timed{"", slow.sql, "amount", 1.0, 10};
  auto limited = Bind(timed, true, test::WithUrlParameter(PgTestUrl(), "options", "-c%20statement_timeout%3D1000"));
  message = SummaryError(*limited);
  EXPECT_NE(message.find("canceling statement due to statement timeout"), std::string::npos) << message;
  EXPECT_FALSE(limited->dsLoadedFlag());

  // The same component, same open dataset, with the cause gone.
  auto* query = dynamic_cast<TSumoraQuery*>(lost.get());
  ASSERT_NE(query, nullptr);
  query->Close();
  query->SQL().SetText("SELECT amount FROM series");
  query->Open();
  EXPECT_EQ(SummaryError(*lost), "");
  auto streamed = Bind({"series", "", "amount", 1.0, 10}, false);
  ASSERT_EQ(SummaryError(*streamed), "");
  ExpectSameResults(*streamed, *lost);
}

TEST_F(PgServerSideTest, ProgressShowsEachPassStartingAndEnding) {
  auto stats = Bind({"series", "", "amount", 1.0, 10}, true);
  stats->SetShowCalcProgress(TBoolPlus::Always);
  ASSERT_EQ(SummaryError(*stats), "");
  std::vector<std::pair<GaugeKind, double>> gauges;
  for (const auto& call : host_.progressCalls) {
    if (call.op == "progress") gauges.emplace_back(call.kind, call.fraction);
  }
  const std::vector<std::pair<GaugeKind, double>> expected = {
      {GaugeKind::Horizontal, 0.0}, {GaugeKind::Horizontal, 1.0}, {GaugeKind::Round, 0.0}, {GaugeKind::Round, 1.0}};
  EXPECT_EQ(gauges, expected);
}

}  // namespace
}  // namespace sumora

// Exact quantiles where the data lives: in server-side mode the selection's passes are counts the
// server makes between thresholds, and the quantiles equal those of a pass over every record.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/pg/SummaryCompare.h"
#include "tests/support/ScriptedHost.h"

namespace sumora {
namespace {

using test::Source;

TEST(PgQuantileTest, ServerSideQuantilesEqualStreamingOnesAndOnlyCountsTravel) {
  SKIP_WITHOUT_PG_SERVER();
  test::ScriptedHost host;
  const std::vector<double> ps = {0.0, 0.1, 0.25, 0.5, 0.75, 0.9, 1.0};
  const std::vector<Source> sources = {
      {"series", "", "amount", 1.0, 10},
      {"", "SELECT amount FROM series WHERE id % 3 <> 0", "amount", -2.5, 10},
      {"kinds", "", "i4", 1.0, 10},
      {"kinds", "", "i8", 1e6, 10},
      {"kinds", "", "f8", 3.0, 10},
      {"kinds", "", "cash", 0.01, 10},
  };
  test::ForStreamedAndAggregated(sources, [&](TSumoraStats& streamed, TSumoraStats& counted) {
    const std::vector<double> expected = streamed.GetdsQuantiles(ps);
    host.progressCalls.clear();
    EXPECT_EQ(counted.GetdsQuantiles(ps), expected);
    // A counted pass reports its start and its end, never a record.
    const int passes = counted.QuantilePasses();
    EXPECT_GE(passes, 1);
    EXPECT_EQ(host.ProgressOnly().size(), 2u * static_cast<std::size_t>(passes));
  });
}

// Thousands of probabilities: passes with more thresholds than a statement takes read the records, so the
// whole costs about what streaming costs (it took minutes when every threshold went to the server).
TEST(PgQuantileTest, ManyProbabilitiesCostAboutWhatStreamingCosts) {
  SKIP_WITHOUT_PG_SERVER();
  test::ScriptedHost host;
  std::vector<double> ps;
  for (int i = 0; i < 2000; ++i) ps.push_back((i + 0.5) / 2000);
  test::ForStreamedAndAggregated({{"series", "", "amount", 1.0, 10}}, [&](TSumoraStats& streamed, TSumoraStats& counted) {
    const std::vector<double> expected = streamed.GetdsQuantiles(ps);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(counted.GetdsQuantiles(ps), expected);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
  });
}

}  // namespace
}  // namespace sumora

// A partitioned table whose partitions are foreign tables on two other servers (tests/pg/sharded-cluster.sh
// starts the three servers and runs this program): the server-side summary equals a streaming summary of
// the same rows in one local table, and the coordinator's plans show each partition's aggregate sent whole
// to its shard, both shards working at once. Skipped when no cluster was started.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/SmrFieldSet.h"
#include "tests/pg/SummaryCompare.h"
#include "tests/support/ScriptedHost.h"

namespace sumora {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TEST(PgShardedTest, AggregatesRunOnTheShardsAndAgreeWithOneLocalTable) {
  const std::string url = Environment("SUMORA_PG_CLUSTER_URL");
  if (url.empty()) GTEST_SKIP() << "No cluster: tests/pg/sharded-cluster.sh starts one and runs this test";
  test::ScriptedHost host;
  auto sharded = test::Bind({"measurements", "", "amount", 1.0, 20}, true, url);
  auto local = test::Bind({"measurements_local", "", "amount", 1.0, 20}, false, url);
  ASSERT_EQ(test::SummaryError(*sharded), "");
  ASSERT_EQ(test::SummaryError(*local), "");
  EXPECT_EQ(sharded->GetdsDataCount(), 980000);
  test::ExpectSameResults(*local, *sharded);

  // The whole-table passes (every field of a table in one statement per pass) are shipped too.
  TSumoraTable table;
  table.SetDatabaseName(url);
  table.SetTableName("measurements");
  table.SetShowCalcProgress(TBoolPlus::Never);
  table.SetdsFreqClasses(20);
  table.SetServerSide(true);
  table.Open();
  TSumoraFieldSet wholeTable(table);
  wholeTable.SetFieldNames({"amount"});
  wholeTable.Summarize();
  ASSERT_EQ(wholeTable.Groups().size(), 1u);
  const FieldStatistics& whole = wholeTable.Groups()[0].fields[0].statistics;
  EXPECT_EQ(whole.Count(), local->GetdsDataCount());
  for (int c = 1; c <= 20; ++c) EXPECT_EQ(whole.ClassCount(c), local->GetdsClassCount(c)) << "class " << c;
  test::ExpectClose(local->GetdsVariance(), whole.Variance(), "variance");
  test::ExpectClose(local->GetdsMu4(), whole.Mu4(), "fourth moment");

  std::ifstream logFile(Environment("SUMORA_PG_CLUSTER_LOG"));
  std::stringstream log;
  log << logFile.rdbuf();
  const std::string plans = log.str();
  // Per partition and run: the loading pass's and the moment pass's aggregates, each shipped as a whole.
  for (const char* partition : {"measurements_p1", "measurements_p2"}) {
    const std::string relation = std::string("Relations: Aggregate on (public.") + partition + ")";
    std::size_t shipped = 0;
    for (std::size_t at = plans.find(relation); at != std::string::npos; at = plans.find(relation, at + 1)) ++shipped;
    EXPECT_EQ(shipped, 4u) << partition;
  }
  // Each shard's part carries its number, by which the coordinator adds the parts in one order.
  for (const char* part : {"0", "1"}) {
    EXPECT_NE(plans.find(std::string("Remote SQL: SELECT ") + part + ", count(*), sum(amount)"), std::string::npos);
    EXPECT_NE(plans.find(std::string("Remote SQL: SELECT ") + part + ", width_bucket(amount,"), std::string::npos);
    EXPECT_NE(plans.find(std::string("Remote SQL: SELECT ") + part + ", 0::double precision, count(*), count(amount)"),
              std::string::npos);
    EXPECT_NE(plans.find(std::string("Remote SQL: SELECT ") + part + ", 1::bigint, count(amount), sum("), std::string::npos);
  }
  // Both foreign scans of a statement run at once.
  std::size_t async = 0;
  for (std::size_t at = plans.find("Async Foreign Scan"); at != std::string::npos; at = plans.find("Async Foreign Scan", at + 1)) {
    ++async;
  }
  EXPECT_GE(async, 8u);
  // No plan brings the partitions' rows to the coordinator to aggregate them there.
  EXPECT_EQ(plans.find("Remote SQL: SELECT amount FROM public.measurements_shard WHERE"), std::string::npos);
}

}  // namespace
}  // namespace sumora

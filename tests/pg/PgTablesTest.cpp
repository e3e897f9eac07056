// Listing a PostgreSQL database's tables (`sumora tables`) against the throwaway test server.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dataset/Drivers.h"
#include "tests/pg/PgTestServer.h"

namespace sumora::test {
namespace {

bool Holds(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(PgTablesTest, TablesAndViewsOnTheSearchPathAreListedSortedByName) {
  SKIP_WITHOUT_PG_SERVER();
  PgAdmin admin;
  ASSERT_TRUE(admin.Connected());
  admin.Value("CREATE OR REPLACE VIEW listed_view AS SELECT 1 AS v; SELECT 1");
  const std::vector<std::string> names = ListTables(PgTestUrl());
  admin.Value("DROP VIEW listed_view; SELECT 1");

  for (const char* expected : {"readings", "MixedCase", "it's", "we\"ird; DROP TABLE readings; --", "listed_view"}) {
    EXPECT_TRUE(Holds(names, expected)) << expected;
  }
  // sales is not on the search path; a sequence is no table; the system catalogues are left out.
  for (const char* unexpected : {"orders", "counter", "pg_class", "tables"}) {
    EXPECT_FALSE(Holds(names, unexpected)) << unexpected;
  }
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

}  // namespace
}  // namespace sumora::test

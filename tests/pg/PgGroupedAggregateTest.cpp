// Several columns per group summed by the server (TotalsOf, DeviationsOf) against the same sums over the
// records the cursor reads: groups and counts, extremes and classes identical, sums within 1e-9 of the
// sum of their terms' magnitudes; the same answer twice; exactly the rows the user may read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dataset/AggregatingSource.h"
#include "dataset/Drivers.h"
#include "dataset/RecordSource.h"
#include "dataset/drivers/pg/PgAggregation.h"
#include "tests/pg/PgTestServer.h"

namespace sumora {
namespace {

struct Case {
  const char* what;
  std::string table;  // empty: `sql`
  std::string sql;
  std::vector<int> columns;
  int group = -1;
  double scaleBy = 1.0;
  std::string user;  // empty: the test server's own
  std::size_t thresholds = 0;  // of each column but the last; 0: one to three, by group and column
};

// The sums of one group's column over the records, with the classes of `thresholds`.
struct Reference {
  ValueTotals totals;
  DeviationSums sums;
  double magnitudes[3] = {0, 0, 0};  // sums of |d|^2, |d|^3, |d|^4: the scale of their rounding
};

GroupKey KeyOf(RecordSource& source, int group, bool numericGroup) {
  if (group < 0 || source.IsNull(group)) return GroupKey::Null();
  return numericGroup ? GroupKey::Of(source.AsFloat(group)) : GroupKey::Of(source.AsString(group));
}

bool Numeric(TFieldType type) {
  return type == TFieldType::ftSmallint || type == TFieldType::ftInteger || type == TFieldType::ftLargeint ||
         type == TFieldType::ftFloat || type == TFieldType::ftCurrency;
}

// `count` thresholds evenly inside the group's range.
std::vector<double> ThresholdsFor(const ValueTotals& totals, std::size_t count) {
  std::vector<double> thresholds;
  if (totals.count == 0) return thresholds;
  const double step = (totals.max - totals.min) / static_cast<double>(count + 1);
  for (std::size_t k = 1; k <= count; ++k) thresholds.push_back(totals.min + static_cast<double>(k) * step);
  return thresholds;
}

void ExpectWithin(double expected, double actual, double magnitude, const char* what) {
  EXPECT_LE(std::fabs(expected - actual), 1e-9 * std::max(magnitude, std::fabs(expected))) << what;
}

TEST(PgGroupedAggregateTest, GroupsOfSeveralColumnsAgreeWithTheRecords) {
  SKIP_WITHOUT_PG_SERVER();
  const std::string asParentOnly = "sumora_parent_only";
  const Case cases[] = {
      {"text groups with null and 'nan' keys, partitioned", "regions", "", {1, 2, 3, 4}, 0, 1.0, ""},
      {"numeric groups, scaled", "regions", "", {2, 3}, 1, -2.5, ""},
      {"no groups", "regions", "", {2, 4}, -1, 1.0, ""},
      {"a query whose columns share a name", "", "SELECT x AS v, y AS v, region FROM regions", {0, 1}, 2, 1.0, ""},
      {"boolean groups", "", "SELECT n > 3 AS big, x FROM regions", {1}, 0, 1.0, ""},
      {"keys that array text would misread, padded", "",
       "SELECT x, (CASE n WHEN 1 THEN 'a\"b\\c{,}' WHEN 2 THEN 'NULL' ELSE 'x' END)::char(9) AS k FROM regions", {0}, 1,
       1.0, ""},
      {"SELECT on the parent only", "regions", "", {2}, 0, 1.0, asParentOnly},
      {"row security on the parent", "secured", "", {1}, 0, 1.0, asParentOnly},
      {"fields counted by unfolding (too many thresholds) beside one without", "regions", "", {2, 3, 4}, 0, 1.0, "",
       pg::Aggregation::kMaxCountedThresholds + 50},
      {"more fields of thresholds than one statement's row may hold", "",
       "SELECT region, x AS a, x AS b, x AS c, x AS d, x AS e, x AS f, x AS g, x AS h, x AS i, x AS j, x AS k, x AS l, "
       "x AS m, x AS n, x AS o, x AS p, x AS q, x AS r, x AS s FROM regions",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, 0, 1.0, "", pg::Aggregation::kMaxCountedThresholds - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string url = c.user.empty() ? test::PgTestUrl() : test::WithUrlParameter(test::PgTestUrl(), "user", c.user);
    std::unique_ptr<RecordSource> source = c.table.empty() ? OpenPgQuery(url, c.sql) : OpenPgTable(url, c.table);
    const bool numericGroup = c.group >= 0 && Numeric(source->Fields()[static_cast<std::size_t>(c.group)].type);
    std::map<GroupKey, std::vector<Reference>> expected;
    for (source->First(); !source->Eof(); source->Next()) {
      std::vector<Reference>& group = expected[KeyOf(*source, c.group, numericGroup)];
      group.resize(c.columns.size());
      for (std::size_t i = 0; i < c.columns.size(); ++i) {
        if (source->IsNull(c.columns[i])) continue;
        const double x = source->AsFloat(c.columns[i]) / c.scaleBy;
        ValueTotals& totals = group[i].totals;
        totals.min = totals.count == 0 ? x : std::min(totals.min, x);
        totals.max = totals.count == 0 ? x : std::max(totals.max, x);
        totals.total += x;
        ++totals.count;
      }
    }
    AggregatingSource* aggregation = source->Aggregation(c.columns.front());
    ASSERT_NE(aggregation, nullptr);
    const auto totals = aggregation->TotalsOf(c.columns, c.group, c.scaleBy);
    ASSERT_TRUE(totals.has_value());
    ASSERT_EQ(totals->size(), expected.size());
    std::vector<GroupDeviationRequest> requests;
    auto want = expected.begin();
    for (const GroupTotals& group : *totals) {
      EXPECT_EQ(group.key, c.group < 0 ? GroupKey::Null() : want->first);
      GroupDeviationRequest request{group.key, {}};
      for (std::size_t i = 0; i < c.columns.size(); ++i) {
        const ValueTotals& mine = want->second[i].totals;
        EXPECT_EQ(group.columns[i].count, mine.count);
        if (mine.count == 0) continue;
        EXPECT_EQ(group.columns[i].min, mine.min);
        EXPECT_EQ(group.columns[i].max, mine.max);
        ExpectWithin(mine.total, group.columns[i].total, 0.0, "total");
        // Cells of one column with fewer thresholds than others, and a last column of one class.
        const std::size_t count =
            i + 1 == c.columns.size() ? 0 : c.thresholds > 0 ? c.thresholds : 1 + (requests.size() + i) % 3;
        request.columns.push_back({mine.total / static_cast<double>(mine.count), ThresholdsFor(mine, count)});
      }
      request.columns.resize(c.columns.size());
      requests.push_back(std::move(request));
      ++want;
    }
    // The same table, the same answer, to the last bit.
    const auto again = aggregation->TotalsOf(c.columns, c.group, c.scaleBy);
    ASSERT_TRUE(again.has_value());
    for (std::size_t g = 0; g < totals->size(); ++g) {
      for (std::size_t i = 0; i < c.columns.size(); ++i) EXPECT_EQ((*again)[g].columns[i].total, (*totals)[g].columns[i].total);
    }

    // The deviation pass over the records, with each group's means and thresholds.
    std::map<GroupKey, std::size_t> index;
    for (std::size_t g = 0; g < requests.size(); ++g) index[requests[g].key] = g;
    std::vector<std::vector<Reference>> reference(requests.size(), std::vector<Reference>(c.columns.size()));
    for (source->First(); !source->Eof(); source->Next()) {
      const std::size_t g = index.at(c.group < 0 ? GroupKey::Null() : KeyOf(*source, c.group, numericGroup));
      for (std::size_t i = 0; i < c.columns.size(); ++i) {
        if (source->IsNull(c.columns[i])) continue;
        const double x = source->AsFloat(c.columns[i]) / c.scaleBy;
        const DeviationRequest& cell = requests[g].columns[i];
        Reference& r = reference[g][i];
        r.sums.classCounts.resize(cell.thresholds.size() + 1);
        ++r.sums.classCounts[static_cast<std::size_t>(std::upper_bound(cell.thresholds.begin(), cell.thresholds.end(), x) -
                                                      cell.thresholds.begin())];
        const double d = x - cell.mean;
        r.sums.squares += d * d;
        r.sums.cubes += d * d * d;
        r.sums.fourths += (d * d) * (d * d);
        r.magnitudes[0] += d * d;
        r.magnitudes[1] += std::fabs(d * d * d);
        r.magnitudes[2] += (d * d) * (d * d);
        ++r.sums.count;
      }
    }
    const auto deviations = aggregation->DeviationsOf(c.columns, c.group, c.scaleBy, requests);
    ASSERT_TRUE(deviations.has_value());
    ASSERT_EQ(deviations->size(), requests.size());
    for (std::size_t g = 0; g < requests.size(); ++g) {
      EXPECT_EQ((*deviations)[g].key, requests[g].key);
      for (std::size_t i = 0; i < c.columns.size(); ++i) {
        const Reference& r = reference[g][i];
        const DeviationSums& sums = (*deviations)[g].columns[i];
        EXPECT_EQ(sums.count, r.sums.count);
        if (r.sums.count == 0) continue;
        EXPECT_EQ(sums.classCounts, r.sums.classCounts);
        ExpectWithin(r.sums.squares, sums.squares, r.magnitudes[0], "squares");
        ExpectWithin(r.sums.cubes, sums.cubes, r.magnitudes[1], "cubes");
        ExpectWithin(r.sums.fourths, sums.fourths, r.magnitudes[2], "fourths");
      }
    }
  }
}

}  // namespace
}  // namespace sumora

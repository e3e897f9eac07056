// The radix selection against a sorted copy, with limits small enough that every data set needs
// several histogram passes, collections and single-key buckets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "host/Errors.h"
#include "toolkit/RadixSelect.h"

namespace sumora {
namespace {

using Data = std::vector<double>;

// Runs passes until every wanted rank is found, feeding `data` each time: value by value, or, every
// other pass, in runs of varied length.
void RunPasses(RadixSelect& select, const Data& data) {
  for (int guard = 0; select.NeedsPass(); ++guard) {
    ASSERT_LT(guard, 70) << "the selection does not converge";
    select.BeginPass();
    if (guard % 2 == 0) {
      for (double x : data) select.Add(x);
    } else {
      for (std::size_t at = 0, run = 1; at < data.size(); at += run, run = run * 7 % 101 + 1) {
        select.AddAll(data.data() + at, std::min(run, data.size() - at));
      }
    }
    select.EndPass();
  }
}

struct DataSet {
  const char* name;
  Data values;
};

std::vector<DataSet> DataSets() {
  std::mt19937_64 random(7);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::cauchy_distribution<double> cauchy(0.0, 1.0);
  Data ties, negative, heavy, zeros, mixedScale;
  for (int i = 0; i < 5000; ++i) {
    ties.push_back(static_cast<double>(i % 7));
    negative.push_back(-std::exp(normal(random)) * 100);
    heavy.push_back(cauchy(random));
    zeros.push_back(i % 3 == 0 ? -0.0 : (i % 3 == 1 ? 0.0 : (i % 2 ? 1e-300 : -1e-300)));
    mixedScale.push_back(std::ldexp(normal(random), static_cast<int>(i % 200) - 100));
  }
  heavy.push_back(std::numeric_limits<double>::max());
  heavy.push_back(-std::numeric_limits<double>::max());
  return {{"ties", ties},       {"negative", negative},     {"heavyTails", heavy},
          {"signedZeros", zeros}, {"mixedScale", mixedScale}, {"oneDistinct", Data(3001, -2.5)},
          {"oneValue", Data{4.0}},  {"two", Data{1.0, -1.0}}};
}

TEST(RadixSelectTest, EveryRankEqualsTheSortedCopyUnderTightLimits) {
  for (const RadixSelect::Limits limits : {RadixSelect::Limits{64, 16}, RadixSelect::Limits{1024, 600}}) {
    for (const DataSet& set : DataSets()) {
      SCOPED_TRACE(set.name);
      Data sorted = set.values;
      std::sort(sorted.begin(), sorted.end());
      const auto n = static_cast<std::int64_t>(sorted.size());
      RadixSelect select(n, sorted.front(), sorted.back(), limits);
      const std::vector<std::int64_t> ranks = {0, n / 4, n / 2, (n - 1) / 2, 3 * n / 4, n - 1};
      select.Want(ranks);
      RunPasses(select, set.values);
      for (std::int64_t rank : ranks) {
        EXPECT_EQ(select.ValueAt(rank), sorted[static_cast<std::size_t>(rank)]) << "rank " << rank;
        EXPECT_FALSE(std::signbit(select.ValueAt(rank)) && select.ValueAt(rank) == 0.0) << "-0 reads as +0";
      }
    }
  }
}

// Passes made where the data lives count the values between thresholds, as width_bucket does; a
// sample of the values as hints lets repeated values be found without narrowing to their last bit.
TEST(RadixSelectTest, CountingPassesBetweenThresholdsFindEveryRank) {
  for (bool hinted : {false, true}) {
    for (const DataSet& set : DataSets()) {
      SCOPED_TRACE(std::string(set.name) + (hinted ? " with hints" : ""));
      Data sorted = set.values;
      std::sort(sorted.begin(), sorted.end());
      const auto n = static_cast<std::int64_t>(sorted.size());
      RadixSelect select(n, sorted.front(), sorted.back(), {64, 16, 64});
      if (hinted) select.SetHints(Data(set.values.begin(), set.values.begin() + std::min<std::int64_t>(n, 500)));
      const std::vector<std::int64_t> ranks = {0, n / 4, n / 2, (n - 1) / 2, n - 1};
      select.Want(ranks);
      for (int guard = 0; select.NeedsPass(); ++guard) {
        ASSERT_LT(guard, 70) << "the selection does not converge";
        const Data thresholds = select.BeginThresholdPass();
        ASSERT_TRUE(std::adjacent_find(thresholds.begin(), thresholds.end(), std::greater_equal<>()) ==
                    thresholds.end()) << "strictly ascending";
        std::vector<std::int64_t> classes(thresholds.size() + 1, 0);
        for (double x : set.values) ++classes[std::upper_bound(thresholds.begin(), thresholds.end(), x) - thresholds.begin()];
        select.EndThresholdPass(classes);
      }
      for (std::int64_t rank : ranks) EXPECT_EQ(select.ValueAt(rank), sorted[static_cast<std::size_t>(rank)]) << rank;
      if (hinted && std::string(set.name) == "ties") {
        EXPECT_EQ(select.Passes(), 1);
      }
    }
  }
}

TEST(RadixSelectTest, AFirstPassTakenBeforeAnyRankServesLaterRequests) {
  std::mt19937_64 random(3);
  std::lognormal_distribution<double> lognormal(3.5, 1.0);
  Data data(20000);
  for (double& x : data) x = std::round(lognormal(random) * 100) / 100;
  Data sorted = data;
  std::sort(sorted.begin(), sorted.end());
  // Bounded by the extremes, or over every key before the count is known (as in a loading pass).
  for (RadixSelect select : {RadixSelect(20000, sorted.front(), sorted.back(), {4096, 2000}),
                             RadixSelect::OverAllKeys(25000, {4096, 2000})}) {
    EXPECT_TRUE(select.NeedsPass());
    select.BeginPass();
    for (double x : data) select.Add(x);
    select.EndPass();
    EXPECT_FALSE(select.NeedsPass());
    EXPECT_EQ(select.Count(), 20000);
    for (std::int64_t rank : {4999, 10000, 15000}) {
      const int before = select.Passes();
      select.Want({rank});
      RunPasses(select, data);
      EXPECT_EQ(select.ValueAt(rank), sorted[static_cast<std::size_t>(rank)]);
      select.Want({rank});
      EXPECT_FALSE(select.NeedsPass()) << "a rank once found costs no pass";
      EXPECT_LE(select.Passes() - before, 3);
    }
  }
}

TEST(RadixSelectTest, ValuesThatChangeBetweenPassesAreAnError) {
  Data data;
  for (int i = 0; i < 1000; ++i) data.push_back(i);
  RadixSelect select(1000, 0, 999, {64, 16});
  select.Want({500});
  select.BeginPass();
  for (double x : data) select.Add(x);
  select.EndPass();
  data.pop_back();
  select.BeginPass();
  for (double x : data) select.Add(x == 500 ? 400 : x);
  EXPECT_THROW(select.EndPass(), EMathError);
}

TEST(RadixSelectTest, InterpolationStaysExactAtItsEdges) {
  const QuantileRanks last = RanksOf(1.0, 5);
  EXPECT_EQ(last.lower, 4);
  EXPECT_EQ(last.upper, 4);
  EXPECT_EQ(Interpolate(2.5, 3.5, 0.5), 3.0);       // an even count's median is the middle pair's mean
  EXPECT_EQ(Interpolate(7.0, 7.0, 0.3), 7.0);       // equal neighbours give themselves
  EXPECT_EQ(Interpolate(-1e308, 1e308, 0.5), 0.0);  // no overflow between extreme neighbours
}

}  // namespace
}  // namespace sumora

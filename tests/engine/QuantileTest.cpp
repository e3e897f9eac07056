// Exact quantiles of every value over real SQLite and CSV files, against NumPy's default percentile
// written out from its definition on a sorted copy.
#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>

#include "host/Errors.h"
#include "tests/engine/EngineFixture.h"

namespace sumora::test {
namespace {

// numpy.percentile(values, 100 p) with the default (linear) method.
double NumpyPercentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const double h = (static_cast<double>(values.size()) - 1) * p;
  const auto lower = static_cast<std::size_t>(std::floor(h));
  const std::size_t upper = std::min(lower + 1, values.size() - 1);
  const double t = h - std::floor(h);
  const double a = values[lower], b = values[upper];
  return t >= 0.5 ? b - (b - a) * (1 - t) : a + (b - a) * t;
}

std::vector<double> NonNull(const Values& values, double scaleBy) {
  std::vector<double> result;
  for (const auto& v : values) {
    if (v) result.push_back(*v / scaleBy);
  }
  return result;
}

struct Case {
  const char* name;
  Values values;
  double scaleBy = 1.0;
};

std::vector<Case> Cases() {
  std::mt19937_64 random(11);
  std::cauchy_distribution<double> cauchy(5.0, 2.0);
  std::lognormal_distribution<double> lognormal(3.5, 1.0);
  Values ties, heavy, nulls, negative, zeros;
  for (int i = 0; i < 12001; ++i) {  // odd, and above the 10000 stored values
    ties.push_back(static_cast<double>(i % 5) - 2);
    heavy.push_back(cauchy(random));
    nulls.push_back(i % 4 == 0 ? std::nullopt : std::optional<double>(std::round(lognormal(random) * 100) / 100));
  }
  for (int i = 0; i < 1000; ++i) {  // even
    negative.push_back(-lognormal(random));
    zeros.push_back(i % 3 == 0 ? -0.0 : (i % 3 == 1 ? 0.0 : (i % 2 ? 1.5 : -1.5)));
  }
  return {{"ties", ties},
          {"heavyTails", heavy},
          {"nulls", nulls},
          {"negativeEven", negative},
          {"negativeScale", negative, -0.25},
          {"signedZeros", zeros},
          {"oneDistinct", Values(1001, 3.25)},
          {"oneValue", Values{std::nullopt, 42.0}}};
}

void ExpectNumpyQuantiles(TSumoraStats& stats, const std::vector<double>& expected, const char* name) {
  const std::vector<double> ps = {0.25, 0.5, 0.75, 0.0, 1.0, 0.1, 0.999};
  const std::vector<double> got = stats.GetdsQuantiles(ps);
  ASSERT_EQ(got.size(), ps.size());
  for (std::size_t i = 0; i < ps.size(); ++i) {
    const double want = NumpyPercentile(expected, ps[i]);
    EXPECT_NEAR(got[i], want, std::fabs(want) * 1e-15) << name << " p=" << ps[i];
  }
}

TEST_F(EngineTest, QuantilesEqualNumpysPercentileOnSqliteAndCsv) {
  for (const Case& c : Cases()) {
    const std::vector<double> expected = NonNull(c.values, c.scaleBy);
    auto table = TableOver(c.values);
    table->SetdsScaleFactor(c.scaleBy);
    ExpectNumpyQuantiles(*table, expected, c.name);

    std::ostringstream csv;
    csv.precision(17);
    csv << "V\n";
    for (const auto& v : c.values) {
      if (v) csv << *v;
      csv << "\n";
    }
    dir.write(std::string(c.name) + ".csv", csv.str());
    TSumoraTable csvTable;
    csvTable.SetDatabaseName(dir.path().string());
    csvTable.SetTableName(std::string(c.name) + ".csv");
    csvTable.SetStatFieldName("V");
    csvTable.SetShowCalcProgress(TBoolPlus::Never);
    csvTable.SetdsScaleFactor(c.scaleBy);
    csvTable.Open();
    ExpectNumpyQuantiles(csvTable, expected, c.name);
  }
}

TEST_F(EngineTest, TheMedianOfAllValuesLeavesTheStoredValuesMedianAsItWas) {
  Values values = Sequence(12000, 12000, -1);  // 12000 down to 1
  auto table = TableOver(values);
  table->Summarize();
  EXPECT_DOUBLE_EQ(table->GetdsQuantile(0.5), 6000.5);
  EXPECT_DOUBLE_EQ(table->GetdsMedian(), 7000.5);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Median is calculated based on\n\ronly the first 10000 records.");
}

TEST_F(EngineTest, QuantilePassesAreCachedUntilInitializeAndAPreparedSummaryTakesThemAlong) {
  const Values values = Sequence(3000, -1.5, 0.5);
  auto table = TableOver(values);
  table->Summarize();
  table->GetdsQuantiles({0.25, 0.75});
  EXPECT_EQ(table->QuantilePasses(), 1);
  EXPECT_DOUBLE_EQ(table->GetdsQuantile(0.3), NumpyPercentile(NonNull(values, 1), 0.3));
  EXPECT_EQ(table->QuantilePasses(), 1) << "a small field is collected whole in one pass";

  table->PrepareQuantiles({0.5});
  table->Summarize();
  EXPECT_EQ(table->QuantilePasses(), 1) << "the loading pass took the selection's pass";
  host.progressCalls.clear();
  EXPECT_DOUBLE_EQ(table->GetdsQuantile(0.5), 748.25);
  EXPECT_TRUE(host.progressCalls.empty()) << "no further pass";

  table->PrepareQuantiles({});
  table->Summarize();
  EXPECT_EQ(table->QuantilePasses(), 0);
}

TEST_F(EngineTest, EachQuantilePassShowsItsProgress) {
  auto table = TableOver(Sequence(20), TBoolPlus::Always);
  table->GetdsLoaded();
  host.progressCalls.clear();
  table->GetdsQuantile(0.5);
  std::vector<std::string> texts;
  for (const ProgressCall& call : host.ProgressOnly()) texts.push_back(call.text);
  ASSERT_EQ(texts.size(), 20u);
  EXPECT_EQ(texts.front(), "Calculating Quantiles (pass 1)");
  EXPECT_EQ(host.DialogsShown(), 1);
  EXPECT_EQ(host.DialogsLive(), 0);
}

TEST_F(EngineTest, QuantilesRefuseABadProbabilityAndAFieldWithoutValues) {
  auto table = TableOver({1, 2, 3});
  for (double p : {-0.01, 1.5, std::nan("")}) EXPECT_THROW(table->GetdsQuantile(p), EMathError) << p;
  auto empty = TableOver({std::nullopt, std::nullopt});
  try {
    empty->GetdsQuantile(0.5);
    FAIL() << "no values must be an error";
  } catch (const EMathError& error) {
    EXPECT_STREQ(error.what(), "Field 'V' has no values");
  }
}

}  // namespace
}  // namespace sumora::test

// Variance, third and fourth moments, skewness, kurtosis and the coefficient of variation: the
// combined pass, the single-purpose passes, their progress and their division errors.
#include <cmath>
#include <random>

#include "host/Errors.h"
#include "tests/engine/EngineFixture.h"

namespace sumora::test {
namespace {

TEST_F(EngineTest, OneToFiveGivesTheTextbookMoments) {
  auto table = TableOver({1, 2, 3, 4, 5});
  table->Summarize();
  EXPECT_NEAR(table->GetdsVariance(), 2.5, 1e-12);
  EXPECT_NEAR(table->GetdsStdDev(), 1.58113883, 1e-8);
  EXPECT_NEAR(table->GetdsMu3(), 0.0, 1e-12);
  EXPECT_NEAR(table->GetdsSkew(), 0.0, 1e-12);
  EXPECT_NEAR(table->GetdsMu4(), 8.5, 1e-12);
  EXPECT_NEAR(table->GetdsKurtosis(), 1.36, 1e-12);
  EXPECT_NEAR(table->GetdsCoeffVariation(), 52.7046277, 1e-7);
}

TEST_F(EngineTest, OneTwoSixIsRightSkewedAndItsMirrorLeftSkewed) {
  auto table = TableOver({1, 2, 6});
  table->Summarize();
  EXPECT_NEAR(table->GetdsMean(), 3.0, 1e-12);
  EXPECT_NEAR(table->GetdsVariance(), 7.0, 1e-12);
  EXPECT_NEAR(table->GetdsMu3(), 9.0, 1e-12);
  EXPECT_NEAR(table->GetdsSkew(), 81.0 / 343.0, 1e-12);
  EXPECT_EQ(table->GetdsSkewSign(), "(+)");
  EXPECT_NEAR(table->GetdsMu4(), 49.0, 1e-11);
  EXPECT_NEAR(table->GetdsKurtosis(), 1.0, 1e-12);
  EXPECT_NEAR(table->GetdsCoeffVariation(), 88.1917104, 1e-7);
  const double skew = table->GetdsSkew();

  auto mirrored = TableOver({-6, -2, -1});
  mirrored->Summarize();
  EXPECT_NEAR(mirrored->GetdsSkew(), skew, 1e-12);
  EXPECT_GE(mirrored->GetdsSkew(), 0.0);
  EXPECT_EQ(mirrored->GetdsSkewSign(), "(-)");
}

TEST_F(EngineTest, TheCombinedPassFeedsThePieWithTheCountBeforeEachValue) {
  auto table = TableOver({1, std::nullopt, 2, 6}, TBoolPlus::Always);
  table->GetdsMean();
  host.progressCalls.clear();
  table->CalculateMoments();
  auto progress = host.ProgressOnly();
  ASSERT_EQ(progress.size(), 3u);
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].kind, GaugeKind::Round);
    EXPECT_EQ(progress[i].text, "Calculating Variance, Skew, Kurtosis");
    EXPECT_DOUBLE_EQ(progress[i].fraction, static_cast<double>(i) / 4);
  }
  EXPECT_EQ(host.progressCalls[1].text, "Summary of T V");
}

TEST_F(EngineTest, SinglePurposePassesRunOnlyWhenTheirResultIsNotCurrent) {
  auto table = TableOver({1, 2, 6}, TBoolPlus::Always);
  table->Initialize();
  table->GetdsMean();
  host.progressCalls.clear();
  const double variance = table->GetdsVariance();
  EXPECT_NEAR(variance, 7.0, 1e-12);
  EXPECT_NEAR(table->GetdsSkew(), 81.0 / 343.0, 1e-12);
  EXPECT_NEAR(table->GetdsKurtosis(), 1.0, 1e-12);
  std::vector<std::string> messages;
  for (const auto& call : host.ProgressOnly()) {
    if (messages.empty() || messages.back() != call.text) messages.push_back(call.text);
  }
  EXPECT_EQ(messages, (std::vector<std::string>{"Calculating Variance", "Calculating Skewness", "Calculating Kurtosis"}));
  // The variance pass counts the classes too.
  EXPECT_EQ(table->GetdsClassCount(table->FreqClasses() + 1), 3u);

  const int dialogs = host.DialogsCreated();
  host.cursorChanges.clear();
  EXPECT_EQ(table->GetdsSkew(), table->dsSkewValue());
  EXPECT_EQ(host.DialogsCreated(), dialogs);
  EXPECT_EQ(host.cursorChanges, std::vector<TCursor>{TCursor::crDefault});
}

TEST_F(EngineTest, TheVariancePassAndTheCombinedPassAgreeToRounding) {
  auto table = TableOver({0.1, 0.7, 3.3, 9.1, 2.2});
  table->Summarize();
  const double combined = table->dsVarianceValue();
  table->Initialize();
  table->GetdsMean();
  EXPECT_NEAR(table->GetdsVariance(), combined, 1e-14 * combined);
}

TEST_F(EngineTest, AFieldWithoutAnyValueSaysSoInsteadOfAVarianceOrSkewnessMessage) {
  for (const Values& values : {Values{}, Values{std::nullopt, std::nullopt}}) {
    auto table = TableOver(values);
    try {
      table->Summarize();
      FAIL() << values.size() << " records without a value cannot be summarized";
    } catch (const ENoValues& e) {
      EXPECT_STREQ(e.what(), "Field 'V' has no values");
    }
    EXPECT_FALSE(table->dsLoadedFlag());
    EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
    EXPECT_EQ(host.DialogsLive(), 0);
  }
}

TEST_F(EngineTest, DivisionsByZeroRaiseAnArithmeticErrorNamingWhatFailed) {
  auto one = TableOver({5});
  try {
    one->Summarize();
    FAIL() << "a single value cannot give a variance";
  } catch (const EMathError& e) {
    EXPECT_STREQ(e.what(), "Variance needs at least two values");
  }
  EXPECT_FALSE(one->VarianceCalculated());

  auto equal = TableOver({4, 4, 4});
  try {
    equal->Summarize();
    FAIL() << "equal values have no skewness";
  } catch (const EMathError& e) {
    EXPECT_STREQ(e.what(), "Skewness is undefined: the variance is zero");
  }
  // Fields assigned before the failing division keep their values; the flags stay false.
  EXPECT_EQ(equal->dsVarianceValue(), 0.0);
  EXPECT_FALSE(equal->VarianceCalculated());
  EXPECT_FALSE(equal->SkewCalculated());
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  EXPECT_EQ(host.DialogsLive(), 0);

  auto centred = TableOver({-1, 1, -2, 2});
  centred->Summarize();
  EXPECT_THROW(centred->GetdsCoeffVariation(), EMathError);
}

TEST_F(EngineTest, SkewnessBeforeTheMeanAndVarianceUsesTheFieldsAsTheyStand) {
  auto table = TableOver({1, 2, 6});
  table->Initialize();
  // A new component: the variance is zero, so the skewness cannot be formed.
  EXPECT_THROW(table->GetdsSkew(), EMathError);
  EXPECT_FALSE(table->SkewCalculated());
}

// Independent reference: long double sums over the same values.
struct Reference {
  long double mean = 0, variance = 0, mu3 = 0, mu4 = 0;
};

Reference ComputeReference(const Values& values) {
  long double sum = 0;
  long double count = 0;
  for (const auto& v : values) {
    if (v) {
      sum += *v;
      ++count;
    }
  }
  Reference r;
  r.mean = sum / count;
  long double s2 = 0, s3 = 0, s4 = 0;
  for (const auto& v : values) {
    if (!v) continue;
    long double d = *v - r.mean;
    s2 += d * d;
    s3 += d * d * d;
    s4 += d * d * d * d;
  }
  r.variance = s2 / (count - 1);
  r.mu3 = s3 / (count - 1);
  r.mu4 = s4 / (count - 1);
  return r;
}

TEST_F(EngineTest, MomentsOfRandomDataWithNullsMatchAnIndependentComputation) {
  std::mt19937_64 random(20261208);
  std::lognormal_distribution<double> amount(3.0, 0.8);
  std::uniform_real_distribution<double> unit(0, 1);
  Values values;
  for (int i = 0; i < 20000; ++i) {
    values.push_back(unit(random) < 0.05 ? std::nullopt : std::optional<double>(amount(random)));
  }
  auto table = TableOver(values);
  table->Summarize();
  Reference r = ComputeReference(values);
  EXPECT_NEAR(table->GetdsMean(), static_cast<double>(r.mean), 1e-12 * std::fabs(static_cast<double>(r.mean)));
  EXPECT_NEAR(table->GetdsVariance(), static_cast<double>(r.variance), 1e-10 * static_cast<double>(r.variance));
  EXPECT_NEAR(table->GetdsMu3(), static_cast<double>(r.mu3), 1e-9 * std::fabs(static_cast<double>(r.mu3)));
  EXPECT_NEAR(table->GetdsMu4(), static_cast<double>(r.mu4), 1e-9 * static_cast<double>(r.mu4));
  const double skew = static_cast<double>(r.mu3 * r.mu3 / (r.variance * r.variance * r.variance));
  EXPECT_NEAR(table->GetdsSkew(), skew, 1e-8 * skew);
}

TEST_F(EngineTest, VarianceSurvivesALargeOffset) {
  // 1e7 + 0.1, 0.2, 0.3 repeated: the deviations are computed from the mean, so the variance keeps
  // eight and more significant digits where a naive sum of squares would lose them all.
  Values values;
  for (int i = 0; i < 3000; ++i) values.push_back(1e7 + 0.1 * (i % 3 + 1));
  auto table = TableOver(values);
  table->Summarize();
  Reference r = ComputeReference(values);
  EXPECT_NEAR(table->GetdsVariance(), static_cast<double>(r.variance), 1e-8 * static_cast<double>(r.variance));
  EXPECT_NEAR(table->GetdsVariance(), 0.01 * 3000 * 2 / 3 / 2999, 1e-8);
}

}  // namespace
}  // namespace sumora::test

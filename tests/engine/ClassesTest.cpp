// Frequency classes: bounds, counting, percentages, the mode and the slot getters.
#include <cmath>

#include "host/Errors.h"
#include "tests/engine/EngineFixture.h"

namespace sumora::test {
namespace {

TEST_F(EngineTest, FourClassesOverZeroAndTen) {
  auto table = TableOver({0, 10});
  table->SetdsFreqClasses(4);
  table->Summarize();
  const double bounds[] = {-1.5625, 1.5625, 4.6875, 7.8125, 10.9375};
  for (int i = 1; i <= 4; ++i) {
    EXPECT_DOUBLE_EQ(table->GetdsClassStart(i), bounds[i - 1]) << i;
    EXPECT_DOUBLE_EQ(table->GetdsClassEnd(i), bounds[i]) << i;
    EXPECT_EQ(table->GetdsClassEnd(i), i < 4 ? table->GetdsClassStart(i + 1) : table->GetdsClassEnd(4));
  }
  const unsigned counts[] = {1, 0, 0, 1, 2};
  const double percents[] = {50, 0, 0, 50, 100};
  const double cumulative[] = {50, 50, 50, 100, 200};
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(table->GetdsClassCount(i), counts[i - 1]) << i;
    EXPECT_DOUBLE_EQ(table->GetdsClassPercent(i), percents[i - 1]) << i;
    EXPECT_DOUBLE_EQ(table->GetdsClassCumPercent(i), cumulative[i - 1]) << i;
  }
}

TEST_F(EngineTest, TenClassesOverZeroToHundredHaveWidthElevenAndMidpointsOnMultiples) {
  auto table = TableOver(Sequence(101, 0, 1));
  table->Summarize();
  EXPECT_DOUBLE_EQ(table->GetdsClassStart(1), -5.5);
  EXPECT_DOUBLE_EQ(table->GetdsClassEnd(1), 5.5);
  EXPECT_NEAR(table->GetdsClassStart(10), 93.5, 1e-12);
  EXPECT_NEAR(table->GetdsClassEnd(10), 104.5, 1e-12);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_NEAR((table->GetdsClassStart(i) + table->GetdsClassEnd(i)) / 2, 11.0 * (i - 1), 1e-12);
  }
  EXPECT_EQ(table->GetdsClassCount(11), 101u);
}

TEST_F(EngineTest, OneClassCountsTheMaximumThatFallsOnItsExclusiveEnd) {
  auto table = TableOver({0, 10});
  table->SetdsFreqClasses(1);
  table->Summarize();
  EXPECT_DOUBLE_EQ(table->GetdsClassStart(1), -10.0);
  EXPECT_DOUBLE_EQ(table->GetdsClassEnd(1), 10.0);
  EXPECT_EQ(table->GetdsClassCount(1), 2u);
  EXPECT_DOUBLE_EQ(table->GetdsClassPercent(1), 100.0);
  EXPECT_EQ(table->GetdsClassCount(2), 2u);
  EXPECT_DOUBLE_EQ(table->GetdsClassPercent(2), 100.0);
}

TEST_F(EngineTest, EveryValueOfAPositiveRangeLandsInExactlyOneClass) {
  // Awkward values whose class bounds are not exact in binary: nothing may be lost to rounding.
  Values values;
  for (int i = 0; i < 997; ++i) values.push_back(0.1 * i + 1e-3 * (i % 7));
  for (int classes : {1, 2, 3, 7, 10, 33, 100}) {
    auto table = TableOver(values);
    table->SetdsFreqClasses(static_cast<std::uint16_t>(classes));
    table->Summarize();
    EXPECT_EQ(table->GetdsClassCount(classes + 1), 997u) << classes;
    EXPECT_NEAR(table->GetdsClassCumPercent(classes), 100.0, 1e-9) << classes;
  }
}

// Ranges of a few ulps give class bounds that round onto each other; the values still differ, so
// each one is counted, in the class of its place in the range.
TEST_F(EngineTest, ARangeOfAFewUlpsStillPlacesEveryValue) {
  const double big = std::nextafter(1e50, 2e50);
  const double minusOne = std::nextafter(-1.0, 0.0);
  struct Case {
    Values values;
    unsigned inEndClasses;  // values in the first and the last class together
  };
  for (const Case& c : {Case{{1, 1.0000000000000002, 1.0000000000000004}, 2},
                        Case{{1e50, big, 1e50}, 3}, Case{{-1.0, minusOne, std::nextafter(minusOne, 0.0)}, 2}}) {
    auto table = TableOver(c.values);
    table->Summarize();
    EXPECT_EQ(table->GetdsClassCount(11), 3u) << *c.values[1];
    EXPECT_EQ(table->GetdsClassCount(1) + table->GetdsClassCount(10), c.inEndClasses) << *c.values[1];
  }
}

TEST_F(EngineTest, AValueOnABoundaryCountsInTheUpperClass) {
  // Two classes over 0 .. 4: width 3, bounds -1.5, 1.5, 4.5, all exact in binary.
  auto table = TableOver({0, 4, 1.5});
  table->SetdsFreqClasses(2);
  table->Summarize();
  EXPECT_EQ(table->GetdsClassEnd(1), 1.5);
  EXPECT_EQ(table->GetdsClassStart(2), 1.5);
  EXPECT_EQ(table->GetdsClassCount(1), 1u);
  EXPECT_EQ(table->GetdsClassCount(2), 2u);
}

TEST_F(EngineTest, TiesInTheModeGoToTheLowerClass) {
  auto table = TableOver({0, 0, 10, 10, 5});
  table->SetdsFreqClasses(3);
  table->Summarize();
  EXPECT_EQ(table->GetdsModeClass(), 2u);
  EXPECT_DOUBLE_EQ(table->GetdsMode(), 0.0);
}

TEST_F(EngineTest, EqualValuesGiveEmptyClassesAndTheMinimumAsMode) {
  auto table = TableOver({3, 3, 3});
  EXPECT_THROW(table->Summarize(), EMathError);  // the skewness of equal values
  table->GetdsMode();
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(table->GetdsClassCount(i), 0u) << i;
  EXPECT_DOUBLE_EQ(table->GetdsClassPercent(11), 0.0);
  EXPECT_DOUBLE_EQ(table->GetdsMode(), 3.0);
  EXPECT_EQ(table->GetdsModeClass(), 0u);
}

TEST_F(EngineTest, ZeroClassesFailTheLoadingPassWithANamedError) {
  auto table = TableOver({1, 2, 3});
  table->SetdsFreqClasses(0);
  try {
    table->Summarize();
    FAIL();
  } catch (const EMathError& e) {
    EXPECT_STREQ(e.what(), "Frequency classes need at least one class: FreqClasses is 0");
  }
  EXPECT_FALSE(table->dsLoadedFlag());
  EXPECT_FALSE(table->ControlsDisabled());
}

TEST_F(EngineTest, CountsAboveSixteenBitsDoNotWrap) {
  Values values(70000, 1.0);
  values.push_back(2.0);
  auto table = TableOver(values);
  table->SetdsFreqClasses(2);
  table->Summarize();
  EXPECT_EQ(table->GetdsClassCount(1), 70000u);
  EXPECT_EQ(table->GetdsClassCount(3), 70001u);
  EXPECT_EQ(table->GetdsModeClass(), 70000u);
}

TEST_F(EngineTest, SlotsOutsideTheArraysReadAsZero) {
  auto table = TableOver({1, 2, 3});
  table->Summarize();
  for (int slot : {0, -1, 101, 102, 65535}) {
    if (slot != 101) {
      EXPECT_EQ(table->GetdsClassCount(slot), 0u);
      EXPECT_EQ(table->GetdsClassPercent(slot), 0.0);
      EXPECT_EQ(table->GetdsClassCumPercent(slot), 0.0);
    }
    EXPECT_EQ(table->GetdsClassStart(slot), 0.0);
    EXPECT_EQ(table->GetdsClassEnd(slot), 0.0);
  }
}

TEST_F(EngineTest, PlaceClassRefreshesThePercentagesAtEveryCall) {
  auto table = TableOver({0, 10});
  table->SetdsFreqClasses(4);
  table->Summarize();
  table->ClearClassCounts();
  table->PlaceClass(0.5);
  EXPECT_EQ(table->GetdsClassCount(1), 1u);
  EXPECT_DOUBLE_EQ(table->GetdsClassPercent(1), 50.0);
  EXPECT_DOUBLE_EQ(table->GetdsClassPercent(5), 50.0);
}

}  // namespace
}  // namespace sumora::test

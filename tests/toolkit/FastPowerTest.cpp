// The moment passes' fast powers must be exactly the doubles raiseTo returns.
#include "toolkit/FastPower.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "toolkit/SmrTools.h"

namespace sumora {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameAsRaiseTo(Powers234 fast, double d) {
  ASSERT_TRUE(SameBits(fast.p2, raiseTo(d, 2))) << "d = " << d;
  ASSERT_TRUE(SameBits(fast.p3, raiseTo(d, 3))) << "d = " << d;
  ASSERT_TRUE(SameBits(fast.p4, raiseTo(d, 4))) << "d = " << d;
}

void ExpectSameAsRaiseTo(double d) { ExpectSameAsRaiseTo(RaisePowers234(d), d); }

TEST(FastPowerTest, TenMillionDeviationsOfWidelyVaryingMagnitudeMatchBitForBit) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> exponent(-80.0, 80.0);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::bernoulli_distribution negative(0.5);
  constexpr int kDeviations = 10'000'000;
  for (int i = 0; i < kDeviations; ++i) {
    // Magnitudes from 1e-24 to 1e24, and an extra share of ordinary ones near 1e-3 .. 1e4.
    const double power = (i % 4 == 0) ? exponent(random) : exponent(random) / 8.0;
    double d = mantissa(random) * std::exp2(std::floor(power));
    if (negative(random)) d = -d;
    ExpectSameAsRaiseTo(d);
  }
}

// A pass meets the same deviations again and again; what the memo gives back, after other deviations
// took and lost its slots, is still raiseTo's.
TEST(FastPowerTest, RepeatedDeviationsThroughTheMemoMatch) {
  std::mt19937_64 random(5);
  std::vector<double> distinct;
  for (int i = 0; i < 40'000; ++i) distinct.push_back(static_cast<double>(random() % 1'000'000) / 100.0 - 3333.3);
  PowerMemo memo;
  for (int i = 0; i < 400'000; ++i) {
    const double d = distinct[random() % distinct.size()];
    ExpectSameAsRaiseTo(memo.Raise(d), d);
  }
  for (double d : {0.0, -0.0, 1e-300, -1e300, std::numeric_limits<double>::infinity()}) {
    ExpectSameAsRaiseTo(memo.Raise(d), d);
  }
}

TEST(FastPowerTest, EdgeValuesMatch) {
  const double edges[] = {0.0,
                          -0.0,
                          1.0,
                          -1.0,
                          0.1,
                          1e-80,
                          1e-100,  // the fourth power is below the normal range
                          1e77,
                          1e100,  // the fourth power overflows
                          std::numeric_limits<double>::min(),
                          std::numeric_limits<double>::denorm_min(),
                          std::numeric_limits<double>::max(),
                          std::nextafter(1.0, 2.0),
                          std::nextafter(1.0, 0.0),
                          3.0,
                          1e7 + 0.1,
                          -2.5e-5};
  for (double d : edges) {
    ExpectSameAsRaiseTo(d);
    ExpectSameAsRaiseTo(-d);
  }
}

TEST(FastPowerTest, IntegersWhosePowersAreExactStayExact) {
  for (int i = -2000; i <= 2000; ++i) {
    ExpectSameAsRaiseTo(i);
    ExpectSameAsRaiseTo(i / 8.0);
  }
}

}  // namespace
}  // namespace sumora

// The numeric helpers of SmrTools: comparisons, signs, powers, evenness, percentages, the string cut,
// the numeric-field test and the value store.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "dataset/Fields.h"
#include "toolkit/SmrTools.h"

namespace sumora {
namespace {

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

TEST(MinMax, TieGivesTheSecondArgument) {
  EXPECT_EQ(min(2.0, 2.0), 2.0);
  EXPECT_EQ(max(2.0, 2.0), 2.0);
  // Signed zeros compare equal, so the second one is the result and its sign shows it.
  EXPECT_TRUE(std::signbit(min(0.0, -0.0)));
  EXPECT_FALSE(std::signbit(min(-0.0, 0.0)));
  EXPECT_TRUE(std::signbit(max(0.0, -0.0)));
  EXPECT_FALSE(std::signbit(max(-0.0, 0.0)));
}

TEST(MinMax, PickTheSmallerAndTheLarger) {
  EXPECT_EQ(min(-1.0, 3.0), -1.0);
  EXPECT_EQ(min(3.0, -1.0), -1.0);
  EXPECT_EQ(max(-1.0, 3.0), 3.0);
  EXPECT_EQ(max(3.0, -1.0), 3.0);
}

TEST(MinMax, IntegerFormsAreExactAtTheLimits) {
  EXPECT_EQ(imin(kInt32Min, kInt32Max), kInt32Min);
  EXPECT_EQ(imin(kInt32Max, kInt32Min), kInt32Min);
  EXPECT_EQ(imax(kInt32Min, kInt32Max), kInt32Max);
  EXPECT_EQ(imax(kInt32Max, kInt32Min), kInt32Max);
  EXPECT_EQ(imin(-5, 7), -5);
  EXPECT_EQ(imax(-5, 7), 7);
  EXPECT_EQ(imin(4, 4), 4);
}

TEST(Sgn, GivesOneMinusOneOrZero) {
  EXPECT_EQ(sgn(0.0), 0);
  EXPECT_EQ(sgn(-0.0), 0);
  EXPECT_EQ(sgn(-0.0001), -1);
  EXPECT_EQ(sgn(1e-300), 1);
  EXPECT_EQ(sgn(-std::numeric_limits<double>::infinity()), -1);
}

TEST(RaiseTo, SmallIntegerPowersAreExact) {
  EXPECT_EQ(raiseTo(-2.0, 3), -8.0);
  EXPECT_EQ(raiseTo(-2.0, 2), 4.0);
  EXPECT_EQ(raiseTo(2.0, -1), 0.5);
  EXPECT_EQ(raiseTo(5.0, 0), 1.0);
  EXPECT_EQ(raiseTo(-5.0, 0), 1.0);
  EXPECT_EQ(raiseTo(3.0, 4), 81.0);
}

TEST(RaiseTo, ZeroBaseGivesZeroForEveryExponent) {
  EXPECT_EQ(raiseTo(0.0, 0), 0.0);
  EXPECT_EQ(raiseTo(0.0, 3), 0.0);
  EXPECT_EQ(raiseTo(0.0, -2), 0.0);
  EXPECT_EQ(raiseTo(-0.0, 1), 0.0);
}

TEST(RaiseTo, OddPowerOfANegativeBaseIsNegative) {
  EXPECT_NEAR(raiseTo(-1.5, 3), -3.375, 1e-15);
  EXPECT_NEAR(raiseTo(-1.5, -3), -1.0 / 3.375, 1e-15);
  EXPECT_GT(raiseTo(-1.5, 4), 0.0);
}

TEST(RaiseTo, RoundsOnceFromExtendedPrecision) {
  // The reference expression, bit for bit: the engine's fast path relies on exactly this.
  for (double x : {0.1, -0.37, 1.0000001, 123.456, -9876.5, 1e-40, 3e40}) {
    for (std::int32_t n : {-3, -1, 1, 2, 3, 4, 7}) {
      const long double r = expl(static_cast<long double>(n) * logl(fabsl(static_cast<long double>(x))));
      double expected = static_cast<double>(r);
      if (n % 2 != 0 && x < 0) expected = -expected;
      EXPECT_EQ(raiseTo(x, n), expected) << x << "^" << n;
      EXPECT_NEAR(raiseTo(x, n), std::pow(x, n), std::fabs(std::pow(x, n)) * 1e-13) << x << "^" << n;
    }
  }
}

TEST(RaiseTo, OverflowGivesInfinityAndUnderflowZero) {
  EXPECT_EQ(raiseTo(1e200, 2), std::numeric_limits<double>::infinity());
  EXPECT_EQ(raiseTo(-1e200, 3), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(raiseTo(1e-200, 2), 0.0);
}

TEST(Even, NegativeEvenNumbersAndZeroAreEven) {
  EXPECT_TRUE(even(-4));
  EXPECT_TRUE(even(0));
  EXPECT_TRUE(even(kInt32Min));
  EXPECT_FALSE(even(-3));
  EXPECT_FALSE(even(kInt32Max));
  EXPECT_FALSE(even(1));
}

TEST(Percentage, TruncatesTowardZero) {
  EXPECT_EQ(percentage(0.257), 25);
  EXPECT_EQ(percentage(-0.257), -25);
  EXPECT_EQ(percentage(0.0), 0);
  EXPECT_EQ(percentage(1.0), 100);
  EXPECT_EQ(percentage(0.999), 99);
}

TEST(Percentage, SaturatesOutsideTheIntegerRange) {
  EXPECT_EQ(percentage(1e12), kInt32Max);
  EXPECT_EQ(percentage(-1e12), kInt32Min);
  EXPECT_EQ(percentage(std::nan("")), 0);
}

TEST(DeleteStr, RemovesFromAOneBasedPosition) {
  EXPECT_EQ(deleteStr("abcdef", 2, 3), "aef");
  EXPECT_EQ(deleteStr("abcdef", 1, 1), "bcdef");
  EXPECT_EQ(deleteStr("abcdef", 6, 1), "abcde");
}

TEST(DeleteStr, CountPastTheEndRemovesUpToTheEnd) {
  EXPECT_EQ(deleteStr("0123456789", 1, 13), "");
  EXPECT_EQ(deleteStr("0123456789", 4, 100), "012");
  EXPECT_EQ(deleteStr("SELECT * FROM Orders", 1, 13), " Orders");
}

TEST(DeleteStr, OutOfRangeArgumentsRemoveNothing) {
  const std::string s = "0123456789";
  EXPECT_EQ(deleteStr(s, 11, 13), s);
  EXPECT_EQ(deleteStr(s, 0, 3), s);
  EXPECT_EQ(deleteStr(s, -1, 3), s);
  EXPECT_EQ(deleteStr(s, 3, 0), s);
  EXPECT_EQ(deleteStr(s, 3, -2), s);
  EXPECT_EQ(deleteStr("", 1, 13), "");
  EXPECT_EQ(s, "0123456789");  // the argument is untouched
}

TEST(NumericField, NumericClassesAndTheirDescendants) {
  EXPECT_TRUE(NumericField(TFloatField("a", nullptr, 0)));
  EXPECT_TRUE(NumericField(TCurrencyField("a", nullptr, 0)));
  EXPECT_TRUE(NumericField(TIntegerField("a", nullptr, 0)));
  EXPECT_TRUE(NumericField(TSmallintField("a", nullptr, 0)));
  EXPECT_TRUE(NumericField(TWordField("a", nullptr, 0)));
  EXPECT_TRUE(NumericField(TAutoIncField("a", nullptr, 0)));
  EXPECT_TRUE(NumericField(TLargeintField("a", nullptr, 0)));
}

TEST(NumericField, TextDateAndBooleanFieldsAreNot) {
  EXPECT_FALSE(NumericField(TField("a", nullptr, 0)));
  EXPECT_FALSE(NumericField(TStringField("a", nullptr, 0)));
  EXPECT_FALSE(NumericField(TDateTimeField("a", nullptr, 0)));
  EXPECT_FALSE(NumericField(TDateField("a", nullptr, 0)));
  EXPECT_FALSE(NumericField(TBooleanField("a", nullptr, 0)));
}

TEST(ValueArray, IsNumberedFromOneAndStartsAtZero) {
  TValueArray values;
  EXPECT_EQ(sizeof(TValueArray), 80000u);
  EXPECT_EQ(values[1], 0.0);
  EXPECT_EQ(values[MaxStoredValues], 0.0);
  values[1] = 1.5;
  values[MaxStoredValues] = -2.5;
  EXPECT_EQ(values.data()[0], 1.5);
  EXPECT_EQ(values.data()[MaxStoredValues - 1], -2.5);
  const TValueArray& view = values;
  EXPECT_EQ(view[1], 1.5);
}

#ifndef NDEBUG
TEST(ValueArrayDeathTest, IndexOutsideTheArrayAsserts) {
  TValueArray values;
  EXPECT_DEATH(values[0] = 1.0, "");
  EXPECT_DEATH(values[MaxStoredValues + 1] = 1.0, "");
}
#endif

}  // namespace
}  // namespace sumora

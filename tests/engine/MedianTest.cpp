// The median of the stored values and reading the store by record number.
#include <algorithm>
#include <bit>
#include <random>

#include "engine/FieldStatistics.h"
#include "tests/engine/EngineFixture.h"
#include "toolkit/SmrTools.h"

namespace sumora::test {
namespace {

TEST_F(EngineTest, MedianOfOddAndEvenCounts) {
  auto odd = TableOver({5, 1, 3});
  EXPECT_DOUBLE_EQ(odd->GetdsMedian(), 3.0);
  auto even = TableOver({4, 1, 3, 2});
  EXPECT_DOUBLE_EQ(even->GetdsMedian(), 2.5);
}

TEST_F(EngineTest, MoreThanTenThousandValuesWarnOnceAndUseTheFirstTenThousand) {
  Values values = Sequence(12000, 12000, -1);  // 12000 down to 1: the first 10000 are 12000..2001
  auto table = TableOver(values);
  table->Summarize();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Median is calculated based on\n\ronly the first 10000 records.");
  EXPECT_EQ(host.messages[0].type, TMsgDlgType::mtWarning);
  EXPECT_DOUBLE_EQ(table->GetdsMedian(), (7000.0 + 7001.0) / 2);
  EXPECT_EQ(host.messages.size(), 1u);
  table->Summarize();
  EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(EngineTest, ExactlyTenThousandValuesUseAllWithoutWarning) {
  auto table = TableOver(Sequence(10000));
  table->Summarize();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_DOUBLE_EQ(table->GetdsMedian(), 5000.5);
}

TEST_F(EngineTest, StoredValuesAreReadableUpToTheStoreCapacity) {
  auto table = TableOver(Sequence(10000, 0.5, 1.0));
  table->SetdsScaleFactor(0.5);
  table->Summarize();
  EXPECT_DOUBLE_EQ(table->GetdsValue(1), 1.0);
  EXPECT_DOUBLE_EQ(table->GetdsValue(10000), 19999.0);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(table->GetdsValue(10001), 0.0);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Records above # 10000 not stored.");
  EXPECT_EQ(host.messages[0].type, TMsgDlgType::mtWarning);
  EXPECT_EQ(table->GetdsValue(10002), 0.0);
  EXPECT_EQ(table->GetdsValue(0), 0.0);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(EngineTest, ASecondMedianIsCachedEvenIfTheDataChanged) {
  auto table = TableOver({1, 2, 3});
  EXPECT_DOUBLE_EQ(table->GetdsMedian(), 2.0);
  table->Close();
  table->SetDatabaseName(NextDatabase({10, 20, 30}));
  table->Open();
  EXPECT_DOUBLE_EQ(table->GetdsMedian(), 2.0);
  table->Summarize();
  EXPECT_DOUBLE_EQ(table->GetdsMedian(), 20.0);
}

TEST_F(EngineTest, AnUnloadedComponentTakesTheFirstStoredSlotAsMedian) {
  auto table = TableOver({7});
  EXPECT_DOUBLE_EQ(table->GetdsMedian(), 7.0);
}

// The median of a store equals the middle of the toolkit's own sort to the bit, whatever the values:
// repeated, in order or reversed (where that sort takes longest), zeros of both signs, odd and even
// counts, fewer values counted than stored.
TEST(MedianSelectionTest, EqualsTheToolkitSortsMiddleBitForBit) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 400; ++round) {
    const int stored = 1 + static_cast<int>(random() % (round < 200 ? 40 : MaxStoredValues));
    const int kind = round % 5;
    std::vector<double> values;
    for (int i = 0; i < stored; ++i) {
      const double x = static_cast<double>(static_cast<int>(random() % 7) - 3) * (kind == 4 ? 1.0 : 0.5);
      values.push_back(kind == 0 ? x * 1e-3 + static_cast<double>(random() % 1000) : kind == 3 && x == 0 && random() % 2 ? -0.0 : x);
    }
    if (kind == 1) std::sort(values.begin(), values.end());
    if (kind == 2) std::sort(values.rbegin(), values.rend());
    const auto count = static_cast<std::int32_t>(std::max(1, stored - static_cast<int>(random() % 3)));
    FieldStatistics statistics;
    statistics.StoredForFill() = values;
    statistics.ComputeMedian(count);
    TValueArray sorted;
    for (int i = 0; i < stored; ++i) sorted[i + 1] = values[static_cast<std::size_t>(i)];
    quickSort(sorted, 1, count);
    const std::int32_t half = count / 2;
    const double expected = count % 2 == 0 ? (sorted[half] + sorted[half + 1]) * 0.5 : sorted[half + 1];
    ASSERT_EQ(std::bit_cast<std::uint64_t>(statistics.Median()), std::bit_cast<std::uint64_t>(expected))
        << "round " << round << ", " << count << " of " << stored << " values";
  }
}

}  // namespace
}  // namespace sumora::test

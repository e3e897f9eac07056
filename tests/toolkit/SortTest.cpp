// sortDataset and quickSort: a sorted copy of the first n values, the tail left as copied.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "toolkit/SmrTools.h"

namespace sumora {
namespace {

// The arrays are 80 KB each; keep them off the stack, which the deep recursion needs.
std::unique_ptr<TValueArray> FilledWith(const std::vector<double>& values) {
  auto a = std::make_unique<TValueArray>();
  for (std::size_t i = 0; i < values.size(); ++i) (*a)[static_cast<int>(i) + 1] = values[i];
  return a;
}

// Marks the slots past the sorted stretch so a test sees whether they were left alone.
void FillTail(TValueArray& a, int from) {
  for (int i = from; i <= MaxStoredValues; ++i) a[i] = 1e6 - i;
}

std::vector<double> Slots(const TValueArray& a, int from, int to) {
  std::vector<double> out;
  for (int i = from; i <= to; ++i) out.push_back(a[i]);
  return out;
}

bool SameSlots(const TValueArray& a, const TValueArray& b) {
  return std::equal(a.data(), a.data() + MaxStoredValues, b.data());
}

TEST(SortDataset, NoValuesGivesAnExactCopy) {
  auto source = FilledWith({3, -1, 2});
  FillTail(*source, 4);
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, 0);
  EXPECT_TRUE(SameSlots(*source, *destination));
}

TEST(SortDataset, OneValueGivesAnExactCopy) {
  auto source = FilledWith({3, -1, 2});
  FillTail(*source, 4);
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, 1);
  EXPECT_TRUE(SameSlots(*source, *destination));
}

TEST(SortDataset, TwoValuesInEitherOrder) {
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*FilledWith({5, 1}), *destination, 2);
  EXPECT_EQ(Slots(*destination, 1, 2), (std::vector<double>{1, 5}));
  sortDataset(*FilledWith({1, 5}), *destination, 2);
  EXPECT_EQ(Slots(*destination, 1, 2), (std::vector<double>{1, 5}));
}

TEST(SortDataset, NegativesSortByValueNotMagnitude) {
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*FilledWith({2, -3, 0, -0.5, 10, -30}), *destination, 6);
  EXPECT_EQ(Slots(*destination, 1, 6), (std::vector<double>{-30, -3, -0.5, 0, 2, 10}));
}

TEST(SortDataset, TailBeyondNStaysAsInTheSource) {
  auto source = FilledWith({9, 8, 7, 6, 5});
  FillTail(*source, 6);
  (*source)[4] = 100;  // inside the tail once n = 3
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, 3);
  EXPECT_EQ(Slots(*destination, 1, 3), (std::vector<double>{7, 8, 9}));
  for (int i = 4; i <= MaxStoredValues; ++i) ASSERT_EQ((*destination)[i], (*source)[i]) << i;
}

TEST(SortDataset, SourceIsNotChanged) {
  auto source = FilledWith({4, 2, 3, 1});
  auto before = std::make_unique<TValueArray>(*source);
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, 4);
  EXPECT_TRUE(SameSlots(*source, *before));
}

TEST(SortDataset, RunsOfEqualValuesAndDuplicates) {
  std::vector<double> values = {3, 1, 3, 2, 1, 3, 2, 2, 1, 3};
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*FilledWith(values), *destination, static_cast<std::int32_t>(values.size()));
  std::sort(values.begin(), values.end());
  EXPECT_EQ(Slots(*destination, 1, 10), values);
}

// The three full-array shapes. Ascending and descending input recurse about 10,000 levels deep,
// which the main thread's stack (where GoogleTest runs these) holds.
TEST(SortDataset, FullArrayAscending) {
  auto source = std::make_unique<TValueArray>();
  for (int i = 1; i <= MaxStoredValues; ++i) (*source)[i] = i * 0.5 - 100;
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, MaxStoredValues);
  EXPECT_TRUE(SameSlots(*source, *destination));
}

TEST(SortDataset, FullArrayDescending) {
  auto source = std::make_unique<TValueArray>();
  for (int i = 1; i <= MaxStoredValues; ++i) (*source)[i] = MaxStoredValues - i;
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, MaxStoredValues);
  for (int i = 1; i <= MaxStoredValues; ++i) ASSERT_EQ((*destination)[i], i - 1) << i;
}

TEST(SortDataset, FullArrayAllEqual) {
  auto source = std::make_unique<TValueArray>();
  for (int i = 1; i <= MaxStoredValues; ++i) (*source)[i] = 42.25;
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, MaxStoredValues);
  EXPECT_TRUE(SameSlots(*source, *destination));
}

TEST(SortDataset, FullArrayRandomMatchesStdSort) {
  std::mt19937 engine(12345);
  std::normal_distribution<double> normal(0.0, 100.0);
  std::vector<double> values(MaxStoredValues);
  for (double& v : values) v = std::round(normal(engine));  // rounding makes plenty of ties
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*FilledWith(values), *destination, MaxStoredValues);
  std::sort(values.begin(), values.end());
  EXPECT_EQ(Slots(*destination, 1, MaxStoredValues), values);
}

TEST(SortDataset, CountOutsideTheArrayIsClipped) {
  auto source = FilledWith({2, 1});
  auto destination = std::make_unique<TValueArray>();
  sortDataset(*source, *destination, -5);
  EXPECT_TRUE(SameSlots(*source, *destination));
  sortDataset(*source, *destination, MaxStoredValues + 1);
  EXPECT_EQ((*destination)[MaxStoredValues], 2.0);  // slots 3..10000 are zeros, then 1 and 2
}

TEST(QuickSort, SortsOnlyTheGivenStretch) {
  auto a = FilledWith({9, 5, 4, 3, 2, 1, 0});
  quickSort(*a, 2, 5);
  EXPECT_EQ(Slots(*a, 1, 7), (std::vector<double>{9, 2, 3, 4, 5, 1, 0}));
}

TEST(QuickSort, EmptyOrReversedBoundsDoNothing) {
  auto a = FilledWith({3, 2, 1});
  quickSort(*a, 2, 2);
  quickSort(*a, 3, 1);
  EXPECT_EQ(Slots(*a, 1, 3), (std::vector<double>{3, 2, 1}));
}

}  // namespace
}  // namespace sumora

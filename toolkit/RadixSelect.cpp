#include "toolkit/RadixSelect.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "host/Errors.h"

namespace sumora {

namespace {

constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;

int CommonPrefixBits(std::uint64_t a, std::uint64_t b) { return a == b ? 64 : std::countl_zero(a ^ b); }

std::uint64_t LowMask(int bits) { return bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1; }

int FloorLog2(std::size_t n) { return n == 0 ? 0 : static_cast<int>(std::bit_width(n)) - 1; }

[[noreturn]] void ThrowChanged() {
  throw EMathError("The values changed between two passes over the data, so the quantiles cannot be exact; "
                   "compute them again when the data source is not being written to");
}

}  // namespace

double KeyValue(std::uint64_t key) {
  return std::bit_cast<double>((key & kSignBit) != 0 ? key & ~kSignBit : ~key);
}

QuantileRanks RanksOf(double p, std::int64_t n) {
  const double h = static_cast<double>(n - 1) * p;
  QuantileRanks ranks;
  ranks.lower = std::min(static_cast<std::int64_t>(std::floor(h)), n - 1);
  ranks.upper = std::min(ranks.lower + 1, n - 1);
  ranks.fraction = h - static_cast<double>(ranks.lower);
  return ranks;
}

double Interpolate(double a, double b, double fraction) {
  const double difference = b - a;
  // Two values of opposite sign near the largest double differ by more than a double holds.
  if (!std::isfinite(difference)) return a * (1 - fraction) + b * fraction;
  return fraction >= 0.5 ? b - difference * (1 - fraction) : a + difference * fraction;
}

RadixSelect::RadixSelect(std::int64_t count, double min, double max, Limits limits)
    : limits_(limits), count_(count) {
  const std::uint64_t lo = OrderKey(min);
  const std::uint64_t hi = OrderKey(max);
  root_.prefixBits = CommonPrefixBits(lo, hi);
  const std::uint64_t free = LowMask(64 - root_.prefixBits);
  root_.lo = lo & ~free;
  root_.hi = root_.lo | free;
  root_.count = count;
  keyMin_ = lo;
  keyMax_ = hi;
  // All values equal: the first and last key are the one key, and every rank is known.
  if (root_.prefixBits == 64) {
    rootWork_.range = root_;
    rootWork_.cells.assign(1, Cell{});
    rootWork_.cells[0].count = static_cast<std::uint32_t>(std::min<std::int64_t>(count, UINT32_MAX));
    rootWork_.cells[0].SetFirst(lo);
    rootCounted_ = true;
  }
}

RadixSelect RadixSelect::OverAllKeys(std::int64_t atMost, Limits limits) {
  RadixSelect select(0, 0.0, 0.0, limits);
  select.count_ = -1;
  select.root_ = Range{0, ~std::uint64_t{0}, 0, 0, atMost};
  select.keyMin_ = 1;  // unknown extremes: no counting passes
  select.keyMax_ = 0;
  select.rootWork_ = Work{};
  select.rootCounted_ = false;
  return select;
}

std::vector<std::int64_t> RadixSelect::WantedIn(const Range& range) const {
  std::vector<std::int64_t> ranks;
  for (std::int64_t rank : wanted_) {
    if (rank >= range.below && rank < range.below + range.count && known_.count(rank) == 0) ranks.push_back(rank);
  }
  return ranks;
}

void RadixSelect::Want(const std::vector<std::int64_t>& ranks) {
  bool added = false;
  for (std::int64_t rank : ranks) {
    if (rank < 0 || rank >= count_) throw EMathError("A quantile rank lies outside the values");
    const bool known = rootCounted_ && rootWork_.collect ? true : known_.count(rank) != 0;
    if (!known && std::find(wanted_.begin(), wanted_.end(), rank) == wanted_.end()) {
      wanted_.push_back(rank);
      added = true;
    }
  }
  // Ranks already being narrowed keep their ranges; new ones start again below the first histogram,
  // with the others.
  if (!added) return;
  std::sort(wanted_.begin(), wanted_.end());
  pending_.clear();
  if (rootCounted_) {
    std::vector<Range> next;
    Descend(rootWork_, next);
    pending_ = std::move(next);
  }
  std::erase_if(wanted_, [this](std::int64_t rank) { return known_.count(rank) != 0; });
}

void RadixSelect::PrepareHistogram(Work& work, int bits) {
  const int freeBits = 64 - work.range.prefixBits;
  bits = std::clamp(bits, 1, freeBits);
  work.collect = false;
  work.shift = freeBits - bits;
  work.cells.assign(std::size_t{1} << bits, Cell{});
}

void RadixSelect::PlanWork(std::vector<Range> ranges, std::size_t collectBudget, std::size_t cellBudget) {
  pass_.clear();
  std::size_t histograms = 0;
  for (const Range& range : ranges) {
    Work work;
    work.range = range;
    if (static_cast<std::uint64_t>(range.count) <= collectBudget) {
      work.collect = true;
      collectBudget -= static_cast<std::size_t>(range.count);
      work.values.reserve(static_cast<std::size_t>(range.count));
    } else {
      ++histograms;
    }
    pass_.push_back(std::move(work));
  }
  const int bits = FloorLog2(cellBudget / std::max<std::size_t>(histograms, 1));
  for (Work& work : pass_) {
    if (!work.collect) PrepareHistogram(work, bits);
  }
}

void RadixSelect::PlanPass() {
  if (!rootCounted_) {
    PlanWork({root_}, limits_.collectedValues, limits_.histogramCells);
  } else {
    PlanWork(pending_, limits_.collectedValues, limits_.histogramCells);
  }
}

void RadixSelect::BeginPass() {
  PlanPass();
  passLo_ = pass_.empty() ? 1 : pass_.front().range.lo;
  passHi_ = pass_.empty() ? 0 : pass_.back().range.hi;
  passStarts_.clear();
  for (const Work& work : pass_) passStarts_.push_back(work.range.lo);
}

RadixSelect::Cell* RadixSelect::Place(Work& work, std::uint64_t key) {
  if (work.collect) {
    work.values.push_back(key);  // the keys, which sort as the values do
    return nullptr;
  }
  return &work.cells[static_cast<std::size_t>((key - work.range.lo) >> work.shift)];
}

RadixSelect::Work* RadixSelect::WorkFor(std::uint64_t key) {
  // The ranges are sorted and disjoint: the last one starting at or below the key may hold it. A few
  // starts are counted without a branch apiece (which value falls where is anyone's guess).
  constexpr std::size_t kCountedStarts = 16;
  const std::size_t n = passStarts_.size();
  std::size_t starting = 0;
  if (n <= kCountedStarts) {
    for (std::size_t i = 0; i < n; ++i) starting += passStarts_[i] <= key ? 1 : 0;
  } else {
    starting = static_cast<std::size_t>(std::upper_bound(passStarts_.begin(), passStarts_.end(), key) - passStarts_.begin());
  }
  if (starting == 0) return nullptr;
  Work& work = pass_[starting - 1];
  return key <= work.range.hi ? &work : nullptr;
}

void RadixSelect::AddKey(std::uint64_t key) {
  Work* work = WorkFor(key);
  if (work == nullptr) return;
  if (Cell* cell = Place(*work, key)) CountIn(*cell, key);
}

void RadixSelect::AddAll(const double* values, std::size_t count) {
  constexpr std::size_t kAhead = 32;
  Cell* cells[kAhead];
  std::uint64_t keys[kAhead];
  for (std::size_t start = 0; start < count; start += kAhead) {
    const std::size_t end = std::min(count, start + kAhead);
    std::size_t fetched = 0;
    for (std::size_t i = start; i < end; ++i) {
      const std::uint64_t key = OrderKey(values[i]);
      if (key < passLo_ || key > passHi_) continue;
      Work* work = WorkFor(key);
      Cell* cell = work == nullptr ? nullptr : Place(*work, key);
      if (cell == nullptr) continue;
#if defined(__GNUC__)
      __builtin_prefetch(cell, 1);
#endif
      cells[fetched] = cell;
      keys[fetched++] = key;
    }
    // A cell's count and first key do not depend on the order its values come in.
    for (std::size_t i = 0; i < fetched; ++i) CountIn(*cells[i], keys[i]);
  }
}

void RadixSelect::Descend(const Work& work, std::vector<Range>& next) {
  const std::vector<std::int64_t> ranks = WantedIn(work.range);
  const int bits = 64 - work.range.prefixBits - work.shift;
  std::int64_t before = work.range.below;
  std::size_t bucket = 0;
  for (std::int64_t rank : ranks) {
    while (bucket < work.cells.size() && before + work.cells[bucket].count <= rank) before += work.cells[bucket++].count;
    if (bucket == work.cells.size()) ThrowChanged();
    if (work.cells[bucket].First() != kMixed) {
      known_[rank] = KeyValue(work.cells[bucket].First());
      continue;
    }
    Range child;
    child.lo = work.range.lo + (static_cast<std::uint64_t>(bucket) << work.shift);
    child.hi = child.lo + LowMask(work.shift);
    child.prefixBits = work.range.prefixBits + bits;
    child.below = before;
    child.count = work.cells[bucket].count;
    if (next.empty() || next.back().lo != child.lo) next.push_back(child);
  }
}

void RadixSelect::Finish(Work& work, std::vector<Range>& next) {
  if (work.collect) {
    if (static_cast<std::int64_t>(work.values.size()) != work.range.count) ThrowChanged();
    std::sort(work.values.begin(), work.values.end());
    for (std::int64_t rank : WantedIn(work.range)) {
      known_[rank] = KeyValue(work.values[static_cast<std::size_t>(rank - work.range.below)]);
    }
    return;
  }
  std::int64_t total = 0;
  for (const Cell& cell : work.cells) total += cell.count;
  if (total != work.range.count) ThrowChanged();
  Descend(work, next);
}

void RadixSelect::EndPass() {
  std::vector<Range> next;
  if (!rootCounted_) {
    Work& work = pass_.front();
    std::int64_t total = static_cast<std::int64_t>(work.values.size());
    if (work.collect) {
      std::sort(work.values.begin(), work.values.end());
    } else {
      for (const Cell& cell : work.cells) total += cell.count;
    }
    if (count_ < 0) {
      if (total > work.range.count) ThrowChanged();
      count_ = total;
      root_.count = total;
      work.range.count = total;
    } else if (total != work.range.count) {
      ThrowChanged();
    }
    rootWork_ = std::move(work);
    rootCounted_ = true;
    if (!rootWork_.collect) Descend(rootWork_, next);
  } else {
    for (Work& work : pass_) Finish(work, next);
  }
  ++passes_;
  pass_.clear();
  passStarts_.clear();
  passLo_ = 1;
  passHi_ = 0;
  pending_ = std::move(next);
  std::erase_if(wanted_, [this](std::int64_t rank) { return known_.count(rank) != 0; });
  if (rootWork_.collect) wanted_.clear();
}

void RadixSelect::AbandonPass() {
  pass_.clear();
  passStarts_.clear();
  classTargets_.clear();
  passLo_ = 1;
  passHi_ = 0;
}

std::vector<double> RadixSelect::BeginThresholdPass() {
  if (keyMin_ > keyMax_) throw EMathError("A counting pass needs the count and the extremes of the values");
  PlanWork(rootCounted_ ? pending_ : std::vector<Range>{root_}, 0, limits_.thresholds);
  // Every bucket start inside (min, max] is a threshold, and so is the key after each range, so that
  // values between ranges count nowhere. A start shared by the end of one range and the next range's
  // first bucket is one threshold, counting into that bucket.
  struct Start {
    std::uint64_t key;
    int work;
    std::size_t bucket;
  };
  std::vector<Start> starts;
  for (std::size_t w = 0; w < pass_.size(); ++w) {
    Work& work = pass_[w];
    for (std::size_t b = 0; b < work.cells.size(); ++b) {
      const std::uint64_t key = work.range.lo + (static_cast<std::uint64_t>(b) << work.shift);
      starts.push_back({key, static_cast<int>(w), b});
      // Buckets of one key are single by construction; the others cannot tell.
      work.cells[b].SetFirst(work.shift == 0 ? key : kMixed);
    }
    if (work.range.hi != ~std::uint64_t{0}) starts.push_back({work.range.hi + 1, -1, 0});
    // A probe value gets a class of its own, [key, key + 1).
    const auto probe = [&](std::uint64_t key) {
      if (key < work.range.lo || key > work.range.hi) return;
      starts.push_back({key, static_cast<int>(w), static_cast<std::size_t>((key - work.range.lo) >> work.shift)});
      if (key < work.range.hi) {
        starts.push_back({key + 1, static_cast<int>(w), static_cast<std::size_t>((key + 1 - work.range.lo) >> work.shift)});
      }
    };
    const std::vector<std::int64_t> ranks = WantedIn(work.range);
    if (ranks.empty()) continue;
    // Stored numbers are mostly decimals of few digits (prices, counts, measurements), so the few
    // shortest decimals inside the range are probed, from the coarsest grid to the finest that has at
    // most kGrid of them. k / 10^d of exact integers is the double nearest to the decimal, as the data
    // source reads it.
    constexpr double kGrid = 64;
    const double a = KeyValue(std::max(work.range.lo, keyMin_));
    const double b = KeyValue(std::min(work.range.hi, keyMax_));
    for (int d = -22; d <= 22; ++d) {
      const double scale = std::pow(10.0, std::abs(d));
      const double lowK = std::ceil(d >= 0 ? a * scale : a / scale) - 1;
      const double highK = std::floor(d >= 0 ? b * scale : b / scale) + 1;
      if (highK - lowK > kGrid) break;
      if (std::fabs(lowK) > 9e15 || std::fabs(highK) > 9e15) continue;
      for (double k = lowK; k <= highK; ++k) probe(OrderKey(d >= 0 ? k / scale : k * scale));
    }
    // A sample value near a rank's estimated place: repeated values are found where they lie.
    constexpr std::int64_t kWindow = 128;
    for (std::int64_t rank : ranks) {
      if (hints_.empty()) break;
      const auto m = static_cast<std::int64_t>(hints_.size());
      const auto guess = static_cast<std::int64_t>((static_cast<double>(rank) + 0.5) / static_cast<double>(count_) *
                                                   static_cast<double>(m));
      for (std::int64_t i = std::max<std::int64_t>(guess - kWindow, 0); i <= std::min(guess + kWindow, m - 1); ++i) {
        probe(hints_[static_cast<std::size_t>(i)]);
      }
    }
  }
  std::stable_sort(starts.begin(), starts.end(), [](const Start& a, const Start& b) { return a.key < b.key; });
  std::vector<double> thresholds;
  classTargets_.assign(1, ClassTarget{-1, 0, keyMin_});
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const Start& start = starts[i];
    // Where a range's end and a bucket start lie together, the bucket counts (it sorts after the
    // end); equal starts inside a range name the same bucket.
    if (i + 1 < starts.size() && starts[i + 1].key == start.key) continue;
    if (start.key <= keyMin_) {
      classTargets_[0] = {start.work, start.bucket, keyMin_};  // the values from the smallest on
      continue;
    }
    if (start.key > keyMax_) break;
    // The key just below +0 is that of -0, which no value has and which the server takes for 0.
    if (start.key == OrderKey(0.0) - 1) continue;
    thresholds.push_back(KeyValue(start.key));
    classTargets_.push_back({start.work, start.bucket, start.key});
  }
  passLo_ = 1;
  passHi_ = 0;
  return thresholds;
}

void RadixSelect::EndThresholdPass(const std::vector<std::int64_t>& classCounts) {
  if (classCounts.size() != classTargets_.size()) {
    throw EMathError("A counting pass returned " + std::to_string(classCounts.size()) + " classes for " +
                     std::to_string(classTargets_.size()));
  }
  // Classes of one range follow each other in key order, so each starts where the ones before it end.
  std::vector<std::int64_t> position;
  for (const Work& work : pass_) position.push_back(work.range.below);
  for (std::size_t i = 0; i < classCounts.size(); ++i) {
    const ClassTarget& target = classTargets_[i];
    if (target.work < 0) continue;
    const auto w = static_cast<std::size_t>(target.work);
    const std::int64_t count = classCounts[i];
    pass_[w].cells[target.bucket].count += static_cast<std::uint32_t>(count);
    // A class of one key holds one value, however often it repeats.
    const std::uint64_t end = i + 1 < classTargets_.size() ? classTargets_[i + 1].start : keyMax_ + 1;
    if (end == target.start + 1) {
      for (std::int64_t rank : wanted_) {
        if (rank >= position[w] && rank < position[w] + count) known_[rank] = KeyValue(target.start);
      }
    }
    position[w] += count;
  }
  classTargets_.clear();
  EndPass();
}

void RadixSelect::SetHints(const std::vector<double>& sample) {
  hints_.clear();
  for (double x : sample) {
    if (std::isfinite(x)) hints_.push_back(OrderKey(x));
  }
  // Repeats stay: a value's place among the sample estimates its rank among all values.
  std::sort(hints_.begin(), hints_.end());
}

double RadixSelect::ValueAt(std::int64_t rank) const {
  if (rootCounted_ && rootWork_.collect && rank >= 0 && rank < count_) {
    return KeyValue(rootWork_.values[static_cast<std::size_t>(rank)]);
  }
  auto it = known_.find(rank);
  if (it == known_.end()) throw EMathError("A quantile rank was read before the passes found it");
  return it->second;
}

}  // namespace sumora

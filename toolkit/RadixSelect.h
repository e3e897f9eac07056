// Exact order statistics of a stream of doubles that can be read again and again but not held:
// a radix selection on the order-preserving 64-bit key of each value. Every pass counts the values
// of the key ranges that still hold a wanted rank by the next bits of their key, then narrows each
// range to the bucket holding its rank; a range small enough is collected whole and sorted, and a
// bucket whose values all share one key needs nothing more. All ranks advance in the same passes.
//
// Memory is bounded by Limits whatever the number of values: histogram cells (12 bytes each) and
// collected values (8 bytes each) per pass. The widest first histogram is kept, so later requests
// for other ranks start below it.
#pragma once

#include <bit>
#include <cstdint>
#include <map>
#include <vector>

namespace sumora {

// The key of x: keys compare as the values do, and -0 and +0 share the key of +0. x must not be NaN.
inline std::uint64_t OrderKey(double x) {
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  if (x == 0.0) x = 0.0;  // -0 sorts as +0
  const auto bits = std::bit_cast<std::uint64_t>(x);
  return (bits & kSign) != 0 ? ~bits : bits | kSign;
}
// The value of a key made by OrderKey.
double KeyValue(std::uint64_t key);

// The order statistics a quantile reads under the linear interpolation of R's type 7 (NumPy's and
// pandas' default): with n values sorted x[0..n-1], h = (n - 1) p, the quantile lies between
// x[lower] and x[upper] at `fraction` of the way.
struct QuantileRanks {
  std::int64_t lower = 0;
  std::int64_t upper = 0;
  double fraction = 0.0;
};
// p must lie in 0..1 and n be at least 1.
QuantileRanks RanksOf(double p, std::int64_t n);
// The point `fraction` of the way from a to b, computed as NumPy computes it (from the nearer end),
// so equal neighbours give themselves exactly.
double Interpolate(double a, double b, double fraction);

class RadixSelect {
 public:
  struct Limits {
    // Histogram cells counted in one pass, over every range (16 bits per range while they fit).
    std::size_t histogramCells = std::size_t{1} << 17;
    // Values collected in one pass, over every range.
    std::size_t collectedValues = std::size_t{1} << 19;
    // Thresholds of one counting pass (BeginThresholdPass), over every range.
    std::size_t thresholds = std::size_t{1} << 12;
  };

  // `count` values, all finite, lying between `min` and `max`.
  RadixSelect(std::int64_t count, double min, double max, Limits limits);
  RadixSelect(std::int64_t count, double min, double max) : RadixSelect(count, min, max, Limits{}) {}
  // A selection whose first pass counts before the count and the extremes are known (at most
  // `atMost` values, any key): the count is what that pass sees.
  static RadixSelect OverAllKeys(std::int64_t atMost, Limits limits);
  static RadixSelect OverAllKeys(std::int64_t atMost) { return OverAllKeys(atMost, Limits{}); }

  std::int64_t Count() const { return count_; }
  // Made with the extremes (so counting passes can run).
  bool Bounded() const { return keyMin_ <= keyMax_; }

  // Asks for the values at these 0-based ranks (each below the count). Ranks already known cost
  // nothing; the others make NeedsPass true until the passes have found them.
  void Want(const std::vector<std::int64_t>& ranks);
  bool NeedsPass() const { return !pending_.empty() || !rootCounted_; }

  // One pass: BeginPass, Add for every value (in any order; each exactly once), EndPass. A pass may
  // be taken before any rank is wanted: it counts the first histogram, which later requests reuse.
  void BeginPass();
  void Add(double x) {
    const std::uint64_t key = OrderKey(x);
    if (key < passLo_ || key > passHi_) return;
    AddKey(key);
  }
  // Add for each of `count` values. The histogram cells of a few values at a time are fetched before
  // any of them is counted, so that memory answers for several at once when the histograms outgrow
  // the caches; the pass ends as it would after Add.
  void AddAll(const double* values, std::size_t count);
  // Narrows the ranges. Raises EMathError when the pass saw other values than the passes before it
  // (the data changed between passes).
  void EndPass();
  // A pass cut short leaves the selection as it was before BeginPass.
  void AbandonPass();

  // A pass made where the data lives, by a source that can only count values between thresholds
  // (a database computing width_bucket): BeginThresholdPass returns ascending finite thresholds, and
  // EndThresholdPass takes, for each i from 0 to their number, how many values have exactly i
  // thresholds at or below them. Such passes collect nothing, so they narrow down to single keys; the
  // selection must have been made with the extremes (not OverAllKeys).
  std::vector<double> BeginThresholdPass();
  void EndThresholdPass(const std::vector<std::int64_t>& classCounts);
  // Values likely to lie near the wanted ranks (a sample of the data, in any order). Counting passes
  // then also count each sample value near a rank's estimated place on its own, so a rank holding a
  // value that repeats, as most do in real data, is found without narrowing to its last bit. Only a
  // hint: the results never depend on it.
  void SetHints(const std::vector<double>& sample);

  // The value at a rank asked for and found.
  double ValueAt(std::int64_t rank) const;
  // Passes taken so far, the first histogram included.
  int Passes() const { return passes_; }

 private:
  // Keys [lo, hi] sharing their first `prefixBits` bits; `below` values lie under lo.
  struct Range {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    int prefixBits = 0;
    std::int64_t below = 0;
    std::int64_t count = 0;
  };
  // No finite value has this key (it belongs to a NaN), so it marks a bucket holding several keys.
  static constexpr std::uint64_t kMixed = ~std::uint64_t{0};
  // One histogram cell: how many values the bucket holds and the key every one of them has (kMixed when
  // they differ). Twelve bytes side by side, so that counting a value touches one place in memory.
  struct Cell {
    std::uint32_t count = 0;
    std::uint32_t firstLow = 0;
    std::uint32_t firstHigh = 0;
    std::uint64_t First() const { return std::uint64_t{firstHigh} << 32 | firstLow; }
    void SetFirst(std::uint64_t key) {
      firstLow = static_cast<std::uint32_t>(key);
      firstHigh = static_cast<std::uint32_t>(key >> 32);
    }
  };
  // What a pass does with one range.
  struct Work {
    Range range;
    bool collect = false;
    int shift = 0;                      // the bucket of a key is (key - lo) >> shift
    std::vector<Cell> cells;            // per bucket
    std::vector<std::uint64_t> values;  // keys of the collected values
  };

  void AddKey(std::uint64_t key);
  // The work whose range holds the key, or nullptr.
  Work* WorkFor(std::uint64_t key);
  // The cell the key counts in, or nullptr when the work collects its keys (the key is kept then).
  static Cell* Place(Work& work, std::uint64_t key);
  static void CountIn(Cell& cell, std::uint64_t key) {
    if (cell.count++ == 0) {
      cell.SetFirst(key);
    } else if (cell.First() != key) {
      cell.SetFirst(kMixed);
    }
  }
  void PlanPass();
  void PlanWork(std::vector<Range> ranges, std::size_t collectBudget, std::size_t cellBudget);
  static void PrepareHistogram(Work& work, int bits);
  // Descends from a counted histogram to the bucket of each wanted rank inside it.
  void Descend(const Work& work, std::vector<Range>& next);
  void Finish(Work& work, std::vector<Range>& next);
  std::vector<std::int64_t> WantedIn(const Range& range) const;

  Limits limits_;
  std::int64_t count_;  // -1 until the first pass of OverAllKeys has counted
  Range root_;
  Work rootWork_;  // the first histogram, kept once counted
  bool rootCounted_ = false;
  std::vector<std::int64_t> wanted_;  // ranks wanted and not yet known
  std::vector<Range> pending_;        // ranges holding them, below the first histogram
  std::map<std::int64_t, double> known_;
  std::vector<Work> pass_;  // the current pass's work, sorted by lo, disjoint
  std::vector<std::uint64_t> passStarts_;  // the first key of each work's range
  std::uint64_t passLo_ = 1;
  std::uint64_t passHi_ = 0;
  int passes_ = 0;
  std::uint64_t keyMin_ = 0;  // keys of the extremes
  std::uint64_t keyMax_ = 0;
  // For each class of a threshold pass: the work and bucket it counts into (work -1: no range) and
  // the first key it holds.
  struct ClassTarget {
    int work = -1;
    std::size_t bucket = 0;
    std::uint64_t start = 0;
  };
  std::vector<ClassTarget> classTargets_;
  std::vector<std::uint64_t> hints_;  // sorted keys of the sample, repeats included
};

}  // namespace sumora

// The statistics of one numeric field, value by value: the one implementation of the arithmetic that
// a component (TSumoraStats) and a whole-table summary (TSumoraFieldSet) share, so that a field gives
// the same doubles whoever asks. Whoever owns it runs the passes over the records and feeds it the
// scaled values; it keeps the sums, the first MaxStoredValues values, the class table and the results.
//
// The steps follow a summary's fixed order: loading pass (BeginLoading, AddLoading per value,
// EndLoading), median, moment pass (BeginMoments, AddMoment, EndMoments), mode. A step that cannot
// compute raises EMathError with the message a summary reports, and leaves what it had not reached
// uncomputed (see Computed()).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataset/AggregatingSource.h"
#include "toolkit/FastPower.h"

namespace sumora {

constexpr int MaxFreqClasses = 100;

// "(-)", "(+)" or "(0)": the sign of the third moment, shown beside the squared skewness.
std::string SkewSignOf(double mu3);

class FieldStatistics {
 public:
  // What a step has computed since BeginLoading (or a setting changed).
  enum Result : std::uint32_t {
    kLoaded = 1u << 0,      // count, total, mean (at least two values), extremes, range, classes' bounds
    kMedian = 1u << 1,
    kClassCounts = 1u << 2,  // class counts and percentages
    kVariance = 1u << 3,     // with the third and fourth moments
    kSkew = 1u << 4,
    kKurtosis = 1u << 5,
    kMode = 1u << 6,
    kCoeffVariation = 1u << 7,
  };

  // --- Settings, copied from the component before the passes -------------------------------------
  std::string fieldName;  // named in messages
  double scaleBy = 1.0;
  std::uint16_t freqClasses = 10;

  // --- Loading pass --------------------------------------------------------------------------------
  void BeginLoading();
  // One scaled value that is not null, in dataset order.
  void AddLoading(double x) {
    ++count_;
    // Values beyond the store's capacity are counted, summed and compared, but not kept.
    if (stored_.size() < static_cast<std::size_t>(kStoreCapacity)) stored_.push_back(x);
    total_ += x;
    // The extremes start from the first value (0 when there is none).
    if (count_ == 1) {
      min_ = x;
      max_ = x;
    }
    if (x > max_) max_ = x;
    if (x < min_) min_ = x;
  }
  // The loading pass's sums as a source computed them, with the first stored values read in dataset order.
  void SetLoadingTotals(const ValueTotals& totals);
  // Checks the count and the total, lays out the classes; raises EMathError. Returns whether the field
  // has at least two values (the component's "loaded").
  bool EndLoading();
  // ENoValues "Field 'NAME' has no values" when the loading pass found none.
  void RequireValues() const;

  // --- Median of the stored values -------------------------------------------------------------------
  // `dataCount` is the component's record count as its getter gives it (-1 below two values).
  void ComputeMedian(std::int32_t dataCount);
  // The middle of the first values as a source sorted them where they lie: ComputeMedian then takes
  // it instead of sorting a store, which stays empty.
  void SetMiddleValues(const MiddleValues& middle) {
    middle_ = middle;
    hasMiddle_ = true;
  }

  // --- Moment pass -------------------------------------------------------------------------------------
  // `mean` is the mean the deviations are taken from (0 below two values, as the component leaves it).
  void BeginMoments(double mean);
  void AddMoment(double x, PowerMemo& powers) {
    const Powers234 p = powers.Raise(x - momentMean_);
    s2_ += p.p2;
    s3_ += p.p3;
    s4_ += p.p4;
    CountClass(x);
    // A value the loading pass did not see means the data changed in between.
    if (x < min_ || x > max_) changed_ = true;
    passTotal_ += x;
    ++passCount_;
  }
  // Sums and class counts a source computed.
  void SetMomentSums(const DeviationSums& sums);
  // True when the moment pass read other data than the loading pass: another count of values, a value
  // outside the loading pass's extremes, or another total (summed in the same order, so an unchanged
  // source gives the same double).
  bool MomentPassSawOtherData() const;
  // What differed, for the "changed during the summary" error.
  std::string OtherDataDetail() const;
  static std::string CountChangedDetail(const std::string& fieldName, std::int64_t loaded, std::int64_t later);
  // Percentages, variance, third and fourth moments, skewness and kurtosis; raises EMathError at the
  // first that cannot be computed.
  void EndMoments();

  // --- Finishing ---------------------------------------------------------------------------------------
  void ComputeMode();
  // Standard deviation * 100 / mean; raises EMathError for a zero mean.
  void ComputeCoeffVariation();

  // --- Pieces the component's standalone passes use --------------------------------------------------
  void ClearClassCounts();
  // Counts x into its class without touching the percentages.
  void CountClass(double x) {
    if (HasClassSpan() && count_ > 0) {
      CountClassInSpan(x);
    } else {
      CountClassChecked(x);
    }
  }
  // The class is the number of starts 2..k at or below x. The value's place in the span guesses it, and
  // the comparisons with the starts themselves settle it, so the answer is the one a search gives.
  void CountClassInSpan(double x) {
    const std::size_t k = classStarts_.size();
    const double* starts = classStarts_.data();
    const double place = (x - starts[0]) * placePerWidth_;
    std::size_t index = place < 1.0 ? 0 : (place >= static_cast<double>(k - 1) ? k - 1 : static_cast<std::size_t>(place));
    while (index + 1 < k && starts[index + 1] <= x) ++index;
    while (index > 0 && starts[index] > x) --index;
    ++classCounts_[index];
  }
  // CountClass with the checks a field without values, or with classes of no span, needs.
  void CountClassChecked(double x);
  void RefreshPercents();
  // The lower bounds of classes 2..k (see CountClass); empty when the classes hold nothing.
  std::vector<double> ClassThresholds() const;
  bool HasClassSpan() const { return !classStarts_.empty() && classStarts_.front() < classEnds_.back(); }
  // Recomputes the class bounds from the extremes and freqClasses (EMathError for 0 classes).
  void LayOutClasses();
  void AddClassCounts(const std::vector<std::int64_t>& counts);
  double SkewnessOf(double mu3, double variance) const;
  double KurtosisOf(double mu4, double variance) const;
  // A moment of a standalone pass: `sum` checked finite, divided by count - 1 (`tooFewValues` when
  // count is 1).
  double MomentOf(double sum, std::int32_t count, const char* sumName, const char* tooFewValues) const;
  // EMathError "The <what> of <field> overflows ..." when `value` is not finite.
  void RequireFinite(double value, const char* what) const;

  // --- Results ----------------------------------------------------------------------------------------
  std::uint32_t Computed() const { return computed_; }
  bool Has(Result r) const { return (computed_ & r) != 0; }
  void MarkComputed(Result r) { computed_ |= r; }
  std::int64_t Count() const { return count_; }
  double Total() const { return total_; }
  double Min() const { return min_; }
  double Max() const { return max_; }
  double Mean() const { return mean_; }
  void SetMean(double mean) { mean_ = mean; }
  double Median() const { return median_; }
  double Variance() const { return variance_; }
  void SetVariance(double variance) { variance_ = variance; }
  double Mu3() const { return mu3_; }
  void SetMu3(double mu3) { mu3_ = mu3; }
  double Mu4() const { return mu4_; }
  void SetMu4(double mu4) { mu4_ = mu4; }
  double Skew() const { return skew_; }
  void SetSkew(double skew) { skew_ = skew; }
  double Kurtosis() const { return kurtosis_; }
  void SetKurtosis(double kurtosis) { kurtosis_ = kurtosis; }
  double Mode() const { return mode_; }
  std::uint32_t ModeClass() const { return modeClass_; }
  double CoeffVariation() const { return coeffVariation_; }
  // The stored values in dataset order (at most MaxStoredValues).
  const std::vector<double>& Stored() const { return stored_; }
  std::vector<double>& StoredForFill() { return stored_; }
  // Class slots from 1; a slot outside the table reads as 0 (slot freqClasses + 1 holds the totals).
  double ClassStart(int classNo) const;
  double ClassEnd(int classNo) const;
  std::uint32_t ClassCount(int classNo) const;
  double ClassPercent(int classNo) const;
  double ClassCumPercent(int classNo) const;

 private:
  static constexpr int kStoreCapacity = 10000;  // MaxStoredValues

  std::uint32_t computed_ = 0;
  std::int64_t count_ = 0;
  double total_ = 0.0;
  double min_ = 0.0;
  double max_ = 0.0;
  double mean_ = 0.0;
  double median_ = 0.0;
  double variance_ = 0.0;
  double mu3_ = 0.0;
  double mu4_ = 0.0;
  double skew_ = 0.0;
  double kurtosis_ = 0.0;
  double mode_ = 0.0;
  std::uint32_t modeClass_ = 0;
  double coeffVariation_ = 0.0;
  // The middle values of the first n stored values into middle_, without sorting them all; false where
  // only the toolkit's sort can tell them.
  bool SelectMiddle(std::int32_t n);

  std::vector<double> stored_;
  MiddleValues middle_;
  bool hasMiddle_ = false;

  // Moment pass.
  double momentMean_ = 0.0;
  double s2_ = 0.0;
  double s3_ = 0.0;
  double s4_ = 0.0;
  double passTotal_ = 0.0;
  std::int64_t passCount_ = 0;
  bool changed_ = false;
  bool sumsFromSource_ = false;
  bool totalsFromSource_ = false;  // the loading pass's sums were added by the source, in its own order

  // Class table, sized to the classes laid out: k starts and ends, k + 1 counts and percentages (the
  // last slot holds the totals). Counts are 32-bit so that classes of more than 65535 values never wrap.
  std::vector<double> classStarts_;
  std::vector<double> classEnds_;
  double placePerWidth_ = 0.0;  // 1 / the first class's width, for guessing a value's class
  std::vector<std::uint32_t> classCounts_;
  std::vector<double> classPercents_;
  std::vector<double> classCumPercents_;
};

}  // namespace sumora
